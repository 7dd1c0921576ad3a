#pragma once

#include "commands/Protocol.h"

#include <QByteArray>

// One function per controller command, each returning the exact bytes that go down the line.
// They keep the controller's command names; the window's operations of the same names hand
// these bytes to the port. Nothing here checks ranges: the controller gets what it is given.
namespace cmd {

using namespace proto;

QByteArray setComMode(quint8 ucComSet, quint8 ucFlowSet);
QByteArray setPrinterHead(quint8 ucHeadIndex);
QByteArray printerSoftInit();
QByteArray printLF();
QByteArray printCR();
QByteArray printStr(const char *pStr);
QByteArray printAndFeedNDotLine(quint8 ucDotLineNum);
QByteArray fontTypeSet(quint8 ucFontType);
QByteArray horizontalAlign(quint8 align);
QByteArray lineSpacingSet(quint8 ucDotLineNum);
QByteArray lineSpacingDefaults();
QByteArray horizontalTabSet(const quint8 *pucNBuf, quint8 ucDataNum);
QByteArray horizontalTab();
QByteArray printAndFeedNFontLine(quint8 ucFontLineNum);
// A null pucDataBuf sends usHSize * usVSize zero bytes after the header.
QByteArray picturePrintH(quint8 ucType, quint16 usHSize, quint16 usVSize, const quint8 *pucDataBuf);
QByteArray setLeftMargin(quint8 ucDots);
QByteArray setRightMargin(quint8 ucDots);
QByteArray printerState();
QByteArray absolutePrintPos(quint8 ucLNum, quint8 ucHNum);
QByteArray setFontGrayScale(quint8 ucScale);
QByteArray setDbMode();
QByteArray cancelDbMode();
QByteArray setFontMode(quint8 ucFont);
QByteArray barcodeHeightSet(quint8 ucHeight);
QByteArray barcodeWidthSet(quint8 ucWidth);
QByteArray barcodeTextYesNo(quint8 ucYesNo);
QByteArray barcodePrint(quint8 ucBarcodeSys, const quint8 *pucCodeBuf, quint8 ucCodeLen);
QByteArray clearPrintBuffer();
QByteArray getFirmwareInfo();
QByteArray print_with_font(const char *str, quint8 font);
QByteArray fullCut();
QByteArray partialCut();
QByteArray setPrinterCallBack(quint8 ucCallBack);
QByteArray downloadNVBitmap(
    quint8 ucLocation, quint8 ucAlign, quint16 usHSize, quint16 usVSize, const quint8 *pucDataBuf);
QByteArray printNVBitmap(quint8 ucBitmapIndex, quint8 ucMode);
QByteArray setQRSizeVersion(quint8 ucModuleSizeRange);
QByteArray setQRcodeErrorCorrection(quint8 ucErrorCorrectionLevel);
// A null pucDataBuf sends usbufferSize zero bytes; the length field wraps at 65536.
QByteArray transferQRcodeData(quint16 usbufferSize, const quint8 *pucDataBuf);
QByteArray printQRcodeData();
QByteArray enterSleepMode();

} // namespace cmd
