#include "language/Language.h"

#include <algorithm>

#include "commands/Protocol.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

namespace language {

QStringList names() { return {QStringLiteral("en"), QStringLiteral("zh_CN")}; }

QString choose(const QStringList &arguments)
{
    const QString option = QStringLiteral("--lang");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        const QString value = a == option && i + 1 < arguments.size() ? arguments.at(i + 1)
            : a.startsWith(option + QLatin1Char('='))                 ? a.mid(option.size() + 1)
                                                                      : QString();
        if (names().contains(value))
            return value;
    }
    // The locale's first language for messages (LC_ALL, LC_MESSAGES, LANG): Simplified Chinese for
    // Chinese in any script but the traditional one.
    const QLocale ui(QLocale::system().uiLanguages().value(0));
    return ui.language() == QLocale::Chinese && ui.script() != QLocale::TraditionalHanScript ? QStringLiteral("zh_CN")
                                                                                             : QStringLiteral("en");
}

bool install(const QString &name, const QString &program)
{
    if (name == QLatin1String("en"))
        return true;
    // Kept for the life of the process: the application keeps only pointers to them.
    auto load = [](const QString &file, const QString &folder) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        const bool loaded = translator->load(file, folder) && QCoreApplication::installTranslator(translator);
        if (!loaded)
            delete translator;
        return loaded;
    };
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *qtPart : {"qtbase", "qtserialport"})
        load(QStringLiteral("%1_%2").arg(QLatin1String(qtPart), name), qtFolder);
    return load(QStringLiteral("%1_%2").arg(program, name), QStringLiteral(":/i18n"));
}

QString statusWords(quint8 status, proto::StatusKind kind)
{
    QStringList words;
    for (const proto::StatusMeaning &m : proto::statusMeanings) {
        if (m.kind == kind && (status & m.bits) == m.bits)
            words << QCoreApplication::translate("StatusWords", m.words);
    }
    return words.isEmpty() ? QCoreApplication::translate("StatusWords", proto::statusAllClear[int(kind)])
                           : words.join(QCoreApplication::translate("StatusWords", ", "));
}

QString shown(const char *context, const QString &english, const QList<const char *> &sources)
{
    static const QRegularExpression placeholder(QStringLiteral("\\\\%([1-9])")); // as escape() writes %N
    for (const char *source : sources) {
        QString pattern = QRegularExpression::escape(QString::fromUtf8(source));
        QList<int> numbers; // of the placeholders, in the order they stand
        for (const QRegularExpressionMatch &m : placeholder.globalMatch(pattern))
            numbers << m.captured(1).toInt();
        pattern.replace(placeholder, QStringLiteral("(.*)"));
        const QRegularExpressionMatch m
            = QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(english);
        if (!m.hasMatch())
            continue;
        QStringList args(numbers.size());
        for (qsizetype i = 0; i < numbers.size(); ++i)
            args[numbers[i] - 1] = m.captured(int(i) + 1);
        // All at once, so that an argument's own "%2" is never taken for a placeholder.
        const QString translated = QCoreApplication::translate(context, source);
        switch (args.size()) {
        case 0:
            return translated;
        case 1:
            return translated.arg(args[0]);
        case 2:
            return translated.arg(args[0], args[1]);
        default:
            return translated.arg(args[0], args[1], args[2]);
        }
    }
    return english;
}

namespace {

int displayWidth(QChar c)
{
    // East Asian wide characters: CJK, full-width forms and punctuation.
    const char16_t u = c.unicode();
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
            || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
            || (u >= 0xFFE0 && u <= 0xFFE6)
        ? 2
        : 1;
}

// Qt wraps --help by characters: a description it carried on below is joined again where it
// holds wide characters, so that it is wrapped once, by display width.
QStringList joinCarriedOn(const QStringList &lines)
{
    QStringList joined;
    qsizetype column = -1; // where the last option's description starts
    for (const QString &line : lines) {
        qsizetype lead = 0;
        while (lead < line.size() && line.at(lead) == QLatin1Char(' '))
            ++lead;
        const bool option = line.mid(lead).startsWith(QLatin1Char('-'));
        if (option) {
            const qsizetype gap = line.indexOf(QLatin1String("  "), lead);
            column = gap;
            while (column > 0 && column < line.size() && line.at(column) == QLatin1Char(' '))
                ++column;
        }
        const auto wide = [](const QString &text) {
            return std::any_of(text.begin(), text.end(), [](QChar c) { return displayWidth(c) == 2; });
        };
        if (!option && column > 0 && lead == column && lead < line.size() && !joined.isEmpty() && wide(joined.last())) {
            const QString more = line.mid(lead);
            const bool space = displayWidth(joined.last().back()) == 1 || displayWidth(more.front()) == 1;
            joined.last() += (space ? QStringLiteral(" ") : QString()) + more;
            continue;
        }
        if (!option && lead != column)
            column = -1;
        joined << line;
    }
    return joined;
}

} // namespace

QString fitColumns(const QString &help, int columns)
{
    QStringList out;
    for (const QString &line : joinCarriedOn(help.split(QLatin1Char('\n')))) {
        int width = 0;
        for (const QChar c : line)
            width += displayWidth(c);
        if (width <= columns) {
            out << line;
            continue;
        }
        // The description's column: after the option and its gap of two spaces or more, or the
        // indent of a line that carries one on.
        qsizetype indent = 0;
        while (indent < line.size() && line.at(indent) == QLatin1Char(' '))
            ++indent;
        if (line.mid(indent).startsWith(QLatin1Char('-'))) {
            const qsizetype gap = line.indexOf(QLatin1String("  "), indent);
            if (gap > 0) {
                qsizetype start = gap;
                while (start < line.size() && line.at(start) == QLatin1Char(' '))
                    ++start;
                indent = start;
            }
        }
        if (indent >= columns / 2)
            indent = 4;
        QString rest = line;
        while (true) {
            int used = 0;
            qsizetype cut = 0, lastBreak = -1;
            for (; cut < rest.size(); ++cut) {
                const int w = displayWidth(rest.at(cut));
                if (used + w > columns)
                    break;
                used += w;
                // A break may come at a space, or after any wide character.
                if (cut >= indent && (rest.at(cut) == QLatin1Char(' ') || w == 2))
                    lastBreak = rest.at(cut) == QLatin1Char(' ') ? cut : cut + 1;
            }
            if (cut >= rest.size()) {
                out << rest;
                break;
            }
            const qsizetype at = lastBreak > indent ? lastBreak : cut;
            QString piece = rest.left(at); // its own indent kept, its trailing spaces not
            while (piece.endsWith(QLatin1Char(' ')))
                piece.chop(1);
            out << piece;
            rest = QString(indent, QLatin1Char(' ')) + rest.mid(at).trimmed();
        }
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace language
