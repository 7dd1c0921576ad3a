#include "app/MacroBook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    connect(&timer, &QTimer::timeout, this, &MacroBook::runOnce);
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
    return QJsonDocument(QJsonObject{{QStringLiteral("macros"), array}}).toJson();
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
    QList<Macro> read;
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
        for (const Macro &earlier : read)
            if (earlier.name == m.name)
                return tr("the name \"%1\" is given twice").arg(m.name);
        read.append(m);
    }
    stop();
    list = read;
    return {};
}

void MacroBook::start(qsizetype index, int intervalMs, int times)
{
    stop();
    if (index < 0 || index >= list.size())
        return;
    current = index;
    wanted = qMax(times, 0);
    done = 0;
    timer.setInterval(qMax(intervalMs, 1));
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
