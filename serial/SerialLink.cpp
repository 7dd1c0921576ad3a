#include "serial/SerialLink.h"

#include "commands/Protocol.h"

#include <QFile>

#include <cerrno>
#include <poll.h>
#include <sys/stat.h>

namespace {

// True when the far end behind this open descriptor has gone: a pseudo-terminal whose other
// side closed, or an adapter that was pulled out. Asks the system without waiting.
bool lineHungUp(qintptr handle)
{
    pollfd pfd{int(handle), POLLIN, 0};
    int n;
    do {
        n = ::poll(&pfd, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// Where the port's device node lives, as the port itself finds it from its name.
QByteArray nodePath(const QString &portName)
{
    return QFile::encodeName(portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName);
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

SerialLink::~SerialLink() = default;

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
    pendingQueries = 0;
    lastPut = 0;
    lineLost = false;
    sentBytes.clear();
    receivedBytes.clear();
    handedCount = writtenCount = receivedCount = done = total = 0;
    emit openChanged(true);
    return true;
}

void SerialLink::close()
{
    behindSource.clear(); // dropped with the rest of the queue
    stopSource();
    if (port->isOpen())
        port->close(); // what was still queued never leaves
    forgetQueued();
    pendingQueries = 0;
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
    if (source) { // queued behind the file, never between two of its slices
        behindSource.append(data, size);
        total += size;
        emit progressed();
        return;
    }
    put(data, size);
}

void SerialLink::put(const char *data, qint64 size)
{
    if (sentBytes.size() < maxSentKept)
        sentBytes.append(data, qMin(size, maxSentKept - sentBytes.size()));
    handedCount += size;
    noteQueries(data, size);
    if (port->bytesToWrite() == 0 && !source)
        done = total = 0; // a new run of writes
    if (total == done)
        moved.start();
    total += size;
    port->write(data, size);
    emit progressed();
}

void SerialLink::noteQueries(const char *data, qint64 size)
{
    // The controller answers DLE EOT wherever it stands in the stream, even inside a command's
    // data, so every such pair is counted, as the far end counts them.
    for (qint64 i = 0; i < size; ++i) {
        if ((i > 0 ? data[i - 1] : lastPut) == proto::DLE && data[i] == proto::queryStatus)
            pendingQueries = qMin(pendingQueries + 1, maxPendingQueries);
    }
    if (size > 0)
        lastPut = data[size - 1];
}

bool SerialLink::sendFile(const QString &fileName, QString &why)
{
    if (source) {
        why = tr("%1 is still being sent; wait for it or cancel it first").arg(sourceName);
        return false;
    }
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly)) {
        why = file->errorString();
        return false;
    }
    const qint64 size = file->size();
    sendFrom(std::move(file), fileName, size);
    return true;
}

void SerialLink::sendFrom(std::unique_ptr<QIODevice> from, const QString &name, qint64 size)
{
    Q_ASSERT(!source);
    if (port->bytesToWrite() == 0)
        done = total = 0;
    if (total == done)
        moved.start();
    source = std::move(from);
    sourceName = name;
    sourceSize = size;
    sourceRead = 0;
    total += size;
    feedSource();
}

void SerialLink::feedSource()
{
    // A slice at a time, so that a file of any size never sits whole in memory. Only the bytes
    // there at the start are sent: a file that grows meanwhile is not chased.
    constexpr qint64 slice = 64 * 1024;
    QByteArray bytes;
    while (source && port->isOpen() && port->bytesToWrite() < slice && sourceRead < sourceSize) {
        bytes.resize(qMin(slice, sourceSize - sourceRead));
        const qint64 n = source->read(bytes.data(), bytes.size());
        if (n <= 0) {
            const QString reason = n < 0
                ? source->errorString()
                : tr("it ended after %1 of the %2 bytes it had").arg(sourceRead).arg(sourceSize);
            const QString name = sourceName;
            const qint64 at = sourceRead, size = sourceSize;
            total -= size - at; // never coming
            stopSource(); // what was queued behind the file goes out now
            emit sendStopped(name, at, size, reason);
            emit progressed();
            return;
        }
        sourceRead += n;
        total -= n; // counted when the source was handed over
        put(bytes.constData(), n);
    }
    if (source && sourceRead >= sourceSize)
        stopSource();
}

void SerialLink::stopSource()
{
    source.reset();
    sourceName.clear();
    sourceSize = sourceRead = 0;
    if (!behindSource.isEmpty() && port->isOpen()) {
        const QByteArray waiting = std::exchange(behindSource, {});
        total -= waiting.size(); // counted when it was handed over
        put(waiting.constData(), waiting.size());
    }
    behindSource.clear();
}

void SerialLink::forgetQueued()
{
    // What never left is no longer counted as sent, so that a later write follows on from what
    // really went out.
    handedCount = writtenCount;
    if (sentBytes.size() > writtenCount)
        sentBytes.truncate(writtenCount);
}

void SerialLink::written(qint64 bytes)
{
    writtenCount += bytes;
    done += bytes;
    moved.start();
    feedSource();
    if (port->bytesToWrite() == 0 && !source)
        done = total; // the run is complete
    emit progressed();
}

std::pair<qint64, qint64> SerialLink::cancel()
{
    const std::pair<qint64, qint64> result{done, total};
    behindSource.clear();
    stopSource();
    port->clear(QSerialPort::Output);
    forgetQueued();
    pendingQueries = 0; // those dropped are never answered; which went out is not known
    lastPut = 0;
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
    for (qsizetype i = 0; i < data.size() && pendingQueries > 0; ++i) {
        --pendingQueries;
        emit statusAnswered(quint8(data.at(i)));
    }
}

QString SerialLink::portPath() const { return QFile::decodeName(nodePath(port->portName())); }

QString SerialLink::whyGone() const
{
    const qintptr handle = port->handle();
    struct stat opened
    {
    }, named{};
    if (handle < 0 || ::fstat(int(handle), &opened) != 0)
        return tr("the port's descriptor is no longer valid");
    if (lineHungUp(handle))
        return tr("the device was unplugged, or the other end closed it");
    const QByteArray node = nodePath(port->portName());
    if (::stat(node.constData(), &named) != 0 || named.st_rdev != opened.st_rdev)
        return tr("the device was unplugged: %1 is gone").arg(QFile::decodeName(node));
    const QString said = port->errorString();
    for (const int code : {EIO, ENODEV, ENXIO})
        if (said == qt_error_string(code))
            return tr("the device failed: %1").arg(said);
    return {};
}

void SerialLink::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !port->isOpen() || lineLost)
        return;
    const QString reason = whyGone();
    if (reason.isEmpty()) {
        port->clearError(); // held back, or a passing fault: the line is still there
        return;
    }
    lineLost = true;
    const qint64 doneAtLoss = done, totalAtLoss = total;
    close();
    emit lost(reason, doneAtLoss, totalAtLoss);
}
