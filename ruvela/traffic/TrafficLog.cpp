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

} // namespace

TrafficLog::TrafficLog(QObject *parent, qsizetype maxRows)
    : QAbstractTableModel(parent)
    , limit(qMax<qsizetype>(1, maxRows))
{ }

void TrafficLog::makeRoom(qsizetype coming)
{
    if (qsizetype(rows.size()) + coming <= limit)
        return;
    // The oldest hundredths at once: views and filters pay for each removal with all the rows
    // they hold.
    const qsizetype step = qMax<qsizetype>(1, limit / 100);
    const qsizetype over = qsizetype(rows.size()) + coming - limit;
    letGo(qMin(qsizetype(rows.size()), (over + step - 1) / step * step));
}

void TrafficLog::spillSettled(bool lastToo)
{
    letGo(lastToo || lastSent < dropped ? qsizetype(rows.size()) : qsizetype(lastSent - dropped));
}

void TrafficLog::letGo(qsizetype count)
{
    if (count <= 0)
        return;
    if (spill) {
        for (qsizetype i = 0; i < count; ++i)
            spill(rows[size_t(i)]);
    }
    beginRemoveRows({}, 0, int(count - 1));
    rows.erase(rows.begin(), rows.begin() + count);
    dropped += count;
    endRemoveRows();
    emit droppedChanged(dropped);
}

void TrafficLog::append(TrafficRow row)
{
    row.clock = QDateTime::fromMSecsSinceEpoch(row.time).toString(QStringLiteral("HH:mm:ss.zzz"));
    row.relayed = relaying;
    makeRoom(1);
    const int at = int(rows.size());
    beginInsertRows({}, at, at);
    rows.push_back(std::move(row));
    endInsertRows();
}

TrafficRow TrafficLog::sentRow(qint64 time, const controller::LogEntry &command, const QByteArray &head, int line)
{
    return {time, TrafficRow::Direction::Sent, command.offset, command.name, command.args, head.left(maxShownBytes),
        command.size, {}, line};
}

void TrafficLog::addSentRows(std::vector<TrafficRow> sentRows)
{
    if (sentRows.empty())
        return;
    // More than the log keeps: the first of them go as the oldest would.
    const qsizetype beyond = qsizetype(sentRows.size()) - limit;
    if (beyond > 0) {
        makeRoom(limit);
        for (qsizetype i = 0; i < beyond; ++i) {
            sentRows[size_t(i)].clock
                = QDateTime::fromMSecsSinceEpoch(sentRows[size_t(i)].time).toString(QStringLiteral("HH:mm:ss.zzz"));
            sentRows[size_t(i)].relayed = relaying;
            if (spill)
                spill(sentRows[size_t(i)]);
        }
        sentRows.erase(sentRows.begin(), sentRows.begin() + beyond);
        dropped += beyond;
        emit droppedChanged(dropped);
    }
    makeRoom(qsizetype(sentRows.size()));
    QString clock;
    qint64 clockOf = -1;
    for (TrafficRow &r : sentRows) {
        r.relayed = relaying;
        if (r.time != clockOf) { // a burst shares its time
            clockOf = r.time;
            clock = QDateTime::fromMSecsSinceEpoch(r.time).toString(QStringLiteral("HH:mm:ss.zzz"));
        }
        r.clock = clock;
    }
    const int at = int(rows.size());
    beginInsertRows({}, at, at + int(sentRows.size()) - 1);
    rows.insert(rows.end(), std::make_move_iterator(sentRows.begin()), std::make_move_iterator(sentRows.end()));
    endInsertRows();
    lastSent = dropped + qint64(rows.size()) - 1;
}

void TrafficLog::addSent(qint64 time, const controller::LogEntry &command, const QByteArray &head, int line)
{
    append(sentRow(time, command, head, line));
    lastSent = dropped + qint64(rows.size()) - 1;
}

