#pragma once

#include "serial/Settings.h"
#include "serial/Utf8Stream.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <memory>

// The one owner of the serial port: opens it with the dialog's settings, writes, reads the
// controller's replies as text, and notices when the line is gone. It reports by signals; the
// window only shows.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // False when the port would not open; errorString() says why.
    bool open(const Settings &settings);
    // Closes the port if it is open; either way the link reports itself closed.
    void close();
    bool isOpen() const { return port->isOpen(); }
    QString portName() const { return port->portName(); }
    QString portPath() const; // the device node the port opens
    QString errorString() const { return port->errorString(); }
    void write(const char *data, qint64 size);
    // Sends a file as it is, read a slice at a time as the line drains: any size. Writes made
    // meanwhile follow the whole file. False, with the reason in why, when it cannot be opened.
    bool sendFile(const QString &fileName, QString &why);
    // The same for any open source of size bytes, named name in what the link reports, while no
    // other is being sent.
    void sendFrom(std::unique_ptr<QIODevice> source, const QString &name, qint64 size);
    // Drops what has not reached the line yet; returns how many of the bytes handed over since
    // the line was last idle went out.
    std::pair<qint64, qint64> cancel();

    static constexpr qint64 maxSentKept = 64 << 20; // bytes kept for Save Sent Bytes
    static constexpr qint64 maxReceivedKept = 80000; // bytes kept for re-showing the replies
    // The bytes that left the port since the last connect, up to maxSentKept; sentTotal() counts
    // them all, and queued() those handed over that have not left yet.
    QByteArray sent() const { return sentBytes.left(qMin<qint64>(writtenCount, sentBytes.size())); }
    qint64 sentTotal() const { return writtenCount; }
    qint64 queued() const { return handedCount - writtenCount; }
    // The last maxReceivedKept bytes received since the last connect, and the offset of the first.
    const QByteArray &received() const { return receivedBytes; }
    qint64 receivedOffset() const { return receivedCount - receivedBytes.size(); }
    // Bytes of the current run of writes on the wire and in all; a run ends when the line is idle.
    qint64 runDone() const { return done; }
    qint64 runTotal() const { return total; }
    // Status queries handed over and not answered yet; while bytesReceived is emitted, those
    // before the bytes it carries.
    int unansweredQueries() const { return int(queries.size()); }
    // Asks the controller for its status on the link's own behalf: the answer comes by
    // statusAnswered and bytesReceived like any other, and is left out of textReceived, which
    // carries only what answers the user's own bytes.
    void queryStatus();
    qint64 msSinceMoved() const { return moved.isValid() ? moved.elapsed() : 0; }
    // Bytes are waiting to go out and nothing has left for holdAfterMs: the far end holds the
    // line back (XOFF, CTS low, or it stopped reading).
    bool isHeld() const { return held; }
    static constexpr int holdAfterMs = 300;

public slots:
    // Moves what has arrived into textReceived; a character cut short waits for its end.
    void readData();
    // The line is lost only when it is gone: the device node removed or replaced, the far end
    // hung up, or the device failing with an input/output error. The port then closes at once,
    // so that the dead line cannot raise more errors, and lost() follows. A write the line holds
    // back (XOFF, a full driver buffer) comes back from the system as "try again", which the port
    // reports as a resource error too: that and every other error on a line that is still there
    // leave it as it is, and the port writes on when the line has room.
    void handleError(QSerialPort::SerialPortError error);

signals:
    void textReceived(const QString &text);
    // A byte received while a status query (DLE EOT) written earlier was still unanswered: its answer.
    void statusAnswered(quint8 status);
    void bytesReceived(qint64 offset, const QByteArray &bytes);
    // The bytes that just left the port, in order; offset counts those that left before them
    // since the port was opened. Bytes dropped before they left never appear.
    void bytesSent(qint64 offset, const QByteArray &bytes);
    // The line started or stopped holding back what waits to go out; heldMs is how long nothing
    // has moved, and on release how long the hold lasted.
    void heldChanged(bool held, qint64 heldMs);
    void progressed(); // bytes went out, more were handed over, or the line went idle
    void openChanged(bool open);
    // The line is gone; done of total bytes of the run in progress had gone out.
    void lost(const QString &reason, qint64 done, qint64 total);
    // A source being sent could not be read on: its name, the offset it stopped at of its size,
    // and why. What was read before still goes out.
    void sendStopped(const QString &name, qint64 position, qint64 size, const QString &reason);

private:
    void put(const char *data, qint64 size);
    void noteQueries(const char *data, qint64 size);
    void written(qint64 bytes);
    void feedSource();
    void stopSource();
    void forgetQueued(qint64 keep = 0);
    QByteArray takeWritten(qint64 bytes);
    qint64 driverQueued() const;
    void watchLine();
    void checkHeld();
    void noteMoved();
    void release();
    QString whyGone() const;
    QSerialPort *port;
    std::unique_ptr<QIODevice> source; // a file being sent
    QString sourceName;
    QByteArray behindSource; // written while a source is being sent; goes out after it
    qint64 sourceSize = 0, sourceRead = 0;
    QByteArray sentBytes, receivedBytes;
    qint64 handedCount = 0, writtenCount = 0, receivedCount = 0;
    qint64 done = 0, total = 0;
    QElapsedTimer moved; // since bytes last went out
    // Handed to the port and not reported written yet, from unsentHead on: bytesSent takes from
    // here, and the front is dropped now and then rather than at every report.
    QByteArray unsent;
    qsizetype unsentHead = 0;
    QTimer *holdCheck; // runs while bytes wait to go out
    QElapsedTimer still; // since the port or its driver last moved anything
    qint64 stillWritten = 0, stillDriver = 0;
    bool held = false;
    Utf8Stream replyDecoder;
    // Status queries written and not answered yet, at most maxPendingQueries: a far end that never
    // answers must not have a much later byte taken for an answer to a query long gone.
    static constexpr int maxPendingQueries = 16;
    QList<bool> queries; // oldest first; true for those the link asked on its own
    char lastPut = 0; // a query may be split between two writes
    bool lineLost = false; // set once a dead line is being closed, to ignore its error storm
};
