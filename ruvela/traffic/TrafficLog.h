#pragma once

#include "controller/Interpreter.h"
#include "traffic/QueryMatcher.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <deque>
#include <functional>
#include <vector>

// One line of the exchange on the line.
struct TrafficRow
{
    enum class Direction : quint8 { Sent, Received, Event };
    qint64 time = 0; // milliseconds since the epoch
    Direction direction = Direction::Event;
    qint64 offset = -1; // in its direction's stream since Connect; -1 for an event
    QString what; // the command's name, the answer's meaning, or the event
    QString detail; // the command's arguments, or the answer in ASCII
    QByteArray bytes; // the first maxShownBytes of it
    qint64 size = 0; // all its bytes
    QString clock = {}; // the time as shown, to the millisecond; set when the row is added
    int line = 0; // which connection's stream the offset counts in
    bool relayed = false; // between a host application and the controller, by the monitor
};

// The exchange with the controller, row by row: every command sent, decoded by the controller
// model; every answer, with its meaning; and the holds of flow control as events. It keeps the
// last rows, at most maxRows, and counts those it dropped.
class TrafficLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Time, Direction, Offset, What, Detail, Length, Bytes, ColumnCount };
    static constexpr qsizetype defaultMaxRows = 100000;
    static constexpr int maxShownBytes = 24;

    explicit TrafficLog(QObject *parent = nullptr, qsizetype maxRows = defaultMaxRows);

    // A command the controller model decoded from the sent bytes, and its first bytes.
    void addSent(qint64 time, const controller::LogEntry &command, const QByteArray &head, int line = 0);
    // Many at once, in order, for one update of the views: a flood of small commands.
    void addSentRows(std::vector<TrafficRow> sentRows);
    static TrafficRow sentRow(qint64 time, const controller::LogEntry &command, const QByteArray &head, int line = 0);
    // The last command sent grew: its text ran on, or its data came in.
    void updateLastSent(const controller::LogEntry &command, const QByteArray &head);
    void addReceived(qint64 time, const Answer &answer);
    void addEvent(qint64 time, const QString &text);
    void clear();

    const TrafficRow &row(int index) const { return rows.at(size_t(index)); }
    qint64 droppedRows() const { return dropped; }
    qsizetype maxRows() const { return limit; }

    // Rows that are dropped go here first, in order: a run without a window keeps them all.
    void setSpill(std::function<void(const TrafficRow &)> spill) { this->spill = std::move(spill); }
    // Lets go of the rows that can no longer change, through the spill: those before the last
    // command sent, which may still grow, or with lastToo all of them.
    void spillSettled(bool lastToo);

    // The rows as text, a line each, fields split by tabs, under a heading of '#' lines. With
    // `only`, those rows alone, under a '#' line that says which (`which`).
    QByteArray text(const QList<int> *only = nullptr, const QString &which = {}) const;
    static QByteArray heading();
    static QString rowText(const TrafficRow &row);
    static QString directionName(TrafficRow::Direction direction, bool relayed = false);
    // Rows added from now on were relayed by the monitor: their sides are the host's and the
    // controller's ("host → controller") rather than the tool's ("sent").
    void setRelaying(bool on) { relaying = on; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void droppedChanged(qint64 dropped);

private:
    void append(TrafficRow row);
    bool relaying = false;
    void makeRoom(qsizetype coming);
    void letGo(qsizetype count); // the oldest rows, through the spill
    std::deque<TrafficRow> rows;
    qsizetype limit;
    std::function<void(const TrafficRow &)> spill;
    qint64 dropped = 0;
    qint64 lastSent = -1; // the number of the last command's row, counting those dropped: it may still grow
};

// The rows of one direction, or all, whose text holds the filter's words.
class TrafficFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // -1 for every direction, else a TrafficRow::Direction.
    void setDirection(int direction);
    void setText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int direction = -1;
    QString words;
};
