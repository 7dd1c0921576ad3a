#include "controller/Decoder.h"

#include "commands/Protocol.h"

#include <QtAlgorithms>

#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <utility>
#include <vector>

namespace controller {

namespace {

using proto::DLE;
using proto::ESC;
using proto::FS;
using proto::GS;

// How a command's parameters follow its prefix.
enum class Shape : quint8 {
    None, // the prefix alone
    Fixed, // `size` parameter bytes
    NulList, // bytes up to a NUL, at most `size` of them
    Block16, // pL pH, then a block of that many bytes
    Block32, // p1 p2 p3 p4, then a block of that many bytes
    Sized, // `size` header bytes whose values give the bulk data that follows
    Barcode, // m, then NUL-terminated data (m below 0x41) or n and n bytes
    Cut, // m, and n when m is 65 or 66
    RealTimeStatus, // an n of 1 to 4 when one follows
};

int le16(const char *p) { return quint8(p[0]) | quint8(p[1]) << 8; }

qint64 rasterBulk(const char *header) { return qint64(le16(header + 1)) * le16(header + 3); }
qint64 nvBulk(const char *header) { return qint64(le16(header + 2)) * le16(header + 4); }
// 8-dot columns take one byte each, 24-dot columns three.
qint64 columnBulk(const char *header) { return qint64(le16(header + 1)) * (quint8(header[0]) & 0x20 ? 3 : 1); }
qint64 nvMemoryBulk(const char *header) { return le16(header + 5); }
// An FS q image: xL xH yL yH, then x * y * 8 bytes.
qint64 nvImageBulk(const char *header) { return qint64(le16(header)) * le16(header + 2) * 8; }
// The families whose commands carry their length: ESC (, GS ( and FS ( with pL pH, GS 8 with
// four bytes.
const char *blockFamily(const char *p)
{
    if (p[1] == '(')
        return p[0] == ESC ? "escFunction" : p[0] == FS ? "fsFunction" : p[0] == GS ? "gsFunction" : nullptr;
    return p[0] == GS && p[1] == '8' ? "gsFunction" : nullptr;
}

struct TableEntry
{
    const char *prefix;
    int prefixLength;
    Shape shape;
    int size;
    Op op;
    const char *name;
    qint64 (*bulkOf)(const char *header) = nullptr;
};

// Every command the virtual controller knows. The controller's own commands keep their meaning
// where other controllers give the same bytes another one.
// clang-format off
const TableEntry table[] = {
    {"\x0A", 1, Shape::None, 0, Op::PrintLF, "printLF"},
    {"\x0D", 1, Shape::None, 0, Op::PrintCR, "printCR"},
    {"\x09", 1, Shape::None, 0, Op::HorizontalTab, "horizontalTab"},
    {"\x1B@", 2, Shape::None, 0, Op::SoftInit, "printerSoftInit"},
    {"\x1BZ", 2, Shape::Fixed, 1, Op::SetHead, "setPrinterHead"},
    {"\x1BJ", 2, Shape::Fixed, 1, Op::FeedDots, "printAndFeedNDotLine"},
    {"\x1B!", 2, Shape::Fixed, 1, Op::FontType, "fontTypeSet"},
    {"\x1B" "a", 2, Shape::Fixed, 1, Op::Align, "horizontalAlign"},
    {"\x1B" "3", 2, Shape::Fixed, 1, Op::LineSpacing, "lineSpacingSet"},
    {"\x1B" "2", 2, Shape::None, 0, Op::LineSpacingDefault, "lineSpacingDefaults"},
    {"\x1B" "D", 2, Shape::NulList, 32, Op::TabStops, "horizontalTabSet"},
    {"\x1B" "d", 2, Shape::Fixed, 1, Op::FeedLines, "printAndFeedNFontLine"},
    {"\x1Bl", 2, Shape::Fixed, 1, Op::LeftMarginColumns, "setLeftMargin"},
    {"\x1BQ", 2, Shape::Fixed, 1, Op::RightLimitColumns, "setRightMargin"},
    {"\x1B$", 2, Shape::Fixed, 2, Op::AbsolutePosition, "absolutePrintPos"},
    {"\x1Bm", 2, Shape::Fixed, 1, Op::Darkness, "setFontGrayScale"},
    {"\x1BM", 2, Shape::Fixed, 1, Op::FontMode, "setFontMode"},
    {"\x1Bi", 2, Shape::None, 0, Op::FullCut, "fullCut"},
    {"\x1Bn", 2, Shape::None, 0, Op::PartialCut, "partialCut"},
    {"\x1B" "E", 2, Shape::Fixed, 1, Op::Emphasis, "emphasis"},
    {"\x1BG", 2, Shape::Fixed, 1, Op::DoubleStrike, "doubleStrike"},
    {"\x1B" "4", 2, Shape::Fixed, 1, Op::Italic, "italic"},
    {"\x1B-", 2, Shape::Fixed, 1, Op::Underline, "underline"},
    {"\x1B{", 2, Shape::Fixed, 1, Op::UpsideDown, "upsideDown"},
    {"\x1BV", 2, Shape::Fixed, 1, Op::Rotate, "rotate"},
    {"\x1B ", 2, Shape::Fixed, 1, Op::RightSpacing, "rightSpacing"},
    {"\x1B\\", 2, Shape::Fixed, 2, Op::RelativePosition, "relativePosition"},
    {"\x1Bt", 2, Shape::Fixed, 1, Op::CodeTable, "codeTable"},
    {"\x1BR", 2, Shape::Fixed, 1, Op::InternationalSet, "internationalSet"},
    {"\x1B*", 2, Shape::Sized, 3, Op::ColumnImage, "columnImage", columnBulk},
    {"\x1Bp", 2, Shape::Fixed, 3, Op::DrawerKick, "drawerKick"},
    {"\x1B=", 2, Shape::Fixed, 1, Op::NoEffect, "selectPeripheral"},
    {"\x1B" "c3", 3, Shape::Fixed, 1, Op::NoEffect, "paperEndSensors"},
    {"\x1B" "c4", 3, Shape::Fixed, 1, Op::NoEffect, "paperStopSensors"},
    {"\x1B" "c5", 3, Shape::Fixed, 1, Op::NoEffect, "panelButtons"},
    {"\x1BU", 2, Shape::Fixed, 1, Op::NoEffect, "unidirectional"},
    {"\x1Dv0", 3, Shape::Sized, 5, Op::Raster, "picturePrintH", rasterBulk},
    {"\x1Dh", 2, Shape::Fixed, 1, Op::BarcodeHeight, "barcodeHeightSet"},
    {"\x1Dw", 2, Shape::Fixed, 1, Op::BarcodeWidth, "barcodeWidthSet"},
    {"\x1DH", 2, Shape::Fixed, 1, Op::BarcodeText, "barcodeTextYesNo"},
    {"\x1D" "a", 2, Shape::Fixed, 1, Op::CallBack, "setPrinterCallBack"},
    {"\x1Dk", 2, Shape::Barcode, 0, Op::Barcode, "barcodePrint"},
    {"\x1Dq", 2, Shape::Sized, 6, Op::NvDownload, "downloadNVBitmap", nvBulk},
    {"\x1D!", 2, Shape::Fixed, 1, Op::CharacterSize, "characterSize"},
    {"\x1D" "B", 2, Shape::Fixed, 1, Op::WhiteOnBlack, "whiteOnBlack"},
    {"\x1DL", 2, Shape::Fixed, 2, Op::LeftMarginDots, "leftMarginDots"},
    {"\x1DW", 2, Shape::Fixed, 2, Op::PrintAreaWidth, "printAreaWidth"},
    {"\x1DV", 2, Shape::Cut, 0, Op::Cut, "cut"},
    {"\x1D" "f", 2, Shape::Fixed, 1, Op::HriFont, "hriFont"},
    {"\x1Dr", 2, Shape::Fixed, 1, Op::TransmitStatus, "transmitStatus"},
    {"\x1DI", 2, Shape::Fixed, 1, Op::PrinterId, "printerId"},
    {"\x1DP", 2, Shape::Fixed, 2, Op::NoEffect, "motionUnits"},
    {"\x1D(k", 3, Shape::Block16, 0, Op::SymbolFunction, "symbolFunction"},
    {"\x1D(L", 3, Shape::Block16, 0, Op::Graphics, "graphics"},
    {"\x1D" "8L", 3, Shape::Block32, 0, Op::Graphics, "graphics"},
    {"\x1C&", 2, Shape::None, 0, Op::DoubleByteOn, "setDbMode"},
    {"\x1C.", 2, Shape::None, 0, Op::DoubleByteOff, "cancelDbMode"},
    {"\x1Cp", 2, Shape::Fixed, 2, Op::NvPrint, "printNVBitmap"},
    {"\x1C" "C", 2, Shape::Fixed, 1, Op::NoEffect, "kanjiCodeSystem"},
    {"\x1C!", 2, Shape::Fixed, 1, Op::DoubleByteMode, "kanjiMode"},
    {"\x1C-", 2, Shape::Fixed, 1, Op::DoubleByteUnderline, "kanjiUnderline"},
    {"\x1CS", 2, Shape::Fixed, 2, Op::DoubleByteSpacing, "kanjiSpacing"},
    {"\x1CW", 2, Shape::Fixed, 1, Op::DoubleByteQuadruple, "kanjiQuadruple"},
    {"\x1C" "2", 2, Shape::Fixed, 74, Op::Skipped, "defineUserKanji"},
    {"\x1C?", 2, Shape::Fixed, 2, Op::Skipped, "cancelUserKanji"},
    {"\x1Cg1", 3, Shape::Sized, 7, Op::Skipped, "writeNvUserMemory", nvMemoryBulk},
    {"\x1Cg2", 3, Shape::Fixed, 7, Op::Skipped, "readNvUserMemory"},
    {"\x1Cq", 2, Shape::Fixed, 1, Op::Skipped, "defineNvImages"}, // n, then the images one by one
    {"\x1C(A", 3, Shape::Block16, 0, Op::Skipped, "kanjiEffects"},
    {"\x1C(C", 3, Shape::Block16, 0, Op::Skipped, "codeConversion"},
    {"\x1C(E", 3, Shape::Block16, 0, Op::Skipped, "receiptEnhancement"},
    {"\x1C(L", 3, Shape::Block16, 0, Op::Skipped, "paperLayout"},
    {"\x1C(e", 3, Shape::Block16, 0, Op::Skipped, "autoStatusOptions"},
    {"\x1B" "B", 2, Shape::Fixed, 2, Op::Buzzer, "buzzer"},
    {"\x1Br", 2, Shape::Fixed, 1, Op::InkColour, "inkColour"},
    {"\x1B(A", 3, Shape::Block16, 0, Op::Skipped, "beeper"},
    {"\x1B(Y", 3, Shape::Block16, 0, Op::Skipped, "batchPrint"},
    {"\x1D(A", 3, Shape::Block16, 0, Op::Skipped, "testPrint"},
    {"\x1D(C", 3, Shape::Block16, 0, Op::Skipped, "editNvMemory"},
    {"\x1D(D", 3, Shape::Block16, 0, Op::Skipped, "realTimeSwitches"},
    {"\x1D(E", 3, Shape::Block16, 0, Op::Skipped, "userSetup"},
    {"\x1D(H", 3, Shape::Block16, 0, Op::Skipped, "responseRequest"},
    {"\x1D(K", 3, Shape::Block16, 0, Op::Skipped, "printControl"},
    {"\x1D(M", 3, Shape::Block16, 0, Op::Skipped, "customValues"},
    {"\x1D(N", 3, Shape::Block16, 0, Op::CharacterEffects, "characterEffects"},
    {"\x1D(P", 3, Shape::Block16, 0, Op::Skipped, "pageArea"},
    {"\x1D(Q", 3, Shape::Block16, 0, Op::Skipped, "graphicsLines"},
    {"\x10\x04", 2, Shape::RealTimeStatus, 0, Op::Status, "printerState"},
    {"\x10\x05", 2, Shape::None, 0, Op::Firmware, "getFirmwareInfo"},
    {"\x10\x14", 2, Shape::None, 0, Op::ClearBuffer, "clearPrintBuffer"},
    {"\x10\x16", 2, Shape::None, 0, Op::Sleep, "enterSleepMode"},
};
// clang-format on

bool isPrefix(char b) { return b == ESC || b == GS || b == FS || b == DLE; }

// How many bytes at p are 0x20 or above: one-byte characters outside double-byte mode. Sixteen
// at a step where the processor allows, as text is most of what a host sends.
qsizetype textRunLength(const char *p, qsizetype n)
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i highestControl = _mm_set1_epi8(0x1F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const int controls = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, highestControl), v));
        if (controls != 0)
            return i + qCountTrailingZeroBits(uint(controls));
    }
