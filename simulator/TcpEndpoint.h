#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace sim {

// The controller's end of a raw TCP line, as network receipt printers offer on port 9100: one
// client at a time; a second is turned away until the first leaves. Bytes are read at the
// line's pace, so a client that sends faster than the controller prints is held back by TCP.
class TcpEndpoint : public QObject
{
    Q_OBJECT
public:
    explicit TcpEndpoint(QObject *parent = nullptr);

    // "PORT" (on 127.0.0.1) or "ADDRESS:PORT"; false, with errorString(), when it cannot listen.
    bool listen(const QString &where);
    QString address() const; // what it listens on, "127.0.0.1:9100"
    QString client() const; // the connected client, or an empty string
    QString errorString() const { return error; }
    QByteArray read(qsizetype max); // never waits; all there is when max is negative
    void write(const QByteArray &bytes);

signals:
    void clientChanged(const QString &client);

private:
    void accept();
    QTcpServer *server;
    QPointer<QTcpSocket> socket;
    QString error;
};

} // namespace sim
