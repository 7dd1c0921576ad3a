#include "traffic/Compare.h"

#include "commands/Protocol.h"
#include "controller/Decoder.h"
#include "controller/Interpreter.h"

#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace {

// A hash fed in pieces of any size that comes out the same for any cutting of the same bytes,
// eight bytes at a step: compare reads hundreds of megabytes, and a byte at a time was most of
// its time. Each step is one-to-one in the word and in the state, so one changed word always
// changes the hash.
class StreamHash
{
public:
    explicit StreamHash(quint64 seed = 0)
        : state(seed ^ 0x9E3779B97F4A7C15ULL)
    { }
    void add(const char *data, qsizetype size)
    {
        length += quint64(size);
        if (carried > 0) {
            const int take = int(qMin<qsizetype>(size, 8 - carried));
            std::memcpy(reinterpret_cast<char *>(&carry) + carried, data, size_t(take));
            carried += take;
            data += take;
            size -= take;
            if (carried < 8)
                return;
            word(carry);
            carry = 0;
            carried = 0;
        }
        for (; size >= 8; data += 8, size -= 8) {
            quint64 w;
            std::memcpy(&w, data, 8);
            word(w);
        }
        std::memcpy(&carry, data, size_t(size));
        carried = int(size);
    }
    quint64 result() const
    {
        quint64 h = state;
        h ^= (carry + quint64(carried)) * 0xC2B2AE3D27D4EB4FULL;
        h ^= length * 0x165667B19E3779F9ULL;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        return h;
    }

private:
    void word(quint64 w)
    {
        state ^= w * 0x87C37B91114253D5ULL;
        state = (state << 31 | state >> 33) * 0x4CF5AD432745937FULL;
    }
    quint64 state;
    quint64 carry = 0; // the bytes of a word not yet whole, in order
    int carried = 0;
    quint64 length = 0;
};

bool isRealTime(controller::Op op)
{
    return op == controller::Op::Status || op == controller::Op::StatusN || op == controller::Op::Firmware;
}

// Cuts the host's stream into marks: a command with its data, or a run of text, each hashed over
// every byte it holds. A real-time query is a mark of its own where it arrives, inside another
// command's data too. Asked for, it also keeps what the report shows of some marks.
class Marker : public controller::DecoderSink
{
public:
    Marker(std::vector<RecordingDigest::Mark> *marks, const QSet<qint64> *wanted = nullptr,
        QHash<qint64, RecordingDigest::Command> *found = nullptr)
        : marks(marks)
        , wanted(wanted)
        , found(found)
    { }
    void command(const controller::Command &c) override
    {
        if (c.op == controller::Op::Text && inText && c.offset == textEnd) {
            moreText(c);
            return;
        }
        const qint64 number = count++;
        const bool text = c.op == controller::Op::Text;
        if (wanted && wanted->contains(number)) {
            RecordingDigest::Command kept;
            kept.offset = c.offset;
            kept.size = c.size;
            kept.name = text ? QStringLiteral("printStr") : QLatin1String(c.name);
            kept.shown = text ? QString::fromLatin1(c.data, qMin(c.size, 48))
                              : QString::fromLatin1(QByteArray(c.data, c.size).toHex(' ').toUpper());
            found->insert(number, kept);
        }
        if (isRealTime(c.op)) { // whole already, and the command around it goes on
            if (marks) {
                StreamHash query(quint64(c.op));
                query.add(c.data, c.size);
                marks->push_back({query.result()});
            }
            return;
        }
        close();
        current = number;
        inText = text;
        textEnd = c.offset + c.size;
        if (marks)
            marks->push_back({0});
        hash = StreamHash(quint64(c.op));
        hash.add(c.data, c.size);
    }
    void text(const controller::Command &run) override
    {
        if (inText && run.offset == textEnd)
            moreText(run);
        else
            command(run);
    }
    void bulk(const char *data, qsizetype size) override
    {
        hash.add(data, size);
        if (RecordingDigest::Command *kept = keptAt(current))
            kept->size += size;
    }
    // The last mark's hash is known only when no more bytes can come to it.
    void close()
    {
        if (marks && current >= 0 && size_t(current) < marks->size())
            (*marks)[size_t(current)].hash = hash.result();
        current = -1;
    }
    qint64 count = 0; // marks made so far

