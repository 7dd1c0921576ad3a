#pragma once

#include "controller/Interpreter.h"
#include "traffic/QueryMatcher.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <memory>
#include <optional>

// What the controller should make of the bytes that left the tool: the virtual controller's own
// model, fed with the sent stream. It names each command for the Traffic pane and draws the
// Expected Paper.
class ExpectedPrinter
{
public:
    // The commands a feed decoded: the last one taken before, when it grew (a run of text goes on),
    // then those that are new.
    struct Decoded
    {
        std::optional<controller::LogEntry> grown;
        QList<controller::LogEntry> added;
    };

    static constexpr qsizetype windowBytes = 64 * 1024; // of the stream, for the bytes rows show

    ExpectedPrinter();

    // The next bytes of the stream, in order. With nothingMore, no byte follows them for now, so
    // that a status query at their end is the two-byte form.
    Decoded feed(const QByteArray &bytes, bool nothingMore = false);
    // A new line: a controller fresh from power-on, with the head type the tool last set.
    void restart();
    // Tears off the paper; modes and the head type stay.
    void clearPaper();
    // What the controller answered tells its head when the tool did not set it: the firmware
    // text names the head type, a status byte whether it drives a cutter. Later answers and the
    // paper's width are foreseen for that head.
    void learn(const Answer &answer);

    const controller::Interpreter &model() const { return *interpreter; }
    const controller::Paper &paper() const { return interpreter->paper(); }
    qint64 bytesFed() const { return interpreter->bytesReceived(); }
    // The last command handed out may still grow: a run of text, data still to come, or bytes
    // passed over that more may join.
    bool lastMayGrow() const;
    int line() const { return restarts; } // counts the lines it was restarted for
    // Up to n bytes of the stream from offset, as far as the last windowBytes hold them.
    QByteArray bytesAt(qint64 offset, qsizetype n) const;
    // The paper rows the command at offset printed, for tinting; {-1, -1} when it printed none or
    // is no longer listed.
    std::pair<int, int> rowsOf(qint64 offset, const QString &name) const;

private:
    void take(Decoded &decoded);
    // Bytes the model passed over without a command of their own (NULs) make rows too.
    void fillGaps(Decoded &decoded);
    std::unique_ptr<controller::Interpreter> interpreter;
    qint64 taken = 0; // the number of the next entry to hand out
    controller::LogEntry lastTaken;
    QByteArray window;
    qint64 windowStart = 0;
    int restarts = 0;
    qint64 belongs = 0; // every byte before it belongs to a row handed out
    std::map<qint64, qint64> ahead; // rows handed out beyond `belongs`: their starts and ends
    std::optional<controller::LogEntry> lastGap; // the last row handed out, when it is a gap
};
