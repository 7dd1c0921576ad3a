#include "monitor/HostEnds.h"

#include <QSocketNotifier>

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
};

// Where the whole commands among size bytes end.
class WholeCommands : public controller::DecoderSink
{
public:
    explicit WholeCommands(qint64 size)
        : size(size)
    { }
    void command(const controller::Command &c) override
    {
        if (c.offset + c.size + c.bulk <= size)
            end = qMax(end, c.offset + c.size + c.bulk);
    }
    void bulk(const char *, qsizetype) override { }
    qint64 size, end = 0;
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
{ }

TcpHost::~TcpHost() { close(); }

QString TcpHost::listen(const QString &where)
{
    close();
    const int colon = where.lastIndexOf(QLatin1Char(':'));
    const QString host = colon < 0 ? QStringLiteral("127.0.0.1") : where.left(colon);
    bool ok = false;
    const uint port = where.mid(colon + 1).toUInt(&ok);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    if (!ok || port == 0 || port > 65535 || ::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr) != 1)
        return english(notAnAddress).arg(where);
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (listener < 0 || ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0
        || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, 16) != 0) {
        const QString why = systemError(errno);
        close();
        return english(cannotListen).arg(host).arg(port).arg(why);
    }
    listening = QStringLiteral("%1:%2").arg(host).arg(port);
    accepting = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
    connect(accepting.get(), &QSocketNotifier::activated, this, &TcpHost::accept);
    return {};
}

void TcpHost::close()
{
    release();
    accepting.reset();
    if (listener >= 0)
        ::close(listener);
    listener = -1;
}

void TcpHost::accept()
{
    if (client >= 0)
        return;
    sockaddr_in from{};
    socklen_t size = sizeof from;
    client = ::accept4(listener, reinterpret_cast<sockaddr *>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return;
    accepting->setEnabled(false); // the others wait their turn in the backlog
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    peer = QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(from.sin_port));
    clientEnded = false;
    decoder = controller::Decoder();
    held.clear();
    forwarded = 0;
    reading = std::make_unique<QSocketNotifier>(client, QSocketNotifier::Read);
    reading->setEnabled(wantReading);
    connect(reading.get(), &QSocketNotifier::activated, this, &HostEnd::readable);
    writing = std::make_unique<QSocketNotifier>(client, QSocketNotifier::Write);
    writing->setEnabled(false);
    connect(writing.get(), &QSocketNotifier::activated, this, &TcpHost::flush);
    emit note(QStringLiteral("TCP client %1 connected to %2").arg(peer, listening));
    emit readable();
}

QByteArray TcpHost::read(qint64 max)
{
    if (client < 0 || clientEnded || max <= 0)
        return {};
    QByteArray bytes(max, Qt::Uninitialized);
    const ssize_t n = ::recv(client, bytes.data(), size_t(max), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return {};
    if (n <= 0)
        return endOfClient();
    bytes.truncate(n);
    // Only whole commands go on: a command's start waits here for its end.
    NoSink none;
    decoder.feed(bytes.constData(), n, none, false);
    held += bytes;
    const qint64 whole = decoder.offset() - forwarded;
    forwarded += whole;
    const QByteArray out = held.left(whole);
    held.remove(0, whole);
    return out;
}

QByteArray TcpHost::endOfClient()
{
    clientEnded = true;
    if (reading)
        reading->setEnabled(false);
    // The stream has ended: what waited for more may be whole now, such as a status query at
    // the very end without its kind byte.
    QByteArray out;
    if (decoder.bulkRemaining() == 0 && !held.isEmpty()) {
        WholeCommands whole(held.size());
        controller::Decoder rest;
        rest.feed(held.constData(), held.size(), whole, false);
        qint64 end = qMax(whole.end, rest.offset());
        // A status query waits for a kind byte that will not come; the decoder names real-time
        // queries where they arrive, not as commands.
        const QByteArray tail = held.mid(end, 2);
        if (tail == QByteArray("\x10\x04", 2) || tail == QByteArray("\x10\x05", 2))
            end += 2;
        rest.finish(whole, false);
        out = held.left(qMax(end, whole.end));
        forwarded += out.size();
        held.remove(0, out.size());
    }
    if (!held.isEmpty())
        emit note(QStringLiteral("TCP client %1 left inside a command: its last %2 bytes (%3) were not passed on")
                      .arg(peer)
                      .arg(held.size())
                      .arg(QString::fromLatin1(held.left(8).toHex(' ').toUpper())));
    if (decoder.bulkRemaining() > 0) {
        // The controller already has the command's start: blank data ends it where it expects.
        out += QByteArray(decoder.bulkRemaining(), '\0');
        emit note(QStringLiteral("TCP client %1 left inside a command's data: %2 bytes of zeros end it")
                      .arg(peer)
                      .arg(out.size()));
    }
    held.clear();
    decoder.reset();
    emit note(QStringLiteral("TCP client %1 finished sending: %2 bytes").arg(peer).arg(forwarded));
    return out;
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
    if (const qint64 left = unread(client) + held.size(); left > 0)
        emit note(QStringLiteral("TCP client %1 closed with %2 bytes it sent not passed on").arg(peer).arg(left));
    reading.reset();
    writing.reset();
    ::close(client);
    client = -1;
    toClient.clear();
    emit note(QStringLiteral("TCP client %1 closed").arg(peer));
    peer.clear();
    if (accepting)
        accepting->setEnabled(true);
}

void TcpHost::setReading(bool on)
{
    wantReading = on;
    if (reading)
        reading->setEnabled(on && !clientEnded);
}

const QList<const char *> &TcpHost::reasonSources()
{
    static const QList<const char *> all{notAnAddress, cannotListen};
    return all;
}
