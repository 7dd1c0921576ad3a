// The pass-through monitor between a host and the virtual controller, beside the same bytes sent
// straight: the real programs, each in a process of its own, on their pseudo-terminals.
//   bench_monitor stream [zpc3x-sim options]   a 3 MB raster and 300 KB of text
//   bench_monitor query                        a status query's round trip
//   bench_monitor memory                       the monitor's memory, the stream once and 8 times
//   bench_monitor days                         its memory with both records, 10 MB against 1 GB
//   bench_monitor capture                      its throughput with --capture against without
#include "BenchTable.h"

#include "controller/HeadTiming.h"
#include "controller/Interpreter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString simProgram = QStringLiteral(ZPC3X_SIM);
const QString toolProgram = QStringLiteral(PRINTER_RUVELA);

long vmHwmMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    return -1;
}

bool waitForLink(const QString &path, QProcess &owner)
{
    owner.waitForStarted(20000);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && owner.state() == QProcess::Running) {
        if (QFileInfo(path).isSymLink() && QFileInfo::exists(path))
            return true;
        QThread::msleep(20);
    }
    std::fprintf(stderr, "no link %s: %s\n", qPrintable(path), owner.readAllStandardError().constData());
    return false;
}

// A host application's serial port: raw, no flow control of its own.
int openRaw(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// The controller's bytes that are not flow control, waited for up to timeoutMs.
QByteArray readAnswer(int fd, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    while (got.isEmpty() && clock.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 50);
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] != '\x11' && buf[i] != '\x13')
                got += buf[i];
    }
    return got;
}

struct Controller
{
    QTemporaryDir dir;
    QProcess sim;
    QString link = dir.filePath(QStringLiteral("zpc3x"));
    explicit Controller(const QStringList &extra)
    {
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(simProgram, QStringList{"--no-window", "--log", "--link", link} + extra);
        waitForLink(link, sim);
    }
    // Whether the controller has logged the command at offset, its log read so far.
    bool logged(qint64 offset)
    {
        log += sim.readAllStandardOutput();
        return log.contains(QStringLiteral("\n%1  ").arg(offset, 8).toLatin1());
    }
    QByteArray log;
    ~Controller()
    {
        sim.terminate();
        sim.waitForFinished(10000);
    }
};

struct Monitored
{
    QTemporaryDir dir;
    QProcess tool;
    QString host = dir.filePath(QStringLiteral("pos"));
    QString traffic = dir.filePath(QStringLiteral("traffic.txt"));
    explicit Monitored(const QString &controllerLink)
    {
        tool.start(toolProgram, {"--port", controllerLink, "--monitor", host, "--traffic", traffic});
        waitForLink(host, tool);
    }
    // SIGTERM ends the run: exit 0 with the traffic written.
    bool stop()
    {
        tool.terminate();
        return tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0
            && QFileInfo::exists(traffic);
    }
};

QByteArray streamToSend()
{
    // GS v 0: 48 bytes by 65535 rows, a diagonal every third row (no byte 10h, so no query).
    QByteArray raster("\x1D\x76\x30\x00\x30\x00\xFF\xFF", 8);
    QByteArray rows(48 * 65535, '\0');
    for (int y = 0; y < 65535; y += 3)
        rows[y * 48 + y % 48] = char(0xFF);
    raster += rows;
    QByteArray text;
    for (int i = 0; text.size() < 300 * 1024; ++i)
        text += QStringLiteral("%1  Coffee beans 1 kg  12.50\n").arg(i, 5, 10, QLatin1Char('0')).toLatin1();
    text.truncate(300 * 1024 - 1);
    text += '\n';
    // The status query last: its answer says the controller has taken the last byte.
    return raster + text + QByteArray("\x10\x04", 2);
}

// The stream ends with a line feed and a status query: the controller logs that line feed once it
// has printed the line, the moment both ways are timed to. The query's answer only says the
// controller has read the query, and a pseudo-terminal holds many kilobytes between the two ends.
qint64 lastLineOffset(const QByteArray &stream) { return stream.size() - 3; }

