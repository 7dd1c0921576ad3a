#include "simulator/core/Line.h"

namespace sim {

namespace {
using proto::DLE;
using proto::XOFF;
using proto::XON;
constexpr qsizetype sliceBytes = 2048; // fed to the interpreter at a time
constexpr qsizetype maxWorkBytes = 256 * 1024; // per call of advance, so that a window stays responsive
} // namespace

Line::Line(Interpreter &interpreter, const LineSettings &settings)
    : interpreter(interpreter)
    , config(settings)
{
    config.bufferSize = qMax(16, config.bufferSize);
}

qsizetype Line::readAllowance() const
{
    qsizetype allowance = config.baud > 0 ? qsizetype(credit) : -1;
    if (config.xonXoff) {
        const qsizetype room = config.bufferSize - bufferFill();
        allowance = allowance < 0 ? room : qMin(allowance, room);
    }
    return allowance;
}

QByteArray Line::receive(const QByteArray &bytes)
{
    received += bytes.size();
    if (config.baud > 0)
        credit = qMax(0.0, credit - double(bytes.size()));
    QByteArray back;
    // Real-time queries, wherever they stand in the stream.
    for (const char c : bytes) {
        if (lastByte == DLE && (c == 0x04 || c == 0x05)) {
            if (c == 0x04)
                back.append(char(interpreter.status()));
            else
                back.append(proto::firmwareReply(interpreter.headType()));
        }
        lastByte = c;
    }
    const qsizetype room = config.bufferSize - bufferFill();
    const qsizetype kept = qMin<qsizetype>(room, bytes.size());
    dropped += bytes.size() - kept;
    if (head > 0 && head == buffer.size()) {
        buffer.clear();
        head = 0;
    }
    buffer.append(bytes.constData(), kept);
    return back + flowControl();
}

QByteArray Line::advance(double seconds)
{
    if (config.baud > 0) // at most a twentieth of a second of credit, as a wire has no store
        credit = qMin(credit + seconds * config.baud / 10.0, config.baud / 200.0 + 64);
    if (!isPaused() && bufferFill() > 0) {
        rowBudget += seconds * config.speedMmPerS * 8.0;
        const int startRows = interpreter.paper().rows();
        qsizetype work = 0;
        while (bufferFill() > 0 && work < maxWorkBytes && interpreter.paper().rows() - startRows < rowBudget) {
            const qsizetype n = qMin(sliceBytes, bufferFill());
            interpreter.feed(buffer.constData() + head, n);
            head += n;
            work += n;
        }
        rowBudget = qMax(0.0, rowBudget - (interpreter.paper().rows() - startRows));
        interpreter.takeReplies(); // already answered as they arrived
        if (head > config.bufferSize) {
            buffer.remove(0, head);
            head = 0;
        }
    }
    if (bufferFill() == 0)
        rowBudget = 0; // an idle mechanism banks no time
    return flowControl();
}

QByteArray Line::flowControl()
{
    if (!config.xonXoff)
        return {};
    if (!xoffSent && bufferFill() > config.bufferSize * 3 / 4) {
        xoffSent = true;
        ++xoffs;
        return QByteArray(1, XOFF);
    }
    if (xoffSent && bufferFill() < config.bufferSize / 4) {
        xoffSent = false;
        return QByteArray(1, XON);
    }
    return {};
}

void Line::setPaperOut(bool out)
{
    paperOut = out;
    interpreter.setPaperOut(out);
}

void Line::setCoverOpen(bool open)
{
    coverOpen = open;
    interpreter.setCoverOpen(open);
}

} // namespace sim
