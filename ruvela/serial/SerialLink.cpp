#include "serial/SerialLink.h"

#include "commands/Protocol.h"

#include <QFile>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace {

// What the line says of a loss or a stopped send, in English: Traffic rows and runs without a
// window keep it so, and a window shows it translated (language::shown with reasonSources()).
constexpr const char *stillBeingSent
    = QT_TRANSLATE_NOOP("SerialLink", "%1 is still being sent; wait for it or cancel it first");
constexpr const char *endedEarly = QT_TRANSLATE_NOOP("SerialLink", "it ended after %1 of the %2 bytes it had");
constexpr const char *descriptorInvalid = QT_TRANSLATE_NOOP("SerialLink", "the port's descriptor is no longer valid");
constexpr const char *hungUp = QT_TRANSLATE_NOOP("SerialLink", "the device was unplugged, or the other end closed it");
constexpr const char *nodeGone = QT_TRANSLATE_NOOP("SerialLink", "the device was unplugged: %1 is gone");
constexpr const char *deviceFailed = QT_TRANSLATE_NOOP("SerialLink", "the device failed: %1");

QString english(const char *source) { return QString::fromUtf8(source); }

} // namespace

const QList<const char *> &SerialLink::reasonSources()
{
    static const QList<const char *> all{stillBeingSent, endedEarly, descriptorInvalid, hungUp, nodeGone, deviceFailed};
    return all;
}

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
    , answerTimer(new QTimer(this))
    , holdCheck(new QTimer(this))
{
    clock.start();
    answerTimer->setSingleShot(true);
    connect(answerTimer, &QTimer::timeout, this, [this] {
        report(matcher.tick(clock.elapsed()));
        scheduleAnswers();
    });
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
    // Ten bits a byte on the wire, start and stop bits included.
    portSlice = qBound<qint64>(256LL, qint64(settings.baudRate) / 10 * sliceMs / 1000, 16LL * 1024);
    // What the line had before this connection answers nothing sent on it.
    port->clear(QSerialPort::Input);
    replyDecoder.reset();
    matcher.reset();
    answerTimer->stop();
    lineLost = false;
    lossReach = {};
    queue.clear();
    receivedBytes.clear();
    receivedCount = 0;
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
    const qint64 givenAt = queue.writtenTotal();
    qint64 toSystem = 0;
    if (port->isOpen()) {
        // Written to the system and not reported yet: on a lost line they may have reached it.
        toSystem = queue.atPort() - port->bytesToWrite();
        port->close(); // what the port still kept never leaves
    }
    const QByteArray given = queue.close(qMax<qint64>(0, toSystem));
    holdCheck->stop();
    release();
    answerTimer->stop();
    const QList<Answer> unanswered = matcher.finish(clock.elapsed());
    matcher.reset();
    if (!given.isEmpty())
        emit bytesSent(givenAt, given);
    report(unanswered);
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
        if (queue.runDone() >= queue.runTotal())
            moved.start();
        behindSource.append(data, size);
        queue.promise(size);
        emit progressed();
        return;
    }
    put(data, size);
}

void SerialLink::put(const char *data, qint64 size, bool promised)
{
    if (queue.runDone() >= queue.runTotal() && !promised)
        moved.start(); // a new run of writes
    queue.hand(data, size, promised);
    pump();
    watchLine();
    emit progressed();
}

void SerialLink::pump()
{
    while (port->isOpen() && queue.staged() > 0 && port->bytesToWrite() < portSlice) {
        const qint64 at = queue.given();
        const QByteArray slice = queue.give(portSlice - port->bytesToWrite());
        report(matcher.sent(at, slice.constData(), slice.size(), clock.elapsed()));
        port->write(slice);
    }
}

