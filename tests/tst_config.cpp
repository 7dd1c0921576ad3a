// The "Controller" tab: print head types and the controller's own UART mode.
#include "TestSupport.h"

#include "app/MainWindow.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>

class TestConfig : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void headTypes_data();
    void headTypes();
    void m23H69ActsOnPress();
    void applySendsTheCheckedCodes_data();
    void applySendsTheCheckedCodes();

private:
};

void TestConfig::headTypes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("console");
    const char *zpc3x = "\nUpdating ZPC3x controller flash...";
    const char *zpc34 = "\nUpdating ZPC34 controller flash...";
    QTest::newRow("FTP628") << "pushButtonFTP628" << hex("1B 5A 00")
                            << QString("Setting Print Head to Type: 0 - 58mm FTP628MCL101 or compatible") + zpc3x;
    QTest::newRow("FTP638") << "pushButtonFTP638" << hex("1B 5A 01")
                            << QString("Setting Print Head to Type: 1 - 80mm FTP638MCL101 or compatible") + zpc3x;
    QTest::newRow("LTP0213") << "pushButtonLTP0213" << hex("1B 5A 02")
                             << QString("Setting Print Head to Type: 2 - 58mm Seiko LTP02-245-13 or compatible")
            + zpc3x;
    QTest::newRow("LTP02C1") << "pushButtonLTP02C1" << hex("1B 5A 03")
                             << QString("Setting Print Head to Type: 3 - 58mm Seiko LTP02-245-C1 or compatible")
            + zpc3x;
    QTest::newRow("58_384") << "pushButton58_384" << hex("1B 5A 04")
                            << QString("Setting Print Head to Type: 4 - 58mm 384 dots with cutter 7.2V/24V") + zpc34;
    QTest::newRow("80_576") << "pushButton80_576" << hex("1B 5A 05")
                            << QString("Setting Print Head to Type: 5 - 80mm 576 dots with cutter 7.2V/24V") + zpc34;
    QTest::newRow("M23_H69") << "pushButtonM23_H69" << hex("1B 5A 06")
                             << QString("Setting Print Head to Type: 6 - 58mm M23-DH-H69 or compatible") + zpc3x;
    QTest::newRow("M23_SX") << "pushButtonM23_SX" << hex("1B 5A 07")
                            << QString("Setting Print Head to Type: 7 - 58mm M23-SX or compatible") + zpc3x;
}

void TestConfig::headTypes()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, console);
    press(*w, qPrintable(button));
    QByteArray got = peer->read(bytes.size());
    got += peer->readUntilQuiet(50);
    QCOMPARE(got.toHex(' '), bytes.toHex(' '));
    QCOMPARE(consoleText(*w), console);
}

void TestConfig::m23H69ActsOnPress()
{
    auto *other = w->findChild<QPushButton *>("pushButtonM23_SX");
    QTest::mousePress(other, Qt::LeftButton);
    QCOMPARE(peer->readUntilQuiet(50), QByteArray()); // the others wait for the release
    QTest::mouseRelease(other, Qt::LeftButton);
    QCOMPARE(peer->read(3).toHex(' '), QByteArray("1b 5a 07"));

    auto *h69 = w->findChild<QPushButton *>("pushButtonM23_H69");
    QTest::mousePress(h69, Qt::LeftButton);
    QCOMPARE(peer->read(3).toHex(' '), QByteArray("1b 5a 06"));
    QTest::mouseRelease(h69, Qt::LeftButton);
    QCOMPARE(peer->readUntilQuiet(50), QByteArray());
}

void TestConfig::applySendsTheCheckedCodes_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("start-up selection") << "radioButton115200"
                                        << "radioButtonSoftFlow" << hex("1D 28 04 01");
    QTest::newRow("375000 hardware") << "radioButton375000"
                                     << "radioButtonHardFlow" << hex("1D 28 06 02");
    QTest::newRow("9600 none") << "radioButton9600"
                               << "radioButtonNoFlow" << hex("1D 28 00 00");
    QTest::newRow("19200 soft") << "radioButton19200"
                                << "radioButtonSoftFlow" << hex("1D 28 01 01");
    QTest::newRow("38400 none") << "radioButton38400"
                                << "radioButtonNoFlow" << hex("1D 28 02 00");
    QTest::newRow("57600 hard") << "radioButton57600"
                                << "radioButtonHardFlow" << hex("1D 28 03 02");
    QTest::newRow("256000 soft") << "radioButton256000"
                                 << "radioButtonSoftFlow" << hex("1D 28 05 01");
}

void TestConfig::applySendsTheCheckedCodes()
{
    QFETCH(QString, speed);
    QFETCH(QString, flow);
    QFETCH(QByteArray, bytes);
    w->findChild<QRadioButton *>(speed)->click();
    w->findChild<QRadioButton *>(flow)->click();
    auto *port = w->findChild<QSerialPort *>();
    const qint32 hostBaud = port->baudRate();
    const auto hostFlow = port->flowControl();
    press(*w, "pushButtonApply");
    QByteArray got = peer->read(bytes.size());
    got += peer->readUntilQuiet(50);
    QCOMPARE(got.toHex(' '), bytes.toHex(' '));
    QCOMPARE(consoleText(*w),
        QStringLiteral("Setting UART com speed and flow control. Startup default settings are 115200bps and "
                       "XON/XOFF\nAfter issuing this command you must adjust your host UART settings as well by "
                       "diconnecting and connectin with the right settings"));
    QCOMPARE(port->baudRate(), hostBaud); // the host's own port keeps its settings
    QCOMPARE(port->flowControl(), hostFlow);
}

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
