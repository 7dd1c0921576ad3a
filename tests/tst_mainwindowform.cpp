// The main window's form, checked row by row against the layout tables: names, classes,
// captions, tooltips, geometry, policies and initial states.
#include "TestSupport.h"

#include "app/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void window();
    void actions_data();
    void actions();
    void menusAndToolbar();
    void tabs();
    void gridButtons_data();
    void gridButtons();
    void placedWidgets_data();
    void placedWidgets();
    void radioGroupsExcludeWithinTheirGroup();
    void console();
    void initialState();
    void about();
    void guardAppliesToEveryJobButton_data();
    void guardAppliesToEveryJobButton();

private:
    MainWindow *w = nullptr;
    template <typename T> T *child(const QString &name)
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qFatal("missing %s", qPrintable(name));
        return c;
    }
};

void TestMainWindowForm::initTestCase()
{
    w = new MainWindow;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestMainWindowForm::cleanupTestCase() { delete w; }

void TestMainWindowForm::window()
{
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Printer Ruvela"));
    QCOMPARE(w->size(), QSize(880, 768));
    QCOMPARE(w->minimumSize(), QSize(880, 768));
    QCOMPARE(w->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(w->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(w->centralWidget()->objectName(), QStringLiteral("centralWidget"));
    QCOMPARE(w->menuBar()->objectName(), QStringLiteral("menuBar"));
    QCOMPARE(w->statusBar()->objectName(), QStringLiteral("statusBar"));
    auto *layout = qobject_cast<QVBoxLayout *>(w->centralWidget()->layout());
    QVERIFY(layout);
    QCOMPARE(layout->objectName(), QStringLiteral("verticalLayout"));
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(layout->itemAt(0)->widget()->objectName(), QStringLiteral("mainTabsRuvela"));
    QCOMPARE(layout->itemAt(1)->widget()->objectName(), QStringLiteral("editRuvela"));
    w->resize(700, 600); // cannot be made smaller
    QCOMPARE(w->size(), QSize(880, 768));
}

void TestMainWindowForm::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("hasIcon");
    QTest::newRow("connect") << "actionConnect"
                             << "C&onnect"
                             << "Connect to serial port"
                             << "Ctrl+O" << true;
    QTest::newRow("disconnect") << "actionDisconnect"
                                << "&Disconnect"
                                << "Disconnect from serial port"
                                << "Ctrl+D" << true;
    QTest::newRow("configure") << "actionConfigure"
                               << "&Configure"
                               << "Configure serial port"
                               << "Alt+C" << true;
    // An action without a tooltip shows its text without the mnemonic.
    QTest::newRow("quit") << "actionQuit"
                          << "&Quit"
                          << "Quit"
                          << "Ctrl+Q" << true;
    QTest::newRow("about") << "actionAbout"
                           << "&About"
                           << "About program"
                           << "Alt+A" << false;
    QTest::newRow("about Qt") << "actionAboutQt"
                              << "About Qt"
                              << "About Qt"
                              << "" << false;
}

void TestMainWindowForm::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QFETCH(bool, hasIcon);
    auto *a = child<QAction>(name);
    QCOMPARE(a->text(), text);
    QCOMPARE(a->toolTip(), toolTip);
    QCOMPARE(a->shortcut(), QKeySequence::fromString(shortcut, QKeySequence::NativeText));
    QCOMPARE(!a->icon().isNull(), hasIcon);
    if (hasIcon) {
        const QSize size = a->icon().availableSizes().value(0);
        QCOMPARE(size, QSize(128, 128));
    }
}

void TestMainWindowForm::menusAndToolbar()
{
    auto names = [](const QList<QAction *> &actions) {
        QStringList out;
        for (QAction *a : actions)
            out << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
        return out;
    };
    QStringList menus;
    for (QAction *a : w->menuBar()->actions())
        menus << a->menu()->objectName() + QLatin1Char('=') + a->menu()->title();
    QCOMPARE(menus, (QStringList{"menuCalls=Serial", "menuTools=Settings", "menuHelp=Help"}));
    QCOMPARE(names(child<QMenu>("menuCalls")->actions()),
        (QStringList{"actionConnect", "actionDisconnect", "-", "actionQuit"}));
    QCOMPARE(names(child<QMenu>("menuTools")->actions()), QStringList{"actionConfigure"});
    QCOMPARE(names(child<QMenu>("menuHelp")->actions()), (QStringList{"actionAbout", "actionAboutQt"}));
    auto *bar = child<QToolBar>("mainToolBar");
    QCOMPARE(w->toolBarArea(bar), Qt::TopToolBarArea);
    QCOMPARE(names(bar->actions()), (QStringList{"actionConnect", "actionDisconnect", "actionConfigure"}));
}

void TestMainWindowForm::tabs()
{
    auto *tabs = child<QTabWidget>("mainTabsRuvela");
    const QStringList pages{"tab_1", "tab_2", "tab_3", "tab_6", "tab_4"};
    const QStringList titles{"General", "Bar Codes", "Bitmaps", "Cutter", "Controller"};
    QCOMPARE(tabs->count(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), pages.at(i));
        QCOMPARE(tabs->tabText(i), titles.at(i));
    }
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(tabs->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(tabs->minimumSize(), QSize(0, 400));
    QVERIFY(!tabs->tabBarAutoHide());
}

void TestMainWindowForm::gridButtons_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    const struct
    {
        const char *layout;
        int row, column;
        const char *name, *caption, *toolTip;
    } rows[] = {
        {"gridLayout", 0, 0, "pushButtonFont", "Quick Test", "Prints examples"},
        {"gridLayout", 0, 2, "pushButtonAttributes", "Attributes", "Prints all available text attributes"},
        {"gridLayout", 0, 3, "pushButtonLanguage", "Language", "Prints samples of languages supported"},
        {"gridLayout", 1, 0, "pushButtonDensity", "Density", "Shows font darkness attributes"},
        {"gridLayout", 1, 2, "pushButtonBitmap", "QR Bitmap", "Prints standard QR code 232x232 bitmap"},
        {"gridLayout", 1, 3, "pushButtonFormatting", "Formatting",
            "Prints tabs, line spacing, margins, print position, alignment"},
        {"gridLayout", 2, 0, "pushButtonTabs", "Alignment",
            "Print horizontal tabs, absolute position, left center right alignment"},
        {"gridLayout", 2, 2, "pushButtonReset", "Reset", "Reset and Init controller"},
        {"gridLayout", 2, 3, "pushButtonClear", "Clear Buffer && Line Feed", "Clears the print buffer"},
        {"gridLayout", 3, 0, "pushButtonReceipt", "Receipt", "Prints a typical sample POS receipt"},
        {"gridLayout", 3, 2, "pushButtonVersion", "Version", "Displays controller information"},
        {"gridLayout", 3, 3, "pushButtonStatus", "Status", "Displays controller status information"},
        {"gridLayout", 4, 0, "pushButtonPowerManagment", "Power Managment", ""},
        {"gridLayout_2", 0, 0, "pushButtonBarcodeUPCA", "UPC-A", "Prints UPC-A bar code example"},
        {"gridLayout_2", 0, 1, "pushButtonBarcodeUPCE", "UPC-E", "Prints UPC-E bar code example"},
        {"gridLayout_2", 0, 2, "pushButtonBarcodeEAN13", "EAN-13", "Prints EAN-13 bar code example"},
        {"gridLayout_2", 1, 0, "pushButtonBarcodeEAN8", "EAN-8", "Prints EAN-8 bar code example"},
        {"gridLayout_2", 1, 1, "pushButtonBarcodeCODE39", "CODE 39", "Prints CODE 39 bar code example"},
        {"gridLayout_2", 1, 2, "pushButtonBarcodeITF25", "ITF 2 5", "Prints ITF 2 5 bar code example"},
        {"gridLayout_2", 2, 0, "pushButtonBarcodeCODABAR", "CODA BAR", "Prints CODA BAR bar code example"},
        {"gridLayout_2", 2, 1, "pushButtonBarcodeCODE93", "CODE 93", "Prints CODE 93 bar code example"},
        {"gridLayout_2", 2, 2, "pushButtonBarcodeCODE128A", "CODE 128 A", "Prints CODE 128 A bar code example"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.layout << r.row << r.column << r.name << r.caption << r.toolTip;
}

void TestMainWindowForm::gridButtons()
{
    QFETCH(QString, layout);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    auto *grid = child<QGridLayout>(layout);
    QCOMPARE(grid->spacing(), 8);
    QCOMPARE(grid->contentsMargins(), QMargins());
    QLayoutItem *item = grid->itemAtPosition(row, column);
    QVERIFY(item && item->widget());
    auto *button = qobject_cast<QPushButton *>(item->widget());
    QVERIFY(button);
    QCOMPARE(button->objectName(), name);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->toolTip(), toolTip);
    QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(button->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
}

void TestMainWindowForm::placedWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    const struct
    {
        const char *name, *cls, *parent;
        QRect geometry;
        const char *caption, *toolTip;
    } rows[] = {
        {"layoutWidget", "QWidget", "tab_1", {20, 20, 651, 301}, nullptr, ""},
        {"layoutWidget_2", "QWidget", "tab_2", {20, 20, 661, 221}, nullptr, ""},
        {"groupBox_5", "QGroupBox", "tab_2", {20, 270, 701, 81}, "Bar Code Option", ""},
        {"pushButtonYesText", "QPushButton", "groupBox_5", {10, 30, 191, 31}, "Bar Code with Text",
            "Enables text printing of bar code value. Default behavior"},
        {"pushButtonNoText", "QPushButton", "groupBox_5", {220, 30, 191, 31}, "Bar Code without Text",
            "Disables Bar Code text representation of the value"},
        {"checkBoxBarCodeMargin", "QCheckBox", "groupBox_5", {430, 30, 241, 31}, "Add Left Margin Formatting",
            "Adds 4mm to the left margin allowing to move a bar code more to the center or right of the printing area"},
        {"scrollArea", "QScrollArea", "tab_3", {20, 20, 481, 351}, nullptr, ""},
        {"verticalLayoutWidget", "QWidget", "tab_3", {550, 20, 241, 221}, nullptr, ""},
        {"groupBox_7", "QGroupBox", "tab_6", {20, 20, 471, 261}, "Cutter Control", ""},
        {"pushButtonFullCut", "QPushButton", "groupBox_7", {30, 50, 171, 41}, "Full Cut",
            "Sends full cut command to the controller. Requires ZPC34"},
        {"pushButtonPartialCut", "QPushButton", "groupBox_7", {250, 50, 171, 41}, "Partial Cut",
            "Sends partial cut command to the controller. Requires ZPC34"},
        {"pushButtonReceiptFullCut", "QPushButton", "groupBox_7", {30, 130, 391, 41}, "Receipt with Full Cut",
            "Prints a sample receipt and cuts the paper"},
        {"pushButtonReceiptPartialCut", "QPushButton", "groupBox_7", {30, 190, 391, 41}, "Receipt with Partial Cut",
            "Prints a sample receipt and makes a partial paper cut"},
        {"groupBox_3", "QGroupBox", "tab_4", {10, 10, 441, 411}, "UART Serial Settings", ""},
        {"groupBox", "QGroupBox", "groupBox_3", {20, 20, 401, 231}, "Serial Speed Setting", ""},
        {"groupBox_2", "QGroupBox", "groupBox_3", {20, 250, 401, 111}, "Flow Control", ""},
        {"pushButtonApply", "QPushButton", "groupBox_3", {320, 370, 101, 31}, "Apply", "Activate new settings"},
        {"radioButton9600", "QRadioButton", "groupBox", {20, 30, 281, 21}, "9600 bps", "Set UART com speed to 9600"},
        {"radioButton19200", "QRadioButton", "groupBox", {20, 60, 281, 21}, "19200 bps", "Set UART com speed to 19200"},
        {"radioButton38400", "QRadioButton", "groupBox", {20, 90, 281, 21}, "38400 bps", "Set UART com speed to 38400"},
        {"radioButton57600", "QRadioButton", "groupBox", {20, 120, 281, 21}, "57600 bps",
            "Set UART com speed to 57600"},
        {"radioButton115200", "QRadioButton", "groupBox", {20, 150, 281, 21}, "115200 bps  (*Default)",
            "Set UART com speed to 115200"},
        {"radioButton256000", "QRadioButton", "groupBox", {20, 180, 281, 21}, "256000 bps (FW 1.22 and higher)", ""},
        {"radioButton375000", "QRadioButton", "groupBox", {20, 200, 281, 21}, "375000 bps (FW 1.22 and higher)", ""},
        {"line", "QFrame", "groupBox", {10, 170, 371, 16}, nullptr, ""},
        {"radioButtonNoFlow", "QRadioButton", "groupBox_2", {20, 20, 371, 21}, "No Flow Control",
            "Set to no flow control"},
        {"radioButtonSoftFlow", "QRadioButton", "groupBox_2", {20, 50, 371, 21}, "XON/XOFF Flow Control  (*Default)",
            "Set to xon/xoff software flow control"},
        {"radioButtonHardFlow", "QRadioButton", "groupBox_2", {20, 80, 371, 21}, "Hardware Flow Control",
            "Set to RTS/Busy hardware flow control. Requires hardware line also on host"},
        {"groupBox_4", "QGroupBox", "tab_4", {470, 10, 361, 411}, "Print Head Type Selection", ""},
        {"pushButtonFTP628", "QPushButton", "groupBox_4", {20, 40, 321, 31}, "58mm FTP628MCL101 Type",
            "Sets the used print head type to 58mm 6 stb 7.2V compatible design. Default"},
        {"pushButtonFTP638", "QPushButton", "groupBox_4", {20, 80, 321, 31}, "80mm FTP638MCL101 Type",
            "Sets the used print head type to 80mm 5 stb 7.2V compatible design"},
        {"pushButtonLTP0213", "QPushButton", "groupBox_4", {20, 120, 321, 31}, "58mm LTP02-245-13 Type",
            "Sets the used print head type to 58mm 1 stb 7.2V compatible design"},
        {"pushButtonLTP02C1", "QPushButton", "groupBox_4", {20, 160, 321, 31}, "58mm LTP02-245-C1 Type",
            "Sets the used print head type to 58mm 1 stb 4.0V compatible design"},
        {"pushButton58_384", "QPushButton", "groupBox_4", {20, 200, 321, 31}, "58mm 384 dots Cutter Type",
            "Sets the used print head type to 58mm 5V-24V 384 dots per line with cutter. ZPC34 required"},
        {"pushButton80_576", "QPushButton", "groupBox_4", {20, 240, 321, 31}, "80mm 576 dots Cutter Type",
            "Sets the used print head type to 80mm 7.2V-24V 576 dots per line with cutter. ZPC34 required"},
        {"pushButtonM23_H69", "QPushButton", "groupBox_4", {20, 280, 321, 31}, "58mm M23-DH-H69 Type",
            "Sets the used print head type to 58mm 1 stb 7.2V compatible design"},
        {"pushButtonM23_SX", "QPushButton", "groupBox_4", {20, 320, 321, 31}, "58mm M23-SX Type",
            "Sets the used print head type to 58mm 1 stb 7.2V compatible design"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.name << r.cls << r.parent << r.geometry
                              << (r.caption ? QString::fromLatin1(r.caption) : QString()) << r.toolTip;
}

void TestMainWindowForm::placedWidgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    auto *widget = child<QWidget>(name);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    QCOMPARE(widget->parentWidget()->objectName(), parentName);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->toolTip(), toolTip);
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), caption);
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(group->title(), caption);
}

