#include "simulator/core/Printhead.h"

#include "commands/Charsets.h"
#include "commands/Protocol.h"
#include "simulator/core/CodeTables.h"
#include "simulator/core/Symbols.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr qsizetype maxBitmapBytes = 1 << 18; // one stored bitmap, graphics or QR payload kept
constexpr int maxNvBitmaps = 8;
constexpr qsizetype maxQrData = 7089; // the most a QR code can hold

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

// ESC R: the twelve ASCII positions national sets replace, and what sets 0 to 10 put there.
const char asciiPositions[12] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
const char16_t nationalSets[11][12] = {
    {u'#', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // USA
    {u'#', u'$', u'à', u'°', u'ç', u'§', u'^', u'`', u'é', u'ù', u'è', u'¨'}, // France
    {u'#', u'$', u'§', u'Ä', u'Ö', u'Ü', u'^', u'`', u'ä', u'ö', u'ü', u'ß'}, // Germany
    {u'£', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // UK
    {u'#', u'$', u'@', u'Æ', u'Ø', u'Å', u'^', u'`', u'æ', u'ø', u'å', u'~'}, // Denmark I
    {u'#', u'¤', u'É', u'Ä', u'Ö', u'Å', u'Ü', u'é', u'ä', u'ö', u'å', u'ü'}, // Sweden
    {u'#', u'$', u'@', u'°', u'\\', u'é', u'^', u'ù', u'à', u'ò', u'è', u'ì'}, // Italy
    {u'₧', u'$', u'@', u'¡', u'Ñ', u'¿', u'^', u'`', u'¨', u'ñ', u'}', u'~'}, // Spain I
    {u'#', u'$', u'@', u'[', u'¥', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // Japan
    {u'#', u'¤', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}, // Norway
    {u'#', u'$', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}, // Denmark II
};

// The double-byte sets, opened once: opening a converter costs far more than using it.
char32_t decodePair(const char *name, quint8 hi, quint8 lo)
{
    static Charset gb2312("GB2312"), eucJp("EUC-JP");
    const char pair[2] = {char(hi), char(lo)}; // QByteArray{hi, lo} would be hi copies of lo
    return Charset::decodeOne(qstrcmp(name, "GB2312") == 0 ? gb2312 : eucJp, QByteArray(pair, 2));
}

} // namespace

uchar Printhead::inkFor(int level)
{
    // Level 1 prints a light grey, 8 full black; 0 and anything out of range print as 4.
    static const uchar greys[9] = {80, 170, 140, 110, 80, 60, 40, 20, 0};
    return level >= 0 && level <= 8 ? greys[level] : greys[4];
}

Printhead::Printhead(int headType)
    : roll(proto::headWidth(headType))
    , head(headType)
    , dots(proto::headWidth(headType))
{
    resetModes();
}

void Printhead::loadCodeTable(int table) { upper = codeTable(table).upper; }

void Printhead::resetModes()
{
    mode = 0;
    emphasis = italic = whiteOnBlack = upsideDown = rotated = false;
    underlineDots = rightSpacing = 0;
    sizeX = sizeY = 1;
    align = 0;
    leftMargin = 0;
    rightLimit = dots;
    lineSpacing = 33;
    darkness = 0;
    font = FontSize::Standard;
    tabStops = {8, 16, 24, 32, 40, 48, 56, 64};
    barcodeHeight = 162;
    barcodeWidth = 3;
    barcodeTextPosition = 2;
    hriFont = FontSize::Standard;
    international = 0;
    doubleByteMode = 0;
    doubleByteUnderline = doubleByteLeft = doubleByteRight = 0;
    doubleByteQuadruple = secondColour = false;
    loadCodeTable(16);
}

void Printhead::setHead(int type)
{
    if (type < 0 || type >= proto::headTypes)
        return;
    head = type;
    const bool fullLine = rightLimit >= dots;
    dots = proto::headWidth(type);
    // The roll only ever widens, and only once: switching back and forth copies nothing.
    if (dots > roll.width())
        roll = roll.widened(dots);
    rightLimit = fullLine ? dots : qMin(rightLimit, dots);
    leftMargin = qMin(leftMargin, dots - 8);
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

QString Printhead::describeReply(const QByteArray &reply)
{
    QString out = QString::fromLatin1(reply.left(16).toHex(' ').toUpper());
    if (reply.size() == 1) {
        const quint8 s = quint8(reply.at(0));
        QStringList meaning;
        if (s & CoverOpen)
            meaning << QStringLiteral("cover open");
        if (s & Sleeping)
            meaning << QStringLiteral("asleep");
        if (s & PaperOut)
            meaning << QStringLiteral("paper out");
        if (s & LinePending)
            meaning << QStringLiteral("a line waiting");
        if (s & HasCutter)
            meaning << QStringLiteral("cutter");
        return out + QStringLiteral(" (")
            + (meaning.isEmpty() ? QStringLiteral("ready") : meaning.join(QStringLiteral(", "))) + QLatin1Char(')');
    }
    return out + QStringLiteral(" \"") + QString::fromLatin1(reply).trimmed() + QLatin1Char('"');
}

quint8 Printhead::realTimeStatus(int which) const
{
    quint8 s = Fixed;
    if (which == 1 && (paperOut || coverOpen || sleeping))
        s |= 0x08; // offline
    if (which == 2)
        s |= (coverOpen ? 0x04 : 0) | (paperOut ? 0x20 : 0);
    if (which == 4 && paperOut)
        s |= 0x60; // paper end
    return s;
}

void Printhead::clearPaper()
{
    roll = Paper(roll.width());
    entries.clear();
    tablesNoted.clear();
    cuts.clear();
    bulkEntry = -1;
    for (Item &item : line)
        item.entry = -1;
}

void Printhead::markRows(int entry, int first, int last)
{
    if (entry < 0 || entry >= entries.size() || last < first)
        return;
    LogEntry &e = entries[entry];
    e.firstRow = e.firstRow < 0 ? first : qMin(e.firstRow, first);
    e.lastRow = qMax(e.lastRow, last);
}

void Printhead::startBulk(Bulk kind, qint64 size, int entry)
{
    bulkKind = kind; // with no data, the caller hands over the empty rest at once
    bulkLeft = size;
    bulkEntry = entry;
}

int Printhead::scaleX() const { return qMax(mode & proto::DoubleWidth ? 2 : 1, sizeX); }
int Printhead::scaleY() const { return qMax(mode & proto::DoubleHeight ? 2 : 1, sizeY); }

char32_t Printhead::singleByte(quint8 b) const
{
    if (b >= 0x80)
        return upper[b - 0x80];
    if (international > 0) {
        const char *at = static_cast<const char *>(std::memchr(asciiPositions, b, sizeof asciiPositions));
        if (at)
            return nationalSets[international][at - asciiPositions];
    }
    return b;
}

QByteArray Printhead::apply(const Command &c, int entry, QString &note)
{
    const int before = roll.rows();
    QByteArray reply;
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Text:
        if (c.size == 2) {
            const quint8 hi = c.at(0), lo = c.at(1);
            if (hi >= 0xA1) // GB2312 in its EUC form
                putChar(decodePair("GB2312", hi, lo), entry, true);
            else if (hi >= 0x21) // JIS X 0208, 7-bit
                putChar(decodePair("EUC-JP", hi | 0x80, lo | 0x80), entry, true);
            else // a UTF-16 character, high byte first
                putChar(char32_t(hi) << 8 | lo, entry);
        } else if (c.at(0) != 0x7F) {
            putChar(singleByte(c.at(0)), entry);
        }
        break;
    case Op::PrintLF:
        flushLine(0, true);
        break;
    case Op::PrintCR: // a carriage return does not feed
    case Op::NoEffect:
    case Op::Unknown:
        break;
    case Op::Skipped:
    case Op::Buzzer:
    case Op::InkColour:
    case Op::CharacterEffects:
    case Op::DoubleByteMode:
    case Op::DoubleByteUnderline:
    case Op::DoubleByteSpacing:
    case Op::DoubleByteQuadruple:
        clientFamily(c, note);
        break;
    case Op::HorizontalTab:
        horizontalTab();
        break;
    case Op::SoftInit:
        line.clear();
        cursor = 0;
        resetModes();
        break;
    case Op::SetHead:
        setHead(n);
        break;
    case Op::FeedDots:
        flushLine(n, false);
        break;
    case Op::FeedLines: // prints the pending line, then feeds n lines of the current spacing
        flushLine(n * lineSpacing, false);
        break;
    case Op::FontType:
        mode = n;
        break;
    case Op::Align:
        align = n <= 2 ? n : n >= 48 && n <= 50 ? n - 48 : align;
        break;
    case Op::LineSpacing:
        lineSpacing = n;
        break;
    case Op::LineSpacingDefault:
        lineSpacing = 33;
        break;
    case Op::TabStops:
        tabStops.clear();
        for (int i = c.prefix; i < c.size && c.at(i) != 0; ++i)
            tabStops.append(c.at(i));
        break;
    case Op::LeftMarginColumns:
        leftMargin = qMin(n * 8, dots - 8);
        break;
    case Op::RightLimitColumns:
        rightLimit = n == 0 ? dots : qMin(n * 8, dots);
        break;
    case Op::AbsolutePosition:
        cursor = qMin(c.param16(0), qMax(0, rightLimit - leftMargin));
        break;
    case Op::RelativePosition:
        cursor = qBound(0, cursor + qint16(c.param16(0)), qMax(0, rightLimit - leftMargin));
        break;
    case Op::LeftMarginDots:
        leftMargin = qMin(c.param16(0), dots - 8);
        rightLimit = qMax(rightLimit, leftMargin + 8);
        break;
    case Op::PrintAreaWidth:
        rightLimit = c.param16(0) == 0 ? dots : qMin(dots, leftMargin + qMax(8, c.param16(0)));
        break;
    case Op::Darkness:
        darkness = n;
        break;
    case Op::FontMode: // the controller's 1 and 2, and font A and B of other controllers
        font = n == 1 || n == 49 ? FontSize::Small : FontSize::Standard;
        break;
    case Op::DoubleByteOn:
    case Op::DoubleByteOff:
        break; // the decoder reads the pairs
    case Op::Emphasis:
    case Op::DoubleStrike:
        emphasis = n & 1;
        break;
    case Op::Italic:
        italic = n & 1;
        break;
    case Op::Underline:
        underlineDots = n == 1 || n == 49 ? 1 : n == 2 || n == 50 ? 2 : 0;
        break;
    case Op::CharacterSize:
        sizeX = 1 + ((n >> 4) & 7);
        sizeY = 1 + (n & 7);
        break;
    case Op::WhiteOnBlack:
        whiteOnBlack = n & 1;
        break;
    case Op::UpsideDown:
        upsideDown = n & 1;
        break;
    case Op::Rotate:
        rotated = n == 1 || n == 49;
        break;
    case Op::RightSpacing:
        rightSpacing = n;
        break;
    case Op::CodeTable: {
        const CodeTable table = codeTable(n);
        if (!table.held && !tablesNoted.contains(n)) { // said once: clients select tables often
            tablesNoted.insert(n);
            note = QStringLiteral("code table %1 not held: %2 instead").arg(n).arg(QLatin1String(table.codec));
        }
        upper = table.upper;
        break;
    }
    case Op::InternationalSet:
        international = n <= 10 ? n : 0;
        break;
    case Op::BarcodeHeight:
        barcodeHeight = n;
        break;
    case Op::BarcodeWidth:
        barcodeWidth = n;
        break;
    case Op::BarcodeText: // the controller's 1 is text below; 2 below, 3 both, as others have them
        barcodeTextPosition = (n & 3) == 1 ? 2 : n & 3;
        break;
    case Op::HriFont:
        hriFont = n == 1 || n == 49 ? FontSize::Small : FontSize::Standard;
        break;
    case Op::Barcode: {
        const bool functionB = n >= proto::barcodeBase;
        const int dataStart = functionB ? 2 : 1;
        QByteArray data(c.data + c.prefix + dataStart, c.size - c.prefix - dataStart);
        if (!functionB && data.endsWith('\0'))
            data.chop(1);
        printBarcode(functionB ? n - proto::barcodeBase : n, data, note);
        break;
    }
    case Op::Raster: {
        printPendingLine();
        rasterBytesPerRow = c.param16(1);
        const int width = qMin(rasterBytesPerRow * 8, dots);
        rasterX = qMin(leftMargin + alignOffset(width), dots);
        rowBuffer.clear();
        startBulk(Bulk::Raster, c.bulk, entry);
        break;
    }
    case Op::ColumnImage: {
        // 8-dot columns print three rows a dot, 24-dot columns one; single density doubles
        // each column.
        columnBytes = n & 0x20 ? 3 : 1;
        columnScaleY = columnBytes == 1 ? 3 : 1;
        columnScaleX = n & 1 ? 1 : 2;
        incoming = {columnBytes, int(c.bulk / columnBytes), {}};
        startBulk(Bulk::ColumnImage, c.bulk, entry);
        if (c.bulk == 0)
            bulk(nullptr, 0);
        break;
    }
    case Op::NvDownload:
        if (!nvBitmaps.contains(n) && nvBitmaps.size() >= maxNvBitmaps)
            note = QStringLiteral("the store holds %1 bitmaps already: not kept").arg(maxNvBitmaps);
        else if (c.bulk > maxBitmapBytes)
            note = QStringLiteral("only the first %1 bytes kept").arg(maxBitmapBytes);
        nvIndex = n;
        incoming = {c.param16(2), c.param16(4), {}};
        startBulk(Bulk::NvBitmap, c.bulk, entry);
        if (c.bulk == 0)
            bulk(nullptr, 0);
        break;
    case Op::NvPrint: {
        printPendingLine();
        const auto it = nvBitmaps.constFind(n);
        if (it == nvBitmaps.constEnd())
            note = QStringLiteral("no bitmap stored at %1").arg(n);
        else
            printBitmap(*it, c.param(1) & 1 ? 2 : 1, c.param(1) & 2 ? 2 : 1);
        break;
    }
    case Op::SymbolFunction:
        reply = symbolFunction(c, entry, note);
        break;
    case Op::Graphics:
        graphicsFunction(c, entry, note);
        break;
    case Op::FullCut:
        cut(true);
        break;
    case Op::PartialCut:
        cut(false);
        break;
    case Op::Cut:
        if (n == 0 || n == 48 || n == 1 || n == 49) {
            cut(n == 0 || n == 48);
        } else if (n == 65 || n == 66) {
            printPendingLine();
            roll.feed(c.param(1));
            cut(n == 65);
        } else {
            note = QStringLiteral("cut %1 skipped").arg(n);
        }
        break;
    case Op::ClearBuffer:
        line.clear(); // what was not printed yet is gone
        cursor = 0;
        break;
    case Op::Sleep:
        sleeping = true;
        break;
    case Op::CallBack:
        callBackMode = n;
        break;
    case Op::ComMode:
        uartSpeed = c.param(0);
        uartFlow = c.param(1);
        break;
    case Op::DrawerKick:
        ++kicks;
        note = QStringLiteral("drawer %1 kicked").arg(n & 1 ? 2 : 1);
        break;
    case Op::Status:
        reply = QByteArray(1, char(status()));
        break;
    case Op::StatusN:
        reply = QByteArray(1, char(realTimeStatus(c.param(0))));
        break;
    case Op::Firmware:
        reply = proto::firmwareReply(head);
        break;
    case Op::TransmitStatus:
        // 1 the paper sensor (near end and end), 2 the drawer, which is always closed.
        reply = QByteArray(1, char((n == 1 || n == 49) && paperOut ? 0x0F : 0x00));
        break;
    case Op::PrinterId:
        if (n == 1 || n == 49)
            reply = QByteArray(1, proto::printerIdModel);
        else if (n == 2 || n == 50)
            reply = QByteArray(1, proto::headHasCutter(head) ? proto::printerIdCutter : '\0');
        else if (n == 3 || n == 51)
            reply = QByteArray(1, proto::printerIdFirmware);
        else if (n >= 65 && n <= 67)
            reply = proto::printerIdText(n);
        else
            note = QStringLiteral("no such printer ID %1").arg(n);
        break;
    }
    markRows(entry, before, roll.rows() - 1);
    return reply;
}

void Printhead::clientFamily(const Command &c, QString &note)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Buzzer:
        note = QStringLiteral("buzzer sounds %1 times").arg(qBound(1, int(n), 9));
        break;
    case Op::InkColour:
        secondColour = n == 1 || n == 49;
        break;
    case Op::CharacterEffects: // fn 48 m: 49 the first colour, 50 and 51 the second
        if (n == 48 && c.param(1) >= 49 && c.param(1) <= 51)
            secondColour = c.param(1) != 49;
        else
            note = QStringLiteral("character effect %1 ignored").arg(n);
        break;
    case Op::DoubleByteMode:
        doubleByteMode = n;
        break;
    case Op::DoubleByteUnderline:
        doubleByteUnderline = n == 1 || n == 49 ? 1 : n == 2 || n == 50 ? 2 : 0;
        break;
    case Op::DoubleByteSpacing:
        doubleByteLeft = n;
        doubleByteRight = c.param(1);
        break;
    case Op::DoubleByteQuadruple:
        doubleByteQuadruple = n & 1;
        break;
    default:
        note = QStringLiteral("ignored");
        break;
    }
}