#endif
    while (i < n && quint8(p[i]) >= 0x20)
        ++i;
    return i;
}

bool isLineControl(quint8 b) { return b == 0x0A || b == 0x0D || b == 0x09; }

// A block's length field: lengthBytes bytes at p, low byte first.
qint64 blockLength(const char *p, int lengthBytes)
{
    qint64 length = 0;
    for (int i = lengthBytes - 1; i >= 0; --i)
        length = length << 8 | quint8(p[i]);
    return length;
}

// The table's entries by their first byte, in the table's order: a command is looked for only
// among those that can match, as a flood of one command would otherwise compare against them all.
struct TableIndex
{
    TableIndex()
    {
        for (const TableEntry &entry : table)
            byFirst[quint8(entry.prefix[0])].push_back(&entry);
    }
    std::vector<const TableEntry *> byFirst[256];
};

// The table's entry for the command at p: nullptr with needMore when more bytes must come
// first, nullptr alone when the table has none.
const TableEntry *lookUp(const char *p, qsizetype n, bool &needMore)
{
    static const TableIndex index;
    needMore = false;
    for (const TableEntry *entry : index.byFirst[quint8(p[0])]) {
        const int common = int(qMin<qsizetype>(n, entry->prefixLength));
        if (std::memcmp(p, entry->prefix, size_t(common)) != 0)
            continue;
        if (common < entry->prefixLength) {
            needMore = true;
            return nullptr;
        }
        return entry;
    }
    return nullptr;
}

} // namespace