void TestMainWindowForm::radioGroupsExcludeWithinTheirGroup()
{
    auto *r9600 = child<QRadioButton>("radioButton9600");
    auto *r375 = child<QRadioButton>("radioButton375000");
    auto *hard = child<QRadioButton>("radioButtonHardFlow");
    r375->click();
    QVERIFY(r375->isChecked());
    QVERIFY(!child<QRadioButton>("radioButton115200")->isChecked());
    QVERIFY(child<QRadioButton>("radioButtonSoftFlow")->isChecked()); // the other group is independent
    hard->click();
    QVERIFY(hard->isChecked() && r375->isChecked());
    r9600->click();
    QVERIFY(!r375->isChecked());
    child<QRadioButton>("radioButton115200")->click();
    child<QRadioButton>("radioButtonSoftFlow")->click();
}

void TestMainWindowForm::console()
{
    auto *edit = child<QPlainTextEdit>("editRuvela");
    QCOMPARE(edit->minimumHeight(), 200);
    QCOMPARE(edit->maximumHeight(), 200);
    QCOMPARE(edit->height(), 200);
    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!edit->isReadOnly());
    auto *buttons = child<QWidget>("verticalLayoutWidget")->layout();
    QStringList order;
    for (int i = 0; i < buttons->count(); ++i)
        order << buttons->itemAt(i)->widget()->objectName();
    QCOMPARE(order, (QStringList{"pushButton_Load", "pushButton_58PrintH", "pushButton_LineFeed"}));
    QCOMPARE(child<QPushButton>("pushButton_Load")->toolTip(),
        QStringLiteral("Load an image for printing 58mm: max width 384 pix  80mm: max width 576"));
}

