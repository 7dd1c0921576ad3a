// The engineer's own use of the line beside the fixed jobs: the command line, the send line and
// the console, Send File, Save Sent Bytes, and the progress of a long write with Cancel, over a
// real pseudo-terminal.
#include "SimSupport.h"

#include "app/MainWindow.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"
#include "tool/SendLine.h"

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

class TestOwnBytes : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void headlessRunsSendTheButtonsBytes_data();
    void headlessRunsSendTheButtonsBytes();
    void sendLine_data();
    void sendLine();
    void sendLineAndConsole_data();
    void sendLineAndConsole();
    void sendFileStopsAtAReadError();
    void savedBytesAreWholeOrNothing_data();
    void savedBytesAreWholeOrNothing();
    void longWriteShowsProgressAndCancels();

private:
    void reconnect() // what was sent counts from here
    {
        w->findChild<QAction *>("actionDisconnect")->trigger();
        w->findChild<QAction *>("actionConnect")->trigger();
    }
    QTemporaryDir dir;
};

namespace {

using Stat = struct stat;

// Hands the job to the window as its buttons do.
bool writeJob(MainWindow &window, const QByteArray &job)
{
    return QMetaObject::invokeMethod(&window, "Write",
        Q_ARG(const unsigned char *, reinterpret_cast<const unsigned char *>(job.constData())),
        Q_ARG(size_t, size_t(job.size())));
}

} // namespace

void TestOwnBytes::commandLine_data() { addTableRows(QStringLiteral("commandline.txt")); }

