// The serial link over a real pseudo-terminal: connecting, a failed open, replies, a line that
// dies (also in the middle of a picture), a flood of replies, ports that will not open, and
// many reconnects; what left the port and when the far end held it back, as the link reports them.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "serial/SendQueue.h"
#include "serial/SerialLink.h"

#include <cstring>
#include <sys/resource.h>

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init() { w = new MainWindow, peer = new FarEnd; }
    void cleanup() { delete w, delete peer; }
    void connectsAndDisconnectsLeakingNoDescriptors();
    void failedOpenShowsTheReasonAndCanBeRetried_data();
    void failedOpenShowsTheReasonAndCanBeRetried();
    void repliesAppearAsTheyArriveStatusInWords();
    void hangUpClosesThePortAndGoesQuiet_data();
    void hangUpClosesThePortAndGoesQuiet();
    void longJobsArriveWholeUnderFlowControl_data();
    void longJobsArriveWholeUnderFlowControl();
    void floodKeepsTheConsoleBounded();
    void bytesSentAreWhatTheFarEndRead_data();
    void bytesSentAreWhatTheFarEndRead();
    void holdsAreReportedWithTheirLength_data();
    void holdsAreReportedWithTheirLength();
    void queueCountsEveryByte_data();
    void queueCountsEveryByte();

private:
    bool enabled(const char *action) { return w->findChild<QAction *>(action)->isEnabled(); }
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
    QTemporaryDir dir;
};

void TestSerialLink::connectsAndDisconnectsLeakingNoDescriptors()
{
    QCOMPARE(connectTo(*w, peer->path()),
        QStringLiteral("Connected to %1 : 115200, 8, None, 1, XON/XOFF").arg(peer->path()));
    QVERIFY(!enabled("actionConnect") && enabled("actionDisconnect") && !enabled("actionConfigure"));
    // A passing fault on a line that is still there changes nothing; nor does the resource error
    // the port reports for a write that XOFF or a full driver buffer holds back.
    for (auto error : {QSerialPort::ResourceError, QSerialPort::WriteError, QSerialPort::ReadError,
             QSerialPort::UnsupportedOperationError}) {
        ModalCloser none;
        none.arm();
        QVERIFY(QMetaObject::invokeMethod(w, "handleError", Q_ARG(QSerialPort::SerialPortError, error)));
        QVERIFY2(none.titles.isEmpty(), qPrintable(none.text));
    }
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
    w->findChild<QAction *>("actionDisconnect")->trigger();
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    QVERIFY(enabled("actionConnect") && !enabled("actionDisconnect") && enabled("actionConfigure"));
    // Closing a closed port still resets the state; the same port then opens again.
    QVERIFY(QMetaObject::invokeMethod(w, "closeSerialPort"));
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    w->findChild<QAction *>("actionConnect")->trigger();
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
    // Many reconnects leave no descriptor open.
    auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    w->findChild<QAction *>("actionDisconnect")->trigger();
    const auto before = descriptors();
    for (int i = 0; i < 200; ++i) {
        w->findChild<QAction *>("actionConnect")->trigger();
        QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
        w->findChild<QAction *>("actionDisconnect")->trigger();
    }
    QCOMPARE(descriptors(), before);
}

void TestSerialLink::failedOpenShowsTheReasonAndCanBeRetried_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << QStringLiteral("/dev/no-such-ruvela-port");
    QTest::newRow("directory") << dir.path();
    QTest::newRow("regular file") << QStringLiteral(RUVELA_TEST_DATA "/jobs.txt");
    QTest::newRow("not a terminal") << QStringLiteral("/dev/null");
    QTest::newRow("held by another program") << QString();
}

void TestSerialLink::failedOpenShowsTheReasonAndCanBeRetried()
{
    QFETCH(QString, path);
    FarEnd other;
    QSerialPort holder(other.path());
    if (path.isEmpty()) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
        path = other.path();
    }
    ModalCloser closer;
    closer.arm(2);
    connectTo(*w, path);
    w->findChild<QAction *>("actionConnect")->trigger(); // the same settings fail the same way
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.titles, QStringList({"Error", "Error"}));
    QVERIFY(!closer.text.isEmpty());
    QCOMPARE(statusText(*w), QStringLiteral("Open error"));
    QVERIFY(enabled("actionConnect") && enabled("actionConfigure") && !enabled("actionDisconnect"));
    QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("Connected to ")));
    press(*w, "pushButtonReset");
    QCOMPARE(peer->read(2), hex("1B 40"));
}