// printer-ruvela --send on the controller's link: ms until the controller printed the last line,
// and the sender's peak memory then.
double sendStraight(const QString &file, qint64 lastLine, Controller &controller, long &peakMb)
{
    QProcess send;
    QElapsedTimer clock;
    clock.start();
    send.start(toolProgram, {"--port", controller.link, "--send", file, "--replies", "3000"});
    send.waitForStarted();
    peakMb = 0;
    while (!controller.logged(lastLine) && clock.elapsed() < 1200000) {
        controller.sim.waitForReadyRead(100);
        if (send.state() == QProcess::Running)
            peakMb = std::max(peakMb, vmHwmMb(send.processId())); // read while it still runs
    }
    const double ms = clock.nsecsElapsed() / 1e6;
    if (!controller.logged(lastLine))
        std::fprintf(
            stderr, "the controller did not print the last line: %s\n", send.readAllStandardError().constData());
    send.waitForFinished(10000);
    return ms;
}

// A host writing the stream to the monitor's terminal, reading what comes back: ms until the
// controller printed the last line, and the monitor's peak memory then.
double sendThroughMonitor(const QByteArray &stream, Controller &controller, long &peakMb, bool &clean)
{
    Monitored monitor(controller.link);
    const int fd = openRaw(monitor.host);
    const qint64 lastLine = lastLineOffset(stream);
    QElapsedTimer clock;
    clock.start();
    qsizetype at = 0;
    while (!controller.logged(lastLine) && clock.elapsed() < 1200000) {
        pollfd p{fd, short(POLLIN | (at < stream.size() ? POLLOUT : 0)), 0};
        ::poll(&p, 1, 20);
        if (at < stream.size()) {
            const ssize_t n = ::write(fd, stream.constData() + at, size_t(qMin<qsizetype>(stream.size() - at, 65536)));
            at += qMax<ssize_t>(n, 0);
        }
        char buf[256];
        while (::read(fd, buf, sizeof buf) > 0) { }
        controller.sim.waitForReadyRead(0);
    }
    const double ms = clock.nsecsElapsed() / 1e6;
    peakMb = vmHwmMb(monitor.tool.processId());
    if (!controller.logged(lastLine))
        std::fprintf(stderr,
            "the controller did not print the last line through the monitor: %lld of %lld bytes "
            "written\n",
            qint64(at), qint64(stream.size()));
    ::close(fd);
    clean = monitor.stop();
    return ms;
}

void stream(const QStringList &simOptions)
{
    const QByteArray bytes = streamToSend();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stream.bin"));
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(bytes);
    out.close();
    // Turns, each on a fresh controller, the fastest of each kept.
    const int turns = simOptions.contains(QStringLiteral("max")) ? 3 : 1;
    double straight = 1e12, through = 1e12;
    long straightMb = 0, monitorMb = 0;
    bool clean = true;
    for (int i = 0; i < turns; ++i) {
        long mb = 0;
        {
            Controller controller(simOptions);
            straight = std::min(straight, sendStraight(file, lastLineOffset(bytes), controller, mb));
            straightMb = std::max(straightMb, mb);
        }
        {
            Controller controller(simOptions);
            bool ok = false;
            through = std::min(through, sendThroughMonitor(bytes, controller, mb, ok));
            monitorMb = std::max(monitorMb, mb);
            clean = clean && ok;
        }
    }
    const QString how = simOptions.isEmpty() ? QStringLiteral("at its defaults") : simOptions.join(QLatin1Char(' '));
    bench::row(QStringLiteral("monitor: 3 MB raster + 300 KB text (%1 bytes) from a host to zpc3x-sim %2, until it "
                              "printed the last line%3; memory: the monitor's VmHWM (--send's %4 MB)")
                   .arg(bytes.size())
                   .arg(how)
                   .arg(clean ? QString() : QStringLiteral(" (the monitor did NOT end cleanly on SIGTERM)"))
                   .arg(straightMb),
        bench::ms(through), QStringLiteral("%1 sent straight with --send").arg(bench::ms(straight)), through / straight,
        monitorMb);
}