void TestOwnBytes::commandLine()
{
    QFETCH(QStringList, row);
    const QStringList arguments = row[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const int exitCode = row[2].toInt(); // -1: the window opens
    const QString output = row.value(3).trimmed();
    const Launch launch = parseLaunch(QStringList{"printer-ruvela"} + arguments);
    QCOMPARE(launch.exitCode, exitCode);
    QVERIFY2(launch.output.contains(output), qPrintable(launch.output));
    if (exitCode < 0)
        return;
    // The program itself answers before any window: no display is needed.
    QProcess program;
    runsHeadless(program);
    program.start(QStringLiteral(PRINTER_RUVELA), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY((program.readAllStandardOutput() + program.readAllStandardError()).contains(output.toUtf8()));
}

void TestOwnBytes::headlessRunsSendTheButtonsBytes_data() { addTableRows(QStringLiteral("headless.txt")); }

void TestOwnBytes::headlessRunsSendTheButtonsBytes()
{
    QFETCH(QStringList, row);
    for (QString &field : row)
        field = field == QLatin1String("-") ? QString() : field.trimmed();
    const QString button = row[2], answer = row[3];
    const int exitCode = row[4].toInt();
    FarEnd line;
    QProcess program;
    runsHeadless(program);
    program.start(QStringLiteral(PRINTER_RUVELA),
        row[1].replace(QStringLiteral("LINE"), line.path()).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QByteArray sent;
    if (answer == QLatin1String("hang up")) {
        program.write(QByteArray(4 << 20, 'x')); // far more than the line holds
        program.closeWriteChannel();
        QVERIFY(!line.read(100, 10000).isEmpty());
        line.close();
    } else if (!button.isEmpty()) {
        sent = line.read(1, 10000);
        sent += line.readUntilQuiet(150);
        line.writeAll(hex(answer.toLatin1()));
    }
    QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(20000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitCode(), exitCode);
    if (button.isEmpty()) {
        QVERIFY2(err.contains(row[5]), qPrintable(err));
        return;
    }
    // The same job from the window's button, as a user presses it.
    press(*w, qPrintable(button));
    const QByteArray pressed = peer->readUntilQuiet(300);
    QVERIFY(!pressed.isEmpty());
    QCOMPARE(sent.toHex(' '), pressed.toHex(' '));
    const QString console = consoleText(*w);
    QCOMPARE(out,
        (console.isEmpty() ? QString() : console + QLatin1Char('\n'))
            + (row[5].isEmpty() ? QString() : row[5] + QLatin1Char('\n')));
}

void TestOwnBytes::sendLine_data() { addTableRows(QStringLiteral("sendline.txt")); }

void TestOwnBytes::sendLine()
{
    QFETCH(QStringList, row);
    const QString expected = row[3];
    const SendLine line = parseSendLine(row[2], row[1] == QLatin1String("hex") ? SendMode::Hex : SendMode::Text);
    if (expected.startsWith(QLatin1String("refused at "))) {
        QCOMPARE(line.errorAt, expected.mid(11).toInt());
        QVERIFY(line.bytes.isEmpty());
    } else {
        QCOMPARE(line.errorAt, -1);
        QCOMPARE(
            line.bytes.toHex(' ').toUpper(), expected == QLatin1String("nothing") ? QByteArray() : expected.toLatin1());
    }
}

void TestOwnBytes::sendLineAndConsole_data()
{
    QTest::addColumn<QStringList>("steps");
    for (const auto &[name, steps] : dataSections(QStringLiteral("ownbytes-console.txt")))
        QTest::newRow(qPrintable(name)) << steps;
}

void TestOwnBytes::sendLineAndConsole()
{
    QFETCH(QStringList, steps);
    auto *edit = w->findChild<QLineEdit *>("lineEditSend");
    auto *console = w->findChild<QPlainTextEdit *>("editRuvela");
    ModalCloser box;
    QString boxText; // the box the next step must show, with a text holding this
    for (const QString &step : steps) {
        const QString op = step.section(QLatin1Char(' '), 0, 0), arg = step.section(QLatin1Char(' '), 1);
        if (op == QLatin1String("box")) {
            box.arm();
            boxText = arg;
            continue;
        }
        if (op == QLatin1String("mode"))
            w->findChild<QComboBox *>("comboBoxSendMode")->setCurrentText(arg);
        else if (op == QLatin1String("type") || op == QLatin1String("set"))
            edit->setText(arg);
        else if (op == QLatin1String("key"))
            QTest::keyClick(edit, arg == QLatin1String("Up") ? Qt::Key_Up : Qt::Key_Down);
        else if (op == QLatin1String("line"))
            QCOMPARE(edit->text(), arg);
        else if (op == QLatin1String("press"))
            press(*w, qPrintable(arg));
        else if (op == QLatin1String("sent")) // these, or with none no more
            QCOMPARE((arg.isEmpty() ? peer->readUntilQuiet(100) : peer->read(hex(arg.toLatin1()).size())).toHex(' '),
                hex(arg.toLatin1()).toHex(' '));
        else if (op == QLatin1String("far"))
            peer->writeAll(hex(arg.toLatin1()));
        else if (op == QLatin1String("console"))
            QTRY_COMPARE(consoleText(*w), QString::fromUtf8(hex(arg.toUtf8())));
        else if (op == QLatin1String("typed")) // text of the user's own, the cursor behind it
            console->setPlainText(arg), console->moveCursor(QTextCursor::End);
        else if (op == QLatin1String("hexview"))
            w->findChild<QCheckBox *>("checkBoxHex")->setChecked(arg == QLatin1String("on"));
        else if (op == QLatin1String("words"))
            QCOMPARE(w->findChild<QLabel *>("controllerStatusLabel")->text(), arg);
        else if (op == QLatin1String("reconnect"))
            reconnect();
        else if (op == QLatin1String("paste")) { // a paste of any length goes out whole
            QByteArray bytes;
            for (int i = 0; i < arg.toInt(); ++i)
                bytes += char(0x20 + i % 0x5F);
            edit->setText(QString::fromLatin1(bytes.toHex(' ')));
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY(peer->read(bytes.size(), 20000) == bytes);
        } else
            QFAIL(qPrintable(step));
        if (op == QLatin1String("type"))
            QTest::keyClick(edit, Qt::Key_Return);
        if (!boxText.isEmpty()) {
            QTRY_VERIFY(box.done());
            QVERIFY2(box.titles.size() == 1 && box.text.contains(boxText), qPrintable(box.text));
            boxText.clear();
        }
    }
}

namespace {

// A source that reads well up to a point and then fails, as a file on a failing disk does.
class FailingReader : public QIODevice
{
public:
    explicit FailingReader(qint64 good)
        : good(good)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        if (given >= good) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = qMin(max, good - given);
        std::memset(data, 'r', size_t(n));
        given += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 good, given = 0;
};

} // namespace

void TestOwnBytes::sendFileStopsAtAReadError()
{
    ModalCloser closer;
    closer.arm();
    w->findChild<SerialLink *>()->sendFrom(
        std::make_unique<FailingReader>(100000), QStringLiteral("flaky.bin"), 1 << 20);
    QCOMPARE(peer->read(100000, 10000), QByteArray(100000, 'r'));
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.text, QStringLiteral("Sending flaky.bin stopped at byte 100000 of 1048576: Input/output error"));
    QVERIFY(consoleText(*w).endsWith(QStringLiteral("Stopped: 100000 of 1048576 bytes sent\n")));
    QCOMPARE(peer->readUntilQuiet(100), QByteArray());
}

void TestOwnBytes::savedBytesAreWholeOrNothing_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("modals"); // the dialog, its question whether to replace, the refusal
    QTest::newRow("a regular file, saved whole") << QStringLiteral("file") << QString() << 1;
    QTest::newRow("a file larger than the process may write")
        << QStringLiteral("full") << QStringLiteral("File too large") << 2;
    QTest::newRow("a device") << QStringLiteral("device") << QStringLiteral("not a regular file") << 3;
    QTest::newRow("a pipe") << QStringLiteral("fifo") << QStringLiteral("not a regular file") << 3;
}

void TestOwnBytes::savedBytesAreWholeOrNothing()
{
    // What was sent is saved whole; else nothing is written at all rather than part of it, and
    // nothing but a regular file is.
    QFETCH(QString, where);
    QFETCH(QString, why);
    QFETCH(int, modals);
    QTemporaryDir place;
    QString target = place.filePath(QStringLiteral("sent.bin"));
    if (where == QLatin1String("device")) {
        // As root a node of our own, like /dev/full, so that a fault cannot replace the system's.
        target = ::geteuid() == 0 ? place.filePath(QStringLiteral("full")) : QStringLiteral("/dev/full");
        QVERIFY(::geteuid() != 0 || ::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0);
    } else if (where == QLatin1String("fifo")) {
        QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0600) == 0);
    }
    reconnect();
    QByteArray job(200 * 1024, 'j');
    for (qsizetype i = 0; i < job.size(); i += 7)
        job[i] = char(i / 7);
    QVERIFY(writeJob(*w, job));
    QCOMPARE(peer->read(job.size(), 10000).size(), job.size());
    QTRY_COMPARE(w->findChild<SerialLink *>()->sentTotal(), job.size());
    Stat before{};
    ::stat(QFile::encodeName(target).constData(), &before);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{64 << 10, RLIM_INFINITY}, none{RLIM_INFINITY, RLIM_INFINITY};
    QVERIFY(where != QLatin1String("full") || ::setrlimit(RLIMIT_FSIZE, &small) == 0);
    ModalCloser *closer = answerFileDialog(this, target, modals);
    w->findChild<QAction *>("actionSaveSent")->trigger();
    QTRY_VERIFY(closer->done());
    ::setrlimit(RLIMIT_FSIZE, &none);
    if (where == QLatin1String("file")) { // what left the port, in order
        QVERIFY(readFile(target) == job);
        return;
    }
    QCOMPARE(closer->titles.last(), QStringLiteral("Save Sent Bytes"));
    QVERIFY2(closer->texts.last().contains(why), qPrintable(closer->texts.last()));
    if (where == QLatin1String("full")) {
        QCOMPARE(entriesOf(place.path()), QStringList()); // no partial file, no folder
    } else {
        Stat after{};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &after) == 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_rdev, before.st_rdev);
    }
}

