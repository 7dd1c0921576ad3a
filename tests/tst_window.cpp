// The window without a line: the connect-first guard on every job button, the state it starts
// in, the Settings record the dialog builds from the user's choices, and the macros' repeat and
// file.
#include "TestSupport.h"

#include "app/Icons.h"
#include "app/MacrosDock.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "paperview/PaperView.h"
#include "paperview/WindowPlace.h"
#include "tool/Launch.h"
#include "tool/MacroBook.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
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
    void everyButtonInReachWithThePanesOpen();
    void macrosRepeatAsAsked_data();
    void macrosRepeatAsAsked();
    void macroFileRoundTrips();
    void malformedMacroFileIsRefused_data();
    void malformedMacroFileIsRefused();

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

void TestWindow::everyButtonInReachWithThePanesOpen()
{
    // On the left half of a 1920 x 1080 screen, with every pane open.
    MainWindow window;
    if (window.screen()->availableGeometry().size() != QSize(1920, 1080))
        QSKIP("needs a 1920 x 1080 screen, as the offscreen one this test sets up");
    const QRect half = screenHalf(*window.screen(), false);
    placeOnHalf(window, false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize alone = window.size();
    QCOMPARE(alone, QSize(880, 768));
    Launch launch;
    launch.place = QStringLiteral("left");
    launch.panes = Launch::paneNames();
    window.start(launch);
    const QStringList docks{"trafficDock", "expectedPaperDock", "macrosDock"};
    for (const QString &dock : docks)
        QTRY_VERIFY(window.findChild<QDockWidget *>(dock) && window.findChild<QDockWidget *>(dock)->isVisible());
    QTRY_VERIFY(window.height() > alone.height() && window.width() > alone.width());
    QTest::qWait(50); // the docks take the size they were given
    QVERIFY2(half.contains(window.frameGeometry()),
        qPrintable(QStringLiteral("%1,%2 %3x%4")
                       .arg(window.frameGeometry().x())
                       .arg(window.frameGeometry().y())
                       .arg(window.frameGeometry().width())
                       .arg(window.frameGeometry().height())));

    // Every button of every tab whole on its page, in view or once scrolled to.
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        auto *scroller = qobject_cast<QScrollArea *>(tabs->widget(i));
        QVERIFY2(scroller, qPrintable(tabs->tabText(i) + QStringLiteral(" does not scroll")));
        QVERIFY2(cutOff(scroller).isEmpty(), qPrintable(cutOff(scroller)));
        const QList<QPushButton *> buttons = scroller->widget()->findChildren<QPushButton *>();
        QVERIFY(!buttons.isEmpty());
        for (QPushButton *button : buttons) {
            scroller->ensureWidgetVisible(button, 0, 0);
            QVERIFY2(cutOff(button).isEmpty(), qPrintable(cutOff(button)));
        }
    }
    // The panes open at a useful size: the expected paper a whole receipt wide.
    const auto *paper = window.findChild<PaperView *>("expectedPaperView");
    QVERIFY2(
        paper->viewport()->width() >= 384 * paper->zoom(), qPrintable(QString::number(paper->viewport()->width())));

    // Closing the panes gives their room back.
    for (const char *action : {"actionTraffic", "actionExpectedPaper", "actionMacros"})
        window.findChild<QAction *>(action)->setChecked(false);
    for (const QString &dock : docks)
        QVERIFY(window.findChild<QDockWidget *>(dock)->isHidden());
    QTRY_COMPARE(window.size(), alone);
    // and the window alone shows every button whole again, without scrolling.
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        for (const QWidget *button : tabs->widget(i)->findChildren<QPushButton *>())
            QVERIFY2(cutOff(button).isEmpty(), qPrintable(cutOff(button)));
    }
}

void TestWindow::macrosRepeatAsAsked_data()
{
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("stopAt"); // the run after which the user presses Stop, or 0
    QTest::addColumn<int>("runs");
    QTest::newRow("once") << 1 << 0 << 1;
    QTest::newRow("three times") << 3 << 0 << 3;
    QTest::newRow("until stopped") << 0 << 5 << 5;
    QTest::newRow("stopped before the count") << 10 << 2 << 2;
}

