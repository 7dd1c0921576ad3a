#include "serial/SerialLink.h"

#include <cerrno>
#include <poll.h>

namespace {

// True when the far end behind this open descriptor has gone: a pseudo-terminal whose other
// side closed, or an adapter that was pulled out. Asks the system without waiting.
bool lineHungUp(qintptr handle)
{
    if (handle < 0)
        return true;
    pollfd pfd{int(handle), POLLIN, 0};
    int n;
    do {
        n = ::poll(&pfd, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

SerialLink::SerialLink(QObject *parent)
    : QObject(parent)
    , port(new QSerialPort(this))
{
    connect(port, &QSerialPort::errorOccurred, this, &SerialLink::handleError);
    connect(port, &QSerialPort::readyRead, this, &SerialLink::readData);
}

bool SerialLink::open(const Settings &settings)
{
    port->setPortName(settings.portName);
    port->setBaudRate(settings.baudRate, QSerialPort::AllDirections);
    port->setDataBits(settings.dataBits);
    port->setParity(settings.parity);
    port->setStopBits(settings.stopBits);
    port->setFlowControl(settings.flowControl);
    if (!port->open(QIODevice::ReadWrite))
        return false;
    replyDecoder.reset();
    lineLost = false;
    emit openChanged(true);
    return true;
}

void SerialLink::close()
{
    if (port->isOpen())
        port->close();
    emit openChanged(false);
}

void SerialLink::write(const char *data, qint64 size) { port->write(data, size); }

void SerialLink::readData()
{
    const QByteArray data = port->readAll();
    if (!data.isEmpty())
        emit textReceived(replyDecoder.decode(data));
}

void SerialLink::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !port->isOpen() || lineLost)
        return;
    // A pty or adapter that vanished reads end-of-file over and over, which the port reports as
    // read or ioctl errors rather than a resource error.
    if (error != QSerialPort::ResourceError && !lineHungUp(port->handle()))
        return; // a passing fault on a line that is still there
    lineLost = true;
    const QString reason = port->errorString();
    close();
    emit lost(reason);
}