// The monitor's peak memory with the stream sent once and eight times over, the controller at its
// fastest: whether what the monitor holds grows with what passes through it.
void memory()
{
    const QByteArray once = streamToSend();
    const QByteArray body = once.chopped(2);
    long onceMb = 0, manyMb = 0;
    bool clean = true, ok = true;
    {
        Controller controller({QStringLiteral("--speed"), QStringLiteral("max")});
        sendThroughMonitor(once, controller, onceMb, ok);
        clean = clean && ok;
    }
    {
        Controller controller({QStringLiteral("--speed"), QStringLiteral("max")});
        sendThroughMonitor(body.repeated(8) + once.right(2), controller, manyMb, ok);
        clean = clean && ok;
    }
    bench::row(QStringLiteral("monitor's peak memory (VmHWM), %1 MB from a host with --traffic, to zpc3x-sim --speed "
                              "max%2")
                   .arg(8 * body.size() / 1e6, 0, 'f', 1)
                   .arg(clean ? QString() : QStringLiteral(" (the monitor did NOT end cleanly on SIGTERM)")),
        QStringLiteral("%1 MB").arg(manyMb),
        QStringLiteral("%1 MB for %2 MB").arg(onceMb).arg(body.size() / 1e6, 0, 'f', 1), double(manyMb) / onceMb,
        manyMb);
}

// A host's long run for the monitor, made as it is written: whole blocks of a 48 x 2000 raster and
// twenty receipt lines, about size bytes of them, then a last line and a status query.
QByteArray longRunBlock()
{
    QByteArray raster("\x1D\x76\x30\x00\x30\x00\xD0\x07", 8);
    QByteArray rows(48 * 2000, '\0');
    for (int y = 0; y < 2000; y += 3)
        rows[y * 48 + y % 48] = char(0xFF);
    QByteArray block = raster + rows;
    for (int i = 0; i < 20; ++i)
        block += QStringLiteral("%1  Coffee beans 1 kg  12.50\n").arg(i, 5, 10, QLatin1Char('0')).toLatin1();
    return block;
}

class LongRun
{
public:
    explicit LongRun(qint64 about)
        : block(longRunBlock())
        , size(qMax<qint64>(1, about / block.size()) * block.size() + 3)
    { }
    // The bytes from offset on, at most max.
    QByteArray at(qint64 offset, qint64 max) const
    {
        const qint64 body = size - 3;
        QByteArray out;
        while (out.size() < max && offset < body) {
            const qint64 in = offset % block.size();
            const qint64 n = std::min({max - out.size(), block.size() - in, body - offset});
            out += block.mid(in, n);
            offset += n;
        }
        if (offset >= body && out.size() < max)
            out += QByteArray("\n\x10\x04", 3).mid(offset - body, max - out.size());
        return out;
    }
    qint64 lastLine() const { return size - 3; }

private:
    const QByteArray block;

public:
    const qint64 size;
};

// Whether the controller's log, read on as it comes, has logged the command at offset; only its
// tail is kept, however long the run.
bool loggedYet(Controller &controller, qint64 offset)
{
    controller.log = controller.log.right(200) + controller.sim.readAllStandardOutput();
    return controller.log.contains(QStringLiteral("\n%1  ").arg(offset, 8).toLatin1());
}

