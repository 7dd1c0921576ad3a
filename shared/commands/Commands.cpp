#include "commands/Commands.h"

namespace cmd {
namespace {

QByteArray bytes(std::initializer_list<quint8> list)
{
    QByteArray out;
    out.reserve(int(list.size()));
    for (quint8 b : list)
        out.append(char(b));
    return out;
}

QByteArray withParameter(char prefix, char letter, quint8 n) { return bytes({quint8(prefix), quint8(letter), n}); }

void appendLe16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

// Appends count bytes from data, or count zero bytes where the caller passed no data.
void appendBulk(QByteArray &out, const quint8 *data, quint32 count)
{
    if (data)
        out.append(reinterpret_cast<const char *>(data), qsizetype(count));
    else
        out.append(qsizetype(count), '\0');
}

// Raster-like frames: four command bytes, width in bytes and height in rows low byte first,
// then width * height data bytes as an unsigned 32-bit product.
QByteArray sizedFrame(QByteArray out, quint16 usHSize, quint16 usVSize, const quint8 *pucDataBuf)
{
    const quint32 length = quint32(usHSize) * quint32(usVSize);
    out.reserve(out.size() + 4 + qsizetype(length));
    appendLe16(out, usHSize);
    appendLe16(out, usVSize);
    appendBulk(out, pucDataBuf, length);
    return out;
}

QByteArray qrFrame(quint8 function, quint8 parameter)
{
    return bytes({quint8(GS), 0x28, 0x6B, 0x03, 0x00, qr::symbol, quint8(function), parameter});
}

} // namespace

QByteArray setComMode(quint8 ucComSet, quint8 ucFlowSet) { return bytes({quint8(GS), 0x28, ucComSet, ucFlowSet}); }

QByteArray setPrinterHead(quint8 ucHeadIndex) { return withParameter(ESC, 'Z', ucHeadIndex); }
QByteArray printerSoftInit() { return bytes({quint8(ESC), 0x40}); }
QByteArray printLF() { return bytes({0x0A}); }
QByteArray printCR() { return bytes({0x0D}); }
QByteArray printStr(const char *pStr) { return QByteArray(pStr); }
QByteArray printAndFeedNDotLine(quint8 ucDotLineNum) { return withParameter(ESC, 'J', ucDotLineNum); }
QByteArray fontTypeSet(quint8 ucFontType) { return withParameter(ESC, '!', ucFontType); }
QByteArray horizontalAlign(quint8 align) { return withParameter(ESC, 'a', align); }
QByteArray lineSpacingSet(quint8 ucDotLineNum) { return withParameter(ESC, '3', ucDotLineNum); }
QByteArray lineSpacingDefaults() { return bytes({quint8(ESC), '2'}); }

QByteArray horizontalTabSet(const quint8 *pucNBuf, quint8 ucDataNum)
{
    QByteArray out = bytes({quint8(ESC), 'D'});
    out.append(reinterpret_cast<const char *>(pucNBuf), ucDataNum);
    out.append('\0');
    return out;
}

QByteArray horizontalTab() { return bytes({0x09}); }
QByteArray printAndFeedNFontLine(quint8 ucFontLineNum) { return withParameter(ESC, 'd', ucFontLineNum); }

QByteArray picturePrintH(quint8 ucType, quint16 usHSize, quint16 usVSize, const quint8 *pucDataBuf)
{
    return sizedFrame(bytes({quint8(GS), 'v', '0', ucType}), usHSize, usVSize, pucDataBuf);
}

QByteArray setLeftMargin(quint8 ucDots) { return withParameter(ESC, 'l', ucDots); }
QByteArray setRightMargin(quint8 ucDots) { return withParameter(ESC, 'Q', ucDots); }
QByteArray printerState() { return bytes({quint8(DLE), quint8(queryStatus)}); }
QByteArray absolutePrintPos(quint8 ucLNum, quint8 ucHNum) { return bytes({quint8(ESC), '$', ucLNum, ucHNum}); }
QByteArray setFontGrayScale(quint8 ucScale) { return withParameter(ESC, 'm', ucScale); }
QByteArray setDbMode() { return bytes({quint8(FS), '&'}); }
QByteArray cancelDbMode() { return bytes({quint8(FS), '.'}); }
QByteArray setFontMode(quint8 ucFont) { return withParameter(ESC, 'M', ucFont); }
QByteArray barcodeHeightSet(quint8 ucHeight) { return withParameter(GS, 'h', ucHeight); }
QByteArray barcodeWidthSet(quint8 ucWidth) { return withParameter(GS, 'w', ucWidth); }
QByteArray barcodeTextYesNo(quint8 ucYesNo) { return withParameter(GS, 'H', ucYesNo); }

QByteArray barcodePrint(quint8 ucBarcodeSys, const quint8 *pucCodeBuf, quint8 ucCodeLen)
{
    // The system byte wraps modulo 256 as the controller's one-byte field does.
    QByteArray out = bytes({quint8(GS), 'k', quint8(ucBarcodeSys + barcodeBase), ucCodeLen});
    out.append(reinterpret_cast<const char *>(pucCodeBuf), ucCodeLen);
    return out;
}

QByteArray clearPrintBuffer() { return bytes({quint8(DLE), 0x14}); }
QByteArray getFirmwareInfo() { return bytes({quint8(DLE), quint8(queryFirmware)}); }

QByteArray print_with_font(const char *str, quint8 font)
{
    QByteArray out = fontTypeSet(font);
    out.append(str);
    out.append('\n');
    return out;
}

QByteArray fullCut() { return bytes({quint8(ESC), 'i'}); }
QByteArray partialCut() { return bytes({quint8(ESC), 'n'}); }
QByteArray setPrinterCallBack(quint8 ucCallBack) { return withParameter(GS, 'a', ucCallBack); }

QByteArray downloadNVBitmap(
    quint8 ucLocation, quint8 ucAlign, quint16 usHSize, quint16 usVSize, const quint8 *pucDataBuf)
{
    return sizedFrame(bytes({quint8(GS), 'q', ucLocation, ucAlign}), usHSize, usVSize, pucDataBuf);
}

QByteArray printNVBitmap(quint8 ucBitmapIndex, quint8 ucMode)
{
    return bytes({quint8(FS), 'p', ucBitmapIndex, ucMode});
}
QByteArray setQRSizeVersion(quint8 ucModuleSizeRange) { return qrFrame(qr::moduleSize, ucModuleSizeRange); }
QByteArray setQRcodeErrorCorrection(quint8 ucErrorCorrectionLevel)
{
    return qrFrame(qr::errorCorrection, ucErrorCorrectionLevel);
}

QByteArray transferQRcodeData(quint16 usbufferSize, const quint8 *pucDataBuf)
{
    // The length counts the three bytes 31 50 30 too, in a 16-bit field that wraps.
    QByteArray out = bytes({quint8(GS), 0x28, 0x6B});
    appendLe16(out, quint16(usbufferSize + 3));
    out += bytes({qr::symbol, qr::store, qr::m});
    appendBulk(out, pucDataBuf, usbufferSize);
    return out;
}

QByteArray printQRcodeData() { return qrFrame(qr::print, qr::m); }
QByteArray enterSleepMode() { return bytes({quint8(DLE), 0x16}); }

} // namespace cmd
