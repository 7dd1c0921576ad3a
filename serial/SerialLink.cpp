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
    connect(port, &QSerialPort::bytesWritten, this, &SerialLink::written);
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
    sentBytes.clear();
    receivedBytes.clear();
    sentCount = receivedCount = done = total = 0;
    emit openChanged(true);
    return true;
}

void SerialLink::close()
{
    file.close();
    if (port->isOpen())
        port->close();
    done = total = 0;
    emit openChanged(false);
    emit progressed();
}

void SerialLink::write(const char *data, qint64 size)
{
    if (!port->isOpen() || size <= 0) {
        port->write(data, size);
        return;
    }
    if (sentBytes.size() < maxSentKept)
        sentBytes.append(data, qMin(size, maxSentKept - sentBytes.size()));
    sentCount += size;
    if (port->bytesToWrite() == 0 && !file.isOpen())
        done = total = 0; // a new run of writes
    if (total == done)
        moved.start();
    total += size;
    port->write(data, size);
    emit progressed();
}

bool SerialLink::sendFile(const QString &fileName, QString &why)
{
    file.close();
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    if (port->bytesToWrite() == 0)
        done = total = 0;
    if (total == done)
        moved.start();
    total += file.size();
    feedFile();
    return true;
}

void SerialLink::feedFile()
{
    // A slice at a time, so that a file of any size never sits whole in memory.
    constexpr qint64 slice = 64 * 1024;
    while (file.isOpen() && port->isOpen() && port->bytesToWrite() < slice) {
        const QByteArray bytes = file.read(slice);
        if (bytes.isEmpty()) {
            file.close();
            break;
        }
        total -= bytes.size(); // counted when the file was handed over
        write(bytes.constData(), bytes.size());
    }
}

void SerialLink::written(qint64 bytes)
{
    done += bytes;
    moved.start();
    feedFile();
    if (port->bytesToWrite() == 0 && !file.isOpen())
        done = total; // the run is complete
    emit progressed();
}

std::pair<qint64, qint64> SerialLink::cancel()
{
    const std::pair<qint64, qint64> result{done, total};
    file.close();
    port->clear(QSerialPort::Output);
    done = total = 0;
    emit progressed();
    return result;
}

void SerialLink::readData()
{
    const QByteArray data = port->readAll();
    if (data.isEmpty())
        return;
    const qint64 offset = receivedCount;
    receivedCount += data.size();
    receivedBytes += data;
    if (receivedBytes.size() > maxReceivedKept)
        receivedBytes.remove(0, receivedBytes.size() - maxReceivedKept);
    emit bytesReceived(offset, data);
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
