#pragma once

#include <QObject>
#include <QString>

namespace sim {

// The controller's end of the line: a pseudo-terminal whose slave path the tool opens as its
// serial port. Whoever owns it reads at its own pace and writes replies back. The endpoint keeps
// its own hold on the slave so that the tool may disconnect and connect again.
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
    int descriptor() const { return master; } // the end this side reads and writes, non-blocking
    QString errorString() const { return error; }
    // The sources of errorString()'s texts, for a window to show them in its language.
    static const QList<const char *> &reasonSources();
    // Makes linkPath a symbolic link to the slave path, atomically: a link under a temporary name
    // beside it, then renamed into place. Only a symbolic link to a pseudo-terminal (an earlier
    // run's) is replaced; anything else at linkPath is refused. False, with errorString(), on
    // any failure. The link goes when the endpoint closes, if it still points at this terminal.
    bool link(const QString &linkPath);
    // The last link() was refused for what stands at its path (not a link of ours to make, or
    // another program's line in use), rather than failing to be made.
    bool linkRefused() const { return refused; }
    // Writes what the line takes now and returns how much that was: a full line drops the rest
    // of a reply, as a real one would.
    qsizetype write(const QByteArray &bytes);
    // Whether the host's end stops sending when it reads XOFF: its software flow control, which
    // a serial port has on until the host turns it off.
    bool hostHonoursXoff() const;
    // Reads what has arrived, at most max bytes (all there is when max is negative); never waits.
    QByteArray read(qsizetype max);

private:
    int master = -1;
    int slaveHold = -1;
    bool refused = false;
    void removeLink();
    QString slavePath, error, madeLink;
};

} // namespace sim
