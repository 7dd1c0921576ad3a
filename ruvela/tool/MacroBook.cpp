#include "tool/MacroBook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

QString checked(const Macro &macro)
{
    if (macro.name.trimmed().isEmpty())
        return QObject::tr("a macro has no name");
    const SendLine line = parseSendLine(macro.text, macro.mode);
    if (line.errorAt >= 0)
        return QObject::tr("macro \"%1\": %2 (at position %3)").arg(macro.name, line.error).arg(line.errorAt + 1);
    if (line.bytes.isEmpty())
        return QObject::tr("macro \"%1\" holds no bytes").arg(macro.name);
    return {};
}

} // namespace

MacroBook::MacroBook(QObject *parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &MacroBook::due);
}

QString MacroBook::add(const Macro &macro)
{
    const QString fault = checked(macro);
    if (!fault.isEmpty())
        return fault;
    for (Macro &m : list) {
        if (m.name == macro.name) {
            m = macro;
            return {};
        }
    }
    list.append(macro);
    return {};
}

QString MacroBook::update(qsizetype index, const Macro &macro)
{
    if (index < 0 || index >= list.size())
        return tr("the macro is gone");
    const QString fault = checked(macro);
    if (!fault.isEmpty())
        return fault;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i != index && list[i].name == macro.name)
            return tr("another macro is named \"%1\"").arg(macro.name);
    }
    list[index] = macro;
    return {};
}

void MacroBook::setRepeat(int everyMs, int times)
{
    every = qBound(minEveryMs, everyMs, maxEveryMs);
    count = qBound(0, times, maxTimes);
}

void MacroBook::remove(qsizetype index)
{
    if (index < 0 || index >= list.size())
        return;
    if (current == index)
        stop();
    else if (current > index)
        --current;
    list.removeAt(index);
}

QByteArray MacroBook::toJson() const
{
    QJsonArray array;
    for (const Macro &m : list)
        array.append(QJsonObject{{QStringLiteral("name"), m.name},
            {QStringLiteral("mode"), m.mode == SendMode::Hex ? QStringLiteral("hex") : QStringLiteral("text")},
            {QStringLiteral("text"), m.text}});
    return QJsonDocument(QJsonObject{{QStringLiteral("every"), every}, {QStringLiteral("times"), count},
                             {QStringLiteral("macros"), array}})
        .toJson();
}

QString MacroBook::fromJson(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return tr("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset + 1);
    const QJsonValue macros = doc.object().value(QStringLiteral("macros"));
    if (!doc.isObject() || !macros.isArray())
        return tr("no list of macros (\"macros\": [...])");
    // Optional, for files written before the book kept its repeat.
    int readEvery = every, readTimes = count;
    const QJsonValue everyValue = doc.object().value(QStringLiteral("every"));
    const QJsonValue timesValue = doc.object().value(QStringLiteral("times"));
    if (!everyValue.isUndefined()) {
        const double ms = everyValue.toDouble(-1);
        if (!everyValue.isDouble() || ms < minEveryMs || ms > maxEveryMs || ms != int(ms))
            return tr("\"every\" must be a whole number of milliseconds from %1 to %2").arg(minEveryMs).arg(maxEveryMs);
        readEvery = int(ms);
    }
    if (!timesValue.isUndefined()) {
        const double n = timesValue.toDouble(-1);
        if (!timesValue.isDouble() || n < 0 || n > maxTimes || n != int(n))
            return tr("\"times\" must be a whole number from 0 (until stopped) to %1").arg(maxTimes);
        readTimes = int(n);
    }
    QList<Macro> read;
    QSet<QString> names;
    for (const QJsonValue &value : macros.toArray()) {
        const QJsonObject o = value.toObject();
        const QJsonValue name = o.value(QStringLiteral("name")), mode = o.value(QStringLiteral("mode")),
                         text = o.value(QStringLiteral("text"));
        const int at = int(read.size()) + 1;
        if (!value.isObject() || !name.isString() || !text.isString())
            return tr("macro %1 is not a name and a text").arg(at);
        if (mode.toString() != QLatin1String("hex") && mode.toString() != QLatin1String("text"))
            return tr("macro %1 has the mode \"%2\"; it must be \"hex\" or \"text\"").arg(at).arg(mode.toString());
        const Macro m{
            name.toString(), text.toString(), mode.toString() == QLatin1String("hex") ? SendMode::Hex : SendMode::Text};
        const QString fault = checked(m);
        if (!fault.isEmpty())
            return fault;
        if (names.contains(m.name))
            return tr("the name \"%1\" is given twice").arg(m.name);
        names.insert(m.name);
        read.append(m);
    }
    stop();
    list = read;
    every = readEvery;
    count = readTimes;
    return {};
}

void MacroBook::start(qsizetype index)
{
    stop();
    if (index < 0 || index >= list.size())
        return;
    current = index;
    wanted = count;
    done = 0;
    skipped = 0;
    timer.setInterval(every);
    runOnce();
    if (running() && (wanted == 0 || done < wanted))
        timer.start();
}

void MacroBook::stop()
{
    timer.stop();
    const bool was = running();
    current = -1;
    if (was)
        emit progressed();
}

void MacroBook::due()
{
    if (running() && previousGone && !previousGone()) {
        ++skipped;
        emit progressed();
        return;
    }
    runOnce();
}

void MacroBook::runOnce()
{
    if (!running())
        return;
    ++done;
    const Macro macro = list.at(current); // a handler may stop or change the book
    emit runs(macro);
    emit progressed();
    if (running() && wanted > 0 && done >= wanted)
        stop();
}