void TestMainWindowForm::initialState()
{
    MainWindow fresh;
    auto action = [&](const char *n) { return fresh.findChild<QAction *>(n)->isEnabled(); };
    QVERIFY(action("actionConnect"));
    QVERIFY(!action("actionDisconnect"));
    QVERIFY(action("actionConfigure"));
    QVERIFY(action("actionQuit"));
    QCOMPARE(consoleText(fresh), QString());
    QCOMPARE(statusText(fresh), QString());
    QVERIFY(fresh.findChild<QRadioButton *>("radioButton115200")->isChecked());
    QVERIFY(fresh.findChild<QRadioButton *>("radioButtonSoftFlow")->isChecked());
    QVERIFY(!fresh.findChild<QCheckBox *>("checkBoxBarCodeMargin")->isChecked());
    auto *scroll = fresh.findChild<QScrollArea *>("scrollArea");
    QCOMPARE(scroll->widget()->objectName(), QStringLiteral("previewLabel"));
    QCOMPARE(scroll->backgroundRole(), QPalette::Dark);
    QVERIFY(scroll->widgetResizable());
    QCOMPARE(scroll->frameShadow(), QFrame::Sunken);
    QCOMPARE(fresh.statusBar()->findChild<QLabel *>("statusLabel")->parentWidget(), fresh.statusBar());
}

