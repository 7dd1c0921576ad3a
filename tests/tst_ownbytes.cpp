// The engineer's own use of the line beside the fixed jobs: the command line, the runs without a
// window, the send line's text, Send File that meets a read error, and Save Sent Bytes.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "serial/SerialLink.h"
#include "tool/SendLine.h"

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

class TestOwnBytes : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void headlessRunsSendTheButtonsBytes_data() { addTableRows(QStringLiteral("headless.txt")); }
    void headlessRunsSendTheButtonsBytes()
    {
        QFETCH(QStringList, row);
        for (QString &field : row)
            field = field == QLatin1String("-") ? QString() : field.trimmed();
        const QString button = row[2], answer = row[3];
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
            sent += line.readUntilQuiet(150); // then the rest, before the far end answers
            line.writeAll(hex(answer.toLatin1()));
        }
        QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(20000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QCOMPARE(program.exitCode(), row[4].toInt());
        if (button.isEmpty()) { // a failing run says why on stderr
            QVERIFY(program.readAllStandardError().contains(row[5].toUtf8()));
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
    void sendLine_data() { addTableRows(QStringLiteral("sendline.txt")); }
    void sendLine()
    {
        QFETCH(QStringList, row);
        const QString expected = row[3];
        const SendLine line = parseSendLine(row[2], row[1] == QLatin1String("hex") ? SendMode::Hex : SendMode::Text);
        if (expected.startsWith(QLatin1String("refused at "))) {
            QCOMPARE(line.errorAt, expected.mid(11).toInt());
            QVERIFY(line.bytes.isEmpty());
        } else {
            QCOMPARE(line.errorAt, -1);
            QCOMPARE(line.bytes.toHex(' ').toUpper(),
                expected == QLatin1String("nothing") ? QByteArray() : expected.toLatin1());
        }
    }
    void sendFileStopsAtAReadError()
    {
        ModalCloser closer;
        closer.arm();
        w->findChild<SerialLink *>()->sendFrom(
            std::make_unique<FailingReader>(100000), QStringLiteral("flaky.bin"), 1 << 20);
        QCOMPARE(peer->read(100000, 10000), QByteArray(100000, 'r'));
        QTRY_VERIFY(closer.done());
        QCOMPARE(
            closer.text, QStringLiteral("Sending flaky.bin stopped at byte 100000 of 1048576: Input/output error"));
        QVERIFY(consoleText(*w).endsWith(QStringLiteral("Stopped: 100000 of 1048576 bytes sent\n")));
        QCOMPARE(peer->readUntilQuiet(100), QByteArray());
    }
    void savedBytesAreWholeOrNothing_data()
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
    void savedBytesAreWholeOrNothing()
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
            QVERIFY(
                ::geteuid() != 0 || ::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0);
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

private:
    void reconnect() // what was sent counts from here
    {
        w->findChild<QAction *>("actionDisconnect")->trigger();
        w->findChild<QAction *>("actionConnect")->trigger();
    }
    QTemporaryDir dir;
};

QTEST_MAIN(TestOwnBytes)
#include "tst_ownbytes.moc"
