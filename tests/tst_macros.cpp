// The Macros pane on a real line and with the user's files: a repeat that waits for a held line
// rather than piling runs up, the repeat's count and Stop, Load… refusing what is not a regular
// file or not a list of macros, the repeat kept in the file, and Edit updating a macro in its place.
#include "TestSupport.h"
#include "WindowSteps.h"

#include "app/MacrosDock.h"
#include "app/MainWindow.h"
#include "tool/MacroBook.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestMacros : public QObject
{
    Q_OBJECT

private slots:
    // Sessions on a fresh window and far end: a repeat while the line holds, a click or Return, the file.
    void scripts_data() { addScriptRows(QStringLiteral("script-macros.txt")); }
    void scripts() { runScriptRow(); }
    void repeatsAsAsked()
    {
        // Times, the run after which the user presses Stop (0: none), and the runs made: once,
        // three times, until stopped, and stopped before the count.
        for (const auto &[times, stopAt, runs] : {std::tuple{1, 0, 1}, {3, 0, 3}, {0, 5, 5}, {10, 2, 2}}) {
            MacroBook book;
            QVERIFY(book.add({"init", "1B 40", SendMode::Hex}).isEmpty());
            QVERIFY(book.add({"line", "Hello\\n", SendMode::Text}).isEmpty());
            QStringList ran;
            connect(&book, &MacroBook::runs, &book, [&, stopAt = stopAt](const Macro &m) {
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
    }
    void loadRefusesWhatIsNoListOfMacros_data() { addTableRows(QStringLiteral("macroload.txt")); }
    void loadRefusesWhatIsNoListOfMacros()
    {
        // Refused at once with the file's name and why; the macros held stay as they were.
        QFETCH(QStringList, row);
        const QString kind = row[1], why = row[3];
        QTemporaryDir place;
        const QString fifo = place.filePath(QStringLiteral("macros.fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QString file = place.filePath(QStringLiteral("link.json"));
        if (kind == QLatin1String("fifo"))
            file = fifo;
        else if (kind == QLatin1String("device"))
            file = QStringLiteral("/dev/null");
        else if (kind == QLatin1String("folder"))
            file = place.path();
        else if (kind == QLatin1String("link to fifo"))
            QVERIFY(QFile::link(fifo, file));
        else if (kind == QLatin1String("dangling link"))
            QVERIFY(QFile::link(place.filePath(QStringLiteral("gone.json")), file));
        else
            QVERIFY(writeFile(file, row[2].toUtf8()));
        // Should Load open the pipe and wait there, a writer comes by and goes, so that the test
        // ends with what Load made of it rather than hanging.
        std::atomic<bool> over{false};
        std::thread writer([&] {
            while (!over) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        MacroBook book;
        QVERIFY(book.add({"kept", "0A", SendMode::Hex}).isEmpty());
        MacrosDock dock(&book);
        ModalCloser closer;
        closer.arm();
        dock.load(file);
        over = true;
        writer.join();
        QTRY_VERIFY(closer.done());
        QCOMPARE(closer.title, QStringLiteral("Load Macros"));
        QVERIFY2(closer.text.startsWith(QStringLiteral("Cannot load %1: ").arg(file)) && closer.text.contains(why),
            qPrintable(closer.text));
        QCOMPARE(book.macros(), QList<Macro>({{"kept", "0A", SendMode::Hex}}));
    }
    void editUpdatesInPlace()
    {
        MacroBook book;
        QVERIFY(book.add({"init", "1B 40", SendMode::Hex}).isEmpty());
        QVERIFY(book.add({"feed", "0A", SendMode::Hex}).isEmpty());
        MacrosDock dock(&book);
        dock.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dock));
        auto *list = dock.findChild<QListWidget *>("macroList");
        // The edit dialog says it updates the macro, and it does, in its place: no second macro.
        QString title, button;
        ModalCloser closer([&](QWidget *modal) {
            title = modal->windowTitle();
            auto *update = modal->findChild<QPushButton *>("macroUpdate");
            button = update->text();
            auto *name = modal->findChild<QLineEdit *>("macroEditName");
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("hello"));
            modal->findChild<QComboBox *>("macroEditMode")->setCurrentIndex(1); // Text
            auto *text = modal->findChild<QLineEdit *>("macroEditText");
            text->selectAll();
            QTest::keyClicks(text, QStringLiteral("Hi\\n"));
            QTest::mouseClick(update, Qt::LeftButton);
        });
        closer.arm();
        dock.edit(0);
        QTRY_VERIFY(closer.done());
        QCOMPARE(title, QStringLiteral("Update Macro \"init\""));
        QCOMPARE(button, QStringLiteral("Update"));
        QCOMPARE(book.macros(), QList<Macro>({{"hello", "Hi\\n", SendMode::Text}, {"feed", "0A", SendMode::Hex}}));
        QCOMPARE(list->item(0)->text(), QStringLiteral("hello"));
    }
};

QTEST_MAIN(TestMacros)
#include "tst_macros.moc"
