#include "simulator/WireModel.h"

#include "commands/Protocol.h"

#include <chrono>

namespace sim {

namespace {
using proto::XOFF;
using proto::XON;
// Interpreting between two ticks of time, so that signals and a window wait little.
constexpr auto maxWork = std::chrono::milliseconds(20);
constexpr qsizetype minSlice = 8, maxSlice = 64 * 1024, pacedSlice = 256; // a paced slice moves little paper
constexpr double bankedSeconds = 0.25; // of paper motion a late tick may catch up on
constexpr double speedWindow = 0.25; // seconds of printing the shown speed is taken over
} // namespace

std::chrono::nanoseconds WireModel::steadyClock() { return std::chrono::steady_clock::now().time_since_epoch(); }

WireModel::WireModel(controller::Interpreter &interpreter, const WireSettings &settings, WorkClock clock)
    : interpreter(interpreter)
    , config(settings)
    , clock(std::move(clock))
{
    config.bufferSize = qMax(16, config.bufferSize);
    config.speedMmPerS = qMax(0.0, config.speedMmPerS);
    if (config.speedMmPerS > 0)
        timing = config.timing();
}

bool WireModel::mayRead(Port port) const
{
    if (port == lastPort)
        return true;
    const bool jobOver = lastPortEnded || quiet >= switchSeconds;
    return jobOver && segments.isEmpty() && bufferFill() == 0 && !interpreter.inCommand();
}

bool WireModel::takeStreamFinished(Port port)
{
    if (finished[port] == 0)
        return false;
    --finished[port];
    return true;
}

qsizetype WireModel::readAllowance(Port port) const
{
    if (!mayRead(port))
        return 0;
    const qsizetype room = config.bufferSize - bufferFill();
    if (port == Network)
        return room;
    qsizetype allowance = config.baud > 0 ? qsizetype(credit) : -1;
    if (config.xonXoff && hostHonoursXoff)
        allowance = allowance < 0 ? room : qMin(allowance, room);
    return allowance;
}

QByteArray WireModel::receive(const QByteArray &bytes, Port port)
{
    received += bytes.size();
    if (config.baud > 0 && port == Serial)
        credit = qMax(0.0, credit - double(bytes.size()));
    const qsizetype fits = qMin<qsizetype>(config.bufferSize - bufferFill(), bytes.size());
    if (fits < bytes.size()) { // an overrun: the controller has nowhere to put them
        dropped += bytes.size() - fits;
        overrun += bytes.size() - fits;
        lostSinceTick = true;
    }
    if (fits > 0) {
        if (port != lastPort) { // a query's bytes never come from two ports
            interpreter.settle(true);
            route(lastPort);
            lastPort = port;
        }
        quiet = 0;
        lastPortEnded = false;
        interpreter.receive(bytes.constData(), fits);
        route(port);
        if (head > 0 && head == buffer.size()) {
            buffer.clear();
            head = 0;
        }
        buffer.append(bytes.constData(), fits);
        kept += fits;
        if (!segments.isEmpty() && segments.last().port == port && !segments.last().endsStream)
            segments.last().end = kept;
        else
            segments.append({kept, port, false});
    }
    flowControl();
    return take(Serial);
}

void WireModel::endStream(Port port)
{
    interpreter.settle(true);
    route(port);
    if (!segments.isEmpty() && segments.last().port == port && !segments.last().endsStream)
        segments.last().endsStream = true;
    else
        segments.append({kept, port, true});
}

QByteArray WireModel::advance(double seconds)
{
    if (seconds > 0) {
        worked = {};
        quiet += seconds;
        if (overrun > 0 && !lostSinceTick) { // the overrun is over: said once
            interpreter.note(QStringLiteral("overrun:"), QStringLiteral("%1 bytes lost").arg(overrun));
            notices << QStringLiteral("overrun: %1 bytes lost").arg(overrun);
            overrun = 0;
        }
        lostSinceTick = false;
    }
    if (config.baud > 0) // at most a twentieth of a second of credit, as a wire has no store
        credit = qMin(credit + seconds * config.baud / 10.0, config.baud / 200.0 + 64);
    if (!isPaused() && !segments.isEmpty()) {
        if (config.speedMmPerS > 0)
            timeBudget = qMin(timeBudget + seconds, bankedSeconds);
        process();
    }
    if (seconds > 0 && quiet >= proto::realTimeQuietMs / 1000.0) {
        // No n followed a DLE EOT that ended the last bytes for the quiet a query's n may take:
        // it is answered now, after the bytes before it that this tick processed, as the tool's
        // own model answers it.
        interpreter.settle();
        route(lastPort);
    }
    if (bufferFill() == 0)
        timeBudget = qMin(timeBudget, 0.0); // an idle mechanism banks no time
    idleSeconds = windowRows > rowsAtTick ? 0.0 : idleSeconds + seconds;
    if (windowSeconds >= speedWindow) {
        speedNow = windowRows / 8.0 / windowSeconds;
        windowRows = windowSeconds = 0;
    } else if (idleSeconds >= speedWindow) {
        speedNow = 0; // stands still: what the last window held is no longer the speed
        windowRows = windowSeconds = 0;
    }
    rowsAtTick = windowRows;
    flowControl();
    return take(Serial);
}

void WireModel::process()
{
    const bool paced = config.speedMmPerS > 0;
    while (!segments.isEmpty() && (!paced || timeBudget > 0) && worked < maxWork) {
        const Segment segment = segments.first();
        const qsizetype n = qsizetype(qMin<qint64>(paced ? qMin(slice, pacedSlice) : slice, segment.end - processed));
        if (n == 0) {
            if (segment.endsStream) {
                interpreter.finishStream();
                route(segment.port);
                ++finished[segment.port];
                if (segment.port == lastPort)
                    lastPortEnded = true;
            }
            segments.removeFirst();
            continue;
        }
        const qint64 rowsBefore = printedRows();
        const int paperRowsBefore = interpreter.paper().rows();
        const auto sliceStart = clock();
        interpreter.process(buffer.constData() + head, n);
        const auto took = clock() - sliceStart;
        worked += took;
        head += n;
        processed += n;
        route(segment.port);
        if (paced) {
            // Each row this slice printed as long as its dots take; a row past the end of the
            // roll is dropped unseen and takes the motor's step.
            const controller::Paper &paper = interpreter.paper();
            const qint64 rows = printedRows() - rowsBefore;
            const double printing = timing.rowsSeconds(paper, paperRowsBefore, paper.rows() - paperRowsBefore)
                + double(rows - (paper.rows() - paperRowsBefore)) * timing.stepSeconds;
            timeBudget -= printing;
            windowRows += double(rows);
            windowSeconds += printing;
        }
        // Slices that each take about a millisecond: the deadline above is kept within one.
        if (took > std::chrono::microseconds(2000))
            slice = qMax(minSlice, slice / 2);
        else if (took < std::chrono::microseconds(500) && n == slice)
            slice = qMin(maxSlice, slice * 2);
    }
    if (head > config.bufferSize) {
        buffer.remove(0, head);
        head = 0;
    }
}

qint64 WireModel::printedRows() const { return interpreter.paper().rows() + interpreter.paper().droppedRows(); }

void WireModel::route(Port port) { outbox[port] += interpreter.takeReplies(); }

QByteArray WireModel::take(Port port) { return std::exchange(outbox[port], QByteArray()); }

QStringList WireModel::takeNotices() { return std::exchange(notices, QStringList()); }

void WireModel::flowControl()
{
    if (!config.xonXoff)
        return;
    if (!xoffSent && bufferFill() > config.bufferSize * 3 / 4) {
        xoffSent = true;
        ++xoffs;
        outbox[Serial] += XOFF;
    } else if (xoffSent && bufferFill() < config.bufferSize / 4) {
        xoffSent = false;
        outbox[Serial] += XON;
    }
}

void WireModel::setPaperOut(bool out)
{
    paperOut = out;
    interpreter.setPaperOut(out);
    route(lastPort);
}

void WireModel::setCoverOpen(bool open)
{
    coverOpen = open;
    interpreter.setCoverOpen(open);
    route(lastPort);
}

} // namespace sim
