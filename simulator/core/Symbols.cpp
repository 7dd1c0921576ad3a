#include "simulator/core/Symbols.h"

#include <qrencode.h>
#include <zint.h>

#include <memory>

namespace sim {

LinearSymbol encodeLinear(int system, const QByteArray &data)
{
    static const int symbologies[] = {BARCODE_UPCA, BARCODE_UPCE, BARCODE_EANX, BARCODE_EANX, BARCODE_CODE39,
        BARCODE_C25INTER, BARCODE_CODABAR, BARCODE_CODE93, BARCODE_CODE128};
    LinearSymbol out;
    if (system < 0 || system > 8) {
        out.error = QStringLiteral("no such barcode system %1").arg(system);
        return out;
    }
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), &ZBarcode_Delete);
    symbol->symbology = symbologies[system];
    symbol->show_hrt = 0;
    symbol->scale = 0.5f; // one pixel a module
    symbol->height = 4;
    // The controller accepts the start and stop letters of CODABAR in either case.
    const QByteArray source = system == 6 ? data.toUpper() : data;
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
