#pragma once

#include "serial/SendQueue.h"
#include "serial/Settings.h"
#include "serial/Utf8Stream.h"
#include "traffic/QueryMatcher.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <memory>

// The one owner of the serial port: opens it with the dialog's settings, writes, reads the
// controller's replies as text, matches them to the queries that asked, and notices when the line
// is gone. It reports by signals; the window only shows.
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
    // Drops what has not reached the system yet; returns how many of the bytes of the run went
    // or will go out (the port's last slice still goes), and how many the run had.
    std::pair<qint64, qint64> cancel();

    // The sources of what the link says of a loss or a stopped send, for a window to show them
    // in its language.
    static const QList<const char *> &reasonSources();
    static constexpr qint64 maxSentKept = SendQueue::maxKept; // bytes kept for Save Sent Bytes
    static constexpr qint64 maxReceivedKept = 80000; // bytes kept for re-showing the replies
    // The port is given at most what the line carries in sliceMs at a time; the rest waits in the
    // link, where a cancel can drop it without flushing what the driver already holds.
    static constexpr int sliceMs = 100;
    // The bytes that left the port since the last connect, up to maxSentKept; sentTotal() counts
    // them all, and queued() those handed over that have not left yet.
    QByteArray sent() const { return queue.kept(); }
    // Keeps none of the bytes sent from the next connect on, for a run that cannot save them.
    void keepNoneSent() { queue = SendQueue(0); }
    qint64 sentTotal() const { return queue.writtenTotal(); }
    qint64 queued() const { return queue.queued(); }
    // The last maxReceivedKept bytes received since the last connect, and the offset of the first.
    const QByteArray &received() const { return receivedBytes; }
    qint64 receivedOffset() const { return receivedCount - receivedBytes.size(); }
    // Bytes of the current run of writes on the wire and in all; a run ends when the line is idle.
    qint64 runDone() const { return queue.runDone(); }
    qint64 runTotal() const { return queue.runTotal(); }
    // Queries sent and not answered or given up yet.
    qsizetype unansweredQueries() const { return matcher.waiting(); }
    // Asks the controller for its status on the link's own behalf: the answer comes by answered
    // and statusAnswered like any other, and is left out of textReceived, which carries only
    // what the user's own bytes brought.
    void queryStatus();
    // Takes what has come as complete now: a text without its end, unprompted bytes.
    void settleAnswers();
    // Nothing more is read: a text still coming is taken as cut off, unprompted bytes as they are.
    void cutAnswersShort();
    // How many bytes since the port opened had left the driver when the line was lost, and
    // whether that is exact or only an upper bound (the system no longer said what it had unsent).
    struct Reach
    {
        qint64 bytes = 0;
        bool exact = true;
        QString text() const; // "123", or "at most 123"
    };
    Reach lostReach() const { return lossReach; }
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
    // Every byte received as text, but the answers to the link's own queries.
    void textReceived(const QString &text);
    // What came back, matched to the query that asked; also the queries given up unanswered.
    void answered(const Answer &answer);
    // A status byte: the answer to a status query, or a call-back the tool switched on.
    void statusAnswered(quint8 status, proto::StatusKind kind);
    void bytesReceived(qint64 offset, const QByteArray &bytes);
    // The bytes that just left the port, in order; offset counts those that left before them
    // since the port was opened. Bytes dropped before they left never appear.
    void bytesSent(qint64 offset, const QByteArray &bytes);
    // The line started or stopped holding back what waits to go out; heldMs is how long nothing
    // has moved, and on release how long the hold lasted.
    void heldChanged(bool held, qint64 heldMs);
    void progressed(); // bytes went out, more were handed over, or the line went idle
    void openChanged(bool open);
    // The line is gone; done of total bytes of the run in progress had left the driver, or at
    // most done when lostReach() is not exact.
    void lost(const QString &reason, qint64 done, qint64 total);
    // A source being sent could not be read on: its name, the offset it stopped at of its size,
    // and why. What was read before still goes out.
    void sendStopped(const QString &name, qint64 position, qint64 size, const QString &reason);

private:
    void put(const char *data, qint64 size, bool promised = false);
    void pump();
    void written(qint64 bytes);
    void feedSource();
    void stopSource();
    qint64 driverQueued() const;
    void watchLine();
    void checkHeld();
    void noteMoved();
    void release();
    void report(const QList<Answer> &answers);
    void scheduleAnswers();
    QString whyGone() const;
    QSerialPort *port;
    qint64 portSlice = 1024;
    SendQueue queue;
    QueryMatcher matcher;
    QElapsedTimer clock; // the matcher's time
    QTimer *answerTimer; // wakes the matcher when a pause or a wait for an answer is over
    std::unique_ptr<QIODevice> source; // a file being sent
    QString sourceName;
    QByteArray behindSource; // written while a source is being sent; goes out after it
    qint64 sourceSize = 0, sourceRead = 0;
    QByteArray receivedBytes;
    qint64 receivedCount = 0;
    QElapsedTimer moved; // since bytes last went out
    QTimer *holdCheck; // runs while bytes wait to go out
    QElapsedTimer still; // since the port or its driver last moved anything
    qint64 stillWritten = 0, stillDriver = 0;
    bool held = false;
    Utf8Stream replyDecoder;
    bool lineLost = false; // set once a dead line is being closed, to ignore its error storm
    Reach lossReach;
};
