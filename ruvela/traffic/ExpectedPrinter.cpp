#include "traffic/ExpectedPrinter.h"

#include <algorithm>

ExpectedPrinter::ExpectedPrinter()
    : interpreter(std::make_unique<controller::Interpreter>())
{ }

ExpectedPrinter::Decoded ExpectedPrinter::feed(const QByteArray &bytes, bool nothingMore)
{
    window += bytes;
    if (window.size() > 2 * windowBytes) { // cut now and then, not at every feed
        const qsizetype drop = window.size() - windowBytes;
        window.remove(0, drop);
        windowStart += drop;
    }
    // In slices, so that the model's log never fills between two takings: a byte makes at most a
    // command and the controller's note before it.
    Decoded decoded;
    constexpr qsizetype slice = controller::Interpreter::maxLogEntries / 8;
    for (qsizetype at = 0; at < bytes.size(); at += slice) {
        // As a controller with a receive buffer takes them, so that a status query at the end
        // can be settled when nothing more comes.
        const qsizetype n = qMin(slice, bytes.size() - at);
        interpreter->receive(bytes.constData() + at, n);
        interpreter->process(bytes.constData() + at, n);
        take(decoded);
    }
    if (nothingMore) {
        interpreter->settle();
        take(decoded);
    }
    // The model notes a real-time query as it arrives, ahead of the commands before it still in
    // its buffer; rows go in the order the bytes were sent.
    std::stable_sort(decoded.added.begin(), decoded.added.end(),
        [](const controller::LogEntry &a, const controller::LogEntry &b) { return a.offset < b.offset; });
    fillGaps(decoded);
    interpreter->takeReplies(); // what the line really answers is shown instead
    return decoded;
}

void ExpectedPrinter::fillGaps(Decoded &decoded)
{
    auto note = [this](const controller::LogEntry &e) {
        if (e.size > 0) {
            qint64 &end = ahead[e.offset];
            end = qMax(end, e.offset + e.size);
        }
    };
    if (decoded.grown)
        note(*decoded.grown);
    for (const controller::LogEntry &e : decoded.added)
        note(e);
    // Walks on from the bytes known to belong to a row; a hole the model has taken all of is a gap.
    const qint64 done = interpreter->bytesDecoded();
    QList<controller::LogEntry> gaps;
    for (;;) {
        const auto first = ahead.begin();
        if (first != ahead.end() && first->first <= belongs) {
            belongs = qMax(belongs, first->second);
            ahead.erase(first);
            continue;
        }
        const qint64 holeEnd = first == ahead.end() ? done : qMin(first->first, done);
        if (holeEnd <= belongs)
            break;
        gaps.append(
            {belongs, QStringLiteral("ignored"), QStringLiteral("no command: passed over"), -1, -1, holeEnd - belongs});
        belongs = holeEnd;
    }
    // A gap that goes on from the last row handed out, itself a gap, grows it.
    if (lastGap && !decoded.grown && !gaps.isEmpty() && gaps.first().offset == lastGap->offset + lastGap->size
        && (decoded.added.isEmpty() || decoded.added.first().offset > gaps.first().offset)) {
        lastGap->size += gaps.takeFirst().size;
        decoded.grown = lastGap;
    }
    for (const controller::LogEntry &gap : gaps) {
        qsizetype at = 0;
        while (at < decoded.added.size() && decoded.added.at(at).offset <= gap.offset)
            ++at;
        decoded.added.insert(at, gap);
    }
    if (!decoded.added.isEmpty())
        lastGap = gaps.isEmpty() || decoded.added.last().offset != gaps.last().offset
            ? std::nullopt
            : std::optional<controller::LogEntry>(decoded.added.last());
}

void ExpectedPrinter::take(Decoded &decoded)
{
    const QList<controller::LogEntry> &log = interpreter->log();
    const qint64 base = interpreter->logBase();
    // Only the last entry taken can still grow: text runs on, or its data comes in.
    const qint64 last = taken - 1 - base;
    if (last >= 0 && last < log.size()) {
        const controller::LogEntry &e = log.at(last);
        if (e.size != lastTaken.size || e.args != lastTaken.args) {
            lastTaken = e;
            if (!decoded.added.isEmpty() && decoded.added.last().offset == e.offset)
                decoded.added.last() = e; // grew within this feed
            else
                decoded.grown = e;
        }
    }
    for (qint64 i = qMax<qint64>(0, taken - base); i < log.size(); ++i)
        decoded.added << log.at(i);
    taken = base + log.size();
    if (taken > base && !log.isEmpty())
        lastTaken = log.last();
    // Everything listed has been taken: a long stream goes on being named past the log's own
    // limit, and only commands that long ago can no longer be tinted.
    if (log.size() >= controller::Interpreter::maxLogEntries / 2) {
        interpreter->forgetLog();
        taken = interpreter->logBase();
    }
}

bool ExpectedPrinter::lastMayGrow() const
{
    const qint64 decoded = interpreter->bytesDecoded();
    return interpreter->inCommand()
        || (lastTaken.name == QLatin1String("printStr") && lastTaken.offset + lastTaken.size >= decoded)
        || (lastGap && lastGap->offset + lastGap->size >= decoded);
}

void ExpectedPrinter::learn(const Answer &answer)
{
    if (answer.kind != Answer::Kind::Reply)
        return;
    int head = interpreter->headType();
    if (answer.query == QByteArrayView("\x10\x05", 2)) {
        head = proto::headTypeNamed(answer.bytes);
    } else if (answer.isStatus() && answer.statusKind() == proto::StatusKind::Status) {
        // Of the same width, the head with a cutter or the one without.
        const bool cutter = quint8(answer.bytes.at(0)) & proto::StatusHasCutter;
        if (cutter != proto::headHasCutter(head))
            head = cutter ? (proto::headWidth(head) == 576 ? 5 : 4) : (proto::headWidth(head) == 576 ? 1 : 0);
    }
    if (head >= 0 && head != interpreter->headType())
        interpreter->setHeadType(head);
}

void ExpectedPrinter::restart()
{
    interpreter = std::make_unique<controller::Interpreter>(interpreter->headType());
    ++restarts;
    taken = 0;
    lastTaken = {};
    window.clear();
    windowStart = 0;
    belongs = 0;
    ahead.clear();
    lastGap.reset();
}

void ExpectedPrinter::clearPaper()
{
    interpreter->clearPaper();
    taken = interpreter->logBase();
}

QByteArray ExpectedPrinter::bytesAt(qint64 offset, qsizetype n) const
{
    const qint64 from = offset - windowStart;
    if (from < 0 || from >= window.size())
        return {};
    return window.mid(from, n);
}

std::pair<int, int> ExpectedPrinter::rowsOf(qint64 offset, const QString &name) const
{
    // Several entries may share an offset (the controller waking, then the command).
    for (const controller::LogEntry &e : interpreter->log()) {
        if (e.offset == offset && e.name == name)
            return {e.firstRow, e.lastRow};
    }
    return {-1, -1};
}
