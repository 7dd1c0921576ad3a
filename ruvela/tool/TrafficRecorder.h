#pragma once

#include "serial/Settings.h"
#include "traffic/QueryMatcher.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

class ExpectedPrinter;
class SerialLink;
class TrafficLog;

// Listens to the serial link and writes the exchange into the traffic log: the sent bytes through
// the controller model that also draws the expected paper, the answers cut and explained, and
// the line's own events.
class TrafficRecorder : public QObject
{
    Q_OBJECT
public:
    TrafficRecorder(SerialLink &link, ExpectedPrinter &expected, TrafficLog &log, QObject *parent = nullptr);

    // The line opened with these settings: the expected controller starts afresh.
    void opened(const Settings &settings);
    // Takes what is pending as an answer now, as a pause on the line would, and names every sent
    // byte not named yet.
    void flushAnswers();
    // Sent bytes not named yet: a line faster than the naming leaves them waiting, within a bound.
    qint64 backlog() const { return unnamedBytes; }
    static constexpr qint64 maxBacklog() { return maxUnnamedBytes; }
    // Every sent byte is named and the last command cannot grow: every row is final.
    bool allSettled() const;
    // An event of the tool's own, such as the monitor's.
    void note(const QString &text);

signals:
    void sentDecoded(); // the expected paper may have grown
    void restarted(); // the expected controller is a new one: its paper is another

private:
    void sent(qint64 offset, const QByteArray &bytes);
    // Names the sent bytes in slices, for at most budgetMs (all of them when negative, one small
    // slice at 0), and lists their rows in one go: a flood of small commands never holds the event loop for long. The
    // other rows wait their turn behind the bytes sent before them.
    void nameSent(qint64 budgetMs = -1);
    void inTurn(std::function<void()> row);
    void takePausedAnswer();
    void received(const Answer &answer);
    void listReceived(qint64 time, const Answer &answer);
    void listEarly(bool all); // the answers whose queries have been listed, or all
    void held(bool held, qint64 ms);
    static qint64 now();

    SerialLink &link;
    ExpectedPrinter &expected;
    TrafficLog &log;
    struct Unnamed
    {
        qint64 time;
        QByteArray bytes;
        bool nothingMore; // nothing else was queued on the line after them
        std::function<void()> row; // instead of bytes: a row of another kind, in its turn
    };
    std::deque<Unnamed> unnamed;
    qsizetype unnamedAt = 0; // of the first one's bytes, named already
    qint64 unnamedBytes = 0; // sent bytes not named yet, at most about maxUnnamedBytes
    static constexpr qint64 maxUnnamedBytes = 4 << 20;
    QTimer slices;
    bool lineOpen = false;
    QString holdCause; // "XOFF" or "CTS", as the line's flow control has it
    qint64 sentEnd = 0; // bytes the port said left since the line opened
    std::deque<std::pair<qint64, Answer>> early; // answers come before their queries were said to leave
};
