// The window without a line: the connect-first guard on every job button, the state it starts
// in, and the Settings record the dialog builds from the user's choices.
#include "TestSupport.h"

#include "app/Icons.h"
#include "app/MainWindow.h"
#include "serial/SettingsDialog.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { w = new MainWindow; }
    void cleanupTestCase() { delete w; }
    void startsDisconnected();
    void iconsShowAsTheyWouldLoadedAtOnce();
    void guardAppliesToEveryJobButton_data();
    void guardAppliesToEveryJobButton();
    void choicesMakeTheSettingsRecord_data();
    void choicesMakeTheSettingsRecord();
    void closingWithoutApplyKeepsTheSettings();
    void firstSizeShowsEveryControl();

private:
    MainWindow *w = nullptr;
};

void TestWindow::startsDisconnected()
{
    auto enabled = [this](const char *name) { return w->findChild<QAction *>(name)->isEnabled(); };
    QVERIFY(enabled("actionConnect") && enabled("actionConfigure") && enabled("actionQuit"));
    QVERIFY(!enabled("actionDisconnect"));
    QCOMPARE(statusText(*w), QString());
    QCOMPARE(consoleText(*w), QString());
}

void TestWindow::iconsShowAsTheyWouldLoadedAtOnce()
{
    for (const char *name : {"actionConnect", "actionDisconnect", "actionConfigure", "actionQuit"})
        QVERIFY2(w->findChild<QAction *>(name)->icon().availableSizes().contains(QSize(48, 48)), name);
    // A standard icon asked for now and drawn later is the one the style would have given.
    DeferredIconStyle deferred(QStyleFactory::create(QStringLiteral("Fusion")));
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    for (QStyle::StandardPixmap which : {QStyle::SP_ToolBarHorizontalExtensionButton,
             QStyle::SP_ToolBarVerticalExtensionButton, QStyle::SP_MessageBoxWarning, QStyle::SP_DialogApplyButton}) {
        const QIcon later = deferred.standardIcon(which), now = fusion->standardIcon(which);
        QVERIFY(!now.isNull());
        QCOMPARE(later.pixmap(16).toImage(), now.pixmap(16).toImage());
        QCOMPARE(later.actualSize(QSize(64, 64)), now.actualSize(QSize(64, 64)));
    }
    delete fusion;
}

void TestWindow::guardAppliesToEveryJobButton_data()
{
    QTest::addColumn<QString>("name");
    int buttons = 0;
    for (QPushButton *b : w->findChildren<QPushButton *>()) {
        if (!b->objectName().startsWith(QLatin1String("pushButton")))
            continue; // Cancel of a long write
        ++buttons;
        if (b->objectName() != QLatin1String("pushButton_Load"))
            QTest::newRow(qPrintable(b->objectName())) << b->objectName();
    }
    QCOMPARE(buttons, 41); // the form's 40 and Send
}

void TestWindow::guardAppliesToEveryJobButton()
{
    // Every printing and configuration button asks to connect first and leaves the console;
    // only Load Image works without a line.
    QFETCH(QString, name);
    auto *edit = w->findChild<QPlainTextEdit *>("editRuvela");
    edit->setPlainText(QStringLiteral("typed by the user"));
    w->findChild<QLineEdit *>("lineEditSend")->setText(QStringLiteral("1B 40"));
    ModalCloser closer;
    closer.arm();
    press(*w, qPrintable(name));
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Serial Port Connect"));
    QCOMPARE(closer.text, QStringLiteral("Please configure and connect to the serial port first!"));
    QCOMPARE(edit->toPlainText(), QStringLiteral("typed by the user"));
}

void TestWindow::choicesMakeTheSettingsRecord_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("value");
    for (const QStringList &row : dataTable(QStringLiteral("settings.txt")))
        QTest::newRow(qPrintable(row[0] + QLatin1Char(' ') + row[1])) << row[0] << row[1] << row[2].toInt();
}

void TestWindow::choicesMakeTheSettingsRecord()
{
    QFETCH(QString, box);
    QFETCH(QString, choice);
    QFETCH(int, value);
    SettingsDialog d;
    auto *combo = d.findChild<QComboBox *>(box);
    combo->setCurrentIndex(combo->findText(choice));
    QTest::mouseClick(d.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    const Settings s = d.settings();
    const QMap<QString, std::pair<int, QString>> got = {{"flowControlBox", {s.flowControl, s.flowControlText}},
        {"stopBitsBox", {s.stopBits, s.stopBitsText}}, {"parityBox", {s.parity, s.parityText}},
        {"baudRateBox", {s.baudRate, s.baudRateText}}, {"dataBitsBox", {s.dataBits, s.dataBitsText}}};
    QCOMPARE(got[box], std::make_pair(value, choice));
}

void TestWindow::closingWithoutApplyKeepsTheSettings()
{
    SettingsDialog d;
    d.show();
    d.findChild<QComboBox *>("baudRateBox")->setCurrentIndex(0);
    d.reject(); // Escape or the title bar's close
    QCOMPARE(d.settings().baudRate, 115200);
    d.show();
    QTest::mouseClick(d.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    QCOMPARE(d.settings().baudRate, 9600);
    QVERIFY(!d.isVisible());
}

void TestWindow::firstSizeShowsEveryControl()
{
    // At the size it opens with, every button of every tab and the send row show whole.
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(880, 768));
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        for (const QWidget *control : tabs->widget(i)->findChildren<QAbstractButton *>())
            QVERIFY2(cutOff(control).isEmpty(), qPrintable(cutOff(control)));
    }
    for (const char *name : {"lineEditSend", "comboBoxSendMode", "pushButtonSend", "checkBoxHex", "editRuvela"}) {
        const QWidget *control = window.findChild<QWidget *>(name);
        QVERIFY2(cutOff(control).isEmpty(), qPrintable(cutOff(control)));
    }
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
