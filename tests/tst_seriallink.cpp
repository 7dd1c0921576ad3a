// The serial link over a real pseudo-terminal: a window's sessions on the line as scripts
// (connecting, ports that will not open, many reconnects, the send line, the console, a line that
// dies, a long write held back and cancelled), long jobs under flow control, a flood of replies;
// what left the port and when the far end held it back, as the link reports them.
#include "SimSupport.h"

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

namespace {

// The steps a session on the virtual controller's line, or on a port another program holds,
// adds: HELD that port, CONTROLLER the controller's line.
class LineScript : public WindowScript
{
public:
    using WindowScript::WindowScript;
    FarEnd other;
    QProcess controller;
    const QString link = dir.filePath(QStringLiteral("zpc3x")),
                  logFile = dir.filePath(QStringLiteral("controller.log"));

protected:
    void step(const QString &op, const QString &arg) override;

private:
    QSerialPort holder{other.path()};
};

void LineScript::step(const QString &op, const QString &arg)
{
    if (op == QLatin1String("hold")) { // another program holds the port HELD
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else if (op == QLatin1String("controller")) { // the virtual controller at CONTROLLER, its paper this fast
        controller.setStandardOutputFile(logFile);
        controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link, "--speed", arg, "--log"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
    } else if (op == QLatin1String("logged")) {
        // The controller's log reaches this line, with no overrun; XON and XOFF are the line's
        // own, and a tool that honours them never sees them as replies.
        QFile reader(logFile);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QByteArray log;
        QElapsedTimer clock;
        clock.start();
        while (!log.contains(arg.toLatin1() + '\n') && clock.elapsed() < 120000)
            QTest::qWait(20), log = log.right(4096) + reader.readAll();
        QVERIFY2(log.contains(arg.toLatin1() + '\n') && !log.contains("overrun"), log.right(300).constData());
        const QByteArray &replies = w.findChild<SerialLink *>()->received();
        QVERIFY(!replies.contains('\x11') && !replies.contains('\x13'));
    } else {
        WindowScript::step(op, arg);
    }
}

} // namespace

void TestSerialLink::windowSessions()
{
    QFETCH(QStringList, steps);
    LineScript script(*w, *peer);
    steps.replaceInStrings(QStringLiteral("HELD"), script.other.path())
        .replaceInStrings(QStringLiteral("DATA"), QStringLiteral(RUVELA_TEST_DATA))
        .replaceInStrings(QStringLiteral("CONTROLLER"), script.link);
    script.run(steps);
    script.controller.terminate();
    QVERIFY(script.controller.state() == QProcess::NotRunning || script.controller.waitForFinished(5000));
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

void TestSerialLink::bytesSentAreWhatTheFarEndRead_data() { addTableRows(QStringLiteral("seriallink-sent.txt")); }

void TestSerialLink::bytesSentAreWhatTheFarEndRead()
{
    QFETCH(QStringList, row);
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
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        if (op == QLatin1String("write") || op == QLatin1String("file"))
            handed += (last = counting(n, int(handed.size())));
        if (op == QLatin1String("write")) {
            link.write(last.constData(), n);
        } else if (op == QLatin1String("file")) {
            QString why, file = dir.filePath(QStringLiteral("sent.bin"));
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
            QVERIFY(read.size() < handed.size() && sent.size() < handed.size());
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
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    QVERIFY(sent == read);
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
        QVERIFY2(!holds.at(1).at(0).toBool() && heldMs > waited * 0.6 && heldMs < waited * 3,
            qPrintable(QString::number(heldMs)));
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
