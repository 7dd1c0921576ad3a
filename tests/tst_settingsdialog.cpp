// The settings dialog: its boxes, the port details, "Custom", and what Apply stores.
#include "TestSupport.h"

#include "serial/PortDetails.h"
#include "serial/SettingsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(PortFacts)

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void portDetailsList_data();
    void portDetailsList();
    void form();
    void parameterBoxes_data();
    void parameterBoxes();
    void defaultsWithAPort();
    void noPortLeavesCustomOnly();
    void labelsFollowTheSelectedPort();
    void choicesStoreToolkitValues_data();
    void choicesStoreToolkitValues();
    void closingWithoutApplyKeepsSettings();
    void customPathIsStoredAsTyped();

private:
    static void setPorts(SettingsDialog &d, const QList<PortFacts> &ports) { d.fillPortList(ports); }
    static QComboBox *box(SettingsDialog &d, const char *name) { return d.findChild<QComboBox *>(name); }
    static QString label(SettingsDialog &d, const char *name) { return d.findChild<QLabel *>(name)->text(); }
    static void apply(SettingsDialog &d)
    {
        QTest::mouseClick(d.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    }
    static PortFacts ftdi()
    {
        return {"ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", "/dev/ttyUSB0", 0x0403, 0x6001};
    }
};

void SettingsDialogTest::portDetailsList_data()
{
    QTest::addColumn<PortFacts>("port");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all known") << ftdi()
                               << QStringList{
                                      "ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI", "/dev/ttyUSB0", "403", "6001"};
    QTest::newRow("nothing known") << PortFacts{"ttyS0", {}, {}, {}, {}, 0, 0}
                                   << QStringList{"ttyS0", "N/A", "N/A", "N/A", "", "N/A", "N/A"};
    QTest::newRow("hex is lowercase") << PortFacts{"ttyACM0", "d", "m", "s", "/dev/ttyACM0", 0x2E8A, 0x000A}
                                      << QStringList{"ttyACM0", "d", "m", "s", "/dev/ttyACM0", "2e8a", "a"};
}

void SettingsDialogTest::portDetailsList()
{
    QFETCH(PortFacts, port);
    QFETCH(QStringList, expected);
    QCOMPARE(portDetails(port), expected);
}

void SettingsDialogTest::form()
{
    SettingsDialog d;
    QCOMPARE(d.objectName(), QStringLiteral("SettingsDialog"));
    QCOMPARE(d.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(d.windowModality(), Qt::ApplicationModal);
    QVERIFY(d.isModal());
    QCOMPARE(d.size(), QSize(364, 326));
    QVERIFY(!d.isSizeGripEnabled());
    QVERIFY(!(d.windowFlags() & Qt::WindowContextHelpButtonHint));
    QCOMPARE(d.findChild<QPushButton *>("applyButton")->text(), QStringLiteral("Apply"));
    QCOMPARE(box(d, "baudRateBox")->insertPolicy(), QComboBox::NoInsert);
    const QList<std::pair<const char *, const char *>> captions
        = {{"baudRateLabel", "BaudRate:"}, {"dataBitsLabel", "Data bits:"}, {"parityLabel", "Parity:"},
            {"stopBitsLabel", "Stop bits:"}, {"flowControlLabel", "Flow control:"}};
    for (const auto &[name, caption] : captions)
        QCOMPARE(label(d, name), QString::fromLatin1(caption));
}

void SettingsDialogTest::parameterBoxes_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("data");
    QTest::addColumn<int>("current");
    QTest::newRow("baud") << "baudRateBox"
                          << QStringList{"9600", "19200", "38400", "57600", "115200", "256000", "375000"}
                          << QList<int>{9600, 19200, 38400, 57600, 115200, 256000, 375000} << 4;
    QTest::newRow("data bits") << "dataBitsBox" << QStringList{"5", "6", "7", "8"} << QList<int>{5, 6, 7, 8} << 3;
    QTest::newRow("parity") << "parityBox" << QStringList{"None", "Even", "Odd", "Mark", "Space"}
                            << QList<int>{0, 2, 3, 5, 4} << 0;
    QTest::newRow("stop bits") << "stopBitsBox" << QStringList{"1", "1.5", "2"} << QList<int>{1, 3, 2} << 0;
    QTest::newRow("flow") << "flowControlBox" << QStringList{"XON/XOFF", "None", "RTS/CTS"} << QList<int>{2, 0, 1} << 0;
}

void SettingsDialogTest::parameterBoxes()
{
    QFETCH(QString, boxName);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, data);
    QFETCH(int, current);
    SettingsDialog d;
    QComboBox *b = box(d, qPrintable(boxName));
    QCOMPARE(b->count(), texts.size());
    for (int i = 0; i < b->count(); ++i) {
        QCOMPARE(b->itemText(i), texts.at(i));
        QCOMPARE(b->itemData(i).toInt(), data.at(i));
    }
    QCOMPARE(b->currentIndex(), current);
    QVERIFY(!b->isEditable());
}

void SettingsDialogTest::defaultsWithAPort()
{
    SettingsDialog d;
    setPorts(d, {ftdi(), {"ttyS0", {}, {}, {}, {}, 0, 0}});
    apply(d);
    const Settings s = d.settings();
    QCOMPARE(s.portName, QStringLiteral("ttyUSB0"));
    QCOMPARE(s.baudRate, 115200);
    QCOMPARE(s.baudRateText, QStringLiteral("115200"));
    QCOMPARE(s.dataBits, QSerialPort::Data8);
    QCOMPARE(s.dataBitsText, QStringLiteral("8"));
    QCOMPARE(s.parity, QSerialPort::NoParity);
    QCOMPARE(s.parityText, QStringLiteral("None"));
    QCOMPARE(s.stopBits, QSerialPort::OneStop);
    QCOMPARE(s.stopBitsText, QStringLiteral("1"));
    QCOMPARE(s.flowControl, QSerialPort::SoftwareControl);
    QCOMPARE(s.flowControlText, QStringLiteral("XON/XOFF"));
    QCOMPARE(box(d, "serialPortInfoListBox")->itemText(2), QStringLiteral("Custom"));
    QVERIFY(!box(d, "serialPortInfoListBox")->itemData(2).isValid());
    QVERIFY(!box(d, "serialPortInfoListBox")->isEditable());
}

