#include "app/SendLine.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

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

} // namespace

SendLine parseSendLine(const QString &text)
{
    SendLine out;
    static const QRegularExpression hexOnly(QStringLiteral("^\\s*([0-9A-Fa-f]{2}\\s+)*[0-9A-Fa-f]{2}\\s*$"));
    if (hexOnly.match(text).hasMatch()) {
        for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            out.bytes.append(char(hexDigit(word.at(0)) * 16 + hexDigit(word.at(1))));
        return out;
    }
    auto fail = [&](int at, const QString &why) {
        out.bytes.clear();
        out.errorAt = at;
        out.error = why;
        return out;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            if (c.unicode() > 0xFF)
                return fail(i, QStringLiteral("%1 is not a single byte: write it as \\xHH").arg(c));
            out.bytes.append(char(c.unicode()));
            continue;
        }
        if (i + 1 >= text.size())
            return fail(i, QStringLiteral("a lone \\ at the end"));
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
                return fail(i - 1, QStringLiteral("\\x needs two hex digits"));
            out.bytes.append(char(hi * 16 + lo));
            i += 2;
        } else {
            return fail(i - 1, QStringLiteral("unknown escape \\%1").arg(text.at(i)));
        }
    }
    if (out.bytes.isEmpty())
        return fail(0, QStringLiteral("nothing to send"));
    return out;
}

SendHistory::SendHistory(QLineEdit *edit)
    : QObject(edit)
    , edit(edit)
{
    edit->installEventFilter(this);
}

void SendHistory::add(const QString &line)
{
    if (lines.isEmpty() || lines.last() != line)
        lines << line;
    at = lines.size();
    typing.clear();
}

bool SendHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != edit || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    if (at == lines.size())
        typing = edit->text(); // what was being typed comes back below the newest
    at = qBound<qsizetype>(0, at + (key == Qt::Key_Up ? -1 : 1), lines.size());
    edit->setText(at == lines.size() ? typing : lines.at(at));
    return true;
}
