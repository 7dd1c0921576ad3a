#include "commands/Protocol.h"

#include <QStringList>

namespace proto {

QString describeStatus(quint8 status)
{
    QStringList meaning;
    for (const StatusMeaning &m : statusMeanings) {
        if (status & m.bit)
            meaning << QLatin1String(m.words);
    }
    return meaning.isEmpty() ? QStringLiteral("ready") : meaning.join(QStringLiteral(", "));
}

QString replyMeaning(const QByteArray &reply)
{
    if (reply.size() == 1)
        return QLatin1Char('(') + describeStatus(quint8(reply.at(0))) + QLatin1Char(')');
    return QLatin1Char('"') + QString::fromLatin1(reply).trimmed() + QLatin1Char('"');
}

QString describeReply(const QByteArray &reply)
{
    return QString::fromLatin1(reply.left(16).toHex(' ').toUpper()) + QLatin1Char(' ') + replyMeaning(reply);
}

} // namespace proto
