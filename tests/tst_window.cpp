// The window without a line: the connect-first guard on every job button, the Settings record
// the dialog builds from the user's choices, and every control whole at the sizes it takes.
#include "TestSupport.h"

#include "app/Icons.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "paperview/PaperView.h"
#include "paperview/WindowPlace.h"
#include "tool/Launch.h"

namespace {

// Empty when every control of every tab and the send row shows whole, else what is cut.
QString allControlsWhole(MainWindow &window)
{
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    QStringList cut;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        for (const QWidget *control : tabs->widget(i)->findChildren<QAbstractButton *>())
            cut << cutOff(control);
    }
    for (const char *name : {"lineEditSend", "comboBoxSendMode", "pushButtonSend", "checkBoxHex", "editRuvela"})
        cut << cutOff(window.findChild<QWidget *>(name));
    cut.removeAll(QString());
    return cut.join(QLatin1Char('\n'));
}

// Empty when every button of the tab page in view shows whole across the width the page is
// seen in, with no horizontal scroll bar, and its text whole; else what is cut. The page scrolls
// down to each button in turn.
QString pageCut(QTabWidget &tabs, int index)
{
    auto *scroller = qobject_cast<QScrollArea *>(tabs.widget(index));
    QWidget *page = scroller ? scroller->widget() : tabs.widget(index);
    const QWidget *view = scroller ? scroller->viewport() : page;
    const QString title = tabs.tabText(index);
    QStringList cut;
    if (scroller && scroller->horizontalScrollBar()->isVisible())
        cut << title + QStringLiteral(" scrolls sideways");
    const QList<QAbstractButton *> buttons = page->findChildren<QAbstractButton *>();
    if (buttons.isEmpty())
        cut << title + QStringLiteral(" has no buttons");
    for (QAbstractButton *button : buttons) {
        if (scroller) { // scrolled down to, never sideways
            scroller->ensureWidgetVisible(button, 0, 0);
            scroller->horizontalScrollBar()->setValue(0);
        }
        const QRect shown(button->mapTo(view, QPoint(0, 0)), button->size());
        if (shown.left() < 0 || shown.right() >= view->width())
            cut << QStringLiteral("%1: %2 spans %3 to %4 of %5")
                       .arg(title, button->objectName())
                       .arg(shown.left())
                       .arg(shown.right())
                       .arg(view->width());
        // Narrower than it asks for, a button clips its caption.
        if (button->width() < button->sizeHint().width())
            cut << QStringLiteral("%1: %2 is %3 wide for a caption that needs %4")
                       .arg(title, button->objectName())
                       .arg(button->width())
                       .arg(button->sizeHint().width());
        cut << cutOff(button);
    }
    cut.removeAll(QString());
    return cut.join(QLatin1Char('\n'));
}

// Every widget of the tab pages where it stands.
QMap<QString, QRect> pageGeometries(MainWindow &window)
{
    QMap<QString, QRect> places;
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    for (int i = 0; i < tabs->count(); ++i) {
        auto *scroller = qobject_cast<QScrollArea *>(tabs->widget(i));
        for (const QWidget *w : (scroller ? scroller->widget() : tabs->widget(i))->findChildren<QWidget *>()) {
            if (!w->objectName().isEmpty())
                places.insert(w->objectName(), w->geometry());
        }
    }
    return places;
}

