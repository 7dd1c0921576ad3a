// The windows in Simplified Chinese: every text a person reads translated, the jobs' bytes and
// console texts those of tests/data/jobs.txt, no button text cut. Both programs' --help in either
// language is a row of the command-line table.
#include "TestSupport.h"
#include "WindowSteps.h"

#include "app/MainWindow.h"
#include "app/MonitorDialog.h"
#include "app/SettingsDialog.h"
#include "files/WholeFile.h"
#include "language/Language.h"
#include "monitor/HostEnds.h"
#include "serial/SerialLink.h"
#include "simwindow/SimWindow.h"
#include "tool/Identify.h"
#include "tool/Launch.h"

namespace {

// Texts that read the same in Chinese: product, model and code names, line settings as their
// standards write them, and numbers. Each is a name, not a word to translate.
const QStringList sameInEveryLanguage{
    QStringLiteral("Printer Ruvela"), // the product's name; the window title stays
    QStringLiteral("UPC-A"), QStringLiteral("UPC-E"), QStringLiteral("EAN-13"), QStringLiteral("EAN-8"),
    QStringLiteral("CODE 39"), QStringLiteral("CODE 93"), QStringLiteral("CODE 128 A"), QStringLiteral("CODA BAR"),
    QStringLiteral("ITF 2 5"), // barcode symbologies, as printed on the controller's documentation
    QStringLiteral("XON/XOFF"), QStringLiteral("RTS/CTS"), // flow-control names
};
// Speeds ("9600 bps"), other numbers, and paths the window shows (a pseudo-terminal's).
const QRegularExpression numberOrPath(QStringLiteral("^([0-9.]+( bps)?|/\\S*)$"));

bool translated(const QString &text)
{
    static const QRegularExpression cjk(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));
    const QString plain = QString(text).remove(QRegularExpression(QStringLiteral("<[^>]*>"))).trimmed();
    return plain.isEmpty() || cjk.match(plain).hasMatch() || sameInEveryLanguage.contains(plain)
        || numberOrPath.match(plain).hasMatch();
}

