// The serial link over a real pseudo-terminal: a window's sessions on the line as scripts
// (connecting, ports that will not open, many reconnects, the send line, the console, a line that
// dies, a long write held back and cancelled), long jobs under flow control, a flood of replies;
// what left the port and when the far end held it back, as the link reports them.
#include "SimSupport.h"
#include "StepScript.h"
#include "WindowSteps.h"

#include "app/MainWindow.h"
#include "serial/SendQueue.h"
#include "serial/SerialLink.h"

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init() { w = new MainWindow, peer = new FarEnd; }
    void cleanup() { delete w, delete peer; }
    void windowSessions_data();
    void windowSessions();
    void bytesSentAreWhatTheFarEndRead_data();
    void bytesSentAreWhatTheFarEndRead();
    void queueCountsEveryByte_data();
    void queueCountsEveryByte();

private:
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
    QTemporaryDir dir;
};

void TestSerialLink::windowSessions_data() { addScriptRows(QStringLiteral("seriallink-window.txt")); }

void TestSerialLink::windowSessions()
{
    QFETCH(steps::Script, script);
    WindowSession session(*w, *peer);
    // A session on the virtual controller's line, or on a port another program holds, adds
    // these: HELD that port, CONTROLLER the controller's line.
    FarEnd other;
    QSerialPort holder(other.path());
    QProcess controller;
    const QString link = session.dir.filePath(QStringLiteral("zpc3x")),
                  logFile = session.dir.filePath(QStringLiteral("controller.log"));
    session.names.prepend({QStringLiteral("CONTROLLER"), link});
    session.names.prepend({QStringLiteral("DATA"), QStringLiteral(RUVELA_TEST_DATA)});
    session.names.prepend({QStringLiteral("HELD"), other.path()});
    session.ops += {
        {"hold", "", "another program opens HELD",
            [&holder](const QString &) {
                return holder.open(QIODevice::ReadWrite) ? QString() : QStringLiteral("it did not open");
            }},
        {"controller", "SPEED",
            "the virtual controller starts at CONTROLLER, its paper this fast in mm/s, logging what it reads",
            [&](const QString &speed) {
                controller.setStandardOutputFile(logFile);
                controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link, "--speed", speed, "--log"});
                return steps::waitFor([&] { return QFileInfo(link).isSymLink(); }, 10000)
                    ? QString()
                    : QStringLiteral("no link came");
            }},
        {"logged", "TEXT",
            "the controller's log reaches a line of this text, with no overrun, and no XON or XOFF came to the "
            "window as a reply",
            [&](const QString &text) {
                // XON and XOFF are the line's own: a tool that honours them never sees them as replies.
                QFile reader(logFile);
                if (!reader.open(QIODevice::ReadOnly))
                    return QStringLiteral("no log");
                QByteArray log;
                QElapsedTimer clock;
                clock.start();
                while (!log.contains(text.toLatin1() + '\n') && clock.elapsed() < 120000)
                    QTest::qWait(20), log = log.right(4096) + reader.readAll();
                if (!log.contains(text.toLatin1() + '\n') || log.contains("overrun"))
                    return QStringLiteral("the log ends ") + steps::quoted(QString::fromLatin1(log.right(300)));
                const QByteArray &replies = w->findChild<SerialLink *>()->received();
                return replies.contains('\x11') || replies.contains('\x13')
                    ? QStringLiteral("XON or XOFF came as a reply")
                    : QString();
            }},
    };
    session.run(script.steps);
    controller.terminate();
    QVERIFY(controller.state() == QProcess::NotRunning || controller.waitForFinished(5000));
}

namespace {

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
    steps::addScriptRows(QStringLiteral("seriallink-sent.txt"));
}