void TestOwnBytes::longWriteShowsProgressAndCancels()
{
    // 9600 bit/s makes 20 kB a job of 20 s; the far end holds the line with XOFF from the start.
    FarEnd held;
    MainWindow tool;
    tool.show(); // at the size it opens with, where the progress must fit
    tool.start(parseLaunch({"printer-ruvela", "--port", held.path(), "--baud", "9600", "--connect"}));
    QTRY_VERIFY(statusText(tool).startsWith(QStringLiteral("Connected to")));
    held.writeAll(hex("13"));
    QTest::qWait(100);
    const QByteArray job(20000, 'x');
    QVERIFY(writeJob(tool, job));
    QTRY_VERIFY(tool.findChild<QLabel *>("progressLabel"));
    auto *label = tool.findChild<QLabel *>("progressLabel");
    QTRY_VERIFY(label->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("Waiting for the controller")), 5000);
    auto *cancel = tool.findChild<QPushButton *>("cancelButton");
    for (const QWidget *shown :
        {static_cast<QWidget *>(label), tool.findChild<QWidget *>("progressBar"), static_cast<QWidget *>(cancel)})
        QVERIFY2(cutOff(shown).isEmpty(), qPrintable(cutOff(shown)));
    // What is saved is what left the port, and the title says what is still queued.
    const QString saved = dir.filePath(QStringLiteral("held.bin"));
    ModalCloser *save = answerFileDialog(this, saved);
    tool.findChild<QAction *>("actionSaveSent")->trigger();
    QTRY_VERIFY(save->done());
    QVERIFY2(save->title.contains(QStringLiteral("; 20000 bytes queued but not sent yet are left out")),
        qPrintable(save->title));
    QCOMPARE(QFileInfo(saved).size(), 0);
    QTest::mouseClick(cancel, Qt::LeftButton);
    const QRegularExpressionMatch cancelled
        = QRegularExpression(QStringLiteral("Cancelled: (\\d+) of 20000 bytes sent\n$")).match(consoleText(tool));
    QVERIFY2(cancelled.hasMatch(), qPrintable(consoleText(tool)));
    QTRY_VERIFY(!label->isVisible());
    // The line moves again: what the system had taken arrives, every byte of it counted, and
    // what was dropped stays dropped.
    held.writeAll(hex("11"));
    const QByteArray arrived = held.readUntilQuiet(300);
    QVERIFY(arrived.size() > 0);
    QCOMPARE(arrived.size(), cancelled.captured(1).toLongLong());
    held.writeAll("R"); // an answer after the note starts a line of its own
    QTRY_VERIFY(consoleText(tool).endsWith(QStringLiteral("bytes sent\nR")));
    // Disconnecting in the middle of a write says what never went out, too.
    held.writeAll(hex("13"));
    QTest::qWait(100);
    QVERIFY(writeJob(tool, job));
    tool.findChild<QAction *>("actionDisconnect")->trigger();
    QVERIFY(consoleText(tool).contains(QRegularExpression(QStringLiteral("Stopped: \\d+ of 20000 bytes sent$"))));
}

QTEST_MAIN(TestOwnBytes)
#include "tst_ownbytes.moc"
