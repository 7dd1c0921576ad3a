#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace sim {

// The controller's end of a raw TCP line, as network receipt printers offer on port 9100. One
// client is served at a time; the others wait in the listen backlog and are served in turn.
// Everything a client sent is read, also after it closed or half-closed. Up to maxInbox bytes
// are taken ahead of the line, as a network printer takes in a job, so that a client that sends
// and closes has sent it all before an answer reaches it (an answer to a closed socket resets
// the connection, losing what the client had not sent yet); beyond that, TCP holds the client
// back.
// The owner polls it, as it does the pseudo-terminal.
class TcpEndpoint : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype maxInbox = 1 << 20;
    static constexpr qsizetype maxUnread = 64 * 1024; // answers kept for a client that does not read them

    explicit TcpEndpoint(QObject *parent = nullptr);
    ~TcpEndpoint() override;

    // "PORT" (on 127.0.0.1) or "ADDRESS:PORT"; false, with errorString(), when it cannot listen.
    bool listen(const QString &where);
    QString address() const; // what it listens on, "127.0.0.1:9100"
    QString client() const { return peer; } // the client being served, or an empty string
    QString errorString() const { return error; }
    // A client silent this long is dropped when another waits; 0 never drops one.
    void setIdleSeconds(double seconds) { idleMs = qint64(seconds * 1000); }

    // Takes the next waiting client when none is being served; drops an idle one.
    void serve();
    // Reads what has arrived, at most max bytes; never waits.
    QByteArray read(qsizetype max);
    // True once, when the client's stream has ended (it closed, or was dropped) and everything it
    // sent has been read. The client stays connected for its answers until closeWhenSent().
    bool takeEnd();
    // The client's answers are all written: they are sent, then its socket closes and the next
    // client is taken. A client that does not read them is closed after closeSeconds.
    void closeWhenSent();
    static constexpr double closeSeconds = 5;
    // Queues answers for the client and sends what the socket takes; beyond maxUnread they are
    // dropped, and a notice says so.
    void write(const QByteArray &bytes);
    QStringList takeNotices(); // lines for the log

signals:
    void clientChanged(const QString &client);

private:
    void flush();
    void pull();
    void closeClient();

    int listener = -1, socket = -1;
    QString error, peer;
    QByteArray inbox, unsent;
    qsizetype inboxHead = 0; // bytes of inbox already read
    qint64 answersDropped = 0;
    qint64 idleMs = 5000;
    QElapsedTimer heard;
    bool ended = false, endTaken = false, readClosed = false, closing = false;
    QElapsedTimer closingClock;
    QStringList notices;
};

} // namespace sim
