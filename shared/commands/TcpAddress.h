#pragma once

#include <QString>

#include <optional>

struct sockaddr_storage;

// Where raw TCP is served, as both programs take it: "[ADDRESS:]PORT", a port alone (on
// 127.0.0.1), or after an IPv4 address (0.0.0.0:9100), a bracketed IPv6 address ([::1]:9100) or a
// host name (localhost:9100), looked up when the port is listened on.
struct TcpAddress
{
    QString host = QStringLiteral("127.0.0.1"); // without brackets
    quint16 port = 0;
    QString text() const; // "127.0.0.1:9100", "[::1]:9100"
};

// The address, or nothing with why set. A port is 1 to 65535; with anyPort, 0 asks the system for
// a free one.
std::optional<TcpAddress> parseTcpAddress(const QString &text, QString &why, bool anyPort = false);

// A non-blocking socket listening on the address, or -1 with why set (the name unknown, the port
// taken).
int listenOn(const TcpAddress &address, int backlog, QString &why);

// A socket address as "1.2.3.4:5", "[::1]:5".
QString describeSocketAddress(const sockaddr_storage &address);