uchar Printhead::textInk() const
{
    // The second colour prints as a lighter shade of the ink, halfway to the paper's white.
    const uchar ink = inkFor(darkness);
    return secondColour ? uchar((ink + 255) / 2) : ink;
}

QByteArray Printhead::symbolFunction(const Command &c, int entry, QString &note)
{
    // GS ( k: cn 0x31 is the QR code, 0x30 PDF417; fn says what to do.
    const quint8 cn = c.param(0), fn = c.param(1), value = c.param(2);
    const bool qr = cn == proto::qr::symbol, pdf = cn == proto::pdf417::symbol;
    const int before = roll.rows();
    if ((qr || pdf) && fn == proto::qr::store) {
        QByteArray &data = qr ? qrData : pdfData;
        data = QByteArray(c.data + c.prefix + 3, qMax(0, c.size - c.prefix - 3));
        startBulk(qr ? Bulk::QrData : Bulk::Pdf417Data, c.bulk, entry);
    } else if (qr && fn == proto::qr::moduleSize) {
        qrModule = value;
    } else if (qr && fn == proto::qr::errorCorrection) {
        qrErrorCorrection = value;
    } else if (qr && fn == proto::qr::print) {
        printPendingLine();
        EncodedSymbol &code = storedSymbol(true);
        if (code.symbol.width == 0)
            note = qrData.isEmpty() ? QStringLiteral("no QR data stored")
                                    : QStringLiteral("%1 bytes do not fit a QR code").arg(qrData.size());
        else
            printMatrix(code, qBound(1, qrModule, 16), qBound(1, qrModule, 16));
    } else if (pdf && fn == proto::pdf417::columns) {
        pdfColumns = value;
    } else if (pdf && fn == proto::pdf417::moduleWidth) {
        pdfModuleWidth = value;
    } else if (pdf && fn == proto::pdf417::rowHeight) {
        pdfRowHeight = value;
    } else if (pdf && fn == proto::pdf417::errorLevel) {
        pdfErrorLevel = c.param(3) - 0x30;
    } else if (pdf && fn == proto::pdf417::print) {
        printPendingLine();
        EncodedSymbol &code = storedSymbol(false);
        if (!code.symbol.error.isEmpty())
            note = QStringLiteral("rejected: ") + code.symbol.error;
        else
            printMatrix(code, qBound(1, pdfModuleWidth, 8), qBound(1, pdfRowHeight, 8) * qBound(1, pdfModuleWidth, 8));
    } else if (!(qr && fn == proto::qr::model)
        && !(pdf && (fn == proto::pdf417::rows || fn == proto::pdf417::options))) {
        note = QStringLiteral("function %1 %2 skipped")
                   .arg(cn, 2, 16, QLatin1Char('0'))
                   .arg(fn, 2, 16, QLatin1Char('0'));
        startBulk(Bulk::Skip, c.bulk, entry);
    }
    markRows(entry, before, roll.rows() - 1);
    return {};
}

