#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// What the controller sends, cut into answers: a byte that answers a status query stands alone,
// a text ends with its line break or its closing NUL, and anything else ends at a pause on the
// line.
class AnswerCutter
{
public:
    static constexpr int pauseMs = 100;
    // A far end that sends on without a break or a line end: its bytes are cut into answers of
    // this many, so that nothing waits unbounded for its end.
    static constexpr qsizetype maxAnswerBytes = 4096;

    struct Answer
    {
        qint64 offset = 0; // of its first byte among those received
        QByteArray bytes;
        bool status = false; // the answer to a status query
    };

    // Bytes that came in at offset while unanswered status queries were waiting, as the serial
    // link counts them from what it handed over (the answer may come before the report that the
    // query left); returns the answers they complete.
    QList<Answer> received(qint64 offset, const QByteArray &bytes, int unanswered);
    // The line paused: what is pending is an answer.
    std::optional<Answer> flush();
    // A new line: nothing pending, nothing asked.
    void reset() { *this = AnswerCutter(); }

private:
    QByteArray pending;
    qint64 pendingOffset = 0;
};

// What an answer says: "(paper out)" for a single byte, else the text it carries in quotes.
QString answerMeaning(const AnswerCutter::Answer &answer);
// An answer in hex with its meaning: "32 (paper out)", or the text it carries in quotes.
QString describeAnswer(const AnswerCutter::Answer &answer);