void Decoder::reset()
{
    pending.clear();
    bulkLeft = 0;
    imagesLeft = 0;
}

namespace {

void reportQuery(char what, char next, qint64 offset, DecoderSink &sink)
{
    const bool withN = what == proto::queryStatus && next >= 1 && next <= 4;
    const char query[3] = {DLE, what, next};
    Command c;
    c.op = what == proto::queryFirmware ? Op::Firmware : withN ? Op::StatusN : Op::Status;
    c.name = what == proto::queryFirmware ? "getFirmwareInfo" : withN ? "transmitRealTimeStatus" : "printerState";
    c.offset = offset;
    c.data = query;
    c.size = withN ? 3 : 2;
    c.prefix = 2;
    sink.command(c);
}

} // namespace

namespace {

// LF, CR or HT at p, the first three of the table, without looking it up.
Command lineControl(const char *p, qint64 offset)
{
    const TableEntry &entry = table[p[0] == 0x0A ? 0 : p[0] == 0x0D ? 1 : 2];
    Command c;
    c.op = entry.op;
    c.name = entry.name;
    c.offset = offset;
    c.data = p;
    c.size = 1;
    c.prefix = 1;
    return c;
}

} // namespace

void DecoderSink::text(const Command &run)
{
    Command c = run;
    c.size = 1;
    for (int i = 0; i < run.size; ++i, ++c.data, ++c.offset)
        command(c);
}