// A host writing a long run to the monitor's terminal: seconds until the controller printed the
// last line, and the monitor's peak memory.
double longRunThroughMonitor(const LongRun &run, const QStringList &records, long &peakMb, bool &clean)
{
    Controller controller({QStringLiteral("--speed"), QStringLiteral("max")});
    QTemporaryDir dir;
    QProcess tool;
    const QString host = dir.filePath(QStringLiteral("pos"));
    // The fastest line the tool offers: the pseudo-terminals are not paced, and the records are
    // what is measured.
    QStringList args{"--port", controller.link, "--baud", "375000", "--monitor", host};
    for (const QString &record : records)
        args << QStringLiteral("--%1").arg(record) << dir.filePath(record);
    tool.start(toolProgram, args);
    waitForLink(host, tool);
    const int fd = openRaw(host);
    QElapsedTimer clock;
    clock.start();
    qint64 at = 0;
    while (!loggedYet(controller, run.lastLine()) && clock.elapsed() < 1800000) {
        pollfd p{fd, short(POLLIN | (at < run.size ? POLLOUT : 0)), 0};
        ::poll(&p, 1, 20);
        if (at < run.size && (p.revents & POLLOUT)) {
            const QByteArray bytes = run.at(at, 65536);
            at += qMax<ssize_t>(::write(fd, bytes.constData(), size_t(bytes.size())), 0);
        }
        char buf[256];
        while (::read(fd, buf, sizeof buf) > 0) { }
        controller.sim.waitForReadyRead(0);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    peakMb = vmHwmMb(tool.processId());
    clean = loggedYet(controller, run.lastLine());
    ::close(fd);
    tool.terminate();
    clean = clean && tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    for (const QString &record : records)
        clean = clean && QFileInfo(dir.filePath(record)).size() > 0;
    if (!clean)
        std::fprintf(stderr, "the long run did not end cleanly: %lld of %lld bytes written; %s\n", at, run.size,
            tool.readAllStandardError().constData());
    return seconds;
}

// The monitor's peak memory with both records, 10 MB and then 1 GB from the host: whether what it
// holds grows with how long it runs.
void days()
{
    const QStringList records{QStringLiteral("traffic"), QStringLiteral("capture")};
    long smallMb = 0, bigMb = 0;
    bool smallClean = false, bigClean = false;
    longRunThroughMonitor(LongRun(10 << 20), records, smallMb, smallClean);
    const double seconds = longRunThroughMonitor(LongRun(qint64(1) << 30), records, bigMb, bigClean);
    bench::row(QStringLiteral("monitor's peak memory (VmHWM), 1 GB from a host with --traffic and --capture, to "
                              "zpc3x-sim --speed max (%1 s)%2")
                   .arg(seconds, 0, 'f', 0)
                   .arg(smallClean && bigClean ? QString() : QStringLiteral(" INCOMPLETE")),
        QStringLiteral("%1 MB").arg(bigMb), QStringLiteral("%1 MB for 10 MB, 1.1x allowed").arg(smallMb),
        double(bigMb) / smallMb, bigMb);
}

// The same 100 MB through the monitor with --traffic, and with --traffic and --capture.
void captureThroughput()
{
    const LongRun run(100 << 20);
    double without = 1e12, with = 1e12;
    long mb = 0, withMb = 0;
    bool clean = true, ok = false;
    for (int i = 0; i < 2; ++i) {
        without = std::min(without, longRunThroughMonitor(run, {QStringLiteral("traffic")}, mb, ok));
        clean = clean && ok;
        with = std::min(
            with, longRunThroughMonitor(run, {QStringLiteral("traffic"), QStringLiteral("capture")}, withMb, ok));
        clean = clean && ok;
    }
    bench::row(QStringLiteral("monitor: 100 MB from a host with --traffic and --capture, to zpc3x-sim --speed max, "
                              "until it printed the last line, best of 2%1")
                   .arg(clean ? QString() : QStringLiteral(" INCOMPLETE")),
        QStringLiteral("%1 s (%2 MB/s)").arg(with, 0, 'f', 2).arg(run.size / 1e6 / with, 0, 'f', 1),
        QStringLiteral("%1 s with --traffic alone, 1.02x allowed").arg(without, 0, 'f', 2), with / without, withMb);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// count status queries (10 04) on the terminal, one at a time, each answer read: ms each.
QList<double> roundTrips(const QString &path, int count)
{
    QList<double> times;
    const int fd = openRaw(path);
    if (fd < 0)
        return times;
    readAnswer(fd, 300); // whatever came before
    for (int i = 0; i < count; ++i) {
        QThread::usleep(20000 + 997 * (i % 7)); // not in step with the controller's tick
        QElapsedTimer clock;
        clock.start();
        if (::write(fd, "\x10\x04", 2) != 2)
            break;
        if (readAnswer(fd, 2000).isEmpty())
            break;
        times << clock.nsecsElapsed() / 1e6;
    }
    ::close(fd);
    return times;
}

void query()
{
    const int count = 50;
    QList<double> straight, through;
    long monitorMb = 0;
    bool clean = false;
    {
        Controller controller({});
        straight = roundTrips(controller.link, count);
        Monitored monitor(controller.link);
        through = roundTrips(monitor.host, count);
        monitorMb = vmHwmMb(monitor.tool.processId());
        clean = monitor.stop();
    }
    const double added = median(through) - median(straight);
    bench::row(QStringLiteral("monitor: status query (10 04) round trip from a host, median of %1 (%2 answered), "
                              "added to straight on the controller's terminal (median %3 ms)%4")
                   .arg(count)
                   .arg(through.size())
                   .arg(median(straight), 0, 'f', 2)
                   .arg(clean && through.size() == count && straight.size() == count ? QString()
                                                                                     : QStringLiteral(" INCOMPLETE")),
        QStringLiteral("+%1 ms (median %2 ms)").arg(added, 0, 'f', 2).arg(median(through), 0, 'f', 2),
        QStringLiteral("5 ms allowed"), added / 5.0, monitorMb);
}

} // namespace

// The seconds the controller's paper takes for a stream: its rows, each by its dots, at the
// controller's defaults.
double paperSeconds(const QByteArray &stream)
{
    controller::Interpreter model;
    model.feed(stream);
    model.finish();
    return controller::HeadTiming::forSpeed(80).rowsSeconds(model.paper(), 0, model.paper().rows());
}

// A black picture 384 x 2000 and a text receipt of as many dot rows, each sent with --send over a
// line of 115200 bit/s with XON/XOFF, from the controller's first command to its last line
// printed, against its own paper time: the picture's rows take six strobes each, and the line
// outruns them, so the tool is held back by XOFF and must lose nothing.
void darkAndLight()
{
    QByteArray picture = QByteArray("\x1D\x76\x30\x00\x30\x00\xD0\x07", 8) + QByteArray(48 * 2000, '\xFF');
    QByteArray receipt;
    for (int i = 0; i < 61; ++i)
        receipt += QStringLiteral("%1  Coffee beans 1 kg  12.50\n").arg(i, 5, 10, QLatin1Char('0')).toLatin1();
    for (const auto &[name, body] :
        {std::pair{"a black picture 384 x 2000", picture}, std::pair{"a text receipt of as many dot rows", receipt}}) {
        const QByteArray stream = body + "\n" + QByteArray("\x10\x04", 2);
        const double paper = paperSeconds(body + "\n");
        Controller controller({"--baud", "115200"});
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("job.bin"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(stream) != stream.size())
            return;
        out.close();
        QProcess send;
        send.start(toolProgram, {"--port", controller.link, "--send", file, "--replies", "3000"});
        QElapsedTimer clock;
        while (!controller.logged(0) && send.state() != QProcess::NotRunning)
            controller.sim.waitForReadyRead(5);
        clock.start();
        const qint64 lastLine = lastLineOffset(stream);
        while (!controller.logged(lastLine) && clock.elapsed() < 120000)
            controller.sim.waitForReadyRead(5);
        const double seconds = clock.nsecsElapsed() / 1e9;
        send.waitForFinished(30000);
        const bool lost = controller.log.contains("overrun") || !controller.logged(lastLine);
        bench::row(
            QStringLiteral("--send %1 over 115200 bit/s with XON/XOFF to zpc3x-sim at its defaults, from its "
                           "first command to its last line%2")
                .arg(QLatin1String(name), lost ? QStringLiteral(", BYTES LOST") : QStringLiteral(", nothing lost")),
            QStringLiteral("%1 s").arg(seconds, 0, 'f', 2),
            QStringLiteral("%1 s of paper, 1.05x allowed").arg(paper, 0, 'f', 2), seconds / paper);
    }
}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("stream"))
        stream(args.mid(1));
    else if (args.value(0) == QLatin1String("query"))
        query();
    else if (args.value(0) == QLatin1String("memory"))
        memory();
    else if (args.value(0) == QLatin1String("days"))
        days();
    else if (args.value(0) == QLatin1String("capture"))
        captureThroughput();
    else if (args.value(0) == QLatin1String("dark"))
        darkAndLight();
    else
        return 2;
    return 0;
}