void TestSerialLink::bytesSentAreWhatTheFarEndRead()
{
    QFETCH(steps::Script, script);
    // A link of its own on the far end's line, with every bytesSent payload joined in order; a
    // gap or overlap in the offsets is recorded as a fault.
    SerialLink link;
    QByteArray sent;
    QStringList faults;
    connect(&link, &SerialLink::bytesSent, this, [&sent, &faults](qint64 offset, const QByteArray &bytes) {
        if (offset != sent.size())
            faults << QStringLiteral("%1 bytes at offset %2 after %3").arg(bytes.size()).arg(offset).arg(sent.size());
        sent += bytes;
    });
    QVERIFY(link.open(lineTo(*peer, QSerialPort::SoftwareControl)));
    QSignalSpy holds(&link, &SerialLink::heldChanged);
    QByteArray handed, last, read;
    int waited = 0;
    bool arrived = false;
    const auto hands = [&](int n) { handed += (last = counting(n, int(handed.size()))); };
    const auto far = [this](const char *bytes) {
        return [this, bytes](const QString &) { return peer->writeAll(hex(bytes)), QString(); };
    };
    const steps::Ops ops{
        {"write", "N", "the link is handed N bytes",
            [&](const QString &n) { return hands(n.toInt()), link.write(last.constData(), n.toInt()), QString(); }},
        {"file", "N", "the link sends a file of N bytes",
            [&](const QString &n) {
                hands(n.toInt());
                QString why, file = dir.filePath(QStringLiteral("sent.bin"));
                if (!writeFile(file, last))
                    return QStringLiteral("cannot write ") + file;
                return link.sendFile(file, why) ? QString() : QStringLiteral("refused: ") + why;
            }},
        {"read", "N", "the far end reads until N bytes came in all",
            [&](const QString &n) {
                read += peer->read(n.toInt());
                return read.size() >= n.toInt() ? QString() : QStringLiteral("%1 bytes came").arg(read.size());
            }},
        {"xoff", "", "the far end sends XOFF", far("13")},
        {"xon", "", "the far end sends XON", far("11")},
        {"wait", "MS", "the event loop runs so long",
            [&](const QString &ms) { return QTest::qWait(waited = ms.toInt()), QString(); }},
        {"quiet", "", "the far end reads until the line is quiet",
            [&](const QString &) { return read += peer->readUntilQuiet(300), QString(); }},
        {"short", "", "nothing has gone out whole yet",
            [&](const QString &) {
                return read.size() < handed.size() && sent.size() < handed.size()
                    ? QString()
                    : QStringLiteral("%1 of %2 bytes read, %3 sent")
                          .arg(read.size())
                          .arg(handed.size())
                          .arg(sent.size());
            }},
        {"held", "", "one hold reported and still on, with bytes queued",
            [&](const QString &) {
                return holds.count() == 1 && holds.at(0).at(0).toBool() && link.isHeld() && link.queued() > 0
                    ? QString()
                    : QStringLiteral("%1 holds reported, held %2, %3 bytes queued")
                          .arg(holds.count())
                          .arg(link.isHeld())
                          .arg(link.queued());
            }},
        {"cancel", "", "the link cancels", [&](const QString &) { return link.cancel(), QString(); }},
        {"close", "", "the link closes", [&](const QString &) { return link.close(), QString(); }},
        {"arrived", "whole|cut|cut, last",
            "once the line is quiet and the link has nothing queued, what it reports sent is what the far end read, "
            "and that is what was handed, a start of it, or a start of it and the write after a cancel whole",
            [&](const QString &how) {
                arrived = true;
                read += peer->readUntilQuiet(300);
                if (!steps::waitFor([&] { return link.queued() == 0; }))
                    return QStringLiteral("%1 bytes still queued").arg(link.queued());
                if (!faults.isEmpty())
                    return faults.join(QLatin1Char('\n'));
                if (sent != read || link.sentTotal() != read.size())
                    return QStringLiteral("%1 bytes reported sent, %2 in all, %3 read")
                        .arg(sent.size())
                        .arg(link.sentTotal())
                        .arg(read.size());
                const bool whole = read == handed, cut = read.size() < handed.size() && handed.startsWith(read),
                           cutLast = read.endsWith(last) && read.size() < handed.size()
                    && handed.startsWith(read.chopped(last.size()));
                const bool as = how == QLatin1String("whole") ? whole : how == QLatin1String("cut") ? cut : cutLast;
                return as ? QString()
                          : QStringLiteral("%1 of %2 bytes handed arrived").arg(read.size()).arg(handed.size());
            }},
        {"holds", "N", "N changes of the hold were reported, the last, its end, about as long as the wait before it",
            [&](const QString &n) {
                if (holds.count() != n.toInt() || link.isHeld())
                    return QStringLiteral("%1 changes reported, held %2").arg(holds.count()).arg(link.isHeld());
                const qint64 heldMs = holds.count() == 2 ? holds.at(1).at(1).toLongLong() : 0;
                if (holds.count() == 2
                    && (holds.at(1).at(0).toBool() || heldMs <= waited * 0.6 || heldMs >= waited * 3))
                    return QStringLiteral("held %1 ms after a wait of %2").arg(heldMs).arg(waited);
                return QString();
            }},
    };
    if (steps::run(ops, script.steps))
        QVERIFY2(arrived, "a script ends with what arrived");
}