void Decoder::feed(const char *data, qsizetype size, DecoderSink &sink, bool arrivals)
{
    // A chunk is read where it lies; only a command its end cuts short is kept for the next.
    const bool copied = !pending.isEmpty();
    if (copied)
        pending.append(data, size);
    const char *base = copied ? pending.constData() : data;
    const qsizetype total = copied ? pending.size() : size;
    qsizetype pos = 0;
    while (pos < total) {
        const char *p = base + pos;
        const qsizetype n = total - pos;
        qsizetype used = 0;
        // The byte after a DLE EOT that ended the last chunk is its n or not, and the controller
        // answers before it goes on to the command that byte begins.
        if (arrivals && pendingStatus >= 0)
            reportQuery(proto::queryStatus, p[0], std::exchange(pendingStatus, -1), sink);
        if (bulkLeft > 0) {
            used = qsizetype(qMin<qint64>(bulkLeft, n));
            if (arrivals)
                arrive(p, used, n, sink);
            bulkLeft -= used;
            sink.bulk(p, used);
        } else if (quint8(p[0]) >= 0x20 && !doubleByte && imagesLeft == 0) {
            // Text, the common case: one-byte characters up to the next control byte.
            Command run;
            run.op = Op::Text;
            run.name = "printStr";
            run.offset = consumed;
            run.data = p;
            run.size = int(textRunLength(p, qMin<qsizetype>(n, std::numeric_limits<int>::max())));
            used = run.size;
            sink.text(run);
            if (arrivals)
                passed(p, used);
        } else if (isLineControl(quint8(p[0])) && imagesLeft == 0) {
            sink.command(lineControl(p, consumed));
            used = 1;
            if (arrivals)
                passed(p, used);
        } else {
            used = step(p, n, false, sink);
            if (used == 0)
                break; // the rest of the command has not come yet
            if (arrivals)
                arrive(p, used, n, sink);
        }
        pos += used;
        consumed += used;
    }
    if (copied)
        pending.remove(0, pos);
    else if (pos < total)
        pending = QByteArray(data + pos, total - pos);
}