Printhead::EncodedSymbol &Printhead::storedSymbol(bool qr)
{
    const QByteArray &data = qr ? qrData : pdfData;
    const int first = qr ? qrErrorCorrection : pdfColumns, second = qr ? 0 : pdfErrorLevel;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const EncodedSymbol &e = encoded.at(i);
        if (e.qr == qr && e.first == first && e.second == second && e.data == data) {
            encoded.move(i, 0);
            return encoded.first();
        }
    }
    EncodedSymbol e{qr, first, second, data, {}, {}, 0, 255};
    if (qr) {
        QrSymbol symbol = encodeQr(data, first);
        e.symbol.width = symbol.size;
        e.symbol.modules = std::move(symbol.modules);
    } else {
        e.symbol = encodePdf417(data, first, second);
    }
    if (encoded.size() >= maxEncodedSymbols)
        encoded.removeLast();
    encoded.prepend(std::move(e));
    return encoded.first();
}

void Printhead::graphicsFunction(const Command &c, int entry, QString &note)
{
    // GS ( L and GS 8 L: m, fn, then the function's parameters.
    const quint8 fn = c.param(1);
    if (fn == 0x70 || fn == 112) { // store raster graphics: a bx by c xL xH yL yH data
        graphicsScaleX = qBound(1, int(c.param(3)), 2);
        graphicsScaleY = qBound(1, int(c.param(4)), 2);
        const int width = c.param16(6), height = c.param16(8);
        incoming = {(width + 7) / 8, height, {}};
        const int peeked = qMax(0, c.size - c.prefix - 10);
        incoming.bits = QByteArray(c.data + c.prefix + 10, peeked);
        startBulk(Bulk::Graphics, c.bulk, entry);
        if (c.bulk == 0)
            bulk(nullptr, 0);
    } else if (fn == 0x32 || fn == 2) { // print what is stored
        printPendingLine();
        printBitmap(graphics, graphicsScaleX, graphicsScaleY);
    } else {
        note = QStringLiteral("graphics function %1 skipped").arg(fn);
        startBulk(Bulk::Skip, c.bulk, entry);
    }
}

