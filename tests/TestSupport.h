#pragma once

#include "pty/PtyEndpoint.h"
#include "serial/Settings.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

class QWidget;
class MainWindow;

// Bytes written out as the controller's documentation gives them: hex bytes "1B 40 0A", quoted
// ASCII "'Total:'", "U+0374..U+0378" for a run of two-byte characters, high byte first. "*N"
// right after one of them, or after a group in parentheses, repeats it: "FF*300" for 300 bytes
// FF, "('status' 0D 0A)*40".
QByteArray hex(const QByteArray &text);

// The far end of a real serial line for the tool: the virtual controller's pseudo-terminal end,
// read and written by the test while the event loop runs, so that the tool's port can move.
class FarEnd : public sim::PtyEndpoint
{
public:
    FarEnd() { open(); }
    // Reads until n bytes came, the time-out passed or, with quietMs, the line stayed quiet that
    // long. Returns what arrived.
    QByteArray read(qsizetype n, int timeoutMs = 5000, int quietMs = -1);
    // Everything that arrives until the line stays quiet for quietMs.
    QByteArray readUntilQuiet(int quietMs = 150) { return read(1 << 30, 10000, quietMs); }
    // Writes all of it, waiting while the line is full.
    void writeAll(const QByteArray &bytes);
};

// The settings of a line to that far end at 115200 bit/s, with that flow control.
Settings lineTo(const FarEnd &line, QSerialPort::FlowControl flow);

// Closes the next modal windows (message box or dialog) from a single-shot timer inside their
// own event loops, and records what they showed. Arm it before the action that opens the box,
// then wait with QTRY_VERIFY(closer.done()). A modal window that shows while no closer is armed
// fails the running test at once with its text, and is closed (every test linking this support
// watches for them from the start of its application).
class ModalCloser : public QObject
{
    Q_OBJECT
public:
    // The default accepts a message box or rejects a dialog. A handler can act on the modal
    // window instead (type a file name, press a button) and must close it.
    explicit ModalCloser(std::function<void(QWidget *)> handler = {});
    ~ModalCloser() override;
    void arm(int times = 1);
    bool done() const { return remaining == 0; }
    // Closers armed and not done yet, in the whole test.
    static int armed() { return armedClosers; }
    // A modal window a closer took in hand: its handler may keep it up a while before closing it.
    static bool inHand(QWidget *modal);
    QString title; // of the last box handled
    QString text;
    QStringList titles; // every box handled, in order
    QStringList texts;

private:
    void poll();
    void setRemaining(int times);
    std::function<void(QWidget *)> handler;
    QPointer<QWidget> handled; // the last modal window handled
    int remaining = 0;
    static int armedClosers;
    static QList<QPointer<QWidget>> takenInHand;
};

// The watch on modal windows no closer is armed for: a modal window that stays up for
// graceMs while no closer is armed is recorded, closed, and fails the running test with its
// title and text, rather than leaving the test in its event loop until the suite's time-out.
class UnexpectedModalWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int graceMs = 200; // a dialog a test opens and closes itself goes quicker
    UnexpectedModalWatch();
    QStringList seen; // "title: text" of every modal window it closed

private:
    void look();
    QPointer<QWidget> modal; // up, and not armed for, since shownFor started
    QElapsedTimer shownFor;
};
UnexpectedModalWatch *unexpectedModalWatch();

// Answers the next file dialog with file, as a user who picks it and presses Open or Save, and
// accepts any message box among the next modals; the closer records what they said.
ModalCloser *answerFileDialog(QObject *owner, const QString &file, int modals = 1);

// A test whose cases share one tool window, connected to a fresh far end.
class ConnectedToolTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

protected:
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
};

// Types the path into Settings -> Custom, applies, and presses Connect. Returns the status text.
QString connectTo(MainWindow &window, const QString &path);
// Empty when the widget shows whole on its window, else what hides or cuts it.
QString cutOff(const QWidget *widget);
QString consoleText(MainWindow &window);
QString statusText(MainWindow &window);
// Brings the button's tab to the front and clicks it, as a user does.
void press(MainWindow &window, const char *buttonName);
// The job rows of tests/data/jobs.txt (the button and the boxes checked, the stream, the
// console's lines), and one of them pressed on a window with the boxes as the rows expect them
// and checked against what reached the far end and the console.
void addJobRows();
void pressJobRow(MainWindow &window, FarEnd &peer);

// An expected stream: hex() text with <N> for N bytes of picture data, or <N/B:F-L> for a
// picture B bytes a row whose ink lies in rows F to L and nowhere else.
struct ExpectedStream
{
    explicit ExpectedStream(const QByteArray &pattern);
    qsizetype size() const;
    // Empty when actual matches, else where and how it first differs.
    QString mismatch(const QByteArray &actual) const;

private:
    struct Piece
    {
        QByteArray literal;
        qsizetype picture = 0;
        int bytesPerRow = 0, firstInk = -1, lastInk = -1;
    };
    QList<Piece> pieces;
};

// Ink is anything darker than the paper; inkBox is the rectangle that holds all of it.
inline bool inked(const QImage &paper, int x, int y) { return paper.constScanLine(y)[x] < 255; }
QRect inkBox(const QImage &paper);
// What zbarimg reads on the paper, every symbology it knows enabled: "EAN-8:01234565".
QString zbar(const QImage &paper);

// The program as a script runs it: no display, no platform chosen.
void runsHeadless(QProcess &program);
// Whether all of bytes went into a new file of that name.
bool writeFile(const QString &name, const QByteArray &bytes);
QByteArray readFile(const QString &name); // "<unreadable>" if it cannot be read
// Every entry of a folder, hidden ones too, by name.
QStringList entriesOf(const QString &folder);

// Lines of a test data file under tests/data, without comments (#) and blank lines.
QStringList dataLines(const QString &name);
// The same, each line cut at " | " into its fields.
QList<QStringList> dataTable(const QString &name);
// A _data() function's rows from a data table: one column "row" holding the whole line, each
// row named by its first field.
void addTableRows(const QString &name);
// The cases of a data file written as sections: "== NAME" starts one, the lines after it are
// its own. A file of scripts is read by steps::scriptsOf (StepScript.h), which keeps their lines.
QList<std::pair<QString, QStringList>> dataSections(const QString &name);
