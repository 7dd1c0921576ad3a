#include "simulator/core/Symbols.h"

#include <qrencode.h>
#include <zint.h>

#include <iterator>
#include <memory>

namespace sim {

namespace {

// Brackets the application identifiers of raw GS1 data: identifiers of fixed length in a
// known table, anything else up to the end.
QByteArray bracketGs1(const QByteArray &raw)
{
    if (raw.startsWith('['))
        return raw;
    if (raw.startsWith('(')) // the human-readable form
        return QByteArray(raw).replace('(', '[').replace(')', ']');
    static const struct
    {
        const char *ai;
        int length;
    } fixed[] = {{"00", 18}, {"01", 14}, {"02", 14}, {"11", 6}, {"12", 6}, {"13", 6}, {"15", 6}, {"17", 6}, {"20", 2}};
    QByteArray out;
    qsizetype at = 0;
    while (at < raw.size()) {
        const QByteArray ai = raw.mid(at, 2);
        int length = -1;
        for (const auto &f : fixed)
            if (ai == f.ai)
                length = f.length;
        out += '[' + ai + ']';
        at += 2;
        out += length < 0 ? raw.mid(at) : raw.mid(at, length);
        at = length < 0 ? raw.size() : at + length;
    }
    return out;
}

} // namespace

LinearSymbol encodeLinear(int system, const QByteArray &data)
{
    static const int symbologies[] = {BARCODE_UPCA, BARCODE_UPCE, BARCODE_EANX, BARCODE_EANX, BARCODE_CODE39,
        BARCODE_C25INTER, BARCODE_CODABAR, BARCODE_CODE93, BARCODE_CODE128, BARCODE_GS1_128, BARCODE_DBAR_OMN,
        BARCODE_DBAR_OMN, BARCODE_DBAR_LTD, BARCODE_DBAR_EXP, BARCODE_CODE128};
    LinearSymbol out;
    if (system < 0 || system >= int(std::size(symbologies))) {
        out.error = QStringLiteral("no such barcode system %1").arg(system);
        return out;
    }
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), &ZBarcode_Delete);
    symbol->symbology = symbologies[system];
    symbol->show_hrt = 0;
    symbol->scale = 0.5f; // one pixel a module
    symbol->height = 4;
    // The controller accepts the start and stop letters of CODABAR in either case.
    QByteArray source = system == 6 ? data.toUpper() : data;
    if (system == 9 || system == 13) {
        // GS1 data comes as application identifiers and their values, without brackets; zint
        // wants the identifiers bracketed. The common fixed-length ones are enough here.
        source = bracketGs1(source);
    }
    const int rc = ZBarcode_Encode(
        symbol.get(), reinterpret_cast<const unsigned char *>(source.constData()), int(source.size()));
    if (rc >= ZINT_ERROR) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    out.text = QString::fromUtf8(reinterpret_cast<const char *>(symbol->text));
    if (ZBarcode_Buffer(symbol.get(), 0) >= ZINT_ERROR || !symbol->bitmap) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    // The top row of the bitmap crosses every bar.
    for (int x = 0; x < symbol->bitmap_width; ++x)
        out.modules.append(symbol->bitmap[x * 3] < 128);
    while (!out.modules.isEmpty() && !out.modules.first())
        out.modules.removeFirst();
    while (!out.modules.isEmpty() && !out.modules.last())
        out.modules.removeLast();
    if (out.text.isEmpty())
        out.text = QString::fromLatin1(data);
    return out;
}

MatrixSymbol encodePdf417(const QByteArray &data, int columns, int errorLevel)
{
    MatrixSymbol out;
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), &ZBarcode_Delete);
    symbol->symbology = BARCODE_PDF417;
    symbol->option_1 = errorLevel >= 0 && errorLevel <= 8 ? errorLevel : -1;
    symbol->option_2 = columns >= 1 && columns <= 30 ? columns : 0;
    symbol->input_mode = DATA_MODE;
    if (ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()))
        >= ZINT_ERROR) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    out.width = symbol->width;
    for (int r = 0; r < symbol->rows; ++r)
        for (int c = 0; c < symbol->width; ++c)
            out.modules.append((symbol->encoded_data[r][c / 8] >> (c % 8)) & 1);
    return out;
}

QrSymbol encodeQr(const QByteArray &data, int errorCorrection)
{
    QrSymbol out;
    if (data.isEmpty())
        return out;
    // 48 to 51 ('0' to '3') are L, M, Q, H as the controller numbers them; anything else is M.
    QRecLevel level = QR_ECLEVEL_M;
    if (errorCorrection >= 48 && errorCorrection <= 51)
        level = QRecLevel(errorCorrection - 48);
    QRcode *code
        = QRcode_encodeData(int(data.size()), reinterpret_cast<const unsigned char *>(data.constData()), 0, level);
    if (!code)
        return out;
    out.size = code->width;
    out.modules.reserve(out.size * out.size);
    for (int i = 0; i < out.size * out.size; ++i)
        out.modules.append(code->data[i] & 1);
    QRcode_free(code);
    return out;
}

} // namespace sim
