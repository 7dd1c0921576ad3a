// The window's command operations: each hands one controller command to the line.
#include "app/MainWindow.h"

#include "commands/Commands.h"

void MainWindow::setComMode(unsigned char ucComSet, unsigned char ucFlowSet)
{
    writeBytes(cmd::setComMode(ucComSet, ucFlowSet));
}

void MainWindow::setPrinterHead(unsigned char ucHeadIndex) { writeBytes(cmd::setPrinterHead(ucHeadIndex)); }

void MainWindow::printerSoftInit() { writeBytes(cmd::printerSoftInit()); }

void MainWindow::printLF() { writeBytes(cmd::printLF()); }

void MainWindow::printCR() { writeBytes(cmd::printCR()); }

void MainWindow::printStr(const char *pStr) { writeBytes(cmd::printStr(pStr)); }

void MainWindow::printAndFeedNDotLine(unsigned char ucDotLineNum)
{
    writeBytes(cmd::printAndFeedNDotLine(ucDotLineNum));
}

void MainWindow::fontTypeSet(unsigned char ucFontType) { writeBytes(cmd::fontTypeSet(ucFontType)); }

void MainWindow::horizontalAlign(unsigned char align) { writeBytes(cmd::horizontalAlign(align)); }

void MainWindow::lineSpacingSet(unsigned char ucDotLineNum) { writeBytes(cmd::lineSpacingSet(ucDotLineNum)); }

void MainWindow::lineSpacingDefaults() { writeBytes(cmd::lineSpacingDefaults()); }

void MainWindow::horizontalTabSet(unsigned char *pucNBuf, unsigned char ucDataNum)
{
    writeBytes(cmd::horizontalTabSet(pucNBuf, ucDataNum));
}

void MainWindow::horizontalTab() { writeBytes(cmd::horizontalTab()); }

void MainWindow::printAndFeedNFontLine(unsigned char ucFontLineNum)
{
    writeBytes(cmd::printAndFeedNFontLine(ucFontLineNum));
}

void MainWindow::picturePrintH(
    unsigned char ucType, unsigned short usHSize, unsigned short usVSize, unsigned char *pucDataBuf)
{
    writeBytes(cmd::picturePrintH(ucType, usHSize, usVSize, pucDataBuf));
}

void MainWindow::setLeftMargin(unsigned char ucDots) { writeBytes(cmd::setLeftMargin(ucDots)); }

void MainWindow::setRightMargin(unsigned char ucDots) { writeBytes(cmd::setRightMargin(ucDots)); }

void MainWindow::printerState() { writeBytes(cmd::printerState()); }

void MainWindow::absolutePrintPos(unsigned char ucLNum, unsigned char ucHNum)
{
    writeBytes(cmd::absolutePrintPos(ucLNum, ucHNum));
}

void MainWindow::setFontGrayScale(unsigned char ucScale) { writeBytes(cmd::setFontGrayScale(ucScale)); }

void MainWindow::setDbMode() { writeBytes(cmd::setDbMode()); }

void MainWindow::cancelDbMode() { writeBytes(cmd::cancelDbMode()); }

void MainWindow::setFontMode(unsigned char ucFont) { writeBytes(cmd::setFontMode(ucFont)); }

void MainWindow::barcodeHeightSet(unsigned char ucHeight) { writeBytes(cmd::barcodeHeightSet(ucHeight)); }

void MainWindow::barcodeWidthSet(unsigned char ucWidth) { writeBytes(cmd::barcodeWidthSet(ucWidth)); }

void MainWindow::barcodeTextYesNo(unsigned char ucYesNo) { writeBytes(cmd::barcodeTextYesNo(ucYesNo)); }

void MainWindow::barcodePrint(unsigned char ucBarcodeSys, unsigned char *pucCodeBuf, unsigned char ucCodeLen)
{
    writeBytes(cmd::barcodePrint(ucBarcodeSys, pucCodeBuf, ucCodeLen));
}

void MainWindow::clearPrintBuffer() { writeBytes(cmd::clearPrintBuffer()); }

void MainWindow::getFirmwareInfo() { writeBytes(cmd::getFirmwareInfo()); }

void MainWindow::print_with_font(const char *str, unsigned char font) { writeBytes(cmd::print_with_font(str, font)); }

void MainWindow::fullCut() { writeBytes(cmd::fullCut()); }

void MainWindow::partialCut() { writeBytes(cmd::partialCut()); }

void MainWindow::setPrinterCallBack(unsigned char ucCallBack) { writeBytes(cmd::setPrinterCallBack(ucCallBack)); }

void MainWindow::downloadNVBitmap(unsigned char ucLocation, unsigned char ucAlign, unsigned short usHSize,
    unsigned short usVSize, unsigned char *pucDataBuf)
{
    writeBytes(cmd::downloadNVBitmap(ucLocation, ucAlign, usHSize, usVSize, pucDataBuf));
}

void MainWindow::printNVBitmap(unsigned char ucBitmapIndex, unsigned char ucMode)
{
    writeBytes(cmd::printNVBitmap(ucBitmapIndex, ucMode));
}

void MainWindow::setQRSizeVersion(unsigned char ucModuleSizeRange)
{
    writeBytes(cmd::setQRSizeVersion(ucModuleSizeRange));
}

void MainWindow::setQRcodeErrorCorrection(unsigned char ucErrorCorrectionLevel)
{
    writeBytes(cmd::setQRcodeErrorCorrection(ucErrorCorrectionLevel));
}

void MainWindow::transferQRcodeData(unsigned short usbufferSize, unsigned char *pucDataBuf)
{
    writeBytes(cmd::transferQRcodeData(usbufferSize, pucDataBuf));
}

void MainWindow::printQRcodeData() { writeBytes(cmd::printQRcodeData()); }

void MainWindow::enterSleepMode() { writeBytes(cmd::enterSleepMode()); }