void TestSerialLink::repliesAppearAsTheyArriveStatusInWords()
{
    // At the cursor, behind what is there, with a character split between arrivals kept whole.
    connectTo(*w, peer->path());
    auto *console = w->findChild<QPlainTextEdit *>("editRuvela");
    console->setPlainText(QStringLiteral("typed:"));
    console->moveCursor(QTextCursor::End);
    for (const QByteArray &piece : {QByteArray("\x48\x49 caf\xC3"), QByteArray("\xA9\xFF\x0A")}) {
        peer->writeAll(piece);
        QTRY_VERIFY(consoleText(*w).endsWith(QLatin1Char(piece.at(0) == 'H' ? 'f' : '\n')));
    }
    QCOMPARE(consoleText(*w), QStringLiteral("typed:HI café\uFFFD\n"));
    // The byte after each DLE EOT is its answer, in words beside the connection, until the next;
    // the console still shows it raw, and a byte nobody asked for changes nothing.
    auto *words = w->findChild<QLabel *>("controllerStatusLabel");
    QVERIFY(words && words->text().isEmpty());
    const QList<std::pair<char, QString>> answers{{'\x32', "Controller: paper out"}, {'\x12', "Controller: ready"}};
    for (const auto &[answer, shown] : answers) {
        press(*w, "pushButtonStatus");
        QCOMPARE(peer->read(2).toHex(' '), QByteArray("10 04"));
        peer->writeAll(QByteArray(1, answer) + "zZ");
        QTRY_VERIFY(console->toPlainText().endsWith(QLatin1Char(answer) + QStringLiteral("zZ")));
        QCOMPARE(words->text(), shown);
    }
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
}

void TestSerialLink::hangUpClosesThePortAndGoesQuiet_data()
{
    QTest::addColumn<bool>("midPicture");
    QTest::newRow("idle") << false;
    QTest::newRow("in the middle of a picture") << true;
}

void TestSerialLink::hangUpClosesThePortAndGoesQuiet()
{
    QFETCH(bool, midPicture);
    connectTo(*w, peer->path());
    if (midPicture) {
        QImage picture(384, 20000, QImage::Format_Mono);
        picture.fill(1);
        const QString file = dir.filePath(QStringLiteral("tall.png"));
        QVERIFY(picture.save(file));
        QVERIFY(QMetaObject::invokeMethod(w, "loadFile", Q_ARG(QString, file)));
        press(*w, "pushButton_58PrintH");
        QCOMPARE(peer->read(100000).size(), 100000); // a part of the 960 kB is through
    }
    auto *port = w->findChild<QSerialPort *>();
    QSignalSpy errors(port, &QSerialPort::errorOccurred);
    ModalCloser closer;
    closer.arm();
    peer->close();
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Critical Error"));
    // The port and what happened to it, never an error number left over from elsewhere.
    QCOMPARE(closer.text,
        QStringLiteral("The line to %1 is lost: the device was unplugged, or the other end closed it.")
            .arg(peer->path()));
    // A job cut short says how much of it went out.
    const QRegularExpression stopped(QStringLiteral("Stopped: (\\d+) of 960010 bytes sent$"));
    const QRegularExpressionMatch cut = stopped.match(consoleText(*w));
    QVERIFY2(cut.hasMatch() == midPicture, qPrintable(consoleText(*w).right(200)));
    if (midPicture)
        QVERIFY(cut.captured(1).toLongLong() > 0 && cut.captured(1).toLongLong() < 960010);
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    QVERIFY(!port->isOpen() && enabled("actionConnect") && !enabled("actionDisconnect"));

    // Afterwards the event loop is idle: no more errors, and almost no CPU spent waiting.
    const qsizetype errorsAtClose = errors.count();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QTest::qWait(300);
    getrusage(RUSAGE_SELF, &after);
    QCOMPARE(errors.count(), errorsAtClose);
    const long cpuMicros = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000000L
        + (after.ru_utime.tv_usec - before.ru_utime.tv_usec);
    QVERIFY2(cpuMicros < 150000, qPrintable(QString::number(cpuMicros)));
    ModalCloser guard; // and a job now asks to connect first
    guard.arm();
    press(*w, "pushButtonReset");
    QTRY_VERIFY(guard.done());
    QCOMPARE(guard.title, QStringLiteral("Serial Port Connect"));
}

