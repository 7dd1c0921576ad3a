#pragma once

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

// A status byte in words in the window's language: proto::describeStatus's words, translated
// ("paper out, cover open", "ready"). Runs without a window print proto::describeStatus's.
QString statusWords(quint8 status);

// A text made in English where scripts read it (Traffic rows and files, runs without a window)
// in the window's language: matched against the sources it may have been made from, it is made
// again from the translated source with the same arguments. A text none matches stays as it is.
QString shown(const char *context, const QString &english, const QList<const char *> &sources);

} // namespace language
