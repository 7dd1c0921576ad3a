#include "commands/TcpAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

QString TcpAddress::text() const
{
    return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host).arg(port);
}

std::optional<TcpAddress> parseTcpAddress(const QString &text, QString &why, bool anyPort)
{
    TcpAddress address;
    QString portText = text;
    if (text.startsWith(QLatin1Char('['))) { // [IPv6]:PORT
        const qsizetype close = text.indexOf(QLatin1String("]:"));
        address.host = text.mid(1, close - 1);
        portText = close < 0 ? QString() : text.mid(close + 2);
        in6_addr bytes{};
        if (close < 0 || ::inet_pton(AF_INET6, address.host.toLatin1().constData(), &bytes) != 1)
            portText.clear();
    } else if (const qsizetype colon = text.indexOf(QLatin1Char(':')); colon >= 0) {
        address.host = text.left(colon);
        portText = text.mid(colon + 1);
        // A name or an IPv4 address: letters, digits, dots and hyphens; an IPv6 one needs brackets.
        const bool name = !address.host.isEmpty()
            && std::all_of(address.host.cbegin(), address.host.cend(),
                [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'); });
        if (!name || portText.contains(QLatin1Char(':')))
            portText.clear();
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535 || (port == 0 && !anyPort)) {
        why = anyPort ? QStringLiteral("is not [ADDRESS:]PORT: a port of 0 to 65535, after an IPv4 address, a "
                                       "[bracketed IPv6 address] or a host name")
                      : QStringLiteral("is not [ADDRESS:]PORT: a port of 1 to 65535, after an IPv4 address, a "
                                       "[bracketed IPv6 address] or a host name");
        return std::nullopt;
    }
    address.port = quint16(port);
    return address;
}

int listenOn(const TcpAddress &address, int backlog, QString &why)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const QByteArray port = QByteArray::number(address.port);
    if (const int failed = ::getaddrinfo(address.host.toUtf8().constData(), port.constData(), &hints, &found)) {
        why = QString::fromLocal8Bit(::gai_strerror(failed));
        return -1;
    }
    int listener = -1;
    for (const addrinfo *a = found; a && listener < 0; a = a->ai_next) {
        listener = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        const int on = 1;
        if (listener >= 0 && ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
            && ::bind(listener, a->ai_addr, a->ai_addrlen) == 0 && ::listen(listener, backlog) == 0)
            break;
        why = QString::fromLocal8Bit(std::strerror(errno));
        if (listener >= 0)
            ::close(listener);
        listener = -1;
    }
    ::freeaddrinfo(found);
    return listener;
}

QString describeSocketAddress(const sockaddr_storage &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto &a = reinterpret_cast<const sockaddr_in &>(address);
        ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
        return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(a.sin_port));
    }
    const auto &a = reinterpret_cast<const sockaddr_in6 &>(address);
    ::inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    return QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(a.sin6_port));
}
