#pragma once

#include "controller/Decoder.h"
#include "pty/PtyEndpoint.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// The host application's end of a line the monitor offers in place of the controller. The
// monitor reads the host's bytes only while it can pass them on, so that a held controller holds
// the host back as a direct cable would, and writes the controller's bytes back.
class HostEnd : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QString name() const = 0; // what the status bar and the log call it
    // What the host sent that can go on now, at most max bytes; never waits.
    virtual QByteArray read(qint64 max) = 0;
    // The controller's bytes for the host, in order; a host that reads none for too long loses
    // the oldest, and a note says so.
    virtual void write(const QByteArray &bytes) = 0;
    // Whether to take the host's bytes as they come; off, they wait in the system's buffers.
    virtual void setReading(bool on) = 0;
    // Bytes written to the host and not taken by the system yet.
    virtual qint64 unsent() const = 0;
    static constexpr qint64 maxUnsent = 64 * 1024;

signals:
    void readable();
    void note(const QString &text); // for the traffic log
};

// A pseudo-terminal the host application opens as its serial port, with a symbolic link to it.
// The monitor keeps its own hold on the terminal's host side, so the application may close it
// and open it again, as an application that restarts does.
class PtyHost : public HostEnd
{
    Q_OBJECT
public:
    explicit PtyHost(QObject *parent = nullptr);
    ~PtyHost() override;
    // Empty, or why the terminal or its link cannot be made. Only a link an earlier run left
    // (to a pseudo-terminal) is replaced.
    QString open(const QString &linkPath);
    // Hangs the host's end up and removes the link.
    void close();
    bool linkRefused() const { return pty.linkRefused(); }
    // The controller's line runs at baud: a host that sets its end to another speed is named.
    void setLineBaud(qint32 baud) { lineBaud = baud; }

    QString name() const override { return linkPath; }
    QByteArray read(qint64 max) override;
    void write(const QByteArray &bytes) override;
    void setReading(bool on) override;
    qint64 unsent() const override { return toHost.size(); }

private:
    void flush();
    void checkHostSettings();
    sim::PtyEndpoint pty;
    QString linkPath;
    std::unique_ptr<QSocketNotifier> reading, writing;
    QByteArray toHost;
    qint32 lineBaud = 0, hostBaud = -1;
};

// Raw TCP as a network printer's port offers it: one client at a time, the others wait in the
// listen backlog. Everything a client sent is read, also after it half-closed, and its answers
// still reach it. Only whole commands go on, so that a client that leaves inside one leaves
// nothing of it to swallow the next job: a command with data (a picture, a stored symbol) waits
// here until it is whole, up to maxWholeCommand; a longer one goes on as it comes, and when its
// client leaves inside it the rest is made up with zeros at the line's pace.
class TcpHost : public HostEnd
{
    Q_OBJECT
public:
    static constexpr qint64 maxWholeCommand = 1 << 20;
    static constexpr qint64 readSlice = 64 * 1024;

    explicit TcpHost(QObject *parent = nullptr);
    ~TcpHost() override;
    // "[ADDRESS:]PORT", 127.0.0.1 unless an address is given. Empty, or why it cannot listen.
    QString listen(const QString &where);
    // The sources of listen()'s reasons, for a window to show them in its language.
    static const QList<const char *> &reasonSources();
    void close();
    QString address() const { return listening; } // "127.0.0.1:9101"
    bool serving() const { return client >= 0; }
    // The client's stream has ended and all of it was read: once its answers are out, the
    // monitor lets it go with release().
    bool ended() const { return client >= 0 && clientEnded; }
    // The client's last command is not whole yet, or its made-up end is still going out:
    // another host's bytes must not come between.
    bool midCommand() const { return !buffer.isEmpty() || decoder.inCommand() || padding(); }
    // A left client's command is being ended with zeros: the next client is let in, and read
    // once they are out.
    bool padding() const { return padActive; }
    // A client that has sent nothing and been sent nothing for this long ends as if it had left;
    // 0 never.
    void setIdleLimit(qint64 ms) { idleLimitMs = ms; }
    // Ends a client that has been idle for the limit: true when it did.
    bool dropIfIdle(bool lineBusy);
    void release();

    QString name() const override { return listening; }
    QByteArray read(qint64 max) override;
    void write(const QByteArray &bytes) override;
    void setReading(bool on) override;
    qint64 unsent() const override { return toClient.size(); }

private:
    void accept();
    void flush();
    void receive();
    void sortWhole();
    void endOfClient();
    void lateStatusQuery();
    QByteArray padded(qint64 max);
    int listener = -1, client = -1;
    QString listening, peer;
    std::unique_ptr<QSocketNotifier> accepting, reading, writing;
    bool clientEnded = false, wantReading = true;
    controller::Decoder decoder; // where the client's commands end
    // Read and not passed on: the first `whole` bytes may go, the rest wait for their command's end.
    QByteArray buffer;
    qint64 whole = 0;
    qint64 forwarded = 0; // of the client's stream, passed on
    qint64 commandStart = -1, commandEnd = -1; // the last command with data, as far as it is known
    bool streaming = false; // the command in progress is too long to wait for: it goes on as it comes
    // The made-up end of a command whose client left inside its data: how much it takes as far as
    // it is known, how much went, and the last tenth of it told.
    bool padActive = false;
    controller::Decoder padDecoder; // the left command's, fed with the zeros that end it
    qint64 padTotal = 0, padDone = 0;
    int padTenths = 0;
    QElapsedTimer idle; // since the client last sent or was sent anything
    qint64 idleLimitMs = 5000;
    QTimer statusQuiet; // a DLE EOT at the end of what came: the n it may take
    QByteArray toClient;
};
