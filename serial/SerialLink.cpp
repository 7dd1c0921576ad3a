#include "serial/SerialLink.h"

#include "commands/Protocol.h"

#include <QFile>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
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
    , holdCheck(new QTimer(this))
{
    holdCheck->setInterval(100);
    connect(holdCheck, &QTimer::timeout, this, &SerialLink::checkHeld);
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
    queries.clear();
    lastPut = 0;
    lineLost = false;
    sentBytes.clear();
    receivedBytes.clear();
    handedCount = writtenCount = receivedCount = done = total = 0;
    unsent.clear();
    unsentHead = 0;
    held = false;
    emit openChanged(true);
    return true;
}

void SerialLink::close()
{
    behindSource.clear(); // dropped with the rest of the queue
    stopSource();
    // What the port already gave the system still reaches the line, though the port will no
    // longer report it; on a line that is gone it reaches nothing.
    QByteArray given;
    const qint64 givenAt = writtenCount;
    if (port->isOpen()) {
        if (!lineLost)
            given = takeWritten(queued() - port->bytesToWrite());
        writtenCount += given.size();
        port->close(); // what was still queued never leaves
    }
    forgetQueued();
    holdCheck->stop();
    release();
    queries.clear();
    done = total = 0;
    if (!given.isEmpty())
        emit bytesSent(givenAt, given);
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
    unsent.append(data, size);
    noteQueries(data, size);
    if (port->bytesToWrite() == 0 && !source)
        done = total = 0; // a new run of writes
    if (total == done)
        moved.start();
    total += size;
    port->write(data, size);
    watchLine();
    emit progressed();
}

void SerialLink::noteQueries(const char *data, qint64 size)
{
    // The controller answers DLE EOT wherever it stands in the stream, even inside a command's
    // data, so every such pair is counted, as the far end counts them.
    for (qint64 i = 0; i < size; ++i) {
        if ((i > 0 ? data[i - 1] : lastPut) == proto::DLE && data[i] == proto::queryStatus)
            if (queries.size() < maxPendingQueries)
                queries.append(false);
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
    watchLine();
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

void SerialLink::forgetQueued(qint64 keep)
{
    // What never left is no longer counted as sent, so that a later write follows on from what
    // really went out. The first keep bytes have left and are still to be reported.
    handedCount = writtenCount + keep;
    if (sentBytes.size() > handedCount)
        sentBytes.truncate(handedCount);
    unsent.truncate(unsentHead + keep);
    if (unsentHead == unsent.size()) {
        unsent.clear();
        unsentHead = 0;
    }
}

QByteArray SerialLink::takeWritten(qint64 bytes)
{
    const qsizetype n = qBound<qint64>(0, bytes, unsent.size() - unsentHead);
    QByteArray out = unsent.mid(unsentHead, n);
    unsentHead += n;
    // Dropping the front only once it is most of the queue keeps a long write linear.
    if (unsentHead == unsent.size()) {
        unsent.clear();
        unsentHead = 0;
    } else if (unsentHead >= (1 << 20) && unsentHead * 2 >= unsent.size()) {
        unsent.remove(0, unsentHead);
        unsentHead = 0;
    }
    return out;
}

void SerialLink::written(qint64 bytes)
{
    const qint64 offset = writtenCount;
    const QByteArray left = takeWritten(bytes);
    writtenCount += bytes;
    done += bytes;
    moved.start();
    noteMoved();
    if (!left.isEmpty())
        emit bytesSent(offset, left);
    feedSource();
    if (port->bytesToWrite() == 0 && !source) {
        done = total; // the run is complete
        holdCheck->stop();
    }
    emit progressed();
}

qint64 SerialLink::driverQueued() const
{
    // Bytes the driver still has to put on the wire; a slow line drains them between reports.
    int n = 0;
    if (!port->isOpen() || ::ioctl(int(port->handle()), TIOCOUTQ, &n) != 0)
        return 0;
    return n;
}

void SerialLink::watchLine()
{
    if (holdCheck->isActive() || !port->isOpen())
        return;
    stillWritten = writtenCount;
    stillDriver = driverQueued();
    still.start();
    holdCheck->start();
}

void SerialLink::noteMoved()
{
    release();
    stillWritten = writtenCount;
    stillDriver = driverQueued();
    still.start();
}

void SerialLink::checkHeld()
{
    if (!port->isOpen() || (port->bytesToWrite() == 0 && !source)) {
        holdCheck->stop();
        release();
        return;
    }
    if (writtenCount != stillWritten || driverQueued() != stillDriver) {
        moved.start();
        noteMoved();
        return;
    }
    if (!held && still.elapsed() >= holdAfterMs) {
        held = true;
        emit heldChanged(true, still.elapsed());
    }
}

void SerialLink::release()
{
    if (!held)
        return;
    held = false;
    emit heldChanged(false, still.elapsed());
}

std::pair<qint64, qint64> SerialLink::cancel()
{
    const std::pair<qint64, qint64> result{done, total};
    behindSource.clear();
    stopSource();
    // The port reports later what it already gave the system; the rest is dropped here.
    const qint64 given = port->isOpen() ? queued() - port->bytesToWrite() : 0;
    port->clear(QSerialPort::Output);
    forgetQueued(qMax<qint64>(0, given));
    holdCheck->stop();
    release();
    queries.clear(); // those dropped are never answered; which went out is not known
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
    // The first bytes answer the queries still open, in order; the link's own stay out of the text.
    QByteArray text;
    qsizetype i = 0;
    QList<quint8> answers;
    for (; i < data.size() && !queries.isEmpty(); ++i) {
        if (!queries.takeFirst())
            text += data.at(i);
        answers << quint8(data.at(i));
    }
    text += data.mid(i);
    emit textReceived(replyDecoder.decode(text));
    for (const quint8 status : answers)
        emit statusAnswered(status);
}

void SerialLink::queryStatus()
{
    const char query[] = {proto::DLE, proto::queryStatus};
    const qsizetype before = queries.size();
    write(query, 2);
    if (queries.size() > before)
        queries.last() = true;
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
