#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class HostEnd;
class PtyHost;
class SerialLink;
class TcpHost;

// The tool between a host application and the controller: every byte the host writes goes to
// the controller unchanged and in order through the serial link, and every byte the controller
// sends goes back to the host. While the controller holds the line the host is not read, so its
// writes wait as on a direct cable; at most maxBetween bytes wait in the tool.
//
// With two host ends, one host's job at a time: the other end's bytes wait until the first has
// been quiet for switchAfterMs with no command unfinished.
class Monitor : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxBetween = 64 * 1024;
    static constexpr int switchAfterMs = 500;

    explicit Monitor(SerialLink &link, QObject *parent = nullptr);
    ~Monitor() override;

    // Each is empty, or why that end cannot be offered; a started end stays until stop().
    QString offerPty(const QString &linkPath, qint32 lineBaud);
    // A TCP client that sends nothing for idleMs is closed, so that the next may come; 0 never.
    QString offerTcp(const QString &where, qint64 idleMs = defaultIdleMs);
    static constexpr qint64 defaultIdleMs = 5000;
    void stop();
    bool isRunning() const { return pty || tcp; }
    // The last offerPty() was refused for what stands at the link's path.
    bool linkRefused() const { return refused; }
    // "/tmp/pos" and "127.0.0.1:9101", as the status bar names them.
    QString hostNames() const;

signals:
    void note(const QString &text); // for the traffic log
    void stopped(const QString &why); // the controller's line was lost

private:
    void pump();
    bool mayRead(HostEnd *end) const;
    void fromController(qint64 offset, const QByteArray &bytes);
    void settleClient();
    void lineLost(const QString &reason);

    SerialLink &link;
    std::unique_ptr<PtyHost> pty;
    std::unique_ptr<TcpHost> tcp;
    bool refused = false;
    HostEnd *active = nullptr; // the host whose job is going out, and who gets the answers
    QElapsedTimer activeQuiet; // since the active host last sent
    QElapsedTimer controllerQuiet; // since the controller last sent
    QTimer recheck; // while a host waits its turn, or a TCP client waits for its answers
};