void TestMainWindowForm::about()
{
    ModalCloser closer;
    closer.arm();
    child<QAction>("actionAbout")->trigger();
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Printer Ruvela"));
    QVERIFY(closer.text.contains(QStringLiteral("Printer Ruvela")));
    QVERIFY(closer.text.contains(QStringLiteral(RUVELA_VERSION)));
    QVERIFY(closer.text.contains(QString::fromLatin1(qVersion())));
}

// Every printing and configuration button asks to connect first, sends nothing and leaves
// the console as it was; only Load Image works without a line.
void TestMainWindowForm::guardAppliesToEveryJobButton_data()
{
    QTest::addColumn<QString>("name");
    for (QAbstractButton *b : w->findChildren<QPushButton *>()) {
        if (b->objectName() != QLatin1String("pushButton_Load") && b->objectName().startsWith("pushButton"))
            QTest::newRow(qPrintable(b->objectName())) << b->objectName();
    }
}

void TestMainWindowForm::guardAppliesToEveryJobButton()
{
    QFETCH(QString, name);
    QCOMPARE(w->findChildren<QPushButton *>().size(), 40);
    auto *edit = child<QPlainTextEdit>("editRuvela");
    edit->setPlainText(QStringLiteral("typed by the user"));
    ModalCloser closer;
    closer.arm();
    press(*w, qPrintable(name));
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Serial Port Connect"));
    QCOMPARE(closer.text, QStringLiteral("Please configure and connect to the serial port first!"));
    QCOMPARE(edit->toPlainText(), QStringLiteral("typed by the user"));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