void TestSerialLink::longJobsArriveWholeUnderFlowControl_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("speed"); // the paper's, in mm/s: far slower than the wire
    QTest::newRow("Send File of 2 MB of text") << QStringLiteral("file") << QStringLiteral("40000");
    QTest::newRow("a raster of 65535 rows") << QStringLiteral("raster") << QStringLiteral("4000");
}

void TestSerialLink::longJobsArriveWholeUnderFlowControl()
{
    // The virtual controller, a program of its own at its own buffer and flow control, holds the
    // tool back with XOFF over and over. The tool waits each time; a reset typed afterwards
    // follows the whole job, and the controller's log finds it just past the job's last byte.
    QFETCH(QString, job);
    QFETCH(QString, speed);
    const QString link = dir.filePath(QStringLiteral("zpc3x"));
    QProcess controller;
    const QString logFile = dir.filePath(QStringLiteral("controller.log"));
    controller.setStandardOutputFile(logFile);
    controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link, "--speed", speed, "--log"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
    QVERIFY(connectTo(*w, link).startsWith(QStringLiteral("Connected to")));
    qint64 expected = 0;
    if (job == QLatin1String("file")) {
        const QString file = dir.filePath(QStringLiteral("long.txt"));
        // Long lines that the controller wraps, so that its log keeps up with 2 MB.
        const QByteArray line
            = QByteArray("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(18) + '\n';
        const QByteArray text = line.repeated((2 << 20) / line.size());
        QVERIFY(writeFile(file, text));
        expected = text.size();
        answerFileDialog(this, file);
        w->findChild<QAction *>("actionSendFile")->trigger();
    } else {
        QImage picture(384, 65535, QImage::Format_Mono);
        picture.fill(0);
        for (int y = 0; y < picture.height(); y += 7)
            std::memset(picture.scanLine(y), 0x5A, 48);
        const QString file = dir.filePath(QStringLiteral("long.png"));
        QVERIFY(picture.save(file));
        QVERIFY(QMetaObject::invokeMethod(w, "loadFile", Q_ARG(QString, file)));
        press(*w, "pushButton_58PrintH");
        expected = 2 + 8 + 48 * 65535; // reset, raster header, rows
    }
    auto *send = w->findChild<QLineEdit *>("lineEditSend");
    send->setText(QStringLiteral("1B 40"));
    QTest::keyClick(send, Qt::Key_Return);

    ModalCloser boxes;
    boxes.arm();
    const QByteArray last = QByteArray::number(expected).rightJustified(8, ' ') + "  printerSoftInit\n";
    QByteArray log;
    QFile logReader(logFile);
    QVERIFY(logReader.open(QIODevice::ReadOnly));
    QElapsedTimer clock;
    clock.start();
    while (!log.contains(last) && boxes.titles.isEmpty() && clock.elapsed() < 120000) {
        QTest::qWait(20);
        log = log.right(4096) + logReader.readAll();
    }
    QVERIFY2(boxes.titles.isEmpty(), qPrintable(boxes.text));
    QVERIFY2(log.contains(last), log.right(300).constData());
    QVERIFY(!log.contains("overrun"));
    // XON and XOFF are the line's own: a tool that honours them never sees them as replies.
    const QByteArray &replies = w->findChild<SerialLink *>()->received();
    QVERIFY(!replies.contains('\x11') && !replies.contains('\x13'));
    controller.terminate();
    QVERIFY(controller.waitForFinished(5000));
}

void TestSerialLink::floodKeepsTheConsoleBounded()
{
    connectTo(*w, peer->path());
    auto *edit = w->findChild<QPlainTextEdit *>("editRuvela");
    // 3 MB without a single line break, then 3 MB of short lines.
    for (int i = 0; i < 48; ++i)
        peer->writeAll(QByteArray(64 * 1024, 'x'));
    QByteArray lines;
    for (int i = 0; i < 64 * 1024 / 8; ++i)
        lines += "status\r\n";
    for (int i = 0; i < 48; ++i)
        peer->writeAll(lines);
    peer->writeAll("END");
    QTRY_VERIFY_WITH_TIMEOUT(consoleText(*w).endsWith(QStringLiteral("END")), 60000);
    QVERIFY(edit->blockCount() <= 5000);
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
        QVERIFY(b.length() <= 1025);
}

namespace {

// A link of its own on the far end's line, with every bytesSent payload joined in order; a gap
// or overlap in the offsets is recorded as a fault.
struct SentLog
{
    explicit SentLog(SerialLink &link)
    {
        QObject::connect(&link, &SerialLink::bytesSent, [this](qint64 offset, const QByteArray &bytes) {
            if (offset != sent.size())
                faults
                    << QStringLiteral("%1 bytes at offset %2 after %3").arg(bytes.size()).arg(offset).arg(sent.size());
            sent += bytes;
        });
    }
    QByteArray sent;
    QStringList faults;
};

// Bytes that tell their own position apart: a run of n counting from seed.
QByteArray counting(qsizetype n, int seed)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        out[i] = char((seed + i * 7 + i / 251) & 0xFF);
    return out;
}

} // namespace

