#include "language/Language.h"

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

} // namespace language
