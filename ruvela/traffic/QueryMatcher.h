#pragma once

#include "commands/Protocol.h"
#include "controller/Decoder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>

// What the controller sent back, as one piece: the answer to a query, a status call-back, bytes
// nobody asked for, or the note that a query went unanswered.
struct Answer
{
    enum class Kind : quint8 {
        Reply, // answers the query it names
        CallBack, // a status byte the controller sends of itself, once the call-back is on
        Unprompted, // came with no query waiting
        NoAnswer, // the query it names got nothing in a quiet noAnswerMs
    };
    Kind kind = Kind::Unprompted;
    qint64 offset = 0; // of its first byte among those received; for NoAnswer, of the query sent
    QByteArray bytes;
    QByteArray query; // the query's bytes, for Reply and NoAnswer
    qint64 queryEnd = -1; // where the query ends in the sent stream, for Reply and NoAnswer
    QString queryName; // as the controller's command table names it
    proto::AnswerForm form = proto::AnswerForm::None;
    bool own = false; // asked by the link on its own behalf (a status poll)
    qint64 cutAfterMs = -1; // a text taken before its end came, this long after its first byte

    bool isStatus() const
    {
        return bytes.size() == 1
            && (kind == Kind::CallBack || (kind == Kind::Reply && form == proto::AnswerForm::StatusByte));
    }
    // Which status a status byte answers: DLE EOT n's kind by its n; a call-back is the
    // two-byte form's.
    proto::StatusKind statusKind() const
    {
        return kind == Kind::Reply && query.size() == 3 && query.at(1) == proto::queryStatus
            ? proto::statusKindOf(quint8(query.at(2)))
            : proto::StatusKind::Status;
    }
};

// Matches what the controller sends to the queries that were sent, by what each query is
// answered with: a status byte, a byte, a text up to its line end or its NUL. It is told every
// byte given to the line and every byte received, with the time, and has no clock or timer of its
// own: tick() takes what the passing time completes.
//
// Real-time queries are answered as the controller reads them, ahead of what it has buffered, so
// a byte goes to the oldest real-time query it can answer before the oldest buffered one. A
// byte that cannot be a status byte is never taken as one.
class QueryMatcher
{
public:
    static constexpr int pauseMs = 100; // a text without its end, or unprompted bytes, end here
    static constexpr int noAnswerMs = 500; // a query that left gets nothing in this long quiet
    static constexpr qsizetype maxAnswerBytes = 4096; // a longer run is cut into pieces
    static constexpr qsizetype maxWaiting = 4096; // beyond, the oldest query is given up

    // Bytes given to the line at offset of the sent stream; marked ones, by offset of their
    // first byte, are the link's own queries.
    QList<Answer> sent(qint64 offset, const char *data, qint64 size, qint64 nowMs);
    void markOwn(qint64 offset) { ownQueries.push_back(offset); }
    // The sent stream has left the port up to offset: the wait for an answer starts.
    void left(qint64 offset, qint64 nowMs);
    QList<Answer> received(qint64 offset, const QByteArray &bytes, qint64 nowMs);
    // What the time now completes: a text or a run at a pause, a query unanswered.
    QList<Answer> tick(qint64 nowMs);
    // When tick() should next be called, or -1 when nothing waits on time.
    qint64 nextDeadline() const;
    // Takes the answer in progress as it is, and gives up every query: the line closed.
    QList<Answer> finish(qint64 nowMs = -1);
    // Takes a text in progress as cut off now, and unprompted bytes as they are: no more is read.
    QList<Answer> cutShort(qint64 nowMs);
    // A new line: nothing asked, nothing pending.
    void reset() { *this = QueryMatcher(); }
    // Queries that wait for their answers, a DLE EOT whose n may still come among them: the
    // controller answers it all the same, so whoever sent it is not done yet.
    qsizetype waiting() const
    {
        return qsizetype(realTime.size() + buffered.size()) + (decoder.statusPending() ? 1 : 0);
    }
    bool callBackOn() const { return callBack; }

private:
    struct Query
    {
        qint64 offset = -1; // of its first byte in the sent stream
        qint64 end = 0; // after its last byte
        QByteArray bytes;
        QString name;
        proto::AnswerForm form = proto::AnswerForm::None;
        char textStart = 0; // what a text answer starts with, where that is known
        bool own = false;
        qint64 leftAt = -1; // when its last byte left the port
    };
    class Commands;
    friend class Commands;

    void ask(Query query, QList<Answer> &out);
    void take(char byte, qint64 offset, QList<Answer> &out);
    void endText(QList<Answer> &out, qint64 cutAtMs = -1);
    bool takeStatusInText(char byte, qint64 offset, QList<Answer> &out);
    void endRun(QList<Answer> &out);
    static Answer noAnswer(const Query &query);
    void settlePendingStatus(QList<Answer> &out); // a DLE EOT waiting for its n is the two-byte form

    // Finds the real-time queries as they are sent, and the buffered ones at command boundaries.
    controller::Decoder decoder;
    qint64 statusPendingAt = 0; // when the DLE EOT the decoder holds was sent
    qint64 leftOffset = 0, leftOffsetAt = -1; // the port's last report of what has left
    bool callBack = false; // the tool itself switched the status call-back on
    std::deque<qint64> ownQueries;
    std::deque<Query> realTime, buffered;
    // A text answer being received, and the query it answers.
    bool inText = false;
    Query textQuery;
    Answer text;
    Answer run; // unprompted bytes being received
    qint64 lastReceivedAt = -1, textStartedAt = -1, receivingAt = -1;
};

// An answer as the headless run prints it: "32 (paper out)", a text in hex and in quotes,
// "41 42 (unprompted)", "no answer to 10 04".
QString describeAnswer(const Answer &answer);
// What an answer says, for the traffic's meaning column: "status: paper out", a text in quotes.
QString answerMeaning(const Answer &answer);