void TestSerialLink::bytesSentAreWhatTheFarEndRead_data()
{
    // "cancel" and "close" stop while the far end holds the line with XOFF, once it has read all
    // the line took: what the port had given the system before the XOFF is reported only later.
    QTest::addColumn<QString>("job");
    for (const char *job : {"writes", "file", "cancel", "close"})
        QTest::newRow(job) << QString::fromLatin1(job);
}

void TestSerialLink::bytesSentAreWhatTheFarEndRead()
{
    QFETCH(QString, job);
    SerialLink link;
    SentLog log(link);
    QVERIFY(link.open(lineTo(*peer, QSerialPort::SoftwareControl)));
    QByteArray read, expected;
    const QByteArray behind = counting(3000, 5) + counting(17, 9);
    if (job == QLatin1String("writes")) {
        for (int i = 1; i <= 41; ++i) { // many small writes, then a long one
            const QByteArray bytes = counting(i <= 40 ? i * 97 : 300000, i);
            expected += bytes;
            link.write(bytes.constData(), bytes.size());
        }
    } else if (job == QLatin1String("file")) {
        const QString file = dir.filePath(QStringLiteral("sent.bin"));
        QVERIFY(writeFile(file, counting(400000, 1)));
        expected = counting(400000, 1) + behind;
        QString why;
        QVERIFY2(link.sendFile(file, why), qPrintable(why));
        link.write(behind.constData(), 3000); // while the file is still going out
        read += peer->read(70000);
        link.write(behind.constData() + 3000, 17);
    } else {
        link.write(counting(400000, 2).constData(), 400000);
        read += peer->read(100000);
        QCOMPARE(read.size(), 100000);
        peer->writeAll(QByteArray(1, '\x13'));
        read += peer->readUntilQuiet(300);
        QVERIFY(read.size() < 400000);
        if (job == QLatin1String("close")) {
            link.close();
        } else {
            link.cancel();
            peer->writeAll(QByteArray(1, '\x11'));
            link.write(behind.constData(), behind.size());
        }
    }
    read += peer->readUntilQuiet(300);
    QTRY_COMPARE(link.queued(), 0);
    QVERIFY2(log.faults.isEmpty(), qPrintable(log.faults.join(QLatin1Char('\n'))));
    QCOMPARE(log.sent.size(), read.size());
    QVERIFY(log.sent == read);
    QCOMPARE(link.sentTotal(), read.size());
    if (!expected.isEmpty())
        QVERIFY(read == expected);
    else
        QVERIFY(read.startsWith(counting(100000, 2)) && read.endsWith(behind) == (job == QLatin1String("cancel")));
}

