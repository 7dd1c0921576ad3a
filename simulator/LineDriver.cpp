#include "simulator/LineDriver.h"

namespace sim {

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

void LineDriver::unplug()
{
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
    const qsizetype allowance = model.readAllowance();
    if (allowance != 0) {
        const QByteArray bytes = endpoint.read(allowance);
        if (!bytes.isEmpty()) {
            back += model.receive(bytes);
            back += model.advance(0); // text waiting for nothing prints at once
        }
    }
    if (!back.isEmpty())
        endpoint.write(back);
    if (interpreter.paper().rows() != rowsBefore || interpreter.bytesReceived() != bytesBefore || !back.isEmpty())
        emit progressed();
}

} // namespace sim