void TestSerialLink::queueCountsEveryByte_data() { steps::addScriptRows(QStringLiteral("sendqueue.txt")); }

void TestSerialLink::queueCountsEveryByte()
{
    QFETCH(steps::Script, script);
    SendQueue queue;
    QString dropped;
    bool counted = false, droppedChecked = false;
    QByteArray handed, written; // the bytes handed over are counted from 0: each its offset's low byte
    const auto hand = [&](bool promised) {
        return [&, promised](const QString &arg) {
            const int n = arg.toInt();
            for (int i = 0; i < n; ++i)
                handed += char(handed.size());
            queue.hand(handed.constData() + handed.size() - n, n, promised);
            return QString();
        };
    };
    const steps::Ops ops{
        {"hand", "N", "N bytes are handed over", hand(false)},
        {"promise", "N", "N bytes of a file still to be read are counted",
            [&](const QString &n) { return queue.promise(n.toInt()), QString(); }},
        {"unpromise", "N", "N of them never come",
            [&](const QString &n) { return queue.unpromise(n.toInt()), QString(); }},
        {"handp", "N", "N of the promised bytes are handed over", hand(true)},
        {"give", "N", "the port is given up to N bytes",
            [&](const QString &n) { return queue.give(n.toInt()), QString(); }},
        {"written", "N", "the port reports N bytes written",
            [&](const QString &n) { return written += queue.written(n.toInt()), QString(); }},
        {"drop", "", "a cancel",
            [&](const QString &) {
                const auto [done, total] = queue.dropStaged();
                dropped = QStringLiteral("%1 of %2").arg(done).arg(total);
                return QString();
            }},
        {"close", "N", "a close, N bytes taken by the system and not reported",
            [&](const QString &n) { return written += queue.close(n.toInt()), QString(); }},
        {"counts", "HANDED GIVEN WRITTEN QUEUED DONE/TOTAL KEPT",
            "the queue's counts, the run of writes the progress shows, and the bytes it keeps",
            [&](const QString &arg) {
                counted = true;
                return steps::got(QStringLiteral("%1 %2 %3 %4 %5/%6 %7")
                                      .arg(queue.handed())
                                      .arg(queue.given())
                                      .arg(queue.writtenTotal())
                                      .arg(queue.queued())
                                      .arg(queue.runDone())
                                      .arg(queue.runTotal())
                                      .arg(queue.kept().size()),
                    arg.trimmed());
            }},
        {"dropped", "D of T", "the last cancel reported D of the T bytes it dropped",
            [&](const QString &arg) { return droppedChecked = true, steps::got(dropped, arg.trimmed()); }},
    };
    if (!steps::run(ops, script.steps))
        return;
    QVERIFY2(counted, "a script ends with the queue's counts");
    QVERIFY2(dropped.isEmpty() || droppedChecked, "a script that cancels says what the cancel dropped");
    // What was reported written is what was handed, in order, and is what is kept.
    QCOMPARE(written, handed.left(written.size()));
    QCOMPARE(queue.kept(), written);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
