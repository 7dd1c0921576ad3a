#include "simulator/LineDriver.h"

namespace sim {

namespace {
constexpr qsizetype maxReadBytes = 256 * 1024;
}

LineDriver::LineDriver(Interpreter &interpreter, const LineSettings &settings, QObject *parent)
    : QObject(parent)
    , interpreter(interpreter)
    , model(interpreter, settings)
{
    timer.setInterval(4);
    connect(&timer, &QTimer::timeout, this, &LineDriver::tick);
}

bool LineDriver::plugIn()
{
    if (!endpoint.open())
        return false;
    if (!linkPath.isEmpty() && !endpoint.link(linkPath)) {
        endpoint.close();
        return false;
    }
    clock.start();
    timer.start();
    emit pathChanged(endpoint.path());
    return true;
}

bool LineDriver::serveTcp(const QString &where)
{
    tcp = new TcpEndpoint(this);
    if (!tcp->listen(where)) {
        tcpError = tcp->errorString();
        delete tcp;
        tcp = nullptr;
        return false;
    }
    connect(tcp, &TcpEndpoint::clientChanged, this, &LineDriver::tcpClientChanged);
    if (!clock.isValid())
        clock.start();
    timer.start();
    return true;
}

void LineDriver::unplug()
{
    if (!tcp)
        timer.stop();
    endpoint.close();
    emit pathChanged(QString());
}

void LineDriver::tick()
{
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    clock.restart();
    const qint64 rowsBefore = interpreter.paper().rows(), bytesBefore = interpreter.bytesReceived();
    QByteArray back = model.advance(seconds);
    for (const bool fromTcp : {false, true}) {
        // An unpaced line without flow control still reads a bounded slice a tick, so that a
        // flood cannot keep one tick, and the queries behind it, waiting.
        const qsizetype allowance = model.readAllowance() < 0 ? maxReadBytes : model.readAllowance();
        if (allowance == 0 || (fromTcp && !tcp))
            continue;
        const QByteArray bytes = fromTcp ? tcp->read(allowance) : endpoint.read(allowance);
        if (!bytes.isEmpty()) {
            lastFromTcp = fromTcp;
            back += model.receive(bytes);
            back += model.advance(0); // text waiting for nothing prints at once
        }
    }
    if (!back.isEmpty()) {
        // Status bytes keep bit 0 clear and no answer holds 0x11 or 0x13: those are flow control.
        QByteArray flow, answers;
        for (const char c : std::as_const(back))
            (c == proto::XON || c == proto::XOFF ? flow : answers).append(c);
        endpoint.write(lastFromTcp ? flow : back);
        if (lastFromTcp)
            tcp->write(answers);
        if (!answers.isEmpty())
            emit answered(answers);
    }
    if (interpreter.paper().rows() != rowsBefore || interpreter.bytesReceived() != bytesBefore || !back.isEmpty())
        emit progressed();
}

} // namespace sim
