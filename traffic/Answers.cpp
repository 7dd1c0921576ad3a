#include "traffic/Answers.h"

#include "commands/Protocol.h"

#include <QString>

QList<AnswerCutter::Answer> AnswerCutter::received(qint64 offset, const QByteArray &bytes, int unanswered)
{
    QList<Answer> answers;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes.at(i);
        if (pending.isEmpty() && unanswered > 0) {
            --unanswered;
            answers.append({offset + i, QByteArray(1, byte), true});
            continue;
        }
        if (pending.isEmpty())
            pendingOffset = offset + i;
        pending += byte;
        if (byte == '\n' || (byte == '\0' && pending.size() > 1) || pending.size() >= maxAnswerBytes)
            answers.append({pendingOffset, std::exchange(pending, {}), false});
    }
    return answers;
}

std::optional<AnswerCutter::Answer> AnswerCutter::flush()
{
    if (pending.isEmpty())
        return std::nullopt;
    return Answer{pendingOffset, std::exchange(pending, {}), false};
}

QString answerMeaning(const AnswerCutter::Answer &answer)
{
    QByteArray said = answer.bytes;
    if (said.size() > 1 && said.endsWith('\0'))
        said.chop(1); // a text's closing NUL
    return proto::replyMeaning(said);
}

QString describeAnswer(const AnswerCutter::Answer &answer)
{
    return QString::fromLatin1(answer.bytes.toHex(' ').toUpper()) + QLatin1Char(' ') + answerMeaning(answer);
}
