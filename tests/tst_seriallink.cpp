// The serial link over a real pseudo-terminal: connecting, ports that will not open, many
// reconnects, a line that dies (also in the middle of a picture), a flood of replies; what left
// the port and when the far end held it back, as the link reports them.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "serial/SendQueue.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"

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
    void hangUpClosesThePortAndGoesQuiet_data();
    void hangUpClosesThePortAndGoesQuiet();
    void longJobsArriveWholeUnderFlowControl_data();
    void longJobsArriveWholeUnderFlowControl();
    void floodKeepsTheConsoleBounded();
    void bytesSentAreWhatTheFarEndRead_data();
    void bytesSentAreWhatTheFarEndRead();
    void queueCountsEveryByte_data();
    void queueCountsEveryByte();

private:
    bool enabled(const char *action) { return w->findChild<QAction *>(action)->isEnabled(); }
    void trigger(const char *action) { w->findChild<QAction *>(action)->trigger(); }
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
    QTemporaryDir dir;
};

void TestSerialLink::connectsAndDisconnectsLeakingNoDescriptors()
{
    w->start(parseLaunch({"printer-ruvela", "--port", peer->path(), "--baud", "9600", "--flow", "none", "--connect"}));
    QTRY_COMPARE(statusText(*w), QStringLiteral("Connected to %1 : 9600, 8, None, 1, None").arg(peer->path()));
    QVERIFY(!enabled("actionConnect") && enabled("actionDisconnect") && !enabled("actionConfigure"));
    // A passing fault on a line that is still there changes nothing (a box would fail the test);
    // nor does the resource error the port reports for a write that XOFF or a full driver buffer
    // holds back.
    for (auto error : {QSerialPort::ResourceError, QSerialPort::WriteError, QSerialPort::ReadError,
             QSerialPort::UnsupportedOperationError})
        QVERIFY(QMetaObject::invokeMethod(w, "handleError", Q_ARG(QSerialPort::SerialPortError, error)));
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
    trigger("actionDisconnect");
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    QVERIFY(enabled("actionConnect") && !enabled("actionDisconnect") && enabled("actionConfigure"));
    // Closing a closed port still resets the state; many reconnects leave no descriptor open.
    QVERIFY(QMetaObject::invokeMethod(w, "closeSerialPort"));
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    const auto before = descriptors();
    for (int i = 0; i < 200; ++i) {
        trigger("actionConnect");
        QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
        trigger("actionDisconnect");
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
    // From the command line, then the same settings again from Connect: they fail the same way.
    ModalCloser closer;
    closer.arm(2);
    w->start(parseLaunch({"printer-ruvela", "--port", path, "--connect"}));
    QTRY_COMPARE(statusText(*w), QStringLiteral("Open error"));
    trigger("actionConnect");
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.titles, QStringList({"Error", "Error"}));
    QVERIFY2(
        closer.texts[0].startsWith(QStringLiteral("Cannot open %1: ").arg(path)) && closer.texts[1] == closer.texts[0],
        qPrintable(closer.texts.join(QLatin1Char('\n'))));
    QCOMPARE(statusText(*w), QStringLiteral("Open error"));
    QVERIFY(enabled("actionConnect") && enabled("actionConfigure") && !enabled("actionDisconnect"));
    QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("Connected to ")));
    press(*w, "pushButtonReset");
    QCOMPARE(peer->read(2), hex("1B 40"));
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
        trigger("actionSendFile");
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

void TestSerialLink::bytesSentAreWhatTheFarEndRead_data() { addTableRows(QStringLiteral("seriallink-sent.txt")); }

void TestSerialLink::bytesSentAreWhatTheFarEndRead()
{
    QFETCH(QStringList, row);
    SerialLink link;
    SentLog log(link);
    QVERIFY(link.open(lineTo(*peer, QSerialPort::SoftwareControl)));
    QSignalSpy holds(&link, &SerialLink::heldChanged);
    QByteArray handed, last, read;
    int waited = 0;
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        if (op == QLatin1String("write") || op == QLatin1String("file")) {
            last = counting(n, int(handed.size()));
            handed += last;
            const QString file = dir.filePath(QStringLiteral("sent.bin"));
            QString why;
            if (op == QLatin1String("write"))
                link.write(last.constData(), n);
            else
                QVERIFY2(writeFile(file, last) && link.sendFile(file, why), qPrintable(why));
        } else if (op == QLatin1String("read")) {
            read += peer->read(n);
            QVERIFY(read.size() >= n);
        } else if (op == QLatin1String("xoff") || op == QLatin1String("xon")) {
            peer->writeAll(hex(op == QLatin1String("xoff") ? "13" : "11"));
        } else if (op == QLatin1String("wait")) {
            QTest::qWait(waited = n);
        } else if (op == QLatin1String("quiet")) {
            read += peer->readUntilQuiet(300);
        } else if (op == QLatin1String("short")) { // the rest has not left yet
            QVERIFY(read.size() < handed.size() && log.sent.size() < handed.size());
        } else if (op == QLatin1String("held")) {
            QVERIFY(holds.count() == 1 && holds.at(0).at(0).toBool() && link.isHeld() && link.queued() > 0);
        } else if (op == QLatin1String("cancel")) {
            link.cancel();
        } else if (op == QLatin1String("close")) {
            link.close();
        } else {
            QFAIL(qPrintable(step));
        }
    }
    read += peer->readUntilQuiet(300);
    QTRY_COMPARE(link.queued(), 0);
    QVERIFY2(log.faults.isEmpty(), qPrintable(log.faults.join(QLatin1Char('\n'))));
    QVERIFY(log.sent == read);
    QCOMPARE(link.sentTotal(), read.size());
    // Whole; or cut short, a start of what was handed, with the write after a cancel whole behind it.
    const QString arrived = row[2].trimmed();
    if (arrived == QLatin1String("whole"))
        QVERIFY(read == handed);
    else if (arrived == QLatin1String("cut"))
        QVERIFY(read.size() < handed.size() && handed.startsWith(read));
    else
        QVERIFY(read.endsWith(last) && read.size() < handed.size() && handed.startsWith(read.chopped(last.size())));
    // How many holds were reported, and the last one's length against the wait that made it.
    if (row[3].trimmed() == QLatin1String("-"))
        return;
    QCOMPARE(holds.count(), row[3].toInt());
    QVERIFY(!link.isHeld());
    if (holds.count() == 2) {
        const qint64 heldMs = holds.at(1).at(1).toLongLong();
        QVERIFY(!holds.at(1).at(0).toBool());
        QVERIFY2(heldMs > waited * 0.6 && heldMs < waited * 3, qPrintable(QString::number(heldMs)));
    }
}

void TestSerialLink::queueCountsEveryByte_data() { addTableRows(QStringLiteral("sendqueue.txt")); }

void TestSerialLink::queueCountsEveryByte()
{
    QFETCH(QStringList, row);
    SendQueue queue;
    QString dropped;
    QByteArray handed, written; // the bytes handed over are counted from 0: each its offset's low byte
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        for (int i = 0; op.startsWith(QLatin1String("hand")) && i < n; ++i)
            handed += char(handed.size());
        if (op.startsWith(QLatin1String("hand")))
            queue.hand(handed.constData() + handed.size() - n, n, op == QLatin1String("handp"));
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
    QCOMPARE(written, handed.left(written.size()));
    QCOMPARE(queue.kept(), written);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
