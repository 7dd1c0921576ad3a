#include "serial/Utf8Stream.h"

namespace {

bool isContinuation(char c) { return (quint8(c) & 0xC0) == 0x80; }

// Length of the sequence a lead byte announces, or 0 for a byte that cannot start one.
int sequenceLength(char c)
{
    const quint8 b = quint8(c);
    if (b >= 0xC2 && b <= 0xDF)
        return 2;
    if (b >= 0xE0 && b <= 0xEF)
        return 3;
    if (b >= 0xF0 && b <= 0xF4)
        return 4;
    return 0;
}

// How many bytes at the end of data form the start of a sequence that is not complete yet.
qsizetype incompleteTail(const QByteArray &data)
{
    const qsizetype n = data.size();
    for (qsizetype back = 1; back <= 3 && back <= n; ++back) {
        const char c = data.at(n - back);
        if (isContinuation(c))
            continue;
        const int needed = sequenceLength(c);
        return needed > back ? back : 0;
    }
    return 0;
}

} // namespace

QString Utf8Stream::decode(const QByteArray &arrival)
{
    // Each call decodes only complete text with the stateless decoder: Qt's stateful decoder
    // loses the byte that follows a sequence cut short at the end of a chunk.
    QByteArray data = pending + arrival;
    const qsizetype tail = incompleteTail(data);
    pending = data.right(tail);
    data.chop(tail);
    return QString::fromUtf8(data);
}
