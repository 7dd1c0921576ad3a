#include "traffic/QueryMatcher.h"

#include <algorithm>
#include <limits>
#include <utility>

using proto::AnswerForm;

// The commands of the sent stream that ask or change what is answered: the buffered queries at
// their command boundaries, and the status call-back switch.
class QueryMatcher::Commands : public controller::DecoderSink
{
public:
    Commands(QueryMatcher &matcher, QList<Answer> &out)
        : matcher(matcher)
        , out(out)
    { }
    void command(const controller::Command &c) override
    {
        if (c.op == controller::Op::Status || c.op == controller::Op::StatusN || c.op == controller::Op::Firmware) {
            realTimeQuery(c);
            return;
        }
        if (c.op == controller::Op::CallBack) {
            matcher.callBack = c.param(0) != 0;
            return;
        }
        if (c.op != controller::Op::PrinterId && c.op != controller::Op::TransmitStatus)
            return;
        const proto::QueryForm *form = proto::queryForm(char(c.at(0)), char(c.at(1)), c.param(0));
        if (!form)
            return; // a printer ID the controller does not have: nothing comes
        matcher.ask(queryOf(c, *form), out);
    }
    void bulk(const char *, qsizetype) override { }
    void text(const controller::Command &) override { } // text asks nothing

private:
    static Query queryOf(const controller::Command &c, const proto::QueryForm &form)
    {
        Query q;
        q.offset = c.offset;
        q.end = c.offset + c.size;
        q.bytes = QByteArray(c.data, c.size);
        q.name = QLatin1String(c.name);
        q.form = form.form;
        q.textStart = form.textStart;
        return q;
    }
    // Real-time queries count wherever they stand, inside a command's data too, as the
    // controller answers them there.
    void realTimeQuery(const controller::Command &c)
    {
        Query q = queryOf(c, *proto::queryForm(proto::DLE, char(c.at(1)), -1));
        auto &own = matcher.ownQueries;
        while (!own.empty() && own.front() < q.offset)
            own.pop_front();
        if (!own.empty() && own.front() == q.offset) {
            q.own = true;
            own.pop_front();
        }
        // A status query whose n came after the port reported its first bytes gone.
        if (q.end <= matcher.leftOffset)
            q.leftAt = matcher.leftOffsetAt;
        matcher.ask(std::move(q), out);
    }

    QueryMatcher &matcher;
    QList<Answer> &out;
};

QList<Answer> QueryMatcher::sent(qint64 offset, const char *data, qint64 size, qint64 nowMs)
{
    Q_UNUSED(offset) // the decoder counts the same stream
    QList<Answer> out;
    if (size <= 0)
        return out;
    Commands commands(*this, out);
    // A DLE EOT that ended the last slice takes this slice's first byte as its n only while the
    // controller would still wait for it.
    if (decoder.statusPending() && nowMs - statusPendingAt >= proto::realTimeQuietMs)
        decoder.settle(commands);
    decoder.arrive(data, size, commands);
    if (decoder.statusPending())
        statusPendingAt = nowMs;
    decoder.feed(data, size, commands, false);
    return out;
}

void QueryMatcher::ask(Query query, QList<Answer> &out)
{
    (query.form == AnswerForm::StatusByte || query.form == AnswerForm::LineText ? realTime : buffered)
        .push_back(std::move(query));
    if (qsizetype(realTime.size() + buffered.size()) <= maxWaiting)
        return;
    // A far end that answers nothing must not make the list grow without end.
    auto &older = buffered.empty() || (!realTime.empty() && realTime.front().offset < buffered.front().offset)
        ? realTime
        : buffered;
    out.append(noAnswer(older.front()));
    older.pop_front();
}

void QueryMatcher::settlePendingStatus(QList<Answer> &out)
{
    if (!decoder.statusPending())
        return;
    Commands commands(*this, out);
    decoder.settle(commands);
}

void QueryMatcher::left(qint64 offset, qint64 nowMs)
{
    leftOffset = offset;
    leftOffsetAt = nowMs;
    for (auto *queue : {&realTime, &buffered}) {
        // Queries leave in order: those that left already are the front ones.
        auto q = std::partition_point(queue->begin(), queue->end(), [](const Query &q) { return q.leftAt >= 0; });
        for (; q != queue->end() && q->end <= offset; ++q)
            q->leftAt = nowMs;
    }
}

QList<Answer> QueryMatcher::received(qint64 offset, const QByteArray &bytes, qint64 nowMs)
{
    QList<Answer> out;
    settlePendingStatus(out); // the controller answers: it did not wait for an n
    receivingAt = nowMs;
    if (!bytes.isEmpty())
        lastReceivedAt = nowMs;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        take(bytes.at(i), offset + i, out);
    return out;
}

