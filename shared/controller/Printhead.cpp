#include "controller/Printhead.h"

#include "commands/Protocol.h"
#include "controller/CodeTables.h"

namespace controller {

uchar Printhead::inkFor(int level)
{
    // Level 1 prints a light grey, 8 full black; 0 and anything out of range print as 4.
    static const uchar greys[9] = {80, 170, 140, 110, 80, 60, 40, 20, 0};
    return level >= 0 && level <= 8 ? greys[level] : greys[4];
}

Printhead::Printhead(int headType, PrintedRows &report)
    : report(report)
    , roll(proto::headWidth(headType))
    , head(headType)
    , dots(proto::headWidth(headType))
    , modes(dots)
{
    resetModes();
}

void Printhead::resetModes()
{
    modes = Modes(dots);
    upper = codeTable(Modes::defaultCodeTable).upper;
}

void Printhead::setHead(int type)
{
    if (type < 0 || type >= proto::headTypes)
        return;
    head = type;
    const bool fullLine = modes.rightLimit >= dots;
    dots = proto::headWidth(type);
    // The roll only ever widens, and only once: switching back and forth copies nothing.
    if (dots > roll.width())
        roll = roll.widened(dots);
    modes.rightLimit = fullLine ? dots : qMin(modes.rightLimit, dots);
    modes.leftMargin = qMin(modes.leftMargin, dots - 8);
}

quint8 Printhead::status() const
{
    quint8 s = Fixed;
    if (paperOut)
        s |= PaperOut;
    if (coverOpen)
        s |= CoverOpen;
    if (sleeping)
        s |= Sleeping;
    if (!line.isEmpty())
        s |= LinePending;
    if (proto::headHasCutter(head))
        s |= HasCutter;
    return s;
}

QString Printhead::describeReply(const QByteArray &reply) { return proto::describeReply(reply); }

quint8 Printhead::realTimeStatus(int which) const
{
    quint8 s = Fixed;
    if (which == 1 && (paperOut || coverOpen || sleeping))
        s |= proto::realTimeOffline;
    if (which == 2)
        s |= (coverOpen ? proto::realTimeCoverOpen : 0) | (paperOut ? proto::realTimePaperOut : 0);
    if (which == 4 && paperOut)
        s |= proto::realTimePaperEnd;
    return s;
}

void Printhead::clearPaper()
{
    roll = Paper(roll.width());
    tablesNoted.clear();
    cuts.clear();
    bulkEntry = -1;
    for (Item &item : line)
        item.entry = -1;
}

void Printhead::markRows(int entry, int first, int last)
{
    if (entry >= 0 && last >= first)
        report.printed(entry, first, last);
}

void Printhead::startBulk(Bulk kind, qint64 size, int entry)
{
    bulkKind = kind; // with no data, the caller hands over the empty rest at once
    bulkLeft = size;
    bulkEntry = entry;
}

QByteArray Printhead::apply(const Command &c, int entry, QString &note)
{
    // Each part takes the commands of its own; what none of the others take is answered.
    const int before = roll.rows();
    QByteArray reply;
    if (!layOutText(c, entry, note) && !modes.set(c, dots, note) && !drawGraphics(c, entry, note))
        reply = answer(c, note);
    markRows(entry, before, roll.rows() - 1);
    return reply;
}

} // namespace controller
