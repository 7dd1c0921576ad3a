#include "controller/Printhead.h"

#include "commands/Protocol.h"
#include "controller/Symbols.h"

#include <cstring>

namespace controller {

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

} // namespace

bool Printhead::drawGraphics(const Command &c, int entry, QString &note)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Barcode: {
        const bool functionB = n >= proto::barcodeBase;
        const int dataStart = functionB ? 2 : 1;
        QByteArray data(c.data + c.prefix + dataStart, c.size - c.prefix - dataStart);
        if (!functionB && data.endsWith('\0'))
            data.chop(1);
        printBarcode(functionB ? n - proto::barcodeBase : n, data, note);
        break;
    }
    case Op::Raster:
        startRaster(c, entry);
        break;
    case Op::ColumnImage:
        startColumnImage(c, entry);
        break;
    case Op::NvDownload:
        startNvBitmap(c, entry, note);
        break;
    case Op::NvPrint:
        printNvBitmap(c, note);
        break;
    case Op::SymbolFunction:
        symbolFunction(c, entry, note);
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
        cutCommand(c, note);
        break;
    default:
        return false;
    }
    return true;
}

void Printhead::startRaster(const Command &c, int entry)
{
    printPendingLine();
    rasterBytesPerRow = c.param16(1);
    // m (0 to 3, or 48 to 51): bit 0 doubles the width, bit 1 the height.
    const quint8 m = c.param(0);
    rasterScaleX = (m & 1) ? 2 : 1;
    rasterScaleY = (m & 2) ? 2 : 1;
    const int width = qMin(rasterBytesPerRow * 8 * rasterScaleX, dots);
    rasterX = qMin(modes.leftMargin + alignOffset(width), dots);
    rowBuffer.clear();
    startBulk(Bulk::Raster, c.bulk, entry);
}

void Printhead::startColumnImage(const Command &c, int entry)
{
    // 8-dot columns print three rows a dot, 24-dot columns one; single density doubles each
    // column.
    const quint8 n = c.param(0);
    columnBytes = n & 0x20 ? 3 : 1;
    columnScaleY = columnBytes == 1 ? 3 : 1;
    columnScaleX = n & 1 ? 1 : 2;
    incoming = {columnBytes, int(c.bulk / columnBytes), {}};
    startBulk(Bulk::ColumnImage, c.bulk, entry);
    if (c.bulk == 0)
        bulk(nullptr, 0);
}

void Printhead::startNvBitmap(const Command &c, int entry, QString &note)
{
    const quint8 n = c.param(0);
    if (!nvBitmaps.contains(n) && nvBitmaps.size() >= maxNvBitmaps)
        note = QStringLiteral("the store holds %1 bitmaps already: not kept").arg(maxNvBitmaps);
    else if (c.bulk > maxBitmapBytes)
        note = QStringLiteral("only the first %1 bytes kept").arg(maxBitmapBytes);
    nvIndex = n;
    incoming = {c.param16(2), c.param16(4), {}};
    startBulk(Bulk::NvBitmap, c.bulk, entry);
    if (c.bulk == 0)
        bulk(nullptr, 0);
}

void Printhead::printNvBitmap(const Command &c, QString &note)
{
    printPendingLine();
    const quint8 n = c.param(0);
    const auto it = nvBitmaps.constFind(n);
    if (it == nvBitmaps.constEnd())
        note = QStringLiteral("no bitmap stored at %1").arg(n);
    else
        printBitmap(*it, c.param(1) & 1 ? 2 : 1, c.param(1) & 2 ? 2 : 1);
}

void Printhead::symbolFunction(const Command &c, int entry, QString &note)
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
                printRasterRow(reinterpret_cast<const uchar *>(rowBuffer.constData()), rasterBytesPerRow, rasterScaleX,
                    rasterScaleY);
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
        if (bulkKind == Bulk::ColumnImage)
            putColumnStrip();
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

void Printhead::putColumnStrip()
{
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
    item.ink = inkFor(modes.darkness);
    item.entry = bulkEntry;
    putItem(std::move(item));
}