bool QueryMatcher::takeStatusInText(char byte, qint64 offset, QList<Answer> &out)
{
    // A status answer or call-back that comes between a text's bytes is told apart by its fixed
    // bits: it cannot be text.
    if (!proto::surelyStatus(quint8(byte)))
        return false;
    Answer a;
    a.offset = offset;
    a.bytes = QByteArray(1, byte);
    a.form = AnswerForm::StatusByte;
    if (!realTime.empty() && realTime.front().form == AnswerForm::StatusByte) {
        Query q = std::move(realTime.front());
        realTime.pop_front();
        a.kind = Answer::Kind::Reply;
        a.query = q.bytes;
        a.queryEnd = q.end;
        a.queryName = q.name;
        a.own = q.own;
    } else if (callBack) {
        a.kind = Answer::Kind::CallBack;
    } else {
        return false;
    }
    out.append(a);
    return true;
}

void QueryMatcher::take(char byte, qint64 offset, QList<Answer> &out)
{
    if (inText) {
        if (takeStatusInText(byte, offset, out))
            return;
        text.bytes += byte;
        const bool ends = textQuery.form == AnswerForm::NulText ? byte == '\0' : byte == '\n';
        if (ends || text.bytes.size() >= maxAnswerBytes)
            endText(out);
        return;
    }
    // With the call-back on, a status may come while a text is awaited: a byte that can be one is
    // the text's start only when it is what that text starts with.
    const auto fits = [this, byte](const Query &q) {
        if (q.form == AnswerForm::StatusByte)
            return proto::canBeStatus(quint8(byte));
        return !(callBack && q.textStart && proto::canBeStatus(quint8(byte)) && byte != q.textStart);
    };
    std::deque<Query> *from = !realTime.empty() && fits(realTime.front()) ? &realTime
        : !buffered.empty() && fits(buffered.front())                     ? &buffered
                                                                          : nullptr;
    if (!from && !(callBack && proto::canBeStatus(quint8(byte)))) {
        if (run.bytes.isEmpty())
            run.offset = offset;
        run.bytes += byte;
        if (byte == '\n' || run.bytes.size() >= maxAnswerBytes)
            endRun(out);
        return;
    }
    endRun(out); // unprompted bytes end where an answer starts
    Answer a;
    a.offset = offset;
    a.bytes = QByteArray(1, byte);
    if (!from) {
        a.kind = Answer::Kind::CallBack;
        a.form = AnswerForm::StatusByte;
        out.append(a);
        return;
    }
    Query q = std::move(from->front());
    from->pop_front();
    a.kind = Answer::Kind::Reply;
    a.query = q.bytes;
    a.queryEnd = q.end;
    a.queryName = q.name;
    a.form = q.form;
    a.own = q.own;
    if (q.form == AnswerForm::StatusByte || q.form == AnswerForm::Byte) {
        out.append(a);
        return;
    }
    inText = true;
    textQuery = std::move(q);
    text = a;
    textStartedAt = receivingAt;
    if (textQuery.form == AnswerForm::NulText && byte == '\0')
        endText(out);
}

void QueryMatcher::endText(QList<Answer> &out, qint64 cutAtMs)
{
    if (!inText)
        return;
    inText = false;
    if (cutAtMs >= 0)
        text.cutAfterMs = qMax<qint64>(0, cutAtMs - textStartedAt);
    out.append(std::exchange(text, {}));
}

void QueryMatcher::endRun(QList<Answer> &out)
{
    if (run.bytes.isEmpty())
        return;
    out.append(std::exchange(run, {}));
}

Answer QueryMatcher::noAnswer(const Query &query)
{
    Answer a;
    a.kind = Answer::Kind::NoAnswer;
    a.offset = query.offset;
    a.query = query.bytes;
    a.queryEnd = query.end;
    a.queryName = query.name;
    a.form = query.form;
    a.own = query.own;
    return a;
}