bool SerialLink::sendFile(const QString &fileName, QString &why)
{
    if (source) {
        why = english(stillBeingSent).arg(sourceName);
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
    if (queue.runDone() >= queue.runTotal())
        moved.start();
    source = std::move(from);
    sourceName = name;
    sourceSize = size;
    sourceRead = 0;
    queue.promise(size);
    watchLine();
    feedSource();
}

void SerialLink::feedSource()
{
    // A slice at a time, so that a file of any size never sits whole in memory. Only the bytes
    // there at the start are sent: a file that grows meanwhile is not chased.
    constexpr qint64 slice = 64 * 1024;
    QByteArray bytes;
    while (source && port->isOpen() && queue.queued() < slice && sourceRead < sourceSize) {
        bytes.resize(qMin(slice, sourceSize - sourceRead));
        const qint64 n = source->read(bytes.data(), bytes.size());
        if (n <= 0) {
            const QString reason = n < 0 ? source->errorString() : english(endedEarly).arg(sourceRead).arg(sourceSize);
            const QString name = sourceName;
            const qint64 at = sourceRead, size = sourceSize;
            queue.unpromise(size - at); // never coming
            stopSource(); // what was queued behind the file goes out now
            // Told from the event loop: a box shown while the port reports a write would hold
            // back its next reports, and with them the rest of the queue.
            QMetaObject::invokeMethod(
                this, [=] { emit sendStopped(name, at, size, reason); }, Qt::QueuedConnection);
            emit progressed();
            return;
        }
        sourceRead += n;
        put(bytes.constData(), n, true);
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
        put(waiting.constData(), waiting.size(), true);
    }
    behindSource.clear();
}

void SerialLink::written(qint64 bytes)
{
    const qint64 offset = queue.writtenTotal();
    const QByteArray left = queue.written(bytes);
    matcher.left(queue.writtenTotal(), clock.elapsed());
    scheduleAnswers();
    moved.start();
    noteMoved();
    if (!left.isEmpty())
        emit bytesSent(offset, left);
    pump();
    feedSource();
    if (queue.queued() == 0 && !source)
        holdCheck->stop(); // the run is complete
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
    stillWritten = queue.writtenTotal();
    stillDriver = driverQueued();
    still.start();
    holdCheck->start();
}

void SerialLink::noteMoved()
{
    release();
    stillWritten = queue.writtenTotal();
    stillDriver = driverQueued();
    still.start();
}

void SerialLink::checkHeld()
{
    if (!port->isOpen() || (queue.queued() == 0 && !source)) {
        holdCheck->stop();
        release();
        return;
    }
    if (queue.writtenTotal() != stillWritten || driverQueued() != stillDriver) {
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
    behindSource.clear();
    stopSource();
    // Only the link's own queue is dropped: the port's last slice, and what the system already
    // took, still reach the controller and count as sent.
    const std::pair<qint64, qint64> result = queue.dropStaged();
    if (queue.queued() == 0) {
        holdCheck->stop();
        release();
    }
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
    const QList<Answer> answers = matcher.received(offset, data, clock.elapsed());
    // The answers to the link's own queries stay out of the text; they are single status bytes.
    QByteArray text = data;
    for (auto a = answers.crbegin(); a != answers.crend(); ++a) {
        if (a->own && a->kind == Answer::Kind::Reply)
            text.remove(qMax<qint64>(0, a->offset - offset), a->bytes.size());
    }
    emit textReceived(replyDecoder.decode(text));
    report(answers);
    scheduleAnswers();
}

void SerialLink::report(const QList<Answer> &answers)
{
    for (const Answer &a : answers) {
        emit answered(a);
        if (a.isStatus())
            emit statusAnswered(quint8(a.bytes.at(0)), a.statusKind());
    }
}

void SerialLink::scheduleAnswers()
{
    const qint64 due = matcher.nextDeadline();
    if (due < 0) {
        answerTimer->stop();
        return;
    }
    answerTimer->start(int(qBound<qint64>(0, due - clock.elapsed(), 60000LL)));
}

void SerialLink::cutAnswersShort()
{
    report(matcher.cutShort(clock.elapsed()));
    settleAnswers();
}

void SerialLink::settleAnswers()
{
    report(matcher.tick(clock.elapsed() + QueryMatcher::pauseMs));
    scheduleAnswers();
}

void SerialLink::queryStatus()
{
    if (!source)
        matcher.markOwn(queue.handed());
    write(proto::statusQuery, sizeof proto::statusQuery);
}

QString SerialLink::portPath() const { return QFile::decodeName(nodePath(port->portName())); }

QString SerialLink::whyGone() const
{
    const qintptr handle = port->handle();
    struct stat opened
    {
    }, named{};
    if (handle < 0 || ::fstat(int(handle), &opened) != 0)
        return english(descriptorInvalid);
    if (lineHungUp(handle))
        return english(hungUp);
    const QByteArray node = nodePath(port->portName());
    if (::stat(node.constData(), &named) != 0 || named.st_rdev != opened.st_rdev)
        return english(nodeGone).arg(QFile::decodeName(node));
    const QString said = port->errorString();
    for (const int code : {EIO, ENODEV, ENXIO})
        if (said == qt_error_string(code))
            return english(deviceFailed).arg(said);
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
    // What left the driver: what the system took, less what it still had unsent when the line went.
    // A line that is gone often no longer says what it had unsent: then the count is an upper bound.
    int unsent = 0;
    const bool unsentKnown = ::ioctl(int(port->handle()), TIOCOUTQ, &unsent) == 0 && unsent >= 0;
    const qint64 runBefore = queue.runDone(), totalAtLoss = queue.runTotal(), before = queue.writtenTotal();
    close();
    const qint64 toSystem = queue.writtenTotal() - before;
    lossReach = {queue.writtenTotal() - (unsentKnown ? unsent : 0), unsentKnown};
    emit lost(reason, qMax<qint64>(0, runBefore + toSystem - (unsentKnown ? unsent : 0)), totalAtLoss);
}

QString SerialLink::Reach::text() const
{
    return exact ? QString::number(bytes) : QStringLiteral("at most %1").arg(bytes);
}