// Every text a person reads on the window and its children, hidden ones too, each named by
// where it stands: "QPushButton pushButtonReceipt text".
QStringList untranslatedTexts(QWidget *window)
{
    QStringList found;
    auto check = [&](const QObject *where, const char *what, const QString &text) {
        if (!translated(text))
            found << QStringLiteral("%1 %2 %3: \"%4\"")
                         .arg(QLatin1String(where->metaObject()->className()), where->objectName(), QLatin1String(what),
                             text);
    };
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        check(w, "tooltip", w->toolTip());
        if (w->isWindow() || qobject_cast<QDockWidget *>(w))
            check(w, "title", w->windowTitle());
        if (auto *label = qobject_cast<QLabel *>(w))
            check(w, "text", label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            check(w, "text", button->text());
        if (auto *box = qobject_cast<QGroupBox *>(w))
            check(w, "title", box->title());
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            check(w, "placeholder", edit->placeholderText());
        // The ports the system has, by the names it gives them.
        if (auto *combo = qobject_cast<QComboBox *>(w);
            combo && combo->objectName() != QLatin1String("serialPortInfoListBox")) {
            for (int i = 0; i < combo->count(); ++i)
                check(w, "item", combo->itemText(i));
        }
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                check(w, "tab", tabs->tabText(i));
        }
    }
    for (const QAction *action : window->findChildren<QAction *>()) {
        check(action, "text", action->text());
        check(action, "tooltip", action->toolTip());
    }
    return found;
}

} // namespace

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(language::install(QStringLiteral("zh_CN"), QStringLiteral("printer-ruvela")));
        QVERIFY(language::install(QStringLiteral("zh_CN"), QStringLiteral("zpc3x-sim")));
        w = new MainWindow;
        peer = new FarEnd;
        QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("已连接 ")));
    }
    void cleanupTestCase()
    {
        delete w;
        delete peer;
    }
    void everyTextIsTranslated_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *window :
            {"main window, menus and panes", "settings dialog", "monitor dialog", "virtual controller", "qt's buttons"})
            QTest::newRow(window) << QString::fromLatin1(window);
    }
    void everyTextIsTranslated()
    {
        QFETCH(QString, window);
        QStringList found;
        if (window.startsWith(QLatin1String("main"))) {
            Launch launch;
            launch.panes = Launch::paneNames(); // the panes are made when first shown
            w->start(launch);
            found = untranslatedTexts(w);
        } else if (window.startsWith(QLatin1String("settings"))) {
            SettingsDialog dialog;
            found = untranslatedTexts(&dialog);
        } else if (window.startsWith(QLatin1String("monitor"))) {
            w->findChild<QAction *>("actionMonitor")->trigger();
            auto *dialog = w->findChild<MonitorDialog *>();
            QVERIFY(dialog);
            found = untranslatedTexts(dialog);
            dialog->close();
        } else if (window.startsWith(QLatin1String("qt's"))) { // Qt's own translations, from Qt's folder
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Printer Ruvela"), {},
                QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Save);
            found = untranslatedTexts(&box);
        } else {
            sim::SimWindow sim(0, sim::WireSettings{});
            sim.refresh();
            found = untranslatedTexts(&sim);
        }
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
    void identifyCardIsTranslated()
    {
        // Every line's name and every status in words; the controller's own texts stay as they came.
        QString card;
        ModalCloser closer([&card](QWidget *box) {
            card = static_cast<QMessageBox *>(box)->text();
            box->close();
        });
        closer.arm();
        w->findChild<QAction *>("actionIdentify")->trigger();
        const QList<QByteArray> answers{hex("1A"), hex("32"), hex("12"), hex("72"), hex("'ZPC3x 1.0' 0D 0A"), hex("33"),
            hex("02"), hex("10"), hex("'_1.0' 00"), hex("'_ZPC' 00"), hex("'_ZPC3x' 00"), hex("0C")};
        for (qsizetype i = 0; i < answers.size(); ++i) {
            const QByteArray &query = Identify::queries().at(i);
            QCOMPARE(peer->read(query.size()).toHex(' '), query.toHex(' '));
            peer->writeAll(answers.at(i));
        }
        QTRY_VERIFY(closer.done());
        const QStringList lines = card.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 10, qPrintable(card));
        static const QRegularExpression english(QStringLiteral("\\b(?!ZPC)[A-Za-z]{3,}\\b"));
        for (const QString &line : lines) {
            const QString name = line.section(QStringLiteral("："), 0, 0);
            QVERIFY2(translated(name) && !english.match(name).hasMatch(), qPrintable(line));
            if (!line.contains(QLatin1String("ZPC3x 1.0")))
                QVERIFY2(!english.match(line).hasMatch(), qPrintable(line));
        }
    }
    void jobsSendTheirBytes_data() { addJobRows(); }
    void jobsSendTheirBytes() { pressJobRow(*w, *peer); }
    void noButtonTextIsCut()
    {
        // At the size the window opens with, every button of every tab is as wide as its text needs,
        // and shows whole.
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(880, 768));
        auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
        QStringList cut;
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            for (const QAbstractButton *button : tabs->widget(i)->findChildren<QAbstractButton *>()) {
                if (button->sizeHint().width() > button->width() || !cutOff(button).isEmpty())
                    cut << QStringLiteral("%1 \"%2\": %3 of %4 pixels; %5")
                               .arg(button->objectName(), button->text())
                               .arg(button->width())
                               .arg(button->sizeHint().width())
                               .arg(cutOff(button));
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }
    void reasonsInTheWindowsLanguage()
    {
        // Why a save failed reads in the window's language, the path as it is; a translation that
        // puts the arguments in another order takes each where it belongs.
        QTemporaryDir dir;
        const QString why = writeWholeFile(dir.path(), "x");
        QVERIFY2(why.contains(dir.path()) && why.contains(QStringLiteral("不是普通文件")), qPrintable(why));
        QCOMPARE(language::shown("SerialLink", QStringLiteral("it ended after 5 of the 9 bytes it had"),
                     SerialLink::reasonSources()),
            QStringLiteral("文件在其 9 字节中的第 5 字节处就结束了"));
        QCOMPARE(language::shown("HostEnds", QStringLiteral("cannot listen on 127.0.0.1:80: Permission denied"),
                     TcpHost::reasonSources()),
            QStringLiteral("无法在 127.0.0.1:80 上监听：Permission denied"));
    }
    // A fresh window's sessions: the status in words, a lost line's box, Monitor's refusal, Traffic's file.
    void scripts_data() { addScriptRows(QStringLiteral("script-translation.txt")); }
    void scripts() { runScriptRow(); }

private:
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