QList<Answer> QueryMatcher::tick(qint64 nowMs)
{
    QList<Answer> out;
    if (nowMs - statusPendingAt >= proto::realTimeQuietMs)
        settlePendingStatus(out);
    const qint64 quietFor = lastReceivedAt < 0 ? std::numeric_limits<qint64>::max() : nowMs - lastReceivedAt;
    if (quietFor >= pauseMs) {
        // A printer ID's text runs to its NUL, whatever the pause; the firmware text's may end at one.
        if (inText && textQuery.form != AnswerForm::NulText)
            endText(out);
        endRun(out);
    }
    if (quietFor < noAnswerMs)
        return out;
    // Those given up go in the order they were sent.
    auto expired = [nowMs](const std::deque<Query> &queue) {
        return !queue.empty() && queue.front().leftAt >= 0 && nowMs - queue.front().leftAt >= noAnswerMs;
    };
    while (expired(realTime) || expired(buffered)) {
        auto &queue = !expired(buffered) || (expired(realTime) && realTime.front().offset < buffered.front().offset)
            ? realTime
            : buffered;
        out.append(noAnswer(queue.front()));
        queue.pop_front();
    }
    return out;
}

qint64 QueryMatcher::nextDeadline() const
{
    qint64 next = -1;
    auto sooner = [&next](qint64 t) { next = next < 0 ? t : qMin(next, t); };
    if (decoder.statusPending())
        sooner(statusPendingAt + proto::realTimeQuietMs);
    if ((inText && textQuery.form != AnswerForm::NulText) || !run.bytes.isEmpty())
        sooner(lastReceivedAt + pauseMs);
    for (const auto *queue : {&realTime, &buffered}) {
        if (!queue->empty() && queue->front().leftAt >= 0)
            sooner(qMax(queue->front().leftAt, lastReceivedAt) + noAnswerMs);
    }
    return next;
}

QList<Answer> QueryMatcher::cutShort(qint64 nowMs)
{
    QList<Answer> out;
    endText(out, nowMs);
    endRun(out);
    return out;
}

QList<Answer> QueryMatcher::finish(qint64 nowMs)
{
    QList<Answer> out;
    settlePendingStatus(out);
    endText(out, nowMs);
    endRun(out);
    while (!realTime.empty() || !buffered.empty()) {
        auto &queue = buffered.empty() || (!realTime.empty() && realTime.front().offset < buffered.front().offset)
            ? realTime
            : buffered;
        out.append(noAnswer(queue.front()));
        queue.pop_front();
    }
    return out;
}

namespace {

QString hexOf(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

// A text answer without its line end or closing NUL, its control bytes written as escapes, and
// whether it was cut off.
QString textOf(const Answer &answer)
{
    QByteArray said = answer.bytes;
    if (answer.cutAfterMs < 0)
        while (said.endsWith('\n') || said.endsWith('\r') || said.endsWith('\0'))
            said.chop(1);
    const QString quoted = QLatin1Char('"') + proto::escapedText(said) + QLatin1Char('"');
    return answer.cutAfterMs < 0 ? quoted
                                 : QStringLiteral("%1 (cut off after %2 ms)").arg(quoted).arg(answer.cutAfterMs);
}

} // namespace

QString describeAnswer(const Answer &answer)
{
    const QString hex = hexOf(answer.bytes);
    switch (answer.kind) {
    case Answer::Kind::NoAnswer:
        return QStringLiteral("no answer to %1").arg(hexOf(answer.query));
    case Answer::Kind::Unprompted:
        return QStringLiteral("%1 (unprompted)").arg(hex);
    case Answer::Kind::CallBack:
        return QStringLiteral("%1 (status call-back: %2)").arg(hex, proto::describeStatus(quint8(answer.bytes.at(0))));
    case Answer::Kind::Reply:
        break;
    }
    switch (answer.form) {
    case AnswerForm::StatusByte:
        return QStringLiteral("%1 (%2)").arg(
            hex, proto::describeStatus(quint8(answer.bytes.at(0)), answer.statusKind()));
    case AnswerForm::Byte:
        return QStringLiteral("%1 (answer to %2)").arg(hex, hexOf(answer.query));
    default:
        return QStringLiteral("%1 %2").arg(hex, textOf(answer));
    }
}

QString answerMeaning(const Answer &answer)
{
    switch (answer.kind) {
    case Answer::Kind::NoAnswer:
        return QStringLiteral("no answer to %1 (%2)").arg(answer.queryName, hexOf(answer.query));
    case Answer::Kind::Unprompted:
        return QStringLiteral("unprompted");
    case Answer::Kind::CallBack:
        return QStringLiteral("status call-back: %1").arg(proto::describeStatus(quint8(answer.bytes.at(0))));
    case Answer::Kind::Reply:
        break;
    }
    switch (answer.form) {
    case AnswerForm::StatusByte:
        return QStringLiteral("status: %1").arg(proto::describeStatus(quint8(answer.bytes.at(0)), answer.statusKind()));
    case AnswerForm::Byte:
        return QStringLiteral("answer to %1").arg(answer.queryName);
    default:
        return QStringLiteral("%1: %2").arg(answer.queryName, textOf(answer));
    }
}
