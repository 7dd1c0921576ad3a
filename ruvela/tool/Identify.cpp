#include "tool/Identify.h"

#include "language/Language.h"
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

const char *const statusNames[]
    = {QT_TRANSLATE_NOOP("Identify", "printer"), QT_TRANSLATE_NOOP("Identify", "offline cause"),
        QT_TRANSLATE_NOOP("Identify", "error cause"), QT_TRANSLATE_NOOP("Identify", "paper sensor")};
// GS r 1's answer in words, those of DLE EOT 4's.
const char *paperSensorWords(int answer)
{
    return answer & proto::paperSensorOut ? QT_TRANSLATE_NOOP("StatusWords", "paper out")
                                          : QT_TRANSLATE_NOOP("StatusWords", "paper present");
}

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
        emit done();
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
        result.statuses.append({n, first});
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
        result.paperSensor = first;
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
        lines << tr("Model: %1 (printer ID %2)").arg(c.model.isEmpty() ? tr("unknown") : c.model, hex(c.modelId));
    if (!c.modelName.isEmpty() || !c.maker.isEmpty())
        lines << tr("Maker and model names: %1, %2").arg(c.maker, c.modelName);
    if (c.type >= 0)
        lines << tr("Type: %1 (%2)").arg(hex(c.type), c.cutter ? tr("cutter") : tr("no cutter"));
    if (c.headType >= 0)
        lines << tr("Head type: %1 (%2 dots)").arg(c.headType).arg(c.headWidth);
    if (!c.firmwareVersion.isEmpty())
        lines << tr("Firmware: %1").arg(c.firmwareVersion);
    if (!c.firmware.isEmpty())
        lines << tr("Firmware text: \"%1\"").arg(c.firmware);
    for (const auto &[n, status] : c.statuses)
        lines
            << tr("Status, %1: %2").arg(tr(statusNames[n - 1]), language::statusWords(status, proto::statusKindOf(n)));
    if (c.paperSensor >= 0)
        lines
            << tr("Paper sensor: %1").arg(QCoreApplication::translate("StatusWords", paperSensorWords(c.paperSensor)));
    if (!c.unanswered.isEmpty())
        lines << tr("Unanswered: %1").arg(c.unanswered.join(QStringLiteral(", ")));
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
    for (const auto &[n, status] : c.statuses)
        statuses.insert(QLatin1String(statusNames[n - 1]), proto::describeStatus(status, proto::statusKindOf(n)));
    o.insert(QStringLiteral("status"), statuses);
    put("paperSensor", QLatin1String(paperSensorWords(c.paperSensor)), c.paperSensor >= 0);
    o.insert(QStringLiteral("unanswered"), QJsonArray::fromStringList(c.unanswered));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