    // Where the cutting stands, to go on from there in a later reading.
    struct Place
    {
        qint64 count, current;
        bool inText;
        qint64 textEnd;
    };
    Place place() const { return {count, current, inText, textEnd}; }
    void resume(const Place &p)
    {
        count = p.count;
        current = p.current;
        inText = p.inText;
        textEnd = p.textEnd;
    }

private:
    void moreText(const controller::Command &c)
    {
        hash.add(c.data, c.size);
        textEnd += c.size;
        if (RecordingDigest::Command *kept = keptAt(current)) {
            kept->size += c.size;
            if (kept->shown.size() < 48)
                kept->shown += QString::fromLatin1(c.data, qMin(c.size, 48));
        }
    }
    RecordingDigest::Command *keptAt(qint64 number)
    {
        if (!found || number < 0)
            return nullptr;
        auto it = found->find(number);
        return it == found->end() ? nullptr : &*it;
    }
    std::vector<RecordingDigest::Mark> *marks;
    const QSet<qint64> *wanted;
    QHash<qint64, RecordingDigest::Command> *found;
    StreamHash hash; // of the current mark
    qint64 current = -1; // the mark a command's data goes to
    bool inText = false;
    qint64 textEnd = -1;
};

QString answerWords(const Answer &a)
{
    return a.kind == Answer::Kind::NoAnswer ? QStringLiteral("nothing") : describeAnswer(a);
}

bool sameAnswer(const Answer &a, const Answer &b)
{
    return a.kind == b.kind && a.bytes == b.bytes && a.query == b.query;
}

QString hexOf(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

} // namespace

QList<Answer> RecordingMatcher::record(const CaptureReader::Record &r)
{
    if (firstUs < 0)
        firstUs = r.timeUs;
    now = CaptureReader::microsBetween(firstUs, r.timeUs) / 1000;
    QList<Answer> answers;
    while (matcher.nextDeadline() >= 0 && matcher.nextDeadline() <= now)
        answers += matcher.tick(matcher.nextDeadline());
    if (r.side == CaptureReader::Side::ToController) {
        answers += matcher.sent(sent, r.data.constData(), r.data.size(), now);
        sent += r.data.size();
        matcher.left(sent, now);
    } else if (r.side == CaptureReader::Side::FromController) {
        answers += matcher.received(received, r.data, now);
        received += r.data.size();
    }
    return answers;
}

QList<Answer> RecordingMatcher::finish()
{
    QList<Answer> answers;
    while (matcher.nextDeadline() >= 0)
        answers += matcher.tick(matcher.nextDeadline());
    answers += matcher.finish(now);
    return answers;
}

// A point of the first reading that a later one can start from: the file, the decoder and the
// marker as they stood there.
struct RecordingDigest::Resume
{
    CaptureReader::Place file;
    controller::Decoder decoder;
    Marker::Place marker;
};

RecordingDigest::RecordingDigest() = default;
RecordingDigest::~RecordingDigest() = default;

QString RecordingDigest::read(const QString &file) { return readAll({this}, {file}).first(); }