void Printhead::bulk(const char *p, qsizetype n)
{
    bulkLeft -= n;
    const int before = roll.rows();
    switch (bulkKind) {
    case Bulk::Raster: {
        qsizetype i = 0;
        while (i < n && rasterBytesPerRow > 0) {
            const qsizetype take = qMin<qsizetype>(rasterBytesPerRow - rowBuffer.size(), n - i);
            rowBuffer.append(p + i, take);
            i += take;
            if (rowBuffer.size() == rasterBytesPerRow) {
                printRasterRow(reinterpret_cast<const uchar *>(rowBuffer.constData()), rasterBytesPerRow, 1, 1);
                rowBuffer.clear();
            }
        }
        break;
    }
    case Bulk::NvBitmap:
    case Bulk::ColumnImage:
    case Bulk::Graphics:
        if (incoming.bits.size() < maxBitmapBytes)
            incoming.bits.append(p, qMin<qsizetype>(n, maxBitmapBytes - incoming.bits.size()));
        if (bulkLeft > 0)
            break;
        if (bulkKind == Bulk::NvBitmap && (nvBitmaps.contains(nvIndex) || nvBitmaps.size() < maxNvBitmaps))
            nvBitmaps.insert(nvIndex, incoming);
        if (bulkKind == Bulk::Graphics)
            graphics = incoming;
        if (bulkKind == Bulk::ColumnImage) {
            // A strip of columns joins the line like a wide character. Columns beyond the head's
            // width can never land on the paper, so only those before it are drawn.
            Item item;
            const int columns = incoming.rows, rows = 8 * columnBytes, drawn = qMin(columns, dots);
            Glyph strip;
            strip.mask = QImage(qMax(1, drawn), rows, QImage::Format_Alpha8);
            strip.mask.fill(0);
            for (int x = 0; x < drawn; ++x)
                for (int y = 0; y < rows && x * columnBytes + y / 8 < incoming.bits.size(); ++y)
                    if (quint8(incoming.bits.at(x * columnBytes + y / 8)) & (0x80 >> (y % 8)))
                        strip.mask.scanLine(y)[x] = 255;
            strip.advance = columns;
            strip.collectSpans();
            item.glyph = std::make_shared<const Glyph>(std::move(strip));
            item.advance = columns;
            item.height = rows;
            item.scaleX = columnScaleX;
            item.scaleY = columnScaleY;
            item.ink = inkFor(darkness);
            item.entry = bulkEntry;
            putItem(std::move(item));
        }
        incoming = {};
        break;
    case Bulk::QrData:
        if (qrData.size() < maxQrData)
            qrData.append(p, qMin<qsizetype>(n, maxQrData - qrData.size()));
        break;
    case Bulk::Pdf417Data:
        if (pdfData.size() < maxQrData)
            pdfData.append(p, qMin<qsizetype>(n, maxQrData - pdfData.size()));
        break;
    case Bulk::Skip:
    case Bulk::None:
        break;
    }
    markRows(bulkEntry, before, roll.rows() - 1);
    if (bulkLeft <= 0)
        bulkKind = Bulk::None;
}

