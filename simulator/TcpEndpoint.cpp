#include "simulator/TcpEndpoint.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace sim {

namespace {
constexpr qint64 socketBuffer = 64 * 1024; // held in memory before TCP holds the client back
}

TcpEndpoint::TcpEndpoint(QObject *parent)
    : QObject(parent)
    , server(new QTcpServer(this))
{
    connect(server, &QTcpServer::newConnection, this, &TcpEndpoint::accept);
}

bool TcpEndpoint::listen(const QString &where)
{
    const qsizetype colon = where.lastIndexOf(QLatin1Char(':'));
    const QString host = colon < 0 ? QStringLiteral("127.0.0.1") : where.left(colon);
    bool ok = false;
    const uint port = where.mid(colon + 1).toUInt(&ok);
    QHostAddress address;
    if (!ok || port > 65535 || !address.setAddress(host)) {
        error = QStringLiteral("%1 is not [ADDRESS:]PORT").arg(where);
        return false;
    }
    if (!server->listen(address, quint16(port))) {
        error = server->errorString();
        return false;
    }
    return true;
}

QString TcpEndpoint::address() const
{
    return server->isListening()
        ? QStringLiteral("%1:%2").arg(server->serverAddress().toString()).arg(server->serverPort())
        : QString();
}

QString TcpEndpoint::client() const
{
    return socket ? QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()) : QString();
}

void TcpEndpoint::accept()
{
    while (QTcpSocket *next = server->nextPendingConnection()) {
        if (socket) { // one client at a time
            next->abort();
            next->deleteLater();
            continue;
        }
        socket = next;
        socket->setReadBufferSize(socketBuffer);
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            socket->deleteLater();
            socket = nullptr;
            emit clientChanged(QString());
        });
        emit clientChanged(client());
    }
}

QByteArray TcpEndpoint::read(qsizetype max)
{
    if (!socket)
        return {};
    return max < 0 ? socket->readAll() : socket->read(max);
}

void TcpEndpoint::write(const QByteArray &bytes)
{
    if (socket && !bytes.isEmpty())
        socket->write(bytes);
}

} // namespace sim
