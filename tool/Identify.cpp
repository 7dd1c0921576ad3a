#include "tool/Identify.h"

#include "serial/SerialLink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out += char(v);
    return out;
}

// A printer ID's text without its mark and closing NUL.
QString idText(const QByteArray &answer)
{
    QByteArray text = answer;
    while (text.endsWith('\0'))
        text.chop(1);
    if (text.startsWith(proto::printerIdTextStart))
        text.remove(0, 1);
    return proto::escapedText(text);
}

const char *const statusNames[] = {"printer", "offline cause", "error cause", "paper sensor"};

} // namespace

const QList<QByteArray> &Identify::queries()
{
    using proto::DLE;
    using proto::GS;
    static const QList<QByteArray> all{bytes({DLE, proto::queryStatus, 1}), bytes({DLE, proto::queryStatus, 2}),
        bytes({DLE, proto::queryStatus, 3}), bytes({DLE, proto::queryStatus, 4}), bytes({DLE, proto::queryFirmware}),
        bytes({GS, 'I', 1}), bytes({GS, 'I', 2}), bytes({GS, 'I', 3}), bytes({GS, 'I', 65}), bytes({GS, 'I', 66}),
        bytes({GS, 'I', 67}), bytes({GS, 'r', 1})};
    return all;
}

Identify::Identify(SerialLink &link, QObject *parent)
    : QObject(parent)
    , link(link)
{
    connect(&link, &SerialLink::answered, this, &Identify::answered);
}

void Identify::start()
{
    result = Card();
    at = 0;
    ask();
}

void Identify::ask()
{
    if (at >= queries().size()) {
        emit finished();
        return;
    }
    const QByteArray &query = queries().at(at);
    link.write(query.constData(), query.size());
}

void Identify::answered(const Answer &answer)
{
    if (!isRunning())
        return;
    const QByteArray &query = queries().at(at);
    if ((answer.kind != Answer::Kind::Reply && answer.kind != Answer::Kind::NoAnswer) || answer.query != query)
        return; // a call-back, or bytes nobody asked for
    take(query, answer);
    ++at;
    ask();
}

void Identify::take(const QByteArray &query, const Answer &answer)
{
    if (answer.kind == Answer::Kind::NoAnswer || answer.bytes.isEmpty()) {
        result.unanswered << QString::fromLatin1(query.toHex(' ').toUpper());
        return;
    }
    const quint8 first = quint8(answer.bytes.at(0));
    if (query.at(0) == proto::DLE && query.at(1) == proto::queryStatus) {
        const int n = query.at(2);
        result.statuses.append(
            {QLatin1String(statusNames[n - 1]), proto::describeStatus(first, proto::statusKindOf(n))});
    } else if (query.at(0) == proto::DLE) {
        result.firmware = proto::escapedText(answer.bytes.trimmed());
        // The virtual controller says what it is set to be: "head type 5 (576 dots)".
        const QRegularExpressionMatch m
            = QRegularExpression(QStringLiteral("head type (\\d+) \\((\\d+) dots\\)")).match(result.firmware);
        if (m.hasMatch()) {
            result.headType = m.captured(1).toInt();
            result.headWidth = m.captured(2).toInt();
        }
    } else if (query.at(1) == 'r') {
        result.paperSensor
            = first & proto::paperSensorOut ? QStringLiteral("paper out") : QStringLiteral("paper present");
    } else {
        switch (quint8(query.at(2))) {
        case 1:
            result.modelId = first;
            result.model = first == quint8(proto::printerIdModel) ? QStringLiteral("ZPC3x") : QString();
            break;
        case 2:
            result.type = first;
            result.cutter = first & proto::printerIdCutter;
            break;
        case 3:
            result.firmwareId = first;
            result.firmwareVersion = QStringLiteral("%1.%2").arg(first >> 4).arg(first & 0x0F);
            break;
        case 65:
            if (result.firmwareVersion.isEmpty())
                result.firmwareVersion = idText(answer.bytes);
            break;
        case 66:
            result.maker = idText(answer.bytes);
            break;
        case 67:
            result.modelName = idText(answer.bytes);
            break;
        }
    }
}

QString Identify::text() const
{
    const Card &c = result;
    const auto hex = [](int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); };
    QStringList lines;
    if (c.modelId >= 0)
        lines << QStringLiteral("Model: %1 (printer ID %2)")
                     .arg(c.model.isEmpty() ? QStringLiteral("unknown") : c.model, hex(c.modelId));
    if (!c.modelName.isEmpty() || !c.maker.isEmpty())
        lines << QStringLiteral("Maker and model names: %1, %2").arg(c.maker, c.modelName);
    if (c.type >= 0)
        lines << QStringLiteral("Type: %1 (%2)")
                     .arg(hex(c.type), c.cutter ? QStringLiteral("cutter") : QStringLiteral("no cutter"));
    if (c.headType >= 0)
        lines << QStringLiteral("Head type: %1 (%2 dots)").arg(c.headType).arg(c.headWidth);
    if (!c.firmwareVersion.isEmpty())
        lines << QStringLiteral("Firmware: %1").arg(c.firmwareVersion);
    if (!c.firmware.isEmpty())
        lines << QStringLiteral("Firmware text: \"%1\"").arg(c.firmware);
    for (const auto &[which, words] : c.statuses)
        lines << QStringLiteral("Status, %1: %2").arg(which, words);
    if (!c.paperSensor.isEmpty())
        lines << QStringLiteral("Paper sensor: %1").arg(c.paperSensor);
    if (!c.unanswered.isEmpty())
        lines << QStringLiteral("Unanswered: %1").arg(c.unanswered.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray Identify::json() const
{
    const Card &c = result;
    QJsonObject o;
    const auto put = [&o](const char *key, const QJsonValue &value, bool known) {
        o.insert(QLatin1String(key), known ? value : QJsonValue());
    };
    put("model", c.model, !c.model.isEmpty());
    put("modelId", c.modelId, c.modelId >= 0);
    put("modelName", c.modelName, !c.modelName.isEmpty());
    put("maker", c.maker, !c.maker.isEmpty());
    put("type", c.type, c.type >= 0);
    put("cutter", c.cutter, c.type >= 0);
    put("headType", c.headType, c.headType >= 0);
    put("headWidth", c.headWidth, c.headWidth >= 0);
    put("firmware", c.firmwareVersion, !c.firmwareVersion.isEmpty());
    put("firmwareText", c.firmware, !c.firmware.isEmpty());
    QJsonObject statuses;
    for (const auto &[which, words] : c.statuses)
        statuses.insert(which, words);
    o.insert(QStringLiteral("status"), statuses);
    put("paperSensor", c.paperSensor, !c.paperSensor.isEmpty());
    o.insert(QStringLiteral("unanswered"), QJsonArray::fromStringList(c.unanswered));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