void SettingsDialogTest::noPortLeavesCustomOnly()
{
    SettingsDialog d;
    setPorts(d, {});
    apply(d);
    QComboBox *ports = box(d, "serialPortInfoListBox");
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->itemText(0), QStringLiteral("Custom"));
    QVERIFY(ports->isEditable());
    QCOMPARE(ports->currentText(), QString());
    QCOMPARE(label(d, "descriptionLabel"), QStringLiteral("Description: N/A"));
    QCOMPARE(label(d, "locationLabel"), QStringLiteral("Location: N/A"));
    QCOMPARE(label(d, "pidLabel"), QStringLiteral("Product Identifier: N/A"));
    QCOMPARE(d.settings().portName, QString());
}

void SettingsDialogTest::labelsFollowTheSelectedPort()
{
    SettingsDialog d;
    setPorts(d, {ftdi(), {"ttyS0", {}, {}, {}, {}, 0, 0}});
    QCOMPARE(label(d, "descriptionLabel"), QStringLiteral("Description: FT232R USB UART"));
    QCOMPARE(label(d, "manufacturerLabel"), QStringLiteral("Manufacturer: FTDI"));
    QCOMPARE(label(d, "serialNumberLabel"), QStringLiteral("Serial number: A50285BI"));
    QCOMPARE(label(d, "locationLabel"), QStringLiteral("Location: /dev/ttyUSB0"));
    QCOMPARE(label(d, "vidLabel"), QStringLiteral("Vendor Identifier: 403"));
    QCOMPARE(label(d, "pidLabel"), QStringLiteral("Product Identifier: 6001"));
    box(d, "serialPortInfoListBox")->setCurrentIndex(1);
    QCOMPARE(label(d, "vidLabel"), QStringLiteral("Vendor Identifier: N/A"));
    QCOMPARE(label(d, "locationLabel"), QStringLiteral("Location: ")); // empty stays empty
}

void SettingsDialogTest::choicesStoreToolkitValues_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("stored");
    QTest::newRow("RTS/CTS") << "flowControlBox"
                             << "RTS/CTS" << int(QSerialPort::HardwareControl);
    QTest::newRow("XON/XOFF") << "flowControlBox"
                              << "XON/XOFF" << int(QSerialPort::SoftwareControl);
    QTest::newRow("1.5 stop") << "stopBitsBox"
                              << "1.5" << int(QSerialPort::OneAndHalfStop);
    QTest::newRow("Space") << "parityBox"
                           << "Space" << int(QSerialPort::SpaceParity);
    QTest::newRow("Mark") << "parityBox"
                          << "Mark" << int(QSerialPort::MarkParity);
    QTest::newRow("375000") << "baudRateBox"
                            << "375000" << 375000;
    QTest::newRow("7 bits") << "dataBitsBox"
                            << "7" << int(QSerialPort::Data7);
}

void SettingsDialogTest::choicesStoreToolkitValues()
{
    QFETCH(QString, boxName);
    QFETCH(QString, choice);
    QFETCH(int, stored);
    SettingsDialog d;
    QComboBox *b = box(d, qPrintable(boxName));
    b->setCurrentIndex(b->findText(choice));
    QVERIFY(!box(d, "baudRateBox")->isEditable());
    apply(d);
    const Settings s = d.settings();
    const QMap<QString, std::pair<int, QString>> got = {{"flowControlBox", {s.flowControl, s.flowControlText}},
        {"stopBitsBox", {s.stopBits, s.stopBitsText}}, {"parityBox", {s.parity, s.parityText}},
        {"baudRateBox", {s.baudRate, s.baudRateText}}, {"dataBitsBox", {s.dataBits, s.dataBitsText}}};
    QCOMPARE(got[boxName].first, stored);
    QCOMPARE(got[boxName].second, choice);
}

void SettingsDialogTest::closingWithoutApplyKeepsSettings()
{
    SettingsDialog d;
    d.show();
    box(d, "baudRateBox")->setCurrentIndex(0);
    d.reject(); // Escape or the title bar's close
    QCOMPARE(d.settings().baudRate, 115200);
    QCOMPARE(box(d, "baudRateBox")->currentText(), QStringLiteral("9600")); // shown as left
    d.show();
    apply(d);
    QCOMPARE(d.settings().baudRate, 9600);
    QVERIFY(!d.isVisible());
}

void SettingsDialogTest::customPathIsStoredAsTyped()
{
    SettingsDialog d;
    setPorts(d, {ftdi()});
    QComboBox *ports = box(d, "serialPortInfoListBox");
    ports->setCurrentIndex(1);
    QVERIFY(ports->isEditable());
    QCOMPARE(ports->currentText(), QString());
    QTest::keyClicks(ports, "/dev/pts/ 7");
    apply(d);
    QCOMPARE(d.settings().portName, QStringLiteral("/dev/pts/ 7"));
    ports->setCurrentIndex(0);
    QVERIFY(!ports->isEditable());
    QCOMPARE(ports->currentText(), QStringLiteral("ttyUSB0"));
}

QTEST_MAIN(SettingsDialogTest)
#include "tst_settingsdialog.moc"
