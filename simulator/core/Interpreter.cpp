#include "simulator/core/Interpreter.h"

#include "simulator/core/Symbols.h"

namespace sim {

namespace {

using proto::DLE;
using proto::ESC;
using proto::FS;
using proto::GS;

constexpr qsizetype maxNvBitmap = 1 << 18; // bytes one stored bitmap may keep
constexpr int maxNvBitmaps = 8; // stored bitmaps at most
constexpr qsizetype maxLogEntries = 200000; // past this the log stops growing
constexpr qsizetype maxQrData = 7089; // the most a QR code can hold
constexpr int maxTabStops = 32;

quint8 u8(const char *p, qsizetype i) { return quint8(p[i]); }
int le16(const char *p, qsizetype i) { return u8(p, i) | u8(p, i + 1) << 8; }
QString num(int n) { return QString::number(n); }

// The set bits of every byte value, leftmost first: random raster data then costs no
// mispredicted branches.
struct SetBits
{
    quint8 count = 0;
    quint8 bit[8] = {};
};
const struct SetBitsTable
{
    SetBits entries[256];
    SetBitsTable()
    {
        for (int v = 0; v < 256; ++v)
            for (int b = 0; b < 8; ++b)
                if (v & (0x80 >> b))
                    entries[v].bit[entries[v].count++] = quint8(b);
    }
    const SetBits &operator[](uchar v) const { return entries[v]; }
} setBits;

QString hexArgs(const char *p, qsizetype n) { return QString::fromLatin1(QByteArray(p, n).toHex(' ').toUpper()); }

} // namespace

uchar Interpreter::inkFor(int level)
{
    // Level 1 prints a light grey, 8 full black; 0 and anything out of range print as 4.
    static const uchar greys[9] = {80, 170, 140, 110, 80, 60, 40, 20, 0};
    return level >= 0 && level <= 8 ? greys[level] : greys[4];
}

Interpreter::Interpreter(int headType)
    : roll(widthForHead(headType))
    , head(headType)
{
    resetModes();
}

// One double-byte character, or U+FFFD where the character set has none.
char32_t Interpreter::decodePair(Charset &charset, quint8 hi, quint8 lo)
{
    const QList<uint> decoded = charset.decode(QByteArray{char(hi), char(lo)}).toUcs4();
    return decoded.size() == 1 ? char32_t(decoded.first()) : char32_t(0xFFFD);
}

void Interpreter::resetModes()
{
    mode = 0;
    align = 0;
    leftMargin = 0;
    rightLimit = roll.width();
    lineSpacing = 33;
    darkness = 0;
    font = FontSize::Standard;
    doubleByte = false;
    tabStops = {8, 16, 24, 32, 40, 48, 56, 64};
    barcodeHeight = 162;
    barcodeWidth = 3;
    barcodeText = true;
}

void Interpreter::setHead(int type)
{
    if (type < 0 || type >= proto::headTypes)
        return;
    head = type;
    const bool fullLine = rightLimit >= roll.width();
    if (widthForHead(type) != roll.width())
        roll = roll.widened(widthForHead(type));
    rightLimit = qMin(rightLimit, roll.width());
    leftMargin = qMin(leftMargin, roll.width() - 8);
    if (fullLine)
        rightLimit = roll.width();
}

quint8 Interpreter::status() const
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

void Interpreter::clearPaper()
{
    roll = Paper(roll.width());
    entries.clear();
    textEntry = -1;
    bulkEntry = -1;
    for (Item &item : line)
        item.entry = -1;
}

QByteArray Interpreter::takeReplies()
{
    QByteArray out;
    out.swap(replies);
    return out;
}

int Interpreter::begin(const QString &name, const QString &args)
{
    textEntry = -1;
    if (entries.size() >= maxLogEntries)
        return -1;
    entries.append({pendingOffset, name, args, -1, -1});
    return int(entries.size() - 1);
}

void Interpreter::markRows(int entry, int first, int last)
{
    if (entry < 0 || entry >= entries.size() || last < first)
        return;
    LogEntry &e = entries[entry];
    e.firstRow = e.firstRow < 0 ? first : qMin(e.firstRow, first);
    e.lastRow = qMax(e.lastRow, last);
}

void Interpreter::feed(const QByteArray &chunk) { feed(chunk.constData(), chunk.size()); }

void Interpreter::feed(const char *data, qsizetype size)
{
    received += size;
    pending.append(data, size);
    qsizetype pos = 0;
    while (pos < pending.size()) {
        if (bulk != Bulk::None) {
            const qsizetype n = qMin<qsizetype>(bulkLeft, pending.size() - pos);
            consumeBulk(pending.constData() + pos, n);
            pos += n;
            pendingOffset += n;
            continue;
        }
        const qsizetype used = step(pending.constData() + pos, pending.size() - pos);
        if (used == 0)
            break; // wait for the rest of the command; it is never longer than a few hundred bytes
        pos += used;
        pendingOffset += used;
    }
    pending.remove(0, pos);
}

void Interpreter::finish()
{
    if (!pending.isEmpty() || bulk != Bulk::None) {
        ++truncated;
        begin(QStringLiteral("truncated"),
            bulk != Bulk::None ? QStringLiteral("%1 data bytes missing").arg(bulkLeft)
                               : hexArgs(pending.constData(), qMin<qsizetype>(pending.size(), 16)));
        pendingOffset += pending.size();
        pending.clear();
        bulk = Bulk::None;
        rasterRowsLeft = 0;
    }
    if (!line.isEmpty())
        flushLine(0, true);
}

qsizetype Interpreter::step(const char *p, qsizetype n)
{
    const quint8 b = u8(p, 0);
    if (sleeping) {
        sleeping = false; // the byte wakes the controller and is then processed
        begin(QStringLiteral("wake"));
    }

    auto need = [n](qsizetype k) { return n >= k; };
    // Runs a command that prints and records the paper rows it produced.
    auto printed = [this](int entry, auto action) {
        const int before = roll.rows();
        action();
        markRows(entry, before, roll.rows() - 1);
    };
    // A prefix, a letter and one parameter byte: most commands.
    auto one = [&](const char *name, auto apply) -> qsizetype {
        if (!need(3))
            return 0;
        begin(QString::fromLatin1(name), num(u8(p, 2)));
        apply(u8(p, 2));
        return 3;
    };
    auto unknownPrefix = [&]() -> qsizetype {
        ++unknown;
        begin(QStringLiteral("unknown"), hexArgs(p, qMin<qsizetype>(n, 2)));
        return 1; // resume at the next byte
    };

    switch (b) {
    case 0x0A: {
        printed(begin(QStringLiteral("printLF")), [&] { flushLine(0, true); });
        return 1;
    }
    case 0x0D:
        begin(QStringLiteral("printCR")); // a carriage return does not feed
        return 1;
    case 0x09:
        begin(QStringLiteral("horizontalTab"));
        horizontalTab();
        return 1;
    case 0x00:
        return 1;
    case ESC: {
        if (!need(2))
            return 0;
        const char letter = p[1];
        switch (letter) {
        case '@':
            begin(QStringLiteral("printerSoftInit"));
            line.clear();
            cursor = 0;
            resetModes();
            return 2;
        case 'Z':
            return one("setPrinterHead", [this](int v) { setHead(v); });
        case 'J':
            if (!need(3))
                return 0;
            printed(begin(QStringLiteral("printAndFeedNDotLine"), num(u8(p, 2))), [&] { flushLine(u8(p, 2), false); });
            return 3;
        case '!':
            return one("fontTypeSet", [this](int v) { mode = quint8(v); });
        case 'a':
            return one("horizontalAlign", [this](int v) { align = v <= 2 ? v : align; });
        case '3':
            return one("lineSpacingSet", [this](int v) { lineSpacing = v; });
        case '2':
            begin(QStringLiteral("lineSpacingDefaults"));
            lineSpacing = 33;
            return 2;
        case 'D': {
            // Stop columns end with NUL; a list that runs past 32 stops ends there.
            qsizetype end = 2;
            while (end < n && end < 2 + maxTabStops && p[end] != 0)
                ++end;
            const bool closed = end < n && p[end] == 0;
            if (!closed && end < 2 + maxTabStops)
                return 0;
            tabStops.clear();
            for (qsizetype i = 2; i < end; ++i)
                tabStops.append(u8(p, i));
            begin(QStringLiteral("horizontalTabSet"), hexArgs(p + 2, end - 2));
            return closed ? end + 1 : end;
        }
        case 'd':
            if (!need(3))
                return 0;
            {
                // Prints the pending line, then feeds n lines of the current spacing.
                printed(begin(QStringLiteral("printAndFeedNFontLine"), num(u8(p, 2))),
                    [&] { flushLine(u8(p, 2) * lineSpacing, false); });
            }
            return 3;
        case 'l':
            return one("setLeftMargin", [this](int v) { leftMargin = qMin(v * 8, roll.width() - 8); });
        case 'Q':
            return one(
                "setRightMargin", [this](int v) { rightLimit = v == 0 ? roll.width() : qMin(v * 8, roll.width()); });
        case '$':
            if (!need(4))
                return 0;
            begin(QStringLiteral("absolutePrintPos"), num(u8(p, 2)) + QLatin1Char(' ') + num(u8(p, 3)));
            cursor = qMin(le16(p, 2), qMax(0, rightLimit - leftMargin));
            return 4;
        case 'm':
            return one("setFontGrayScale", [this](int v) { darkness = v; });
        case 'M':
            return one("setFontMode", [this](int v) { font = v == 1 ? FontSize::Small : FontSize::Standard; });
        case 'i':
        case 'n': {
            printed(begin(QString::fromLatin1(letter == 'i' ? "fullCut" : "partialCut")), [&] { cut(letter == 'i'); });
            return 2;
        }
        default:
            return unknownPrefix();
        }
    }
    case GS: {
        if (!need(2))
            return 0;
        const char letter = p[1];
        switch (letter) {
        case '(':
            if (need(3) && p[2] == 'k') {
                if (!need(7))
                    return 0;
                const int length = le16(p, 3);
                const quint8 fn = u8(p, 6);
                if (length == 3 && fn == 0x43 && need(8)) {
                    begin(QStringLiteral("setQRSizeVersion"), num(u8(p, 7)));
                    qrModule = u8(p, 7);
                    return 8;
                }
                if (length == 3 && fn == 0x45 && need(8)) {
                    begin(QStringLiteral("setQRcodeErrorCorrection"), num(u8(p, 7)));
                    qrErrorCorrection = u8(p, 7);
                    return 8;
                }
                if (length == 3 && fn == 0x51 && need(8)) {
                    printed(begin(QStringLiteral("printQRcodeData")), [&] { printQr(); });
                    return 8;
                }
                if (fn == 0x50 && length >= 3) {
                    if (!need(8))
                        return 0;
                    bulkEntry = begin(QStringLiteral("transferQRcodeData"), num(length - 3));
                    qrData.clear();
                    bulk = Bulk::QrData;
                    bulkLeft = length - 3;
                    if (bulkLeft == 0)
                        bulk = Bulk::None;
                    return 8;
                }
                if (length < 3 && need(5 + length)) {
                    ++unknown;
                    begin(QStringLiteral("unknown"), hexArgs(p, 5 + length));
                    return 5 + length;
                }
                if (length >= 3 && need(8)) {
                    ++unknown;
                    begin(QStringLiteral("unknown"), hexArgs(p, 7));
                    bulk = Bulk::Skip; // an unknown QR function: skip its body
                    bulkLeft = length - 2;
                    return 7;
                }
                return 0;
            }
            if (!need(4))
                return 0;
            begin(QStringLiteral("setComMode"), num(u8(p, 2)) + QLatin1Char(' ') + num(u8(p, 3)));
            uartSpeed = u8(p, 2);
            uartFlow = u8(p, 3);
            return 4;
        case 'v': {
            if (!need(8))
                return 0;
            if (p[2] != '0')
                return unknownPrefix();
            const int bytesPerRow = le16(p, 4), rows = le16(p, 6);
            bulkEntry = begin(
                QStringLiteral("picturePrintH"), QStringLiteral("%1 %2 %3").arg(u8(p, 3)).arg(bytesPerRow).arg(rows));
            printPendingLine();
            rasterBytesPerRow = bytesPerRow;
            rasterRowsLeft = rows;
            const int dots = qMin(bytesPerRow * 8, roll.width());
            rasterX = qMin(leftMargin + alignOffset(dots), roll.width());
            rowBuffer.clear();
            bulkLeft = qint64(bytesPerRow) * rows;
            bulk = bulkLeft > 0 ? Bulk::Raster : Bulk::None;
            return 8;
        }
        case 'h':
            return one("barcodeHeightSet", [this](int v) { barcodeHeight = v; });
        case 'w':
            return one("barcodeWidthSet", [this](int v) { barcodeWidth = v; });
        case 'H':
            return one("barcodeTextYesNo", [this](int v) { barcodeText = v != 0; });
        case 'a':
            return one("setPrinterCallBack", [this](int v) { callBack = v; });
        case 'k': {
            if (!need(4))
                return 0;
            const int length = u8(p, 3);
            if (!need(4 + length))
                return 0;
            const int system = u8(p, 2) - proto::barcodeBase;
            const QByteArray data(p + 4, length);
            printed(begin(QStringLiteral("barcodePrint"),
                        QStringLiteral("%1 \"%2\"").arg(system).arg(QString::fromLatin1(data))),
                [&] { printBarcode(system, data); });
            return 4 + length;
        }
        case 'q': {
            if (!need(8))
                return 0;
            nvIndex = u8(p, 2);
            nvIncoming = {le16(p, 4), le16(p, 6), {}};
            bulkEntry = begin(QStringLiteral("downloadNVBitmap"),
                QStringLiteral("%1 %2 %3 %4")
                    .arg(nvIndex)
                    .arg(u8(p, 3))
                    .arg(nvIncoming.bytesPerRow)
                    .arg(nvIncoming.rows));
            bulkLeft = qint64(nvIncoming.bytesPerRow) * nvIncoming.rows;
            bulk = Bulk::NvBitmap;
            if (bulkLeft == 0) {
                bulk = Bulk::None;
                storeNvBitmap();
            }
            return 8;
        }
        default:
            return unknownPrefix();
        }
    }
    case FS: {
        if (!need(2))
            return 0;
        switch (p[1]) {
        case '&':
            begin(QStringLiteral("setDbMode"));
            doubleByte = true;
            return 2;
        case '.':
            begin(QStringLiteral("cancelDbMode"));
            doubleByte = false;
            return 2;
        case 'p': {
            if (!need(4))
                return 0;
            printed(begin(QStringLiteral("printNVBitmap"), num(u8(p, 2)) + QLatin1Char(' ') + num(u8(p, 3))),
                [&] { printNvBitmap(u8(p, 2), u8(p, 3)); });
            return 4;
        }
        default:
            return unknownPrefix();
        }
    }
    case DLE: {
        if (!need(2))
            return 0;
        switch (u8(p, 1)) {
        case 0x04:
            begin(QStringLiteral("printerState"));
            replies.append(char(status()));
            return 2;
        case 0x05:
            begin(QStringLiteral("getFirmwareInfo"));
            replies.append(proto::firmwareReply(head));
            return 2;
        case 0x14:
            begin(QStringLiteral("clearPrintBuffer"));
            line.clear(); // what was not printed yet is gone
            cursor = 0;
            return 2;
        case 0x16:
            begin(QStringLiteral("enterSleepMode"));
            sleeping = true;
            return 2;
        default:
            return unknownPrefix();
        }
    }
    default:
        break;
    }

    // Text.
    if (doubleByte && b >= 0xA1 && b <= 0xFE) {
        if (!need(2))
            return 0;
        putText(p, 2);
        putChar(decodePair(gb2312, b, u8(p, 1)));
        return 2;
    }
    if (doubleByte && b >= 0x21 && b <= 0x7E) {
        if (!need(2))
            return 0;
        putText(p, 2);
        putChar(decodePair(eucJp, b | 0x80, u8(p, 1) | 0x80));
        return 2;
    }
    if (b < 0x20) {
        // Any other control byte starts a two-byte character, high byte first.
        if (!need(2))
            return 0;
        putText(p, 2);
        putChar(char32_t(b) << 8 | u8(p, 1));
        return 2;
    }
    putText(p, 1);
    if (b >= 0x80 && b <= 0x9F)
        putChar(windows1252.decode(QByteArray(1, char(b))).at(0).unicode());
    else if (b != 0x7F)
        putChar(b);
    return 1;
}

// Keeps one printStr entry for a run of text bytes, so that the log reads like the job.
void Interpreter::putText(const char *bytes, int count)
{
    if (textEntry < 0 || textEntry != entries.size() - 1)
        textEntry = begin(QStringLiteral("printStr"));
    if (textEntry < 0)
        return;
    QString &args = entries[textEntry].args;
    for (int i = 0; i < count; ++i) {
        const uchar byte = uchar(bytes[i]);
        if (byte >= 0x20 && byte < 0x7F && count == 1)
            args += QLatin1Char(char(byte));
        else
            args += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
}

void Interpreter::consumeBulk(const char *p, qsizetype n)
{
    bulkLeft -= n;
    switch (bulk) {
    case Bulk::Raster: {
        qsizetype i = 0;
        const int before = roll.rows();
        while (i < n) {
            const qsizetype take = qMin<qsizetype>(rasterBytesPerRow - rowBuffer.size(), n - i);
            rowBuffer.append(p + i, take);
            i += take;
            if (rowBuffer.size() == rasterBytesPerRow) {
                printRasterRow(reinterpret_cast<const uchar *>(rowBuffer.constData()), rasterBytesPerRow, 1, 1);
                rowBuffer.clear();
                --rasterRowsLeft;
            }
        }
        markRows(bulkEntry, before, roll.rows() - 1);
        break;
    }
    case Bulk::NvBitmap:
        if (nvIncoming.bits.size() < maxNvBitmap)
            nvIncoming.bits.append(p, qMin<qsizetype>(n, maxNvBitmap - nvIncoming.bits.size()));
        if (bulkLeft == 0)
            storeNvBitmap();
        break;
    case Bulk::QrData:
        if (qrData.size() < maxQrData)
            qrData.append(p, qMin<qsizetype>(n, maxQrData - qrData.size()));
        break;
    case Bulk::Skip:
    case Bulk::None:
        break;
    }
    if (bulkLeft == 0)
        bulk = Bulk::None;
}

void Interpreter::putChar(char32_t c)
{
    const bool bold = mode & 0x08, italic = mode & 0x02;
    const int scaleX = mode & 0x20 ? 2 : 1, scaleY = mode & 0x10 ? 2 : 1;
    const int room = rightLimit - leftMargin;
    Item item;
    item.mode = mode;
    item.ink = inkFor(darkness);
    item.scaleX = scaleX;
    item.scaleY = scaleY;
    item.entry = textEntry;

    if (isArabic(c)) {
        // Consecutive Arabic is shaped as one run by the text layout.
        if (!line.isEmpty() && !line.last().arabic.isEmpty() && line.last().mode == mode) {
            Item &run = line.last();
            run.arabic += QString::fromUcs4(&c, 1);
            run.glyph.advance = Glyphs::instance().runAdvance(run.arabic, font, bold);
            cursor = run.x + run.glyph.advance * scaleX;
            return;
        }
        item.arabic = QString::fromUcs4(&c, 1);
        item.font = font;
        item.glyph.advance = Glyphs::instance().runAdvance(item.arabic, font, bold);
        item.glyph.mask = QImage(1, Glyphs::cellHeight(font), QImage::Format_Alpha8);
    } else {
        item.glyph = Glyphs::instance().glyph(c, font, bold, italic);
        if (item.glyph.placeholder)
            ++placeholders;
    }
    const int width = item.glyph.advance * scaleX;
    if (cursor + width > room && !line.isEmpty())
        flushLine(0, true); // the line wraps at the right limit
    item.x = cursor;
    cursor += width;
    line.append(item);
}

int Interpreter::alignOffset(int contentWidth) const
{
    const int room = qMax(0, rightLimit - leftMargin);
    if (align == 1)
        return qMax(0, (room - contentWidth) / 2);
    if (align == 2)
        return qMax(0, room - contentWidth);
    return 0;
}

void Interpreter::horizontalTab()
{
    // Stops count in standard columns from the left margin. One beyond the right limit is
    // ignored, and with no stop ahead HT does nothing.
    const int column = Glyphs::cellWidth(FontSize::Standard);
    for (int stop : std::as_const(tabStops)) {
        const int x = stop * column;
        if (x > cursor && leftMargin + x < rightLimit) {
            cursor = x;
            return;
        }
    }
}

void Interpreter::flushLine(int feedAfter, bool useLineSpacing)
{
    for (Item &item : line) {
        if (!item.arabic.isEmpty()) // shaped once the run is complete
            item.glyph = Glyphs::instance().shapedRun(item.arabic, item.font, item.mode & 0x08);
    }
    int height = 0, width = 0;
    for (const Item &item : std::as_const(line)) {
        height = qMax(height, item.glyph.mask.height() * item.scaleY);
        width = qMax(width, item.x + item.glyph.advance * item.scaleX);
    }
    const int top = roll.rows();
    if (height > 0) {
        roll.reserve(top, height);
        const int x0 = leftMargin + alignOffset(width);
        for (const Item &item : std::as_const(line)) {
            drawItem(item, x0, top, height);
            markRows(item.entry, top, top + height - 1);
        }
    }
    line.clear();
    cursor = 0;
    if (useLineSpacing)
        roll.feed(qMax(lineSpacing, height) - height + feedAfter);
    else
        roll.feed(feedAfter);
}

void Interpreter::printPendingLine()
{
    if (!line.isEmpty())
        flushLine(0, true);
}

void Interpreter::storeNvBitmap()
{
    if (nvBitmaps.contains(nvIndex) || nvBitmaps.size() < maxNvBitmaps)
        nvBitmaps.insert(nvIndex, nvIncoming);
    nvIncoming = {};
}

void Interpreter::drawItem(const Item &item, int x0, int top, int lineHeight)
{
    const Glyph &glyph = item.glyph;
    const int w = glyph.advance * item.scaleX;
    const int h = glyph.mask.height() * item.scaleY;
    const int left = x0 + item.x;
    const int y0 = top + lineHeight - h; // glyphs stand on the line's bottom
    const bool reverse = item.mode & 0x40, underline = item.mode & 0x80;
    if (reverse)
        roll.fill(left, y0, w, h, item.ink);
    const int width = roll.width(), rows = roll.rows();
    for (const Glyph::Span &span : glyph.spans) {
        const int x0 = qMax(0, left + span.x * item.scaleX);
        const int x1 = qMin(width, left + (span.x + span.length) * item.scaleX);
        for (int sy = 0; sy < item.scaleY; ++sy) {
            const int py = y0 + span.y * item.scaleY + sy;
            if (py < 0 || py >= rows)
                continue;
            uchar *dst = roll.row(py);
            for (int px = x0; px < x1; ++px)
                dst[px] = reverse ? 255 : qMin(dst[px], item.ink);
        }
    }
    if (underline)
        roll.fill(left, top + lineHeight - 2, w, 2, item.ink);
}

void Interpreter::printRasterRow(const uchar *bits, int bytesPerRow, int scaleX, int scaleY)
{
    const int y = roll.rows();
    const int rows = roll.reserve(y, scaleY);
    const uchar ink = inkFor(darkness);
    const int width = roll.width();
    // Bytes that start beyond the paper's edge cannot print.
    const int usable = qMin(bytesPerRow, (width - rasterX + 8 * scaleX - 1) / (8 * scaleX));
    for (int r = 0; r < rows; ++r) {
        uchar *dst = roll.row(y + r);
        for (int i = 0; i < usable; ++i) {
            const uchar byte = bits[i];
            if (!byte)
                continue;
            const int base = rasterX + i * 8 * scaleX;
            const SetBits &set = setBits[byte];
            for (int k = 0; k < set.count; ++k) {
                const int x0 = base + set.bit[k] * scaleX;
                for (int x = x0; x < x0 + scaleX && x < width; ++x) {
                    if (ink < dst[x])
                        dst[x] = ink;
                }
            }
        }
    }
}

void Interpreter::printBarcode(int system, const QByteArray &data)
{
    printPendingLine();
    const LinearSymbol symbol = encodeLinear(system, data);
    const uchar ink = inkFor(darkness);
    const int module = qBound(1, barcodeWidth, 6);
    const int height = qMax(1, barcodeHeight);
    if (!symbol.error.isEmpty()) {
        // A visible mark instead of a barcode: a crossed box the size of a short code.
        if (!entries.isEmpty())
            entries.last().args += QStringLiteral(" rejected: ") + symbol.error;
        const int w = qMin(160, rightLimit - leftMargin), x = leftMargin + alignOffset(w);
        const int y = roll.rows(), rows = roll.reserve(y, 40);
        roll.fill(x, y, w, 3, ink);
        roll.fill(x, y + rows - 3, w, 3, ink);
        roll.fill(x, y, 3, rows, ink);
        roll.fill(x + w - 3, y, 3, rows, ink);
        for (int i = 0; i < rows; ++i) {
            for (int t = 0; t < 3; ++t) {
                roll.dot(x + i * w / 40 + t, y + i, ink);
                roll.dot(x + w - 1 - i * w / 40 - t, y + i, ink);
            }
        }
        roll.feed(8);
        return;
    }
    const int width = int(symbol.modules.size()) * module;
    const int x = leftMargin + alignOffset(width);
    const int y = roll.rows();
    const int rows = roll.reserve(y, height);
    for (int r = 0; r < rows; ++r) {
        for (int m = 0; m < symbol.modules.size(); ++m) {
            if (symbol.modules.at(m))
                roll.fill(x + m * module, y + r, module, 1, ink);
        }
    }
    if (barcodeText) {
        const Glyph text = Glyphs::instance().text(symbol.text);
        const int ty = roll.rows() + 2;
        roll.reserve(ty, text.mask.height());
        const int tx = x + qMax(0, (width - text.advance) / 2);
        for (int yy = 0; yy < text.mask.height(); ++yy)
            for (int xx = 0; xx < text.mask.width(); ++xx)
                if (text.mask.constScanLine(yy)[xx])
                    roll.dot(tx + xx, ty + yy, ink);
    }
}

void Interpreter::printQr()
{
    printPendingLine();
    const QrSymbol symbol = encodeQr(qrData, qrErrorCorrection);
    if (symbol.size == 0)
        return;
    const int module = qBound(1, qrModule, 16);
    const int width = symbol.size * module;
    const int x = leftMargin + alignOffset(width);
    const int y = roll.rows();
    const uchar ink = inkFor(darkness);
    const int rows = roll.reserve(y, width);
    for (int r = 0; r < rows; ++r)
        for (int m = 0; m < symbol.size; ++m)
            if (symbol.modules.at((r / module) * symbol.size + m))
                roll.fill(x + m * module, y + r, module, 1, ink);
}

void Interpreter::printNvBitmap(int index, int bitmapMode)
{
    printPendingLine();
    const auto it = nvBitmaps.constFind(index);
    if (it == nvBitmaps.constEnd() || it->bytesPerRow == 0)
        return;
    const int scaleX = bitmapMode & 1 ? 2 : 1, scaleY = bitmapMode & 2 ? 2 : 1;
    rasterX = leftMargin + alignOffset(qMin(it->bytesPerRow * 8 * scaleX, roll.width()));
    const qsizetype rowsKept = it->bits.size() / it->bytesPerRow;
    for (qsizetype r = 0; r < rowsKept; ++r)
        printRasterRow(reinterpret_cast<const uchar *>(it->bits.constData()) + r * it->bytesPerRow, it->bytesPerRow,
            scaleX, scaleY);
}

void Interpreter::cut(bool full)
{
    // A full cut is a solid line across the roll; a partial cut is dashed and leaves the
    // middle of the paper holding.
    printPendingLine();
    roll.feed(12);
    const int y = roll.rows();
    roll.reserve(y, 3);
    const int w = roll.width();
    if (full) {
        roll.fill(0, y, w, 3, 0);
    } else {
        for (int x = 0; x < w; x += 16) {
            if (x + 16 > w / 2 - 32 && x < w / 2 + 32)
                continue;
            roll.fill(x, y, 10, 3, 0);
        }
    }
    roll.feed(12);
}

} // namespace sim
