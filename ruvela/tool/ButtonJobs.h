#pragma once

#include "demos/Jobs.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// Which job each button of the form runs, by the button's object name. The window's button
// slots and the command line's --job both build their job here, so that a job run by name
// sends exactly the bytes of its button.
namespace buttons {

// Whether a checkable control of the form (a box, a radio button) is checked, by object name.
using Checked = std::function<bool(const char *objectName)>;

struct ButtonJob
{
    const char *button; // object name on the form
    // --job's name for it: fixed here, so that a caption changed on the form renames nothing
    // scripts call. Lower case, words joined by '-', as the caption read when it was named.
    const char *name;
    jobs::Job (*build)(const Checked &checked);
};

// Every button that runs a fixed job, in the order of the form's tabs.
const QList<ButtonJob> &all();
const ButtonJob *find(const QString &button);

// The form as it opens, read from the form's own description: each button's caption and the
// controls that start checked.
struct Form
{
    QHash<QString, QString> captions;
    QHash<QString, bool> checked;
};
const Form &designedForm();

// The job a command-line name stands for, or nullptr; and every name, one per button.
const ButtonJob *findByName(const QString &name);
QStringList jobNames();

} // namespace buttons