void Printhead::bulkCutShort()
{
    bulkKind = Bulk::None;
    bulkLeft = 0;
    incoming = {};
}

void Printhead::putChar(char32_t c, int entry, bool doubleByte)
{
    const bool bold = (mode & proto::Bold) || emphasis, slanted = (mode & proto::Italic) || italic;
    Item item;
    item.bold = bold;
    item.reverse = (mode & proto::Reverse) || whiteOnBlack;
    item.underline = mode & proto::Underlined ? 2 : underlineDots;
    item.ink = textInk();
    item.scaleX = scaleX();
    item.scaleY = scaleY();
    item.entry = entry;
    int spacing = rightSpacing;
    if (doubleByte) { // a character of the double-byte mode takes the modes FS commands set
        const bool wide = doubleByteQuadruple || (doubleByteMode & 0x04);
        const bool tall = doubleByteQuadruple || (doubleByteMode & 0x08);
        item.scaleX = qMax(item.scaleX, wide ? 2 : 1);
        item.scaleY = qMax(item.scaleY, tall ? 2 : 1);
        const int underline = doubleByteUnderline ? doubleByteUnderline : doubleByteMode & 0x80 ? 1 : 0;
        item.underline = qMax(item.underline, underline);
        item.leftSpace = doubleByteLeft;
        spacing = doubleByteLeft + doubleByteRight;
    }
    const int room = rightLimit - leftMargin;

    if (isArabic(c)) {
        if (!Glyphs::instance().hasArabicLetter(c))
            ++placeholders;
        // Consecutive Arabic is laid out as one run, right to left; a run wraps like text.
        const int advance = Glyphs::instance().letterAdvance(c, font, bold);
        if (!line.isEmpty() && !line.last().arabic.isEmpty() && line.last().bold == bold
            && line.last().scaleX == item.scaleX && line.last().font == font) {
            Item &run = line.last();
            if (run.x + (run.advance + advance) * run.scaleX <= room) {
                run.arabic += QString::fromUcs4(&c, 1);
                run.advance += advance;
                cursor = run.x + run.advance * run.scaleX;
                return;
            }
        }
        item.arabic = QString::fromUcs4(&c, 1);
        item.font = font;
        item.advance = advance;
        item.height = Glyphs::cellHeight(font);
    } else {
        item.glyph = Glyphs::instance().glyph(c, font, bold, slanted, rotated);
        if (item.glyph->placeholder)
            ++placeholders;
        item.advance = item.glyph->advance;
        item.height = item.glyph->mask.height();
    }
    item.advance += spacing;
    putItem(std::move(item));
}