QStringList RecordingDigest::readAll(const QList<RecordingDigest *> &digests, const QStringList &files)
{
    // Each thread writes its own reason, made before any starts.
    std::vector<QString> why(size_t(digests.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < digests.size(); ++i) {
        RecordingDigest *digest = digests[i];
        QString *reason = &why[size_t(i)];
        digest->path = files.at(i);
        threads.emplace_back(QThread::create([digest, reason] { *reason = digest->readCommands(); }));
    }
    for (const auto &thread : threads)
        thread->start();
    for (RecordingDigest *digest : digests)
        digest->drawPaper();
    for (const auto &thread : threads)
        thread->wait();
    return QStringList(why.begin(), why.end());
}

QString RecordingDigest::readCommands()
{
    CaptureReader reader;
    if (QString why = reader.open(path); !why.isEmpty())
        return why;
    raw = reader.isRaw();
    controller::Decoder decoder;
    Marker marker(&marks);
    RecordingMatcher answers;
    CaptureReader::Record r;
    qint64 resumedAt = 0;
    while (reader.next(r)) {
        if (r.side == CaptureReader::Side::ToController) {
            decoder.feed(r.data.constData(), r.data.size(), marker);
            sent += r.data.size();
        }
        if (!raw)
            matched += answers.record(r);
        if (reader.position() - resumedAt >= resumeEvery) {
            resumedAt = reader.position();
            resumes.push_back({reader.place(), decoder, marker.place()});
        }
    }
    if (!reader.failure().isEmpty())
        return reader.failure();
    decoder.settle(marker, true);
    decoder.finish(marker);
    marker.close();
    if (!raw)
        matched += answers.finish();
    return {};
}

void RecordingDigest::drawPaper()
{
    model = std::make_unique<controller::Interpreter>();
    CaptureReader reader;
    if (!reader.open(path).isEmpty())
        return; // the commands' reading says why
    CaptureReader::Record r;
    // Once the roll is full nothing more is drawn, and the rest of the file is not read for it.
    while (!model->paper().isFull() && reader.next(r)) {
        if (r.side == CaptureReader::Side::ToController)
            model->feed(r.data);
    }
    model->finish();
}

QList<RecordingDigest::Command> RecordingDigest::commandsAt(const QList<qint64> &numbers) const
{
    const QSet<qint64> wanted(numbers.begin(), numbers.end());
    QHash<qint64, Command> found;
    CaptureReader reader;
    if (reader.open(path).isEmpty() && !numbers.isEmpty()) {
        controller::Decoder decoder;
        Marker marker(nullptr, &wanted, &found);
        // From the last point of the first reading before the first command wanted.
        const qint64 first = *std::min_element(numbers.begin(), numbers.end());
        auto from = std::partition_point(
            resumes.begin(), resumes.end(), [first](const Resume &at) { return at.marker.count <= first; });
        if (from != resumes.begin() && reader.seek(std::prev(from)->file)) {
            decoder = std::prev(from)->decoder;
            marker.resume(std::prev(from)->marker);
        }
        const qint64 last = *std::max_element(numbers.begin(), numbers.end());
        CaptureReader::Record r;
        // Read on past the last one wanted only while it may still grow.
        while (marker.count <= last + 1 && reader.next(r)) {
            if (r.side == CaptureReader::Side::ToController)
                decoder.feed(r.data.constData(), r.data.size(), marker);
        }
        decoder.settle(marker, true);
        decoder.finish(marker);
    }
    QList<Command> out;
    for (const qint64 n : numbers)
        out << found.value(n);
    return out;
}

QString recordedAnswers(const QString &path, QList<Answer> &answers)
{
    CaptureReader reader;
    if (QString why = reader.open(path); !why.isEmpty())
        return why;
    if (reader.isRaw())
        return QStringLiteral("a raw byte file holds no times and no answers: it cannot be replayed");
    RecordingMatcher matching;
    CaptureReader::Record r;
    bool anySent = false;
    QList<Answer> found;
    while (reader.next(r)) {
        anySent = anySent || r.side == CaptureReader::Side::ToController;
        found += matching.record(r);
    }
    if (!reader.failure().isEmpty())
        return reader.failure();
    if (!anySent)
        return QStringLiteral("the capture holds no bytes toward the controller");
    answers = found + matching.finish();
    return {};
}

namespace {

// The shortest list of insertions and deletions that turns a into b (Myers), as hunks; false
// when it takes more than maxEdits.
bool alignCommands(const std::vector<RecordingDigest::Mark> &a, qint64 aFrom, qint64 aTo,
    const std::vector<RecordingDigest::Mark> &b, qint64 bFrom, qint64 bTo, QList<Comparison::Hunk> &hunks)
{
    const qint64 n = aTo - aFrom, m = bTo - bFrom;
    const qint64 maxD = qMin<qint64>(n + m, maxEdits);
    const qint64 offset = maxD + 1;
    std::vector<qint64> v(size_t(2 * offset + 1), 0);
    std::vector<std::vector<qint64>> trace;
    auto same = [&](qint64 x, qint64 y) { return a[size_t(aFrom + x)].hash == b[size_t(bFrom + y)].hash; };
    qint64 found = -1;
    for (qint64 d = 0; d <= maxD && found < 0; ++d) {
        trace.push_back(v);
        for (qint64 k = -d; k <= d; k += 2) {
            qint64 x = (k == -d || (k != d && v[size_t(offset + k - 1)] < v[size_t(offset + k + 1)]))
                ? v[size_t(offset + k + 1)]
                : v[size_t(offset + k - 1)] + 1;
            qint64 y = x - k;
            while (x < n && y < m && same(x, y)) {
                ++x;
                ++y;
            }
            v[size_t(offset + k)] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }
    if (found < 0)
        return false;
    // Back from the end: each step one insertion or deletion, runs of equal commands between.
    struct Edit
    {
        qint64 x, y;
        bool deletion;
    };
    std::vector<Edit> edits;
    qint64 x = n, y = m;
    for (qint64 d = found; d > 0; --d) {
        const std::vector<qint64> &before = trace[size_t(d)];
        const qint64 k = x - y;
        const bool down = k == -d || (k != d && before[size_t(offset + k - 1)] < before[size_t(offset + k + 1)]);
        const qint64 prevK = down ? k + 1 : k - 1;
        const qint64 prevX = before[size_t(offset + prevK)], prevY = prevX - prevK;
        x = prevX;
        y = prevY;
        edits.push_back({prevX, prevY, !down});
    }
    std::reverse(edits.begin(), edits.end());
    for (const Edit &e : edits) {
        const qint64 ax = aFrom + e.x, by = bFrom + e.y;
        if (!hunks.isEmpty()) {
            Comparison::Hunk &h = hunks.last();
            if (h.a + h.aCount == ax && h.b + h.bCount == by) {
                (e.deletion ? h.aCount : h.bCount) += 1;
                continue;
            }
        }
        hunks.append({ax, e.deletion ? 1 : 0, by, e.deletion ? 0 : 1});
    }
    return true;
}

// The dots of one row of two papers, side by side: blank past a paper's end or its width.
class RowPair
{
public:
    RowPair(const controller::Paper &a, const controller::Paper &b, int y)
        : a(a)
        , b(b)
        , rowA(y < a.rows() ? a.row(y) : nullptr)
        , rowB(y < b.rows() ? b.row(y) : nullptr)
    { }
    uchar first(int x) const { return rowA && x < a.width() ? rowA[x] : blank; }
    uchar second(int x) const { return rowB && x < b.width() ? rowB[x] : blank; }
    // Most rows of two runs are the same: a whole row compared at once before dot by dot.
    bool same(int width) const
    {
        return rowA && rowB && a.width() == width && b.width() == width
            && (rowA == rowB || std::memcmp(rowA, rowB, size_t(width)) == 0);
    }

private:
    static constexpr uchar blank = 255;
    const controller::Paper &a, &b;
    const uchar *rowA, *rowB;
};

void comparePaper(const controller::Paper &a, const controller::Paper &b, Comparison &c)
{
    c.paperRowsA = a.rows();
    c.paperRowsB = b.rows();
    const int rows = qMax(a.rows(), b.rows()), width = qMax(a.width(), b.width());
    for (int y = 0; y < rows; ++y) {
        const RowPair row(a, b, y);
        if (row.same(width))
            continue;
        for (int x = 0; x < width; ++x) {
            if (row.first(x) != row.second(x)) {
                ++c.differingDots;
                if (c.firstPaperRow < 0)
                    c.firstPaperRow = y;
                c.lastPaperRow = y;
            }
        }
    }
}

} // namespace

QStringList answerDifferences(const QList<Answer> &recorded, const QList<Answer> &now)
{
    // The replies and unanswered queries pair up in order, as the same queries were sent; bytes
    // that answer nothing are compared among themselves.
    auto split = [](const QList<Answer> &all, QList<Answer> &replies, QList<Answer> &others) {
        for (const Answer &a : all)
            (a.kind == Answer::Kind::Reply || a.kind == Answer::Kind::NoAnswer ? replies : others) << a;
    };
    QList<Answer> recordedReplies, recordedOthers, nowReplies, nowOthers;
    split(recorded, recordedReplies, recordedOthers);
    split(now, nowReplies, nowOthers);
    QStringList lines;
    for (qsizetype i = 0; i < qMax(recordedReplies.size(), nowReplies.size()); ++i) {
        if (i >= nowReplies.size()) {
            lines << QStringLiteral("%1: missing, recorded %2")
                         .arg(hexOf(recordedReplies[i].query), answerWords(recordedReplies[i]));
        } else if (i >= recordedReplies.size()) {
            lines << QStringLiteral("%1 answered %2: extra, not recorded")
                         .arg(hexOf(nowReplies[i].query), answerWords(nowReplies[i]));
        } else if (!sameAnswer(recordedReplies[i], nowReplies[i])) {
            const QString query = recordedReplies[i].query == nowReplies[i].query
                ? hexOf(nowReplies[i].query)
                : QStringLiteral("%1 (recorded %2)").arg(hexOf(nowReplies[i].query), hexOf(recordedReplies[i].query));
            lines << QStringLiteral("%1 answered %2, recorded %3")
                         .arg(query, answerWords(nowReplies[i]), answerWords(recordedReplies[i]));
        }
    }
    for (qsizetype i = 0; i < qMax(recordedOthers.size(), nowOthers.size()); ++i) {
        if (i >= nowOthers.size())
            lines << QStringLiteral("missing: %1").arg(describeAnswer(recordedOthers[i]));
        else if (i >= recordedOthers.size())
            lines << QStringLiteral("extra: %1").arg(describeAnswer(nowOthers[i]));
        else if (!sameAnswer(recordedOthers[i], nowOthers[i]))
            lines << QStringLiteral("%1, recorded %2")
                         .arg(describeAnswer(nowOthers[i]), describeAnswer(recordedOthers[i]));
    }
    return lines;
}

Comparison compareRecordings(const RecordingDigest &a, const RecordingDigest &b)
{
    Comparison c;
    const auto &ma = a.commands(), &mb = b.commands();
    qint64 head = 0;
    while (size_t(head) < ma.size() && size_t(head) < mb.size() && ma[size_t(head)].hash == mb[size_t(head)].hash)
        ++head;
    qint64 tailA = qint64(ma.size()), tailB = qint64(mb.size());
    while (tailA > head && tailB > head && ma[size_t(tailA - 1)].hash == mb[size_t(tailB - 1)].hash) {
        --tailA;
        --tailB;
    }
    if (tailA > head || tailB > head) {
        if (!alignCommands(ma, head, tailA, mb, head, tailB, c.hunks)) {
            c.tooMany = true;
            c.hunks = {{head, tailA - head, head, tailB - head}};
        }
    }
    for (const Comparison::Hunk &h : std::as_const(c.hunks))
        c.differingCommands += qMax(h.aCount, h.bCount);
    if (!c.hunks.isEmpty()) {
        const Comparison::Hunk &last = c.hunks.last();
        c.realigns = !c.tooMany && last.a + last.aCount < qint64(ma.size()) && last.b + last.bCount < qint64(mb.size());
    }
    comparePaper(a.printer().paper(), b.printer().paper(), c);
    if (a.hasAnswers() && b.hasAnswers())
        c.answerDifferences = answerDifferences(a.answers(), b.answers());
    return c;
}

QString describeComparison(const Comparison &c, const RecordingDigest &a, const RecordingDigest &b)
{
    QStringList lines;
    if (!c.hunks.isEmpty()) {
        const Comparison::Hunk &h = c.hunks.first();
        // Each file is read again as far as its command, both at once.
        RecordingDigest::Command ca, cb;
        std::unique_ptr<QThread> other(QThread::create([&] {
            if (h.bCount)
                cb = b.commandsAt({h.b}).first();
        }));
        other->start();
        if (h.aCount)
            ca = a.commandsAt({h.a}).first();
        other->wait();
        auto shown = [](const RecordingDigest::Command &cmd) {
            return QStringLiteral("%1 %2").arg(cmd.name, proto::escapedText(cmd.shown.left(48)));
        };
        if (h.aCount && h.bCount && shown(ca) == shown(cb)) // the same head: the data after it differs
            lines << QStringLiteral("command %1 at %2 / %3: %4, its data differs (%5 / %6 bytes)")
                         .arg(h.a + 1)
                         .arg(ca.offset)
                         .arg(cb.offset)
                         .arg(shown(ca))
                         .arg(ca.size)
                         .arg(cb.size);
        else if (h.aCount && h.bCount)
            lines << QStringLiteral("command %1 at %2 / %3: %4 / %5")
                         .arg(h.a + 1)
                         .arg(ca.offset)
                         .arg(cb.offset)
                         .arg(shown(ca), shown(cb));
        else if (h.bCount)
            lines
                << QStringLiteral("command %1 at %2 only in the second: %3").arg(h.b + 1).arg(cb.offset).arg(shown(cb));
        else
            lines
                << QStringLiteral("command %1 at %2 only in the first: %3").arg(h.a + 1).arg(ca.offset).arg(shown(ca));
        lines << (c.tooMany ? QStringLiteral("more than %1 commands differ; the rest do not realign").arg(maxEdits)
                            : QStringLiteral("%1 command%2 differ%3 in all, in %4 place%5; %6")
                                  .arg(c.differingCommands)
                                  .arg(c.differingCommands == 1 ? "" : "s")
                                  .arg(c.differingCommands == 1 ? "s" : "")
                                  .arg(c.hunks.size())
                                  .arg(c.hunks.size() == 1 ? "" : "s")
                                  .arg(c.realigns ? QStringLiteral("the commands after it realign")
                                                  : QStringLiteral("they run to the end")));
    } else {
        lines << QStringLiteral("commands: the same, %1").arg(a.commands().size());
    }
    if (c.firstPaperRow >= 0)
        lines << QStringLiteral("paper: dot row %1 is the first that differs; %2 dots differ (%3 / %4 rows)")
                     .arg(c.firstPaperRow)
                     .arg(c.differingDots)
                     .arg(c.paperRowsA)
                     .arg(c.paperRowsB);
    else
        lines << QStringLiteral("paper: the same, %1 rows").arg(c.paperRowsA);
    if (qMax(c.paperRowsA, c.paperRowsB) >= controller::Paper::maxRows)
        lines << QStringLiteral("paper: the roll is full at %1 rows; what comes after is compared by its commands only")
                     .arg(controller::Paper::maxRows);
    if (!a.hasAnswers() || !b.hasAnswers())
        lines << QStringLiteral("answers: not compared, a raw byte file has none");
    else if (c.answerDifferences.isEmpty())
        lines << QStringLiteral("answers: the same, %1").arg(a.answers().size());
    else
        for (const QString &d : c.answerDifferences)
            lines << QStringLiteral("answer: %1").arg(d);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QImage paperDifference(const RecordingDigest &a, const RecordingDigest &b, const Comparison &c)
{
    if (c.firstPaperRow < 0)
        return {};
    const controller::Paper &pa = a.printer().paper(), &pb = b.printer().paper();
    // From a little above the first difference to a little below the last, at most this tall.
    constexpr int margin = 32, maxRows = 16384;
    const int rows = qMax(pa.rows(), pb.rows()), width = qMax(pa.width(), pb.width());
    const int top = qMax(0, c.firstPaperRow - margin);
    const int bottom = qMin(rows, qMin(c.lastPaperRow + margin + 1, top + maxRows));
    constexpr int gap = 16;
    QImage out(2 * width + gap, bottom - top, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    out.fill(QColor(0x80, 0x80, 0x80));
    const QRgb mark = qRgb(230, 0, 0);
    for (int y = top; y < bottom; ++y) {
        const RowPair row(pa, pb, y);
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y - top));
        for (int x = 0; x < width; ++x) {
            const uchar da = row.first(x), db = row.second(x);
            line[x] = da != db ? mark : qRgb(da, da, da);
            line[width + gap + x] = da != db ? mark : qRgb(db, db, db);
        }
    }
    return out;
}
