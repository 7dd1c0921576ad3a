#pragma once

#include "serial/Settings.h"
#include "serial/Utf8Stream.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSerialPort>

// The one owner of the serial port: opens it with the dialog's settings, writes, reads the
// controller's replies as text, and notices when the line is gone. It reports by signals; the
// window only shows.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    // False when the port would not open; errorString() says why.
    bool open(const Settings &settings);
    // Closes the port if it is open; either way the link reports itself closed.
    void close();
    bool isOpen() const { return port->isOpen(); }
    QString portName() const { return port->portName(); }
    QString errorString() const { return port->errorString(); }
    void write(const char *data, qint64 size);
    // Sends a file as it is, read a slice at a time as the line drains: any size. False, with
    // the reason in why, when it cannot be read.
    bool sendFile(const QString &fileName, QString &why);
    // Drops what has not reached the line yet; returns how many of the bytes handed over since
    // the line was last idle went out.
    std::pair<qint64, qint64> cancel();

    static constexpr qint64 maxSentKept = 64 << 20; // bytes kept for Save Sent Bytes
    static constexpr qint64 maxReceivedKept = 80000; // bytes kept for re-showing the replies
    // Every byte sent since the last connect, up to maxSentKept; sentTotal() counts them all.
    const QByteArray &sent() const { return sentBytes; }
    qint64 sentTotal() const { return sentCount; }
    // The last maxReceivedKept bytes received since the last connect, and the offset of the first.
    const QByteArray &received() const { return receivedBytes; }
    qint64 receivedOffset() const { return receivedCount - receivedBytes.size(); }
    // Bytes of the current run of writes on the wire and in all; a run ends when the line is idle.
    qint64 runDone() const { return done; }
    qint64 runTotal() const { return total; }
    qint64 msSinceMoved() const { return moved.isValid() ? moved.elapsed() : 0; }

public slots:
    // Moves what has arrived into textReceived; a character cut short waits for its end.
    void readData();
    // A resource error, or any error on a line whose far end has hung up, means the device is
    // gone: the port closes at once, so that the dead line cannot raise more errors, and lost()
    // follows. Every other error leaves the line as it is.
    void handleError(QSerialPort::SerialPortError error);

signals:
    void textReceived(const QString &text);
    void bytesReceived(qint64 offset, const QByteArray &bytes);
    void progressed(); // bytes went out, more were handed over, or the line went idle
    void openChanged(bool open);
    void lost(const QString &reason);

private:
    void written(qint64 bytes);
    void feedFile();
    QSerialPort *port;
    QFile file; // a file being sent
    QByteArray sentBytes, receivedBytes;
    qint64 sentCount = 0, receivedCount = 0;
    qint64 done = 0, total = 0;
    QElapsedTimer moved; // since bytes last went out
    Utf8Stream replyDecoder;
    bool lineLost = false; // set once a dead line is being closed, to ignore its error storm
};