void Printhead::putItem(Item &&item)
{
    const int width = item.advance * item.scaleX;
    // The line wraps at the right limit; a line that keeps being written over (an absolute
    // position again and again) prints once it holds maxLineItems pieces.
    if (line.size() >= maxLineItems)
        ++forcedLines;
    if ((cursor + width > rightLimit - leftMargin && !line.isEmpty()) || line.size() >= maxLineItems)
        flushLine(0, true);
    item.x = cursor;
    cursor += width;
    line.append(std::move(item));
}

int Printhead::alignOffset(int contentWidth) const
{
    const int room = qMax(0, rightLimit - leftMargin);
    if (align == 1)
        return qMax(0, (room - contentWidth) / 2);
    if (align == 2)
        return qMax(0, room - contentWidth);
    return 0;
}

void Printhead::horizontalTab()
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

void Printhead::flushLine(int feedAfter, bool useLineSpacing)
{
    // Arabic runs are laid out once complete; what follows a run moves by the difference the
    // joined forms made to its width. Past the roll's end nothing is laid out or drawn.
    if (!roll.isFull()
        && std::any_of(line.cbegin(), line.cend(), [](const Item &item) { return !item.arabic.isEmpty(); })) {
        QList<Item> laid;
        laid.reserve(line.size());
        int shift = 0;
        for (Item &item : line) {
            item.x += shift;
            if (item.arabic.isEmpty()) {
                laid.append(std::move(item));
                continue;
            }
            const ArabicRun run = Glyphs::instance().arabicRun(item.arabic, item.font, item.bold);
            shift += (run.advance - item.advance) * item.scaleX;
            item.arabic.clear();
            for (const ArabicRun::Piece &piece : run.pieces) {
                Item letter = item;
                letter.glyph = piece.glyph;
                letter.x = item.x + piece.x * item.scaleX;
                letter.advance = piece.advance;
                letter.height = piece.glyph->mask.height();
                laid.append(std::move(letter));
            }
        }
        line = std::move(laid);
    }
    int height = 0, width = 0;
    for (const Item &item : std::as_const(line)) {
        height = qMax(height, item.height * item.scaleY);
        width = qMax(width, item.x + item.advance * item.scaleX);
    }
    const int top = roll.rows();
    if (height > 0) {
        const bool onRoll = roll.reserve(top, height) > 0;
        const int x0 = leftMargin + alignOffset(width);
        for (const Item &item : std::as_const(line)) {
            if (onRoll)
                drawItem(item, x0, top, height);
            markRows(item.entry, top, top + height - 1);
        }
        if (upsideDown && onRoll)
            roll.turnAround(top, height, dots);
    }
    line.clear();
    cursor = 0;
    if (useLineSpacing)
        roll.feed(qMax(lineSpacing, height) - height + feedAfter);
    else
        roll.feed(feedAfter);
}

