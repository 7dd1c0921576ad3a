#include "tool/SendLine.h"

#include <QCoreApplication>

namespace {

int hexDigit(QChar c)
{
    const char l = c.toLatin1();
    if (l >= '0' && l <= '9')
        return l - '0';
    if (l >= 'a' && l <= 'f')
        return l - 'a' + 10;
    if (l >= 'A' && l <= 'F')
        return l - 'A' + 10;
    return -1;
}

SendLine refused(int at, const QString &why)
{
    SendLine out;
    out.errorAt = at;
    out.error = why;
    return out;
}

bool blank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

SendLine parseHex(const QString &text)
{
    SendLine out;
    int high = -1, highAt = -1; // the first digit of a pair waiting for its second
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (blank(c)) {
            if (high >= 0)
                return refused(
                    highAt, QCoreApplication::translate("SendLine", "a lone hex digit: bytes are pairs of digits"));
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0)
            return refused(i, QCoreApplication::translate("SendLine", "%1 is not a hex digit").arg(c));
        if (high < 0) {
            high = digit;
            highAt = i;
        } else {
            out.bytes.append(char(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        return refused(highAt, QCoreApplication::translate("SendLine", "a lone hex digit: bytes are pairs of digits"));
    return out;
}

SendLine parseText(const QString &text)
{
    SendLine out;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            if (c.unicode() > 0xFF)
                return refused(
                    i, QCoreApplication::translate("SendLine", "%1 is not a single byte: write it as \\xHH").arg(c));
            out.bytes.append(char(c.unicode()));
            continue;
        }
        if (i + 1 >= text.size())
            return refused(i, QCoreApplication::translate("SendLine", "a lone \\ at the end"));
        const char e = text.at(++i).toLatin1();
        static const char plain[] = "n\nr\rt\t0\0a\ab\bf\fv\ve\x1B\\\\\"\"''";
        const char *known = nullptr;
        for (size_t k = 0; k + 1 < sizeof plain; k += 2)
            if (plain[k] == e)
                known = plain + k + 1;
        if (known) {
            out.bytes.append(*known);
        } else if (e == 'x') {
            const int hi = i + 1 < text.size() ? hexDigit(text.at(i + 1)) : -1;
            const int lo = i + 2 < text.size() ? hexDigit(text.at(i + 2)) : -1;
            if (hi < 0 || lo < 0)
                return refused(i - 1, QCoreApplication::translate("SendLine", "\\x needs two hex digits"));
            out.bytes.append(char(hi * 16 + lo));
            i += 2;
        } else {
            return refused(i - 1, QCoreApplication::translate("SendLine", "unknown escape \\%1").arg(text.at(i)));
        }
    }
    return out;
}

} // namespace

SendLine parseSendLine(const QString &text, SendMode mode)
{
    return mode == SendMode::Hex ? parseHex(text) : parseText(text);
}