void TestWindow::macrosRepeatAsAsked()
{
    QFETCH(int, times);
    QFETCH(int, stopAt);
    QFETCH(int, runs);
    MacroBook book;
    QVERIFY(book.add({"init", "1B 40", SendMode::Hex}).isEmpty());
    QVERIFY(book.add({"line", "Hello\\n", SendMode::Text}).isEmpty());
    QStringList ran;
    connect(&book, &MacroBook::runs, &book, [&](const Macro &m) {
        ran << m.name;
        if (book.runsDone() == stopAt)
            book.stop();
    });
    book.setRepeat(2, times);
    book.start(1);
    QTRY_VERIFY(!book.running());
    QTest::qWait(30); // a timer left running would add runs meanwhile
    QCOMPARE(ran, QStringList(runs, QStringLiteral("line")));
    QCOMPARE(book.runsDone(), runs);
}

void TestWindow::macroFileRoundTrips()
{
    // A file written by hand reads as it says, and what is saved reads back the same.
    MacroBook book;
    QCOMPARE(book.fromJson(R"({"macros": [{"name": "status", "mode": "hex", "text": "10 04"},
        {"name": "hello", "mode": "text", "text": "Hi\\x1B@"}]})"),
        QString());
    const QList<Macro> expected{{"status", "10 04", SendMode::Hex}, {"hello", "Hi\\x1B@", SendMode::Text}};
    QCOMPARE(book.macros(), expected);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("macros.json"));
    MacrosDock(&book).save(file);
    MacroBook again;
    MacrosDock(&again).load(file);
    QCOMPARE(again.macros(), expected);
}

void TestWindow::malformedMacroFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fault");
    QTest::newRow("not JSON") << QByteArray(R"({"macros": [)") << "not JSON";
    QTest::newRow("no list") << QByteArray(R"({"macro": []})") << "no list of macros";
    QTest::newRow("no text") << QByteArray(R"({"macros": [{"name": "a", "mode": "hex"}]})")
                             << "macro 1 is not a name and a text";
    QTest::newRow("unknown mode") << QByteArray(R"({"macros": [{"name": "a", "mode": "bin", "text": "00"}]})")
                                  << R"(macro 1 has the mode "bin")";
    QTest::newRow("bad hex") << QByteArray(R"({"macros": [{"name": "a", "mode": "hex", "text": "1G"}]})")
                             << R"(macro "a":)";
    QTest::newRow("name twice") << QByteArray(
        R"({"macros": [{"name": "a", "mode": "hex", "text": "00"}, {"name": "a", "mode": "hex", "text": "01"}]})")
                                << R"(the name "a" is given twice)";
    QTest::newRow("no repeat interval") << QByteArray(R"({"every": 0, "macros": []})") << R"("every" must be)";
    QTest::newRow("a repeat count in words")
        << QByteArray(R"({"times": "twice", "macros": []})") << R"("times" must be)";
    QTest::newRow("a fraction of a run") << QByteArray(R"({"times": 1.5, "macros": []})") << R"("times" must be)";
}

void TestWindow::malformedMacroFileIsRefused()
{
    // The box names the file and the fault, and the macros held stay as they were.
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bad.json"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    out.close();
    MacroBook book;
    QVERIFY(book.add({"kept", "0A", SendMode::Hex}).isEmpty());
    MacrosDock dock(&book);
    ModalCloser closer;
    closer.arm();
    dock.load(file);
    QTRY_VERIFY(closer.done());
    QVERIFY2(closer.text.contains(file) && closer.text.contains(fault), qPrintable(closer.text));
    QCOMPARE(book.macros(), QList<Macro>({{"kept", "0A", SendMode::Hex}}));
}

int main(int argc, char *argv[])
{
    // The offscreen platform's screen made 1920 x 1080, a common desktop, whose halves the
    // programs are placed on.
    QTemporaryDir dir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile config(dir.filePath(QStringLiteral("screens.json")));
        if (!config.open(QIODevice::WriteOnly)
            || config.write(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1920, "height": 1080,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                <= 0)
            return 1;
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
    }
    QApplication app(argc, argv);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window.moc"