void Printhead::bulkCutShort()
{
    bulkKind = Bulk::None;
    bulkLeft = 0;
    incoming = {};
}

void Printhead::printRasterRow(const uchar *bits, int bytesPerRow, int scaleX, int scaleY)
{
    const int y = roll.rows();
    const int rows = roll.reserve(y, scaleY);
    const uchar ink = inkFor(modes.darkness);
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
    rasterX = modes.leftMargin + alignOffset(qMin(bitmap.bytesPerRow * 8 * scaleX, dots));
    const qsizetype rowsKept = qMin<qsizetype>(bitmap.rows, bitmap.bits.size() / bitmap.bytesPerRow);
    for (qsizetype r = 0; r < rowsKept; ++r)
        printRasterRow(reinterpret_cast<const uchar *>(bitmap.bits.constData()) + r * bitmap.bytesPerRow,
            bitmap.bytesPerRow, scaleX, scaleY);
}

void Printhead::printBarcode(int system, const QByteArray &data, QString &note)
{
    printPendingLine();
    const LinearSymbol symbol = encodeLinear(system, data);
    const uchar ink = inkFor(modes.darkness);
    // A code wider than the print area prints with narrower modules, down to one dot.
    int module = qBound(1, modes.barcodeWidth, 6);
    while (module > 1 && symbol.modules.size() * module > modes.rightLimit - modes.leftMargin)
        --module;
    const int height = qMax(1, modes.barcodeHeight);
    if (!symbol.error.isEmpty())
        note = QStringLiteral("rejected: ") + symbol.error;
    if (roll.isFull()) { // past the roll's end only the rows it would take are counted
        const int text = 2 + Glyphs::cellHeight(modes.hriFont);
        roll.reserve(roll.rows(),
            !symbol.error.isEmpty()
                ? 48
                : height + (modes.barcodeTextPosition & 1 ? text + 2 : 0) + (modes.barcodeTextPosition & 2 ? text : 0));
        return;
    }
    if (!symbol.error.isEmpty()) {
        // A visible mark instead of a barcode: a crossed box the size of a short code.
        const int w = qMin(160, modes.rightLimit - modes.leftMargin), x = modes.leftMargin + alignOffset(w);
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
    const int x = modes.leftMargin + alignOffset(width);
    auto drawText = [&] {
        const Glyph text = Glyphs::instance().text(symbol.text, modes.hriFont);
        const int ty = roll.rows() + 2;
        roll.reserve(ty, text.mask.height());
        const int tx = x + qMax(0, (width - text.advance) / 2);
        for (const Glyph::Span &span : text.spans)
            roll.fill(tx + span.x, ty + span.y, span.length, 1, ink);
    };
    if (modes.barcodeTextPosition & 1) {
        drawText();
        roll.feed(2);
    }
    const int y = roll.rows();
    const int rows = roll.reserve(y, height);
    for (int m = 0; m < symbol.modules.size(); ++m)
        if (symbol.modules.at(m))
            roll.fill(x + m * module, y, module, rows, ink);
    if (modes.barcodeTextPosition & 2)
        drawText();
}

void Printhead::printMatrix(EncodedSymbol &code, int moduleW, int moduleH)
{
    const int width = code.symbol.width, stride = width * moduleW;
    const int rowsOfModules = width > 0 ? int(code.symbol.modules.size()) / width : 0;
    const int x = modes.leftMargin + alignOffset(stride);
    const uchar ink = inkFor(modes.darkness);
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

void Printhead::cutCommand(const Command &c, QString &note)
{
    // GS V: 0 and 1 cut at once; 65 and 66 feed n dots first.
    const quint8 n = c.param(0);
    if (n == 0 || n == 48 || n == 1 || n == 49) {
        cut(n == 0 || n == 48);
    } else if (n == 65 || n == 66) {
        printPendingLine();
        roll.feed(c.param(1));
        cut(n == 65);
    } else {
        note = QStringLiteral("cut %1 skipped").arg(n);
    }
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

} // namespace controller
