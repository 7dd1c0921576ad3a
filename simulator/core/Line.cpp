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
    interpreter.setAnswersRealTime(false); // answered here, as they arrive
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
    // Real-time queries, wherever they stand in the stream. A DLE EOT takes the next byte as its
    // n when that is 1 to 4; one that ends what has arrived is answered on the next tick unless
    // its n comes first.
    auto statusFor = [this](char next) {
        return char(next >= 1 && next <= 4 ? interpreter.realTimeStatus(next) : interpreter.status());
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (heldStatus) {
            heldStatus = false;
            back.append(statusFor(c));
        }
        if (lastByte == DLE && c == 0x05)
            back.append(proto::firmwareReply(interpreter.headType()));
        if (lastByte == DLE && c == 0x04) {
            if (i + 1 < bytes.size()) {
                back.append(statusFor(bytes.at(i + 1)));
            } else {
                heldStatus = true;
            }
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
    QByteArray back;
    if (heldStatus && seconds > 0) { // no n followed the DLE EOT
        heldStatus = false;
        back.append(char(interpreter.status()));
    }
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
        if (head > config.bufferSize) {
            buffer.remove(0, head);
            head = 0;
        }
    }
    if (bufferFill() == 0)
        rowBudget = 0; // an idle mechanism banks no time
    // Answers of commands as they are processed (printer ID, paper status) and the call-back.
    return back + interpreter.takeReplies() + flowControl();
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
