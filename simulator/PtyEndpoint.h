#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace sim {

// The controller's end of the line: a pseudo-terminal whose slave path the tool opens as its
// serial port. Bytes that arrive are handed on as they come; replies are written back. The
// endpoint keeps its own hold on the slave so that the tool may disconnect and connect again.
class PtyEndpoint : public QObject
{
    Q_OBJECT
public:
    explicit PtyEndpoint(QObject *parent = nullptr);
    ~PtyEndpoint() override;

    bool open(); // false when no pseudo-terminal could be made; see errorString()
    void close();
    bool isOpen() const { return master >= 0; }
    QString path() const { return slavePath; }
    QString errorString() const { return error; }
    // Makes a symbolic link to the slave path, replacing an earlier one.
    bool link(const QString &linkPath);
    void write(const QByteArray &bytes);
    // Reads what has arrived, at most max bytes (all there is when max is negative).
    QByteArray read(qsizetype max);
    // Off, nothing is read until read() is called: a paced line takes bytes at its own speed.
    void setAutoRead(bool on);

signals:
    void received(const QByteArray &bytes);

private:
    void readAvailable();
    bool autoRead = true;
    int master = -1;
    int slaveHold = -1;
    QString slavePath, error;
    QSocketNotifier *notifier = nullptr;
};

} // namespace sim