void TrafficLog::updateLastSent(const controller::LogEntry &command, const QByteArray &head)
{
    // Answers and events may have come since: the command is the last sent row, if still the newest.
    const qint64 at = lastSent - dropped;
    if (lastSent < 0 || at < 0 || at >= qint64(rows.size()) || rows[size_t(at)].offset != command.offset)
        return;
    TrafficRow &r = rows[size_t(at)];
    r.detail = command.args;
    if (head.size() > r.bytes.size()) // its start may have left the printer's window by now
        r.bytes = head.left(maxShownBytes);
    r.size = command.size;
    emit dataChanged(index(int(at), 0), index(int(at), ColumnCount - 1));
}

void TrafficLog::addReceived(qint64 time, const Answer &answer)
{
    if (answer.kind == Answer::Kind::NoAnswer) { // nothing came: the line's own event
        addEvent(time, answerMeaning(answer));
        return;
    }
    append({time, TrafficRow::Direction::Received, answer.offset, answerMeaning(answer), ascii(answer.bytes),
        answer.bytes.left(maxShownBytes), answer.bytes.size()});
}

void TrafficLog::addEvent(qint64 time, const QString &text)
{
    append({time, TrafficRow::Direction::Event, -1, text, {}, {}, 0});
}

void TrafficLog::clear()
{
    beginResetModel();
    rows.clear();
    dropped = 0;
    lastSent = -1;
    endResetModel();
    emit droppedChanged(0);
}

QString TrafficLog::directionName(TrafficRow::Direction direction, bool relayed)
{
    switch (direction) {
    case TrafficRow::Direction::Sent:
        return relayed ? QStringLiteral("host → controller") : QStringLiteral("sent");
    case TrafficRow::Direction::Received:
        return relayed ? QStringLiteral("controller → host") : QStringLiteral("received");
    case TrafficRow::Direction::Event:
        break;
    }
    return QStringLiteral("event");
}

QString TrafficLog::rowText(const TrafficRow &row)
{
    // Every field keeps to its own: a tab or a line end in a text comes out as an escape.
    return QStringList{row.clock, directionName(row.direction, row.relayed),
        row.offset < 0 ? QString() : QString::number(row.offset), proto::escapedText(row.what),
        proto::escapedText(row.detail), hex(row.bytes, row.size)}
        .join(QLatin1Char('\t'));
}

QByteArray TrafficLog::heading()
{
    return QByteArrayLiteral("# time\tdirection\toffset\tcommand or meaning\targuments or ASCII\tbytes\n");
}

QByteArray TrafficLog::text(const QList<int> *only, const QString &which) const
{
    QString out = QString::fromUtf8(heading());
    if (dropped > 0)
        out += QStringLiteral("# %1 older rows were dropped: the log keeps the last %2\n").arg(dropped).arg(limit);
    if (only) {
        out += QStringLiteral("# only %1 of the %2 rows: %3\n").arg(only->size()).arg(rows.size()).arg(which);
        for (const int r : *only)
            out += rowText(rows.at(size_t(r))) + QLatin1Char('\n');
    } else {
        for (const TrafficRow &r : rows)
            out += rowText(r) + QLatin1Char('\n');
    }
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
            return r.clock;
        case Direction:
            return directionName(r.direction, r.relayed);
        case Offset:
            return r.offset < 0 ? QVariant() : QVariant(r.offset);
        case What:
            return r.what;
        case Detail:
            return r.detail;
        case Length:
            return r.direction == TrafficRow::Direction::Event ? QVariant() : QVariant(r.size);
        case Bytes:
            return hex(r.bytes, r.size);
        default:
            break;
        }
    } else if (role == Qt::TextAlignmentRole && (index.column() == Offset || index.column() == Length)) {
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
    case Length:
        return tr("Length");
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
    if (words.isEmpty())
        return true;
    // The cheap fields first: this runs for every row at each change of the words.
    for (const QString &field : {r.what, r.detail, r.clock, TrafficLog::directionName(r.direction, r.relayed)}) {
        if (field.contains(words, Qt::CaseInsensitive))
            return true;
    }
    return (r.offset >= 0 && QString::number(r.offset) == words)
        || hex(r.bytes, r.size).contains(words, Qt::CaseInsensitive);
}