QString Decoder::finish(DecoderSink &sink, bool arrivals)
{
    while (!pending.isEmpty() && bulkLeft == 0) {
        const qsizetype used = step(pending.constData(), pending.size(), true, sink);
        if (used == 0)
            break;
        if (arrivals)
            arrive(pending.constData(), used, pending.size(), sink);
        consumed += used;
        pending.remove(0, used);
    }
    if (arrivals) {
        arrive(pending.constData(), pending.size(), sink); // a command cut short may hold a query
        settle(sink, true);
    }
    QString cut;
    if (bulkLeft > 0)
        cut = QStringLiteral("%1 data bytes missing").arg(bulkLeft);
    else if (!pending.isEmpty())
        cut = QString::fromLatin1(pending.left(16).toHex(' ').toUpper());
    consumed += pending.size();
    reset();
    return cut;
}

void Decoder::settle(DecoderSink &sink, bool streamEnded)
{
    if (pendingStatus >= 0)
        reportQuery(proto::queryStatus, 0, std::exchange(pendingStatus, -1), sink);
    if (streamEnded)
        lastArrived = 0;
}

void Decoder::arrive(const char *p, qsizetype n, qsizetype avail, DecoderSink &sink)
{
    if (n <= 0)
        return;
    if (pendingStatus >= 0) // DLE EOT ended the last arrival: this byte may be its n
        reportQuery(proto::queryStatus, p[0], std::exchange(pendingStatus, -1), sink);
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0) { // jump to the byte after the next DLE: most data holds none
            const void *dle = std::memchr(p + i - 1, DLE, size_t(n - i + 1));
            if (!dle)
                break;
            i = static_cast<const char *>(dle) - p + 1;
            if (i >= n)
                break;
        }
        const char before = i > 0 ? p[i - 1] : lastArrived;
        if (before != DLE || (p[i] != proto::queryStatus && p[i] != proto::queryFirmware))
            continue;
        const qint64 offset = arrived + i - 1;
        if (p[i] == proto::queryStatus && i + 1 == avail)
            pendingStatus = offset;
        else
            reportQuery(p[i], p[i] == proto::queryStatus ? p[i + 1] : char(0), offset, sink);
    }
    // A query's second byte is never the first of another.
    lastArrived = p[n - 1];
    arrived += n;
}

namespace {

// Sizes the command at p by its entry's shape: false when more bytes must come first.
bool measure(const TableEntry &entry, const char *p, qsizetype n, bool ended, Command &c)
{
    c.op = entry.op;
    c.name = entry.name;
    c.prefix = entry.prefixLength;
    const qsizetype at = entry.prefixLength;
    switch (entry.shape) {
    case Shape::None:
        c.size = int(at);
        break;
    case Shape::Fixed:
        c.size = int(at) + entry.size;
        break;
    case Shape::NulList: {
        qsizetype end = at;
        while (end < n && end < at + entry.size && p[end] != 0)
            ++end;
        const bool closed = end < n && p[end] == 0;
        if (!closed && end < at + entry.size)
            return false;
        c.size = int(closed ? end + 1 : end);
        break;
    }
    case Shape::Block16:
    case Shape::Block32: {
        const int lengthBytes = entry.shape == Shape::Block16 ? 2 : 4;
        if (n < at + lengthBytes)
            return false;
        const qint64 length = blockLength(p + at, lengthBytes);
        const int peek = int(qMin<qint64>(length, Decoder::blockPeek));
        c.size = int(at) + lengthBytes + peek;
        c.prefix = int(at) + lengthBytes;
        c.bulk = length - peek;
        break;
    }
    case Shape::Sized:
        c.size = int(at) + entry.size;
        if (n >= c.size)
            c.bulk = entry.bulkOf(p + at);
        break;
    case Shape::Barcode: {
        if (n < at + 1)
            return false;
        if (quint8(p[at]) >= proto::barcodeBase) { // function B: a length, then the data
            if (n < at + 2)
                return false;
            c.size = int(at) + 2 + quint8(p[at + 1]);
        } else { // function A: data up to a NUL, at most 255 bytes
            qsizetype end = at + 1;
            while (end < n && end < at + 256 && p[end] != 0)
                ++end;
            if (end >= n && end < at + 256)
                return false;
            c.size = int(end < n && p[end] == 0 ? end + 1 : end);
        }
        break;
    }
    case Shape::Cut:
        if (n < at + 1)
            return false;
        c.size = int(at) + (quint8(p[at]) == 65 || quint8(p[at]) == 66 ? 2 : 1);
        break;
    case Shape::RealTimeStatus: // answered as it arrived; here only skipped, with its n
        if (n < at + 1 && !ended)
            return false; // an n of 1 to 4 may follow
        c.size = int(at) + (n > at && quint8(p[at]) >= 1 && quint8(p[at]) <= 4 ? 1 : 0);
        break;
    }
    return n >= c.size;
}

} // namespace