void Printhead::printPendingLine()
{
    if (!line.isEmpty())
        flushLine(0, true);
}

void Printhead::drawItem(const Item &item, int x0, int top, int lineHeight)
{
    const int w = item.advance * item.scaleX;
    const int h = item.height * item.scaleY;
    const int left = x0 + item.x;
    const int y0 = top + lineHeight - h; // glyphs stand on the line's bottom
    if (item.reverse)
        roll.fill(left, y0, w, h, item.ink);
    const int width = qMin(roll.width(), dots), rows = roll.rows();
    const uchar ink = item.reverse ? 255 : item.ink;
    int lastRow = -1;
    uchar *row = nullptr;
    const int glyphLeft = left + item.leftSpace * item.scaleX;
    for (const Glyph::Span &span : item.glyph->spans) {
        const int x0 = qMax(0, glyphLeft + span.x * item.scaleX);
        const int x1 = qMin(width, glyphLeft + (span.x + span.length) * item.scaleX);
        if (x1 <= x0)
            continue;
        for (int sy = 0; sy < item.scaleY; ++sy) {
            const int py = y0 + span.y * item.scaleY + sy;
            if (py < 0 || py >= rows)
                continue;
            if (py != lastRow) { // a glyph's spans come a row at a time
                row = roll.row(py);
                lastRow = py;
            }
            uchar *dst = row + x0;
            if (item.reverse) {
                std::memset(dst, 255, size_t(x1 - x0));
                continue;
            }
            for (uchar *end = dst + (x1 - x0); dst < end; ++dst)
                *dst = std::min(*dst, ink);
        }
    }
    if (item.underline)
        roll.fill(left, top + lineHeight - item.underline, w, item.underline, item.ink);
}

