#include "controller/Interpreter.h"

namespace controller {

namespace {

QString hexBytes(const char *p, qsizetype n) { return QString::fromLatin1(QByteArray(p, n).toHex(' ').toUpper()); }

// What the log shows of a command's parameters.
QString arguments(const Command &c)
{
    const int params = c.size - c.prefix;
    switch (c.op) {
    case Op::Text:
    case Op::SymbolFunction:
        return {};
    case Op::TabStops:
        return hexBytes(c.data + c.prefix, params > 0 && c.at(c.size - 1) == 0 ? params - 1 : params);
    case Op::Raster:
        return QStringLiteral("%1 %2 %3").arg(c.param(0)).arg(c.param16(1)).arg(c.param16(3));
    case Op::NvDownload:
        return QStringLiteral("%1 %2 %3 %4").arg(c.param(0)).arg(c.param(1)).arg(c.param16(2)).arg(c.param16(4));
    case Op::ColumnImage:
        return QStringLiteral("%1 %2").arg(c.param(0)).arg(c.param16(1));
    case Op::RelativePosition:
        return QString::number(qint16(c.param16(0)));
    case Op::LeftMarginDots:
    case Op::PrintAreaWidth:
        return QString::number(c.param16(0));
    case Op::Barcode: {
        const bool functionB = c.param(0) >= proto::barcodeBase;
        const int start = c.prefix + (functionB ? 2 : 1);
        const int end = c.size - (!functionB && c.at(c.size - 1) == 0 ? 1 : 0);
        return QStringLiteral("%1 \"%2\"")
            .arg(functionB ? c.param(0) - proto::barcodeBase : c.param(0))
            .arg(QString::fromLatin1(c.data + start, end - start));
    }
    case Op::Graphics:
        return QStringLiteral("function %1, %2 bytes").arg(c.param(1)).arg(params + c.bulk);
    case Op::Skipped:
        return QStringLiteral("%1 bytes").arg(c.size + c.bulk);
    case Op::Unknown:
        return hexBytes(c.data, c.size)
            + (c.shapeKnown ? c.bulk ? QStringLiteral(", %1 more bytes skipped").arg(c.bulk) : QString()
                            : QStringLiteral(" (shape unknown: only the prefix and its letter skipped)"));
    default:
        break;
    }
    QStringList values;
    for (int i = 0; i < params; ++i)
        values << QString::number(c.param(i));
    return values.join(QLatin1Char(' '));
}

// The names the controller's QR functions have in the encoder; other symbol functions by number.
QString symbolName(const Command &c, QString &args)
{
    const quint8 cn = c.param(0), fn = c.param(1);
    const bool qr = cn == proto::qr::symbol, pdf = cn == proto::pdf417::symbol;
    if (qr && (fn == proto::qr::moduleSize || fn == proto::qr::errorCorrection)) {
        args = QString::number(c.param(2));
        return QLatin1String(fn == proto::qr::moduleSize ? "setQRSizeVersion" : "setQRcodeErrorCorrection");
    }
    const bool storable = qr || pdf; // other symbols (MaxiCode, ...) only by number
    if (storable && fn == proto::qr::store) {
        args = QString::number(qMax<qint64>(0, c.size - c.prefix - 3 + c.bulk));
        return QLatin1String(qr ? "transferQRcodeData" : "transferPdf417Data");
    }
    if (storable && fn == proto::qr::print)
        return QLatin1String(qr ? "printQRcodeData" : "printPdf417");
    args = QStringLiteral("%1 %2").arg(cn, 2, 16, QLatin1Char('0')).arg(fn, 2, 16, QLatin1Char('0'));
    return QLatin1String(qr ? "qrFunction" : pdf ? "pdf417Function" : "symbolFunction");
}

bool isRealTime(Op op) { return op == Op::Status || op == Op::StatusN || op == Op::Firmware; }

} // namespace

Interpreter::Interpreter(int headType)
    : head(headType, *this)
{ }

void Interpreter::feed(const QByteArray &chunk) { feed(chunk.constData(), chunk.size()); }

void Interpreter::feed(const char *data, qsizetype size)
{
    received += size;
    decoder.feed(data, size, *this);
}

void Interpreter::finish() { end(true); }

void Interpreter::process(const char *data, qsizetype size)
{
    received += size;
    decoder.feed(data, size, *this, false);
}

void Interpreter::finishStream() { end(false); }

void Interpreter::end(bool arrivals)
{
    const QString cut = decoder.finish(*this, arrivals);
    if (!cut.isEmpty()) {
        ++truncated;
        begin(decoder.offset(), QStringLiteral("truncated"), cut);
        head.bulkCutShort();
    }
    if (const int pieces = head.dropPendingLine()) {
        ++unprinted;
        begin(decoder.offset(), QStringLiteral("line not printed"),
            QStringLiteral("characters left without a line feed at the end of the stream: %1").arg(pieces));
    }
    textEntry = -1; // the stream's last run of text is complete
    announce();
}

void Interpreter::note(const QString &name, const QString &args)
{
    begin(decoder.arrivedBytes(), name, args);
    announce();
}

void Interpreter::announce()
{
    if (!listen) {
        announced = base + entries.size();
        return;
    }
    // A run of text at the end may still grow.
    const qint64 end = base + entries.size() - (textEntry >= 0 && textEntry == base + entries.size() - 1 ? 1 : 0);
    for (qint64 i = qMax<qint64>(announced, base); i < end; ++i)
        listen(entries.at(i - base));
    announced = qMax(announced, end);
}

QByteArray Interpreter::takeReplies()
{
    QByteArray out;
    out.swap(replies);
    return out;
}

int Interpreter::begin(qint64 offset, const QString &name, const QString &args)
{
    textEntry = -1;
    announce(); // what came before is complete now
    if (entries.size() >= maxLogEntries) { // the log rolls on: the oldest tenth goes
        const qsizetype drop = maxLogEntries / 10;
        entries.remove(0, drop);
        base += int(drop);
        rolled += drop;
    }
    entries.append({offset, name, args, -1, -1});
    return base + int(entries.size() - 1);
}

void Interpreter::command(const Command &c)
{
    if (head.isSleeping() && !isRealTime(c.op)) {
        head.wake(); // the command wakes the controller and is then processed
        begin(c.offset, QStringLiteral("wake"));
    }
    QString note;
    if (c.op == Op::Text) {
        // One printStr entry for a run of text, so that the log reads like the job.
        // A NUL between two runs ends the first: an entry's bytes are all in one piece.
        if (textEntry < 0 || textEntry != base + entries.size() - 1
            || entries[textEntry - base].offset + entries[textEntry - base].size != c.offset)
            textEntry = begin(c.offset, QStringLiteral("printStr"));
        if (textEntry >= 0) {
            entries[textEntry - base].size += c.size;
            QString &args = entries[textEntry - base].args;
            if (args.size() < maxTextArgs) {
                for (int i = 0; i < c.size; ++i) {
                    const uchar byte = c.at(i);
                    if (byte >= 0x20 && byte < 0x7F && c.size == 1)
                        args += QLatin1Char(char(byte));
                    else
                        args += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
                }
            } else if (!args.endsWith(QChar(0x2026))) {
                args += QChar(0x2026); // and more
            }
        }
        head.apply(c, textEntry, note);
        noteLimits(c.offset); // a limit's entry ends the text run
        announce();
        return;
    }
    if (c.op == Op::Unknown)
        ++unknown;
    QString args = arguments(c);
    // A flood of one command, queries above all, names it and its answer with the same strings.
    if (c.name != lastName) {
        lastName = c.name;
        lastNameText = QString::fromLatin1(c.name);
    }
    const QString name = c.op == Op::SymbolFunction ? symbolName(c, args) : lastNameText;
    const int entry = begin(c.offset, name, args);
    const QByteArray reply = head.apply(c, entry, note);
    if (entry >= 0) {
        LogEntry &e = entries[entry - base];
        e.size = c.size + c.bulk;
        if (!reply.isEmpty() && reply != lastReply) {
            lastReply = reply;
            lastReplyText = QStringLiteral("-> %1").arg(hexBytes(reply.constData(), qMin<qsizetype>(reply.size(), 16)));
        }
        if (!reply.isEmpty())
            e.args = e.args.isEmpty() ? lastReplyText : e.args + QStringLiteral(" ") + lastReplyText;
        if (!note.isEmpty())
            e.args += (e.args.isEmpty() ? QString() : QStringLiteral(" ")) + note;
    }
    replies += reply;
    if (c.op == Op::Status || c.op == Op::StatusN)
        statusKind = c.op == Op::StatusN ? proto::statusKindOf(c.param(0)) : proto::StatusKind::Status;
    noteLimits(c.offset);
    announce();
}

void Interpreter::noteLimits(qint64 offset)
{
    // Every limit says so in the log the first time it is hit.
    if (!rollFullLogged && head.paper().droppedRows() > 0) {
        rollFullLogged = true;
        begin(offset, QStringLiteral("roll full"),
            QStringLiteral("%1 rows printed; what follows is not kept").arg(Paper::maxRows));
    }
    if (head.linesCutShort() > linesCutShortLogged) {
        linesCutShortLogged = head.linesCutShort();
        begin(offset, QStringLiteral("line full"),
            QStringLiteral("printed at %1 pieces, %2 times so far")
                .arg(Printhead::maxLineItems)
                .arg(linesCutShortLogged));
    }
}

void Interpreter::bulk(const char *data, qsizetype size)
{
    head.bulk(data, size);
    noteLimits(decoder.offset());
    announce();
}

void Interpreter::printed(int entry, int first, int last)
{
    entry -= base;
    if (entry < 0 || entry >= entries.size())
        return;
    LogEntry &e = entries[entry];
    e.firstRow = e.firstRow < 0 ? first : qMin(e.firstRow, first);
    e.lastRow = qMax(e.lastRow, last);
}

void Interpreter::afterSwitch(quint8 before)
{
    if (head.callBack() && head.status() != before) {
        replies += char(head.status());
        statusKind = proto::StatusKind::Status;
    }
}

void Interpreter::setPaperOut(bool out)
{
    const quint8 before = head.status();
    head.setPaperOut(out);
    afterSwitch(before);
}

void Interpreter::setCoverOpen(bool open)
{
    const quint8 before = head.status();
    head.setCoverOpen(open);
    afterSwitch(before);
}

void Interpreter::forgetLog()
{
    textEntry = -1; // a run of text goes on in an entry of its own
    announce();
    base += int(entries.size());
    entries.clear();
}

void Interpreter::clearPaper()
{
    forgetLog();
    head.clearPaper();
    textEntry = -1;
    rolled = 0;
    rollFullLogged = false;
}

} // namespace controller
