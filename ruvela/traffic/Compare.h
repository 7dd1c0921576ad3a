#pragma once

#include "traffic/Capture.h"
#include "traffic/QueryMatcher.h"

#include <QImage>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace controller {
class Interpreter;
}

// The matcher run over a recording's records in order, at their recorded times: what the
// controller answered, cut and matched as the tool would have cut it live.
class RecordingMatcher
{
public:
    QList<Answer> record(const CaptureReader::Record &r); // what this record completes
    QList<Answer> finish(); // the recording ended: what still waits, given up or taken as it is

private:
    QueryMatcher matcher;
    qint64 firstUs = -1, now = 0, sent = 0, received = 0;
};

// A recording taken apart: the host's commands as the controller's
// decoder cuts them (a run of text is one), each by its offset and a hash of its bytes; the
// paper the shared controller model draws from them, as far as its roll reaches; and the controller's answers, each
// matched to its query. A raw byte file has commands and paper, and no answers.
class RecordingDigest
{
public:
    // A command's hash only: its place and bytes are read again for the few the report names.
    struct Mark
    {
        quint64 hash;
    };
    // A command found again by its number: what the report names.
    struct Command
    {
        qint64 offset = -1, size = 0;
        QString name;
        QString shown; // its bytes in hex, or a run of text as text
    };

    RecordingDigest();
    ~RecordingDigest();
    // Empty, or why the file cannot be read as a recording.
    QString read(const QString &path);
    // Several read at once: each file's commands and answers on a thread of its own, the papers
    // on this one, as the model draws its glyphs on one thread. Why each could not be read.
    static QStringList readAll(const QList<RecordingDigest *> &digests, const QStringList &paths);
    const std::vector<Mark> &commands() const { return marks; }
    qint64 hostBytes() const { return sent; }
    const controller::Interpreter &printer() const { return *model; }
    const QList<Answer> &answers() const { return matched; }
    bool hasAnswers() const { return !raw; }
    // The commands of those numbers, read again from the file.
    QList<Command> commandsAt(const QList<qint64> &numbers) const;

private:
    struct Resume;
    static constexpr qint64 resumeEvery = 4 << 20; // bytes of file between two resume points

    QString readCommands();
    void drawPaper();

    QString path;
    std::vector<Mark> marks;
    qint64 sent = 0;
    bool raw = false;
    std::unique_ptr<controller::Interpreter> model;
    QList<Answer> matched;
    std::vector<Resume> resumes;
};

// The answers a recording holds, in order: each reply and unanswered query, call-backs and bytes
// nobody asked for, as the matcher cuts them from the recorded times.
QString recordedAnswers(const QString &path, QList<Answer> &answers);

// Two recordings compared command by command, dot by dot and answer by answer.
struct Comparison
{
    // A stretch where the commands differ: count commands from first in A, and in B.
    struct Hunk
    {
        qint64 a, aCount, b, bCount;
    };
    QList<Hunk> hunks;
    qint64 differingCommands = 0; // each hunk counts as its longer side
    bool realigns = true; // the commands after the last difference are the same again
    bool tooMany = false; // past maxEdits the rest was not worked out
    int firstPaperRow = -1, lastPaperRow = -1; // the first and last dot rows that differ, or -1
    qint64 differingDots = 0;
    int paperRowsA = 0, paperRowsB = 0;
    QStringList answerDifferences;
    bool same() const { return hunks.isEmpty() && !tooMany && firstPaperRow < 0 && answerDifferences.isEmpty(); }
};

constexpr int maxEdits = 4000; // commands inserted or deleted that the comparison still aligns

Comparison compareRecordings(const RecordingDigest &a, const RecordingDigest &b);
// What a person reads: the first differing command named, the counts, the paper, the answers.
QString describeComparison(const Comparison &c, const RecordingDigest &a, const RecordingDigest &b);
// The two papers side by side, the differing dots marked in red on both, cut to the rows around
// the differences; a null image when the papers do not differ.
QImage paperDifference(const RecordingDigest &a, const RecordingDigest &b, const Comparison &c);
// The lines of answers that differ, recorded against replayed, named by their queries:
// "10 04 answered 32 (paper out), recorded 12 (ready)".
QStringList answerDifferences(const QList<Answer> &recorded, const QList<Answer> &now);
