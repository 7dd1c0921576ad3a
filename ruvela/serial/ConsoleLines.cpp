#include "serial/ConsoleLines.h"

namespace console {

QString breakLongLines(const QString &text, int lineSoFar, int maxLength)
{
    QString out;
    out.reserve(text.size() + text.size() / qMax(1, maxLength) + 1);
    int column = lineSoFar;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            column = 0;
        } else if (column >= maxLength) {
            out += QLatin1Char('\n');
            column = 0;
        }
        if (c != QLatin1Char('\n'))
            ++column;
        out += c;
    }
    return out;
}

} // namespace console
