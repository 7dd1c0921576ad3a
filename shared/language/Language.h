#pragma once

#include "commands/Protocol.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The language both programs speak in their windows and --help: English, the source texts, or a
// translation compiled into the program. What goes on the line or into files never changes.
namespace language {

// The names --lang takes: "en" and "zh_CN".
QStringList names();

// What --lang NAME (or --lang=NAME) in the arguments asks for, else what the system locale
// prefers: one of names(). A value --lang does not know is left to the program's parser to refuse.
QString choose(const QStringList &arguments);

// Installs the program's own translation into the application object, which must exist, and
// Qt's for its dialogs and buttons where Qt's translations folder has them. Nothing for "en".
// The program's is ":/i18n/<program>_<name>.qm"; false when it is missing.
bool install(const QString &name, const QString &program);

// The command line as parse reads it (a result with exitCode), in English; when it asks for help
// in another language, read again with that language loaded. Translators need an application
// object, this one no display; it is gone again on return.
template <class Parse>
auto parseInLanguage(
    int &argc, char **argv, const QStringList &arguments, const QString &name, const QString &program, Parse parse)
{
    auto parsed = parse(arguments);
    if (parsed.exitCode == 0 && name != QLatin1String("en")) {
        QCoreApplication app(argc, argv);
        install(name, program);
        parsed = parse(arguments);
    }
    return parsed;
}

// A status byte in words in the window's language: proto::describeStatus's words, translated
// ("paper out, cover open", "ready"). Runs without a window print proto::describeStatus's.
QString statusWords(quint8 status, proto::StatusKind kind = proto::StatusKind::Status);

// A text made in English where scripts read it (Traffic rows and files, runs without a window)
// in the window's language: matched against the sources it may have been made from, it is made
// again from the translated source with the same arguments. A text none matches stays as it is.
QString shown(const char *context, const QString &english, const QList<const char *> &sources);

// --help as a terminal shows it: every line at most `columns` wide, where a Chinese character
// takes two. A longer line goes on below at the column its description starts at.
QString fitColumns(const QString &help, int columns = 80);

} // namespace language
