#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// The one grammar of every test script under tests/data. A data file of scripts is sections:
// "== NAME" starts one, each line after it is a step, "OP ARGUMENTS", and "#" starts a comment
// line. "*N" directly after a thing repeats it N times: a byte "FF*300", a text "'ab'*3", a group
// "(0D 0A)*40", a number of seconds "0.01*50", an answer of a list. A suite runs a script with a
// table of its operations, and the table is where each operation is described.
namespace steps {

// A line of a data file under tests/data, and where it stands there.
struct Line
{
    QString file; // its name under tests/data
    int number = 0; // counted from 1
    QString text;
    QString where() const { return file + QLatin1Char(':') + QString::number(number); }
};

// The lines of a data file under tests/data, comments and blank lines left out.
QList<Line> linesOf(const QString &file);
// Steps written in C++ rather than a data file: where names the source file and line.
QList<Line> written(const char *file, int line, const QStringList &texts);

// A section of a data file, and its steps.
struct Script
{
    QString name;
    QList<Line> steps;
};
QList<Script> scriptsOf(const QString &file);
// A _data() function's rows: one column "script", a row a script of the file, named as it is.
void addScriptRows(const QString &file);

// "THING*N" as THING and N; a text without a count as itself and 1.
std::pair<QString, int> repeated(const QString &text);

// An operation of a suite's scripts. Its function is given the step's text after the name and
// returns what it saw when the step does not hold, or nothing when it holds.
struct Op
{
    QString name;
    QString arguments; // as a step writes them, e.g. "NAME PATTERN"
    QString description; // one line: what the step does, or what must hold
    std::function<QString(const QString &arguments)> run;
};
using Ops = QList<Op>;

// Names a step may use for what only the running test knows (a path, a folder): each is
// replaced by its value before the step runs, in this order.
using Names = QList<std::pair<QString, QString>>;

// Runs the steps in order with those operations. At the first step that does not hold, fails
// the running test at that line of the data file with "FILE:LINE: step "STEP": SEEN", and returns
// false. A step whose operation is not in the table fails before any step runs.
bool run(const Ops &ops, const QList<Line> &steps, const Names &names = {});

// The table as a reader wants it: a line an operation, its arguments and its description.
QString describe(const Ops &ops);

// What a step saw when two texts should be the same: nothing when they are, else what it got.
QString got(const QString &actual, const QString &expected);
// A text as a failure shows it: in quotes, line ends and other control characters escaped.
QString quoted(const QString &text);
// Where two lists first differ, or nothing when they are the same.
QString firstDifference(const QStringList &actual, const QStringList &expected);
// What a step saw when a text should hold a match for a pattern: nothing when it does.
QString matched(const QString &text, const QString &pattern);
// Waits, the event loop running, until the condition holds or the time is up; whether it held.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);

} // namespace steps

Q_DECLARE_METATYPE(steps::Script)

// In a C++ test, a session's step that must hold: fails the test with what the step saw.
#define VERIFY_STEP(step)                                                                                              \
    do {                                                                                                               \
        const QString seen = (step);                                                                                   \
        QVERIFY2(seen.isEmpty(), qPrintable(QStringLiteral(#step ": ") + seen));                                       \
    } while (false)
