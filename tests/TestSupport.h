#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class MainWindow;

// Bytes written out from hexadecimal as the controller's documentation gives them:
// "1B 40 0A", with quoted ASCII allowed for sample texts: "1B 21 00 'Total:' 0A".
QByteArray hex(const char *text);

// The far end of a real serial line: a pseudo-terminal whose slave the tool opens by path,
// exactly as a user types it into Settings -> Custom. The master side is ours.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    QString slavePath() const { return path; }
    // Reads until n bytes came or the time-out passed, running the event loop meanwhile so that
    // the tool's port can send. Returns what arrived.
    QByteArray read(qsizetype n, int timeoutMs = 5000);
    // Everything that arrives until the line stays quiet for quietMs.
    QByteArray readUntilQuiet(int quietMs = 150, int timeoutMs = 10000);
    void write(const QByteArray &bytes);
    // Closes the master, as a controller that is switched off or unplugged.
    void hangUp();
    bool isOpen() const { return master >= 0; }

private:
    int master = -1;
    int keepSlave = -1; // keeps the line up between the tool's connections
    QString path;
};

// Closes the next modal window (message box or dialog) from a single-shot timer inside its
// own event loop, and records what it showed. Arm it before the action that opens the box,
// then wait with QTRY_VERIFY(closer.done()).
class ModalCloser : public QObject
{
    Q_OBJECT
public:
    // The default handling accepts a message box or rejects a dialog. A handler can act on the
    // modal window instead (type a file name, press a button) and must close it.
    explicit ModalCloser(std::function<void(QWidget *)> handler = {});
    void arm(int times = 1);
    bool done() const { return remaining == 0; }
    QString title;
    QString text;
    QStringList titles; // every box handled, in order
    QStringList texts;

private:
    void poll();
    std::function<void(QWidget *)> handler;
    int remaining = 0;
};

// A test whose cases share one tool window, connected to the far end of a fresh pseudo-terminal.
class ConnectedToolTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

protected:
    MainWindow *w = nullptr;
    PtyPeer *peer = nullptr;
};

// Types the path into Settings -> Custom, applies, and presses Connect. Returns the status text.
QString connectTo(MainWindow &window, const QString &path);
// The console's whole text and the status label's text.
QString consoleText(MainWindow &window);
QString statusText(MainWindow &window);
// Presses a button with the mouse, as a user does.
void press(MainWindow &window, const char *buttonName);

// Matches a byte stream against a pattern written from the command tables: hex bytes,
// 'quoted text', and <N> for N bytes of picture data. Fills pictures with those runs, in
// order. On a mismatch returns a description of the first difference, else an empty string.
QString matchStream(const QByteArray &actual, const QByteArray &pattern, QList<QByteArray> *pictures = nullptr);
// How many bytes a pattern stands for.
qsizetype patternLength(const QByteArray &pattern);
// The rows of a raster picture (bytesPerRow wide) that hold any ink.
QList<int> inkedRows(const QByteArray &picture, int bytesPerRow);
