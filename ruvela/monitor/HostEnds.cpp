#include "monitor/HostEnds.h"

#include "commands/Protocol.h"
#include "commands/TcpAddress.h"

#include <QSocketNotifier>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Why a TCP port was not taken, in English for runs without a window; a window shows it
// translated (language::shown with TcpHost::reasonSources()). The notes below are the line's
// record, English in every language.
constexpr const char *notAnAddress = QT_TRANSLATE_NOOP("HostEnds", "%1 is not [ADDRESS:]PORT");
constexpr const char *cannotListen = QT_TRANSLATE_NOOP("HostEnds", "cannot listen on %1:%2: %3");

QString english(const char *source) { return QString::fromUtf8(source); }

} // namespace

namespace {

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Bytes the other end wrote that wait unread in the system's buffers.
qint64 unread(int fd)
{
    int n = 0;
    return fd >= 0 && ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

// Speeds as termios names them, for the host's settings.
qint32 baudOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B500000:
        return 500000;
    case B921600:
        return 921600;
    default:
        return 0;
    }
}

class NoSink : public controller::DecoderSink
{
public:
    void command(const controller::Command &) override { }
    void bulk(const char *, qsizetype) override { }
    void text(const controller::Command &) override { }
};

} // namespace

PtyHost::PtyHost(QObject *parent)
    : HostEnd(parent)
{ }

PtyHost::~PtyHost() { close(); }

QString PtyHost::open(const QString &path)
{
    close();
    if (!pty.open())
        return pty.errorString();
    if (!pty.link(path)) {
        const QString why = pty.errorString();
        pty.close();
        return why;
    }
    linkPath = path;
    // The host's end starts at the line's speed, so that only a host that sets another is named.
    termios t{};
    if (::tcgetattr(pty.descriptor(), &t) == 0) {
        for (const speed_t speed : {B9600, B19200, B38400, B57600, B115200}) {
            if (baudOf(speed) == lineBaud) {
                ::cfsetispeed(&t, speed);
                ::cfsetospeed(&t, speed);
                ::tcsetattr(pty.descriptor(), TCSANOW, &t);
            }
        }
        hostBaud = baudOf(::cfgetospeed(&t));
    }
    reading = std::make_unique<QSocketNotifier>(pty.descriptor(), QSocketNotifier::Read);
    connect(reading.get(), &QSocketNotifier::activated, this, &HostEnd::readable);
    writing = std::make_unique<QSocketNotifier>(pty.descriptor(), QSocketNotifier::Write);
    writing->setEnabled(false);
    connect(writing.get(), &QSocketNotifier::activated, this, &PtyHost::flush);
    return {};
}

void PtyHost::close()
{
    // Monitoring stops while the host still had bytes on their way: it is told, not left guessing.
    if (pty.isOpen()) {
        if (const qint64 left = unread(pty.descriptor()); left > 0)
            emit note(QStringLiteral("%1 bytes the host wrote to %2 were not passed on: monitoring stopped")
                          .arg(left)
                          .arg(linkPath));
    }
    reading.reset();
    writing.reset();
    toHost.clear();
    pty.close(); // the host's end hangs up, and the link goes
}

QByteArray PtyHost::read(qint64 max)
{
    if (!pty.isOpen() || max <= 0)
        return {};
    checkHostSettings();
    return pty.read(max);
}

void PtyHost::checkHostSettings()
{
    termios t{};
    if (::tcgetattr(pty.descriptor(), &t) != 0)
        return;
    const qint32 baud = baudOf(::cfgetospeed(&t));
    if (baud == hostBaud)
        return;
    hostBaud = baud;
    if (baud > 0 && lineBaud > 0 && baud != lineBaud)
        emit note(QStringLiteral("the host set %1 to %2 bit/s; the controller's line runs at %3 bit/s")
                      .arg(linkPath)
                      .arg(baud)
                      .arg(lineBaud));
}

void PtyHost::write(const QByteArray &bytes)
{
    toHost += bytes;
    if (toHost.size() > maxUnsent) {
        const qsizetype lost = toHost.size() - maxUnsent;
        toHost.remove(0, lost);
        emit note(QStringLiteral("the host did not read: %1 bytes from the controller were dropped").arg(lost));
    }
    flush();
}

void PtyHost::flush()
{
    if (!pty.isOpen())
        return;
    const qsizetype n = pty.write(toHost);
    toHost.remove(0, n);
    if (writing)
        writing->setEnabled(!toHost.isEmpty());
}

void PtyHost::setReading(bool on)
{
    if (reading)
        reading->setEnabled(on);
}

TcpHost::TcpHost(QObject *parent)
    : HostEnd(parent)
{
    statusQuiet.setSingleShot(true);
    statusQuiet.setInterval(proto::realTimeQuietMs);
    connect(&statusQuiet, &QTimer::timeout, this, &TcpHost::lateStatusQuery);
}

TcpHost::~TcpHost() { close(); }