void TestSerialLink::holdsAreReportedWithTheirLength_data()
{
    QTest::addColumn<QString>("farEnd");
    QTest::addColumn<int>("holdMs"); // 0: the far end keeps reading
    QTest::newRow("XOFF, then XON") << QStringLiteral("xoff") << 1500;
    QTest::newRow("the far end stops reading") << QStringLiteral("unread") << 1500;
    QTest::newRow("flowing freely") << QStringLiteral("reads") << 0;
}

void TestSerialLink::holdsAreReportedWithTheirLength()
{
    QFETCH(QString, farEnd);
    QFETCH(int, holdMs);
    SerialLink link;
    SentLog log(link);
    QVERIFY(link.open(lineTo(*peer, QSerialPort::SoftwareControl)));
    QSignalSpy holds(&link, &SerialLink::heldChanged);
    if (farEnd == QLatin1String("xoff")) {
        peer->writeAll(QByteArray(1, '\x13'));
        QTest::qWait(50);
    }
    const QByteArray job = counting(200000, 4);
    link.write(job.constData(), job.size());
    if (holdMs > 0) {
        QTest::qWait(holdMs);
        QCOMPARE(holds.count(), 1);
        QCOMPARE(holds.at(0).at(0).toBool(), true);
        QVERIFY(link.isHeld() && link.queued() > 0);
        QVERIFY(log.sent.size() < job.size()); // the rest has not left yet
        if (farEnd == QLatin1String("xoff"))
            peer->writeAll(QByteArray(1, '\x11'));
    }
    const QByteArray read = peer->readUntilQuiet(300);
    QTRY_COMPARE(link.queued(), 0);
    QVERIFY(read == job && log.sent == job);
    QVERIFY(!link.isHeld());
    if (holdMs == 0) {
        QCOMPARE(holds.count(), 0);
        return;
    }
    QCOMPARE(holds.count(), 2);
    QCOMPARE(holds.at(1).at(0).toBool(), false);
    const qint64 heldMs = holds.at(1).at(1).toLongLong();
    QVERIFY2(heldMs > holdMs * 0.6 && heldMs < holdMs * 3, qPrintable(QString::number(heldMs)));
}

void TestSerialLink::queueCountsEveryByte_data() { addTableRows(QStringLiteral("sendqueue.txt")); }

void TestSerialLink::queueCountsEveryByte()
{
    QFETCH(QStringList, row);
    SendQueue queue;
    QString dropped;
    QByteArray next; // the bytes handed over are counted from 0, so each is its offset's low byte
    auto bytes = [&next](int n) {
        QByteArray out;
        for (int i = 0; i < n; ++i)
            out += char(next.size() + i);
        next += out;
        return out;
    };
    QByteArray written;
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        if (op.startsWith(QLatin1String("hand")))
            queue.hand(bytes(n).constData(), n, op == QLatin1String("handp"));
        else if (op == QLatin1String("promise"))
            queue.promise(n);
        else if (op == QLatin1String("unpromise"))
            queue.unpromise(n);
        else if (op == QLatin1String("give"))
            queue.give(n);
        else if (op == QLatin1String("written"))
            written += queue.written(n);
        else if (op == QLatin1String("close"))
            written += queue.close(n);
        else if (op == QLatin1String("drop")) {
            const auto [done, total] = queue.dropStaged();
            dropped = QStringLiteral("dropped %1 of %2").arg(done).arg(total);
        } else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5/%6 %7")
                 .arg(queue.handed())
                 .arg(queue.given())
                 .arg(queue.writtenTotal())
                 .arg(queue.queued())
                 .arg(queue.runDone())
                 .arg(queue.runTotal())
                 .arg(queue.kept().size()),
        row[2].trimmed());
    QCOMPARE(dropped, row.value(3).trimmed());
    // What was reported written is what was handed, in order, and is what is kept.
    QCOMPARE(written, next.left(written.size()));
    QCOMPARE(queue.kept(), written);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