qsizetype Decoder::unlisted(const char *p, qsizetype n, Command &c, DecoderSink &sink)
{
    // Not in the table: skipped by the shape of its family where that is known, else only
    // the prefix and its letter go.
    if (n < 2)
        return 0;
    c.op = Op::Unknown;
    c.name = "unknown";
    if (p[0] == GS && p[1] == '(' && n >= 3 && quint8(p[2]) <= 6) {
        // GS ( followed by 00 to 06 is the controller's UART mode.
        if (n < 4)
            return 0;
        c.op = Op::ComMode;
        c.name = "setComMode";
        c.size = 4;
        c.prefix = 2;
        sink.command(c);
        return 4;
    }
    if (const char *family = blockFamily(p)) {
        const int lengthBytes = p[1] == '(' ? 2 : 4;
        if (n < 3 + lengthBytes)
            return 0;
        c.op = Op::Skipped;
        c.name = family;
        c.size = 3 + lengthBytes;
        c.prefix = 3;
        c.bulk = blockLength(p + 3, lengthBytes);
        bulkLeft = c.bulk;
    } else {
        c.size = 2;
        c.prefix = 2;
        c.shapeKnown = false;
    }
    sink.command(c);
    return c.size;
}

qsizetype Decoder::step(const char *p, qsizetype n, bool ended, DecoderSink &sink)
{
    const quint8 b = quint8(p[0]);
    Command c;
    c.offset = consumed;
    c.data = p;

    if (imagesLeft > 0) { // the next image of FS q: its header, then its data
        if (n < 4)
            return 0;
        --imagesLeft;
        c.op = Op::Skipped;
        c.name = "nvImage";
        c.size = 4;
        c.bulk = bulkLeft = nvImageBulk(p);
        sink.command(c);
        return 4;
    }

    // Text, the common case, first.
    if (b == 0x00)
        return 1; // NUL prints nothing
    if (b != 0x0A && b != 0x0D && b != 0x09 && !isPrefix(char(b))) {
        const bool pair = b < 0x20 || (doubleByte && ((b >= 0xA1 && b <= 0xFE) || (b >= 0x21 && b <= 0x7E)));
        if (pair && n < 2)
            return 0;
        c.op = Op::Text;
        c.name = "printStr";
        c.size = pair ? 2 : 1;
        sink.command(c);
        return c.size;
    }

    bool needMore = false;
    const TableEntry *entry = lookUp(p, n, needMore);
    if (needMore)
        return 0;
    if (!entry)
        return unlisted(p, n, c, sink);

    if (!measure(*entry, p, n, ended, c))
        return 0;
    if (std::memcmp(entry->prefix, "\x1Cq", 2) == 0)
        imagesLeft = quint8(p[c.prefix]);
    if (c.op == Op::DoubleByteOn)
        doubleByte = true;
    else if (c.op == Op::DoubleByteOff || c.op == Op::SoftInit)
        doubleByte = false;
    bulkLeft = c.bulk;
    if (c.op != Op::Status && c.op != Op::Firmware) // real-time queries are reported as they arrive
        sink.command(c);
    return c.size;
}

} // namespace controller
