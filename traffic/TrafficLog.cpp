#include "traffic/TrafficLog.h"

#include "commands/Protocol.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

namespace {

QString hex(const QByteArray &bytes, qint64 size)
{
    QString text = QString::fromLatin1(bytes.toHex(' ').toUpper());
    if (size > bytes.size())
        text += QStringLiteral(" … (%1 bytes)").arg(size);
    return text;
}

// The first maxAsciiShown bytes as text, a dot for each that is not printable.
QString ascii(const QByteArray &bytes)
{
    constexpr qsizetype maxAsciiShown = 120;
    QString text;
    for (const char c : bytes.left(maxAsciiShown))
        text += c >= 0x20 && c < 0x7F ? QLatin1Char(c) : QLatin1Char('.');
    if (bytes.size() > maxAsciiShown)
        text += QChar(0x2026);
    return text;
}

QString meaning(const AnswerCutter::Answer &answer)
{
    if (answer.status && answer.bytes.size() == 1)
        return QStringLiteral("status: %1").arg(proto::describeStatus(quint8(answer.bytes.at(0))));
    return answerMeaning(answer);
}

} // namespace

TrafficLog::TrafficLog(QObject *parent, qsizetype maxRows)
    : QAbstractTableModel(parent)
    , limit(qMax<qsizetype>(1, maxRows))
{ }

void TrafficLog::append(TrafficRow row)
{
    if (qsizetype(rows.size()) >= limit) {
        // The oldest hundredth at once: views and filters pay for each removal with all the
        // rows they hold.
        const qsizetype drop = qMax<qsizetype>(1, limit / 100);
        beginRemoveRows({}, 0, int(drop - 1));
        rows.erase(rows.begin(), rows.begin() + drop);
        dropped += drop;
        endRemoveRows();
        emit droppedChanged(dropped);
    }
    const int at = int(rows.size());
    beginInsertRows({}, at, at);
    rows.push_back(std::move(row));
    endInsertRows();
}

void TrafficLog::addSent(qint64 time, const sim::LogEntry &command, const QByteArray &head)
{
    append({time, TrafficRow::Direction::Sent, command.offset, command.name, command.args, head.left(maxShownBytes),
        command.size});
    lastIsSent = true;
}

void TrafficLog::updateLastSent(const sim::LogEntry &command, const QByteArray &head)
{
    if (!lastIsSent || rows.empty() || rows.back().offset != command.offset)
        return;
    TrafficRow &r = rows.back();
    r.detail = command.args;
    r.bytes = head.left(maxShownBytes);
    r.size = command.size;
    const int at = int(rows.size()) - 1;
    emit dataChanged(index(at, 0), index(at, ColumnCount - 1));
}

void TrafficLog::addReceived(qint64 time, const AnswerCutter::Answer &answer)
{
    append({time, TrafficRow::Direction::Received, answer.offset, meaning(answer), ascii(answer.bytes),
        answer.bytes.left(maxShownBytes), answer.bytes.size()});
    lastIsSent = false;
}

void TrafficLog::addEvent(qint64 time, const QString &text)
{
    append({time, TrafficRow::Direction::Event, -1, text, {}, {}, 0});
    lastIsSent = false;
}

void TrafficLog::clear()
{
    beginResetModel();
    rows.clear();
    dropped = 0;
    lastIsSent = false;
    endResetModel();
    emit droppedChanged(0);
}

QString TrafficLog::directionName(TrafficRow::Direction direction)
{
    switch (direction) {
    case TrafficRow::Direction::Sent:
        return QStringLiteral("sent");
    case TrafficRow::Direction::Received:
        return QStringLiteral("received");
    case TrafficRow::Direction::Event:
        break;
    }
    return QStringLiteral("event");
}

QString TrafficLog::rowText(const TrafficRow &row)
{
    return QStringList{QDateTime::fromMSecsSinceEpoch(row.time).toString(QStringLiteral("HH:mm:ss.zzz")),
        directionName(row.direction), row.offset < 0 ? QString() : QString::number(row.offset), row.what, row.detail,
        hex(row.bytes, row.size)}
        .join(QLatin1Char('\t'));
}

QByteArray TrafficLog::text() const
{
    QString out = QStringLiteral("# time\tdirection\toffset\tcommand or meaning\targuments or ASCII\tbytes\n");
    if (dropped > 0)
        out += QStringLiteral("# %1 older rows were dropped: the log keeps the last %2\n").arg(dropped).arg(limit);
    for (const TrafficRow &r : rows)
        out += rowText(r) + QLatin1Char('\n');
    return out.toUtf8();
}

int TrafficLog::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(rows.size()); }

int TrafficLog::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TrafficLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows.size()))
        return {};
    const TrafficRow &r = rows.at(size_t(index.row()));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case Time:
            return QDateTime::fromMSecsSinceEpoch(r.time).toString(QStringLiteral("HH:mm:ss.zzz"));
        case Direction:
            return directionName(r.direction);
        case Offset:
            return r.offset < 0 ? QVariant() : QVariant(r.offset);
        case What:
            return r.what;
        case Detail:
            return r.detail;
        case Bytes:
            return hex(r.bytes, r.size);
        default:
            break;
        }
    } else if (role == Qt::TextAlignmentRole && index.column() == Offset) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    } else if (role == Qt::FontRole && index.column() == Bytes) {
        QFont mono(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::Monospace);
        return mono;
    } else if (role == Qt::ForegroundRole && r.direction == TrafficRow::Direction::Event) {
        return QGuiApplication::palette().color(QPalette::PlaceholderText);
    } else if (role == Qt::ForegroundRole && r.direction == TrafficRow::Direction::Received) {
        return QColor(0x1a, 0x5f, 0xb4);
    }
    return {};
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return tr("Time");
    case Direction:
        return tr("Direction");
    case Offset:
        return tr("Offset");
    case What:
        return tr("Command or meaning");
    case Detail:
        return tr("Arguments or ASCII");
    case Bytes:
        return tr("Bytes");
    default:
        break;
    }
    return {};
}

void TrafficFilter::setDirection(int wanted)
{
    direction = wanted;
    invalidateRowsFilter();
}

void TrafficFilter::setText(const QString &text)
{
    words = text.trimmed();
    invalidateRowsFilter();
}

bool TrafficFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *log = qobject_cast<const TrafficLog *>(sourceModel());
    if (!log || sourceRow >= log->rowCount())
        return false;
    const TrafficRow &r = log->row(sourceRow);
    if (direction >= 0 && int(r.direction) != direction)
        return false;
    return words.isEmpty() || TrafficLog::rowText(r).contains(words, Qt::CaseInsensitive);
}