void Printhead::printRasterRow(const uchar *bits, int bytesPerRow, int scaleX, int scaleY)
{
    const int y = roll.rows();
    const int rows = roll.reserve(y, scaleY);
    const uchar ink = inkFor(darkness);
    const int width = dots;
    // Bytes that start beyond the paper's edge cannot print.
    const int usable = qMin(bytesPerRow, (width - rasterX + 8 * scaleX - 1) / (8 * scaleX));
    for (int r = 0; r < rows; ++r) {
        uchar *dst = nullptr; // made only for a row with ink
        for (int i = 0; i < usable; ++i) {
            const uchar byte = bits[i];
            if (!byte)
                continue;
            if (!dst)
                dst = roll.row(y + r);
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

void Printhead::printBitmap(const Bitmap &bitmap, int scaleX, int scaleY)
{
    if (bitmap.bytesPerRow <= 0)
        return;
    rasterX = leftMargin + alignOffset(qMin(bitmap.bytesPerRow * 8 * scaleX, dots));
    const qsizetype rowsKept = qMin<qsizetype>(bitmap.rows, bitmap.bits.size() / bitmap.bytesPerRow);
    for (qsizetype r = 0; r < rowsKept; ++r)
        printRasterRow(reinterpret_cast<const uchar *>(bitmap.bits.constData()) + r * bitmap.bytesPerRow,
            bitmap.bytesPerRow, scaleX, scaleY);
}

void Printhead::printBarcode(int system, const QByteArray &data, QString &note)
{
    printPendingLine();
    const LinearSymbol symbol = encodeLinear(system, data);
    const uchar ink = inkFor(darkness);
    // A code wider than the print area prints with narrower modules, down to one dot.
    int module = qBound(1, barcodeWidth, 6);
    while (module > 1 && symbol.modules.size() * module > rightLimit - leftMargin)
        --module;
    const int height = qMax(1, barcodeHeight);
    if (!symbol.error.isEmpty())
        note = QStringLiteral("rejected: ") + symbol.error;
    if (roll.isFull()) { // past the roll's end only the rows it would take are counted
        const int text = 2 + Glyphs::cellHeight(hriFont);
        roll.reserve(roll.rows(),
            !symbol.error.isEmpty()
                ? 48
                : height + (barcodeTextPosition & 1 ? text + 2 : 0) + (barcodeTextPosition & 2 ? text : 0));
        return;
    }
    if (!symbol.error.isEmpty()) {
        // A visible mark instead of a barcode: a crossed box the size of a short code.
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
    auto drawText = [&] {
        const Glyph text = Glyphs::instance().text(symbol.text, hriFont);
        const int ty = roll.rows() + 2;
        roll.reserve(ty, text.mask.height());
        const int tx = x + qMax(0, (width - text.advance) / 2);
        for (const Glyph::Span &span : text.spans)
            roll.fill(tx + span.x, ty + span.y, span.length, 1, ink);
    };
    if (barcodeTextPosition & 1) {
        drawText();
        roll.feed(2);
    }
    const int y = roll.rows();
    const int rows = roll.reserve(y, height);
    for (int m = 0; m < symbol.modules.size(); ++m)
        if (symbol.modules.at(m))
            roll.fill(x + m * module, y, module, rows, ink);
    if (barcodeTextPosition & 2)
        drawText();
}

void Printhead::printMatrix(EncodedSymbol &code, int moduleW, int moduleH)
{
    const int width = code.symbol.width, stride = width * moduleW;
    const int rowsOfModules = width > 0 ? int(code.symbol.modules.size()) / width : 0;
    const int x = leftMargin + alignOffset(stride);
    const uchar ink = inkFor(darkness);
    const int top = roll.rows(), onRoll = roll.reserve(top, rowsOfModules * moduleH);
    const int x0 = qMin(x, roll.width()), x1 = qMin(x + stride, roll.width());
    if (onRoll == 0 || x1 <= x0) // nothing is drawn past the roll's end
        return;
    if (code.dotsModule != moduleW || code.dotsInk != ink) {
        code.dots = QByteArray(qsizetype(rowsOfModules) * stride, char(255));
        for (int i = 0; i < rowsOfModules * width; ++i)
            if (code.symbol.modules.at(i))
                std::memset(code.dots.data() + qsizetype(i) * moduleW, ink, size_t(moduleW));
        code.dotsModule = moduleW;
        code.dotsInk = ink;
    }
    // The rows are still blank: each is the symbol's row of dots.
    for (int y = 0; y < onRoll; ++y)
        std::memcpy(roll.row(top + y) + x0, code.dots.constData() + qsizetype(y / moduleH) * stride, size_t(x1 - x0));
}

void Printhead::cut(bool full)
{
    // A full cut is a solid line across the roll; a partial cut is dashed and leaves the
    // middle of the paper holding.
    printPendingLine();
    roll.feed(12);
    const int y = roll.rows();
    if (roll.reserve(y, cutMarkRows) > 0)
        cuts.append(y);
    const int w = dots;
    if (full) {
        roll.fill(0, y, w, cutMarkRows, 0);
    } else {
        for (int x = 0; x < w; x += 16) {
            if (x + 16 > w / 2 - 32 && x < w / 2 + 32)
                continue;
            roll.fill(x, y, 10, cutMarkRows, 0);
        }
    }
    roll.feed(12);
}

} // namespace sim