// The window's frame on its half of the screen, with room for a title bar: this platform
// frames no window, so the room is left all the same.
bool fitsOn(const QRect &half, const QRect &frame)
{
    return frame.height() + 32 <= half.height() && half.contains(frame);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { w = new MainWindow; }
    void cleanupTestCase() { delete w; }
    void iconsShowAsTheyWouldLoadedAtOnce()
    {
        // The pictures decoded when the program was built are those of its PNGs.
        const QList<std::pair<const char *, QString>> pictures{{"actionConnect", ":/images/connect.png"},
            {"actionDisconnect", ":/images/disconnect.png"}, {"actionConfigure", ":/images/settings.png"},
            {"actionQuit", ":/images/application-exit.png"}};
        for (const auto &[name, png] : pictures) {
            const QIcon icon = w->findChild<QAction *>(name)->icon();
            QVERIFY2(icon.availableSizes().contains(QSize(48, 48)), name);
            QCOMPARE(icon.pixmap(48).toImage(), QPixmap::fromImage(QImage(png)).toImage());
        }
        // A standard icon asked for now and drawn later is the one the style would have given.
        DeferredIconStyle deferred(QStyleFactory::create(QStringLiteral("Fusion")));
        QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
        for (QStyle::StandardPixmap which :
            {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
                QStyle::SP_MessageBoxWarning, QStyle::SP_DialogApplyButton}) {
            const QIcon later = deferred.standardIcon(which), now = fusion->standardIcon(which);
            QVERIFY(!now.isNull());
            QCOMPARE(later.pixmap(16).toImage(), now.pixmap(16).toImage());
            QCOMPARE(later.actualSize(QSize(64, 64)), now.actualSize(QSize(64, 64)));
        }
        delete fusion;
    }
    void guardAppliesToEveryJobButton_data()
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
    void guardAppliesToEveryJobButton()
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
    void choicesMakeTheSettingsRecord_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("value");
        for (const QStringList &row : dataTable(QStringLiteral("settings.txt")))
            QTest::newRow(qPrintable(row[0] + QLatin1Char(' ') + row[1])) << row[0] << row[1] << row[2].toInt();
    }
    void choicesMakeTheSettingsRecord()
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
    void settingsDialogMadeWhenFirstNeeded()
    {
        // The first window never shows the dialog, so starting without a line's settings makes
        // none (nor lists the ports); Configure opens it over the window.
        MainWindow window;
        window.start(Launch());
        QVERIFY(!window.findChild<SettingsDialog *>());
        ModalCloser closer;
        closer.arm();
        window.findChild<QAction *>("actionConfigure")->trigger();
        QTRY_VERIFY(closer.done());
        QVERIFY(window.findChild<SettingsDialog *>());
        // Asked for a line's settings at start, it is made and holds them.
        MainWindow chosen;
        Launch launch;
        launch.choice.baudRate = 9600;
        chosen.start(launch);
        QCOMPARE(chosen.findChild<SettingsDialog *>()->settings().baudRate, 9600);
    }
    void closingWithoutApplyKeepsTheSettings()
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
    void everyButtonInReachWithThePanesOpen()
    {
        // At the size it opens with, every control shows whole; then on the left half of a
        // 1920 x 1080 screen with every pane open, every button is in reach.
        MainWindow window;
        if (window.screen()->availableGeometry().size() != QSize(1920, 1080))
            QSKIP("needs a 1920 x 1080 screen, as the offscreen one this test sets up");
        const QRect half = screenHalf(*window.screen(), false);
        placeOnHalf(window, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize alone = window.size();
        QCOMPARE(alone, QSize(880, 768));
        QVERIFY2(allControlsWhole(window).isEmpty(), qPrintable(allControlsWhole(window)));
        const QMap<QString, QRect> designed = pageGeometries(window); // each page laid out once shown
        Launch launch;
        launch.place = QStringLiteral("left");
        launch.panes = Launch::paneNames();
        window.start(launch);
        const QStringList docks{"trafficDock", "expectedPaperDock", "macrosDock"};
        for (const QString &dock : docks)
            QTRY_VERIFY(window.findChild<QDockWidget *>(dock) && window.findChild<QDockWidget *>(dock)->isVisible());
        QTRY_VERIFY(window.height() > alone.height() && window.width() > alone.width());
        QTest::qWait(50); // the docks take the size they were given
        const QRect frame = window.frameGeometry();
        QVERIFY2(fitsOn(half, frame),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));

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

        // Closing the panes gives their room back, and the window alone shows every control whole
        // again, without scrolling.
        for (const char *action : {"actionTraffic", "actionExpectedPaper", "actionMacros"})
            window.findChild<QAction *>(action)->setChecked(false);
        for (const QString &dock : docks)
            QVERIFY(window.findChild<QDockWidget *>(dock)->isHidden());
        QTRY_COMPARE(window.size(), alone);
        QVERIFY2(allControlsWhole(window).isEmpty(), qPrintable(allControlsWhole(window)));
        // Each widget of the pages back where it was laid out.
        const QMap<QString, QRect> back = pageGeometries(window);
        for (auto place = designed.begin(); place != designed.end(); ++place)
            QVERIFY2(back.value(place.key()) == place.value(), qPrintable(place.key()));
    }

    void everyButtonWholeBesideThePanes_data()
    {
        QTest::addColumn<QStringList>("panes");
        QTest::newRow("none") << QStringList();
        const QStringList names = Launch::paneNames();
        for (int chosen = 1; chosen < 1 << names.size(); ++chosen) {
            QStringList panes;
            for (int i = 0; i < names.size(); ++i) {
                if (chosen & 1 << i)
                    panes << names[i];
            }
            QTest::newRow(qPrintable(panes.join(QLatin1Char(',')))) << panes;
        }
    }
    void everyButtonWholeBesideThePanes()
    {
        // --show PANES --place left on a 1920 x 1080 screen: the window on its half, and every tab
        // page's buttons whole across the room the panes leave it, scrolled down to if need be.
        QFETCH(QStringList, panes);
        MainWindow window;
        if (window.screen()->availableGeometry().size() != QSize(1920, 1080))
            QSKIP("needs a 1920 x 1080 screen, as the offscreen one this test sets up");
        placeOnHalf(window, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Launch launch;
        launch.place = QStringLiteral("left");
        launch.panes = panes;
        window.start(launch);
        const QHash<QString, QString> docks{{QStringLiteral("traffic"), QStringLiteral("trafficDock")},
            {QStringLiteral("expected-paper"), QStringLiteral("expectedPaperDock")},
            {QStringLiteral("macros"), QStringLiteral("macrosDock")}};
        for (const QString &pane : panes) {
            QTRY_VERIFY(window.findChild<QDockWidget *>(docks[pane])
                && window.findChild<QDockWidget *>(docks[pane])->isVisible());
        }
        if (!panes.isEmpty())
            QTRY_VERIFY(window.size() != QSize(880, 768)); // the room made for the panes
        QTest::qWait(50); // the docks take the size they were given

        const QRect half = screenHalf(*window.screen(), false), frame = window.frameGeometry();
        QVERIFY2(fitsOn(half, frame),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QTRY_VERIFY2_WITH_TIMEOUT(pageCut(*tabs, i).isEmpty(), qPrintable(pageCut(*tabs, i)), 1000);
        }
    }

private:
    MainWindow *w = nullptr;
};

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
