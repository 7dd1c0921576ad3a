#include "StepScript.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace steps {

QList<Line> linesOf(const QString &file)
{
    QFile in(QStringLiteral(RUVELA_TEST_DATA "/") + file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read test data %s", qPrintable(in.fileName()));
    QList<Line> lines;
    int number = 0;
    for (const QString &text : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'))) {
        ++number;
        if (!text.trimmed().isEmpty() && !text.startsWith(QLatin1Char('#')))
            lines.append({file, number, text});
    }
    return lines;
}

QList<Line> written(const char *file, int line, const QStringList &texts)
{
    QList<Line> lines;
    for (const QString &text : texts)
        lines.append({QFileInfo(QString::fromUtf8(file)).fileName(), line, text});
    return lines;
}

QList<Script> scriptsOf(const QString &file)
{
    QList<Script> scripts;
    for (const Line &line : linesOf(file)) {
        if (line.text.startsWith(QLatin1String("== ")))
            scripts.append({line.text.mid(3), {}});
        else if (!scripts.isEmpty())
            scripts.last().steps << line;
        else
            qFatal("%s: a step before the first \"== NAME\"", qPrintable(line.where()));
    }
    return scripts;
}

void addScriptRows(const QString &file)
{
    QTest::addColumn<Script>("script");
    for (const Script &script : scriptsOf(file))
        QTest::newRow(qPrintable(script.name)) << script;
}

std::pair<QString, int> repeated(const QString &text)
{
    static const QRegularExpression count(QStringLiteral("^(.*\\S)\\*(\\d+)$"));
    const QRegularExpressionMatch m = count.match(text.trimmed());
    return m.hasMatch() ? std::make_pair(m.captured(1), m.captured(2).toInt()) : std::make_pair(text.trimmed(), 1);
}

namespace {

const Op *find(const Ops &ops, const QString &name)
{
    for (const Op &op : ops)
        if (op.name == name)
            return &op;
    return nullptr;
}

QString nameOf(const QString &step) { return step.section(QLatin1Char(' '), 0, 0); }

void fail(const Line &step, const QString &seen)
{
    const QString message = QStringLiteral("%1: step \"%2\": %3").arg(step.where(), step.text.trimmed(), seen);
    // At the data file's own line, so that the location QtTest prints leads there.
    const QString path = QFileInfo::exists(QStringLiteral(RUVELA_TEST_DATA "/") + step.file)
        ? QStringLiteral(RUVELA_TEST_DATA "/") + step.file
        : step.file;
    QTest::qFail(qPrintable(message), qPrintable(path), step.number);
}

} // namespace

bool run(const Ops &ops, const QList<Line> &steps, const Names &names)
{
    for (const Line &step : steps) {
        if (!find(ops, nameOf(step.text))) {
            fail(step, QStringLiteral("no operation \"%1\" among these:\n%2").arg(nameOf(step.text), describe(ops)));
            return false;
        }
    }
    for (const Line &step : steps) {
        QString text = step.text; // as written: a trailing blank may be part of a text
        for (const auto &[name, value] : names)
            text.replace(name, value);
        const Op *op = find(ops, nameOf(text));
        const QString seen = op->run(text.section(QLatin1Char(' '), 1));
        if (!seen.isEmpty()) {
            fail(step, seen);
            return false;
        }
        if (QTest::currentTestFailed()) {
            // Something outside the step failed the test meanwhile (a box nobody expected); it
            // said what, and this says when.
            qWarning("%s: step \"%s\": the test failed during it", qPrintable(step.where()),
                qPrintable(step.text.trimmed()));
            return false;
        }
    }
    return true;
}

QString describe(const Ops &ops)
{
    QString text;
    for (const Op &op : ops)
        text += QStringLiteral("%1%2\n    %3\n")
                    .arg(op.name, op.arguments.isEmpty() ? QString() : QLatin1Char(' ') + op.arguments, op.description);
    return text;
}

QString got(const QString &actual, const QString &expected)
{
    return actual == expected ? QString()
                              : QStringLiteral("got ") + (actual.isEmpty() ? QStringLiteral("nothing") : actual);
}

QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString firstDifference(const QStringList &actual, const QStringList &expected)
{
    for (qsizetype i = 0; i < qMin(actual.size(), expected.size()); ++i)
        if (actual[i] != expected[i])
            return QStringLiteral("item %1 is %2, not %3").arg(i + 1).arg(quoted(actual[i]), quoted(expected[i]));
    if (actual.size() == expected.size())
        return {};
    return QStringLiteral("%1 items, not %2; the first other one %3")
        .arg(actual.size())
        .arg(expected.size())
        .arg(quoted(actual.size() > expected.size() ? actual[expected.size()] : expected[actual.size()]));
}

QString matched(const QString &text, const QString &pattern)
{
    const QRegularExpression re(pattern);
    if (!re.isValid())
        return QStringLiteral("not a pattern: ") + re.errorString();
    return re.match(text).hasMatch() ? QString() : QStringLiteral("got ") + quoted(text);
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // Looks as often as QTRY_VERIFY does, so that a step leaves the event loop to the program
    // for as long as the check it replaces did.
    const int step = timeoutMs < 350 ? timeoutMs / 7 + 1 : 50;
    if (!condition())
        QTest::qWait(0);
    for (int waited = 0; waited < timeoutMs && !condition(); waited += step)
        QTest::qWait(step);
    return condition();
}

} // namespace steps
