#include "commands/Protocol.h"

#include <QStringList>

namespace proto {

QString describeStatus(quint8 status, StatusKind kind)
{
    QStringList meaning;
    for (const StatusMeaning &m : statusMeanings) {
        if (m.kind == kind && (status & m.bits) == m.bits)
            meaning << QLatin1String(m.words);
    }
    return meaning.isEmpty() ? QLatin1String(statusAllClear[int(kind)]) : meaning.join(QStringLiteral(", "));
}

namespace {

void escape(QString &out, uint c)
{
    switch (c) {
    case 0x1B:
        out += QLatin1String("\\e");
        return;
    case '\t':
        out += QLatin1String("\\t");
        return;
    case '\0':
        out += QLatin1String("\\0");
        return;
    case '\r':
        out += QLatin1String("\\r");
        return;
    case '\n':
        out += QLatin1String("\\n");
        return;
    case '\\':
        out += QLatin1String("\\\\");
        return;
    default:
        out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
}

bool isControl(uint c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == '\\'; }

} // namespace

QString escapedText(const QByteArray &bytes)
{
    QString out;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar b = p[i];
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        const int length = b < 0x80           ? 1
            : (b & 0xE0) == 0xC0 && b >= 0xC2 ? 2
            : (b & 0xF0) == 0xE0              ? 3
            : (b & 0xF8) == 0xF0 && b <= 0xF4 ? 4
                                              : 0;
        bool whole = length > 0 && i + length <= n;
        for (int k = 1; whole && k < length; ++k)
            whole = (p[i + k] & 0xC0) == 0x80;
        const QString character = whole ? QString::fromUtf8(bytes.constData() + i, length) : QString();
        if (!whole || character.contains(QChar::ReplacementCharacter)) {
            escape(out, b); // not UTF-8: the byte as it is
            ++i;
            continue;
        }
        if (length == 1 || character.size() == 1) {
            const uint c = character.at(0).unicode();
            if (isControl(c)) {
                escape(out, c);
                i += length;
                continue;
            }
        }
        out += character;
        i += length;
    }
    return out;
}

QString escapedText(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (isControl(c.unicode()) && c != QLatin1Char('\\'))
            escape(out, c.unicode());
        else
            out += c;
    }
    return out;
}

QString replyMeaning(const QByteArray &reply)
{
    if (reply.size() == 1)
        return QLatin1Char('(') + describeStatus(quint8(reply.at(0))) + QLatin1Char(')');
    return QLatin1Char('"') + escapedText(reply.trimmed()) + QLatin1Char('"');
}

QString describeReply(const QByteArray &reply)
{
    return QString::fromLatin1(reply.left(16).toHex(' ').toUpper()) + QLatin1Char(' ') + replyMeaning(reply);
}

} // namespace proto
