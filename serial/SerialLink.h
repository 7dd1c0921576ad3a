#pragma once

#include "serial/Settings.h"
#include "serial/Utf8Stream.h"

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
    QString errorString() const { return port->errorString(); }
    void write(const char *data, qint64 size);

public slots:
    // Moves what has arrived into textReceived; a character cut short waits for its end.
    void readData();
    // A resource error, or any error on a line whose far end has hung up, means the device is
    // gone: the port closes at once, so that the dead line cannot raise more errors, and lost()
    // follows. Every other error leaves the line as it is.
    void handleError(QSerialPort::SerialPortError error);

signals:
    void textReceived(const QString &text);
    void openChanged(bool open);
    void lost(const QString &reason);

private:
    QSerialPort *port;
    Utf8Stream replyDecoder;
    bool lineLost = false; // set once a dead line is being closed, to ignore its error storm
};
