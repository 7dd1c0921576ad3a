#include "simulator/TcpEndpoint.h"

#include "commands/TcpAddress.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int backlog = 128;

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

QString describe(const sockaddr_storage &address) { return describeSocketAddress(address); }

} // namespace

TcpEndpoint::TcpEndpoint(QObject *parent)
    : QObject(parent)
{ }

TcpEndpoint::~TcpEndpoint()
{
    if (socket >= 0)
        ::close(socket);
    if (listener >= 0)
        ::close(listener);
}

bool TcpEndpoint::listen(const QString &where)
{
    QString why;
    const std::optional<TcpAddress> address = parseTcpAddress(where, why, true);
    if (!address) {
        error = QStringLiteral("%1 %2").arg(where, why);
        return false;
    }
    listener = listenOn(*address, backlog, why);
    if (listener < 0)
        error = why;
    return listener >= 0;
}

QString TcpEndpoint::address() const
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (listener < 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&storage), &length) != 0)
        return {};
    return describe(storage);
}

void TcpEndpoint::serve()
{
    if (listener < 0)
        return;
    if (socket >= 0 && closing) {
        flush();
        if (unsent.isEmpty() || closingClock.elapsed() > qint64(closeSeconds * 1000))
            closeClient();
        return;
    }
    if (socket >= 0) {
        flush();
        pull();
        if (inboxHead < inbox.size())
            heard.start(); // bytes wait for room in the buffer: not silence
        // A silent client gives way to one that waits; a lone one may stay as long as it likes.
        pollfd waiting{listener, POLLIN, 0};
        if (!ended && idleMs > 0 && heard.elapsed() > idleMs && ::poll(&waiting, 1, 0) > 0) {
            notices << QStringLiteral("TCP client %1 dropped after %2 s of silence: another waits")
                           .arg(peer)
                           .arg(double(idleMs) / 1000.0);
            ended = true; // what it sent is all read: its stream ends here
        }
        return;
    }
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    const int next = ::accept4(listener, reinterpret_cast<sockaddr *>(&storage), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (next < 0)
        return;
    socket = next;
    peer = describe(storage);
    ended = endTaken = readClosed = closing = false;
    answersDropped = 0;
    heard.start();
    emit clientChanged(peer);
}

void TcpEndpoint::pull()
{
    if (inboxHead > 0 && inboxHead * 2 >= inbox.size()) {
        inbox.remove(0, inboxHead);
        inboxHead = 0;
    }
    char buffer[65536];
    while (socket >= 0 && !readClosed && inbox.size() < maxInbox) {
        const size_t want = size_t(qMin<qsizetype>(sizeof buffer, maxInbox - inbox.size()));
        const ssize_t n = ::recv(socket, buffer, want, MSG_DONTWAIT);
        if (n > 0) {
            inbox.append(buffer, n);
            heard.start();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else { // closed or half-closed, or reset: nothing more will come
            if (n < 0)
                notices << QStringLiteral("TCP client %1 reset the connection (%2): what it had not sent yet is lost")
                               .arg(peer, systemError());
            readClosed = true;
        }
    }
}

QByteArray TcpEndpoint::read(qsizetype max)
{
    if (socket < 0)
        return {};
    pull();
    const qsizetype n = qBound<qsizetype>(0, max, inbox.size() - inboxHead);
    const QByteArray out = inbox.mid(inboxHead, n);
    inboxHead += n;
    if (readClosed && inboxHead == inbox.size())
        ended = true;
    return out;
}

bool TcpEndpoint::takeEnd()
{
    if (socket < 0 || !ended || endTaken)
        return false;
    endTaken = true;
    return true;
}

void TcpEndpoint::closeWhenSent()
{
    if (socket < 0 || closing)
        return;
    closing = true;
    closingClock.start();
    flush(); // a half-closed client still reads its answers
    if (unsent.isEmpty())
        closeClient();
}

void TcpEndpoint::closeClient()
{
    if (!unsent.isEmpty())
        answersDropped += unsent.size();
    if (answersDropped > 0)
        notices << QStringLiteral("TCP client %1 left: %2 bytes of answers it did not read were dropped")
                       .arg(peer)
                       .arg(answersDropped);
    ::close(socket);
    socket = -1;
    peer.clear();
    unsent.clear();
    inbox.clear();
    inboxHead = 0;
    closing = false;
    emit clientChanged(QString());
}

void TcpEndpoint::write(const QByteArray &bytes)
{
    if (socket < 0 || bytes.isEmpty())
        return;
    const qsizetype fits = qMax<qsizetype>(0, qMin<qsizetype>(bytes.size(), maxUnread - unsent.size()));
    unsent.append(bytes.constData(), fits);
    if (fits < bytes.size()) {
        if (answersDropped == 0)
            notices << QStringLiteral("TCP client %1 does not read its answers: answers beyond %2 bytes are dropped")
                           .arg(peer)
                           .arg(maxUnread);
        answersDropped += bytes.size() - fits;
    }
    flush();
}

void TcpEndpoint::flush()
{
    while (socket >= 0 && !unsent.isEmpty()) {
        const ssize_t n = ::send(socket, unsent.constData(), size_t(unsent.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            unsent.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                unsent.clear(); // the client has gone: nobody to tell
            break;
        }
    }
}

QStringList TcpEndpoint::takeNotices() { return std::exchange(notices, QStringList()); }

} // namespace sim