QString TcpHost::listen(const QString &where)
{
    close();
    QString why;
    const std::optional<TcpAddress> address = parseTcpAddress(where, why);
    if (!address)
        return english(notAnAddress).arg(where);
    listener = listenOn(*address, 16, why);
    if (listener < 0)
        return english(cannotListen).arg(address->host).arg(address->port).arg(why);
    listening = address->text();
    accepting = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
    connect(accepting.get(), &QSocketNotifier::activated, this, &TcpHost::accept);
    return {};
}

void TcpHost::close()
{
    release();
    padActive = false; // stopping ends a made-up end too: nothing more goes to the line
    accepting.reset();
    if (listener >= 0)
        ::close(listener);
    listener = -1;
}

void TcpHost::accept()
{
    if (client >= 0 || whole > 0) {
        accepting->setEnabled(false); // until the last client's bytes are out
        return;
    }
    sockaddr_storage from{};
    socklen_t size = sizeof from;
    client = ::accept4(listener, reinterpret_cast<sockaddr *>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return;
    accepting->setEnabled(false); // the others wait their turn in the backlog
    peer = describeSocketAddress(from);
    clientEnded = false;
    decoder = controller::Decoder();
    buffer.clear();
    whole = forwarded = 0;
    commandStart = commandEnd = -1;
    streaming = false;
    idle.start();
    reading = std::make_unique<QSocketNotifier>(client, QSocketNotifier::Read);
    reading->setEnabled(wantReading && !padActive);
    connect(reading.get(), &QSocketNotifier::activated, this, &HostEnd::readable);
    writing = std::make_unique<QSocketNotifier>(client, QSocketNotifier::Write);
    writing->setEnabled(false);
    connect(writing.get(), &QSocketNotifier::activated, this, &TcpHost::flush);
    emit note(padActive
            ? QStringLiteral("TCP client %1 connected to %2; it is read once the last client's command is ended")
                  .arg(peer, listening)
            : QStringLiteral("TCP client %1 connected to %2").arg(peer, listening));
    emit readable();
}

QByteArray TcpHost::read(qint64 max)
{
    if (max <= 0)
        return {};
    if (whole == 0 && padActive)
        return padded(max);
    if (whole == 0 && client >= 0 && !clientEnded)
        receive();
    const qint64 n = qMin(max, whole);
    const QByteArray out = buffer.left(n);
    buffer.remove(0, n);
    whole -= n;
    forwarded += n;
    if (whole == 0 && client < 0 && accepting)
        accepting->setEnabled(true);
    return out;
}

namespace {

// Where the last command with data began and where its data ends (-1 while that is not known:
// an FS q's images, each with data of its own, are one command).
class CommandBounds : public controller::DecoderSink
{
public:
    CommandBounds(qint64 &start, qint64 &end)
        : start(start)
        , end(end)
    { }
    void command(const controller::Command &c) override
    {
        if (std::strcmp(c.name, "nvImage") == 0)
            return;
        start = c.bulk > 0 || std::strcmp(c.name, "defineNvImages") == 0 ? c.offset : -1;
        end = c.bulk > 0 ? c.offset + c.size + c.bulk : -1;
    }
    void bulk(const char *, qsizetype) override { }
    void text(const controller::Command &) override { start = end = -1; }
    qint64 &start, &end;
};

} // namespace

void TcpHost::receive()
{
    QByteArray bytes(readSlice, Qt::Uninitialized);
    const ssize_t n = ::recv(client, bytes.data(), size_t(bytes.size()), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        endOfClient();
        return;
    }
    idle.start();
    bytes.truncate(n);
    CommandBounds bounds(commandStart, commandEnd);
    decoder.feed(bytes.constData(), n, bounds, false);
    buffer += bytes;
    sortWhole();
    // A DLE EOT at the end is whole alone or takes an n: it waits that long for one, no longer.
    if (!decoder.inCommand() && decoder.waitingBytes() > 0)
        statusQuiet.start();
    else
        statusQuiet.stop();
}

void TcpHost::sortWhole()
{
    qint64 upTo = decoder.offset();
    if (!decoder.inCommand()) {
        streaming = false;
    } else {
        // Inside the data of the last command with data, or in a command's first bytes.
        const bool inData = commandStart >= 0 && (commandEnd < 0 || commandEnd > decoder.offset());
        const qint64 start = inData ? commandStart : decoder.offset();
        const qint64 received = forwarded + buffer.size();
        if (inData && !streaming
            && ((commandEnd >= 0 && commandEnd - start > maxWholeCommand) || received - start > maxWholeCommand))
            streaming = true; // too long to wait for: it goes on as it comes
        if (!inData)
            streaming = false;
        if (!streaming)
            upTo = start;
    }
    whole = upTo - forwarded;
}

void TcpHost::lateStatusQuery()
{
    // No n came: the DLE EOT is the two-byte query, and goes on to be answered.
    if (client < 0 || decoder.inCommand() || decoder.waitingBytes() == 0)
        return;
    NoSink none;
    decoder.finish(none, false);
    whole = decoder.offset() - forwarded;
    emit readable();
}

void TcpHost::endOfClient()
{
    clientEnded = true;
    statusQuiet.stop();
    if (reading)
        reading->setEnabled(false);
    const bool inData = decoder.inCommand() && streaming;
    if (!decoder.inCommand() && decoder.waitingBytes() > 0) {
        // A status query at the very end, waiting for an n that will not come, is whole.
        NoSink none;
        decoder.finish(none, false);
        whole = decoder.offset() - forwarded;
    } else if (inData) {
        whole = buffer.size(); // the command goes on as it came, and zeros end it
    }
    if (const qint64 cut = buffer.size() - whole; cut > 0)
        emit note(QStringLiteral("TCP client %1 left inside a command: its last %2 bytes (%3) were not passed on")
                      .arg(peer)
                      .arg(cut)
                      .arg(QString::fromLatin1(buffer.mid(whole, 8).toHex(' ').toUpper())));
    buffer.truncate(whole);
    emit note(QStringLiteral("TCP client %1 finished sending: %2 bytes").arg(peer).arg(forwarded + whole));
    if (inData) {
        padActive = true;
        padDecoder = std::exchange(decoder, controller::Decoder());
        padTotal = padDecoder.bulkRemaining();
        padDone = 0;
        padTenths = 0;
        emit note(
            QStringLiteral("TCP client %1 left inside a command's data: %2 bytes of zeros end it, at the line's pace")
                .arg(peer)
                .arg(padTotal));
    } else {
        decoder = controller::Decoder();
    }
    commandStart = commandEnd = -1;
    streaming = false;
}

QByteArray TcpHost::padded(qint64 max)
{
    // A slice at a time as the line takes it, so that the made-up end never sits in memory.
    const qint64 n = std::min({max, readSlice, qMax<qint64>(1, padDecoder.bulkRemaining())});
    const QByteArray zeros(n, '\0');
    NoSink none;
    padDecoder.feed(zeros.constData(), n, none, false);
    padDone += n;
    padTotal = qMax(padTotal, padDone + padDecoder.bulkRemaining());
    if (!padDecoder.inCommand()) {
        padActive = false;
        padDecoder = controller::Decoder();
        emit note(QStringLiteral("padding done: %1 bytes of zeros ended the command").arg(padDone));
        if (reading)
            reading->setEnabled(wantReading && !clientEnded);
        if (client >= 0)
            QMetaObject::invokeMethod(this, &HostEnd::readable, Qt::QueuedConnection);
    } else if (const int tenths = int(padDone * 10 / qMax<qint64>(1, padTotal)); tenths > padTenths) {
        padTenths = tenths;
        emit note(QStringLiteral("padding: %1 of %2 bytes of zeros sent").arg(padDone).arg(padTotal));
    }
    return zeros;
}

bool TcpHost::dropIfIdle(bool lineBusy)
{
    if (client < 0 || clientEnded || idleLimitMs <= 0)
        return false;
    // Bytes waiting to be read or to go out, or answers on their way, are no silence.
    if (lineBusy || unread(client) > 0 || !toClient.isEmpty() || whole > 0) {
        idle.start();
        return false;
    }
    if (idle.elapsed() < idleLimitMs)
        return false;
    emit note(QStringLiteral("TCP client %1 sent nothing for %2 s: closed, so that the next may come")
                  .arg(peer)
                  .arg(double(idleLimitMs) / 1000.0));
    ::shutdown(client, SHUT_RD);
    endOfClient();
    return true;
}

void TcpHost::write(const QByteArray &bytes)
{
    if (client < 0)
        return; // nobody is there to answer
    toClient += bytes;
    if (toClient.size() > maxUnsent) {
        const qsizetype lost = toClient.size() - maxUnsent;
        toClient.remove(0, lost);
        emit note(QStringLiteral("TCP client %1 did not read: %2 bytes from the controller were dropped")
                      .arg(peer)
                      .arg(lost));
    }
    idle.start();
    flush();
}

void TcpHost::flush()
{
    while (client >= 0 && !toClient.isEmpty()) {
        const ssize_t n = ::send(client, toClient.constData(), size_t(toClient.size()), MSG_NOSIGNAL);
        if (n > 0) {
            toClient.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            emit note(QStringLiteral("TCP client %1 cannot take answers: %2").arg(peer, systemError(errno)));
            toClient.clear();
        }
        break;
    }
    if (writing)
        writing->setEnabled(!toClient.isEmpty());
}

void TcpHost::release()
{
    if (client < 0)
        return;
    flush();
    if (const qint64 left = unread(client) + buffer.size(); left > 0)
        emit note(QStringLiteral("TCP client %1 closed with %2 bytes it sent not passed on").arg(peer).arg(left));
    statusQuiet.stop();
    reading.reset();
    writing.reset();
    ::close(client);
    client = -1;
    toClient.clear();
    if (!padActive) {
        buffer.clear();
        whole = 0;
    }
    emit note(QStringLiteral("TCP client %1 closed").arg(peer));
    peer.clear();
    if (accepting)
        accepting->setEnabled(true);
}

void TcpHost::setReading(bool on)
{
    wantReading = on;
    if (reading)
        reading->setEnabled(on && !clientEnded && !padActive);
}

const QList<const char *> &TcpHost::reasonSources()
{
    static const QList<const char *> all{notAnAddress, cannotListen};
    return all;
}
