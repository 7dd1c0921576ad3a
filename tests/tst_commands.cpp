// The command encoder: every operation's bytes, written out from the controller's command table.
#include "TestSupport.h"

#include "commands/Commands.h"

#include <QTest>

using namespace cmd;

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void bulkWithoutData_data();
    void bulkWithoutData();
};

void TestCommands::encodes_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    static const quint8 stops[] = {8, 24, 38};
    static const quint8 raster[] = {0xAA, 0x55, 0xFF, 0x00};
    static const quint8 qr[] = {'R', 'u', 'v', 'e', 'l'};
    const auto *code39 = reinterpret_cast<const quint8 *>("123456ZPC32");

    QTest::newRow("setComMode") << setComMode(4, 1) << hex("1D 28 04 01");
    QTest::newRow("setPrinterHead") << setPrinterHead(5) << hex("1B 5A 05");
    QTest::newRow("printerSoftInit") << printerSoftInit() << hex("1B 40");
    QTest::newRow("printLF") << printLF() << hex("0A");
    QTest::newRow("printCR") << printCR() << hex("0D");
    QTest::newRow("printStr") << printStr("Tab1") << hex("'Tab1'");
    QTest::newRow("printStr empty") << printStr("") << QByteArray();
    QTest::newRow("printAndFeedNDotLine") << printAndFeedNDotLine(20) << hex("1B 4A 14");
    QTest::newRow("fontTypeSet") << fontTypeSet(0x82) << hex("1B 21 82");
    QTest::newRow("horizontalAlign") << horizontalAlign(2) << hex("1B 61 02");
    QTest::newRow("lineSpacingSet") << lineSpacingSet(66) << hex("1B 33 42");
    QTest::newRow("lineSpacingDefaults") << lineSpacingDefaults() << hex("1B 32");
    QTest::newRow("horizontalTabSet") << horizontalTabSet(stops, 3) << hex("1B 44 08 18 26 00");
    QTest::newRow("horizontalTabSet none") << horizontalTabSet(stops, 0) << hex("1B 44 00");
    QTest::newRow("horizontalTab") << horizontalTab() << hex("09");
    QTest::newRow("printAndFeedNFontLine") << printAndFeedNFontLine(5) << hex("1B 64 05");
    QTest::newRow("picturePrintH") << picturePrintH(0, 2, 2, raster) << hex("1D 76 30 00 02 00 02 00 AA 55 FF 00");
    QTest::newRow("picturePrintH low byte first")
        << picturePrintH(0, 0x0130, 0x0102, nullptr).left(8) << hex("1D 76 30 00 30 01 02 01");
    QTest::newRow("picturePrintH QR size")
        << picturePrintH(0, 29, 232, nullptr).left(8) << hex("1D 76 30 00 1D 00 E8 00");
    QTest::newRow("setLeftMargin") << setLeftMargin(4) << hex("1B 6C 04");
    QTest::newRow("setRightMargin") << setRightMargin(38) << hex("1B 51 26");
    QTest::newRow("printerState") << printerState() << hex("10 04");
    QTest::newRow("absolutePrintPos") << absolutePrintPos(0x32, 0x00) << hex("1B 24 32 00");
    QTest::newRow("setFontGrayScale") << setFontGrayScale(8) << hex("1B 6D 08");
    QTest::newRow("setDbMode") << setDbMode() << hex("1C 26");
    QTest::newRow("cancelDbMode") << cancelDbMode() << hex("1C 2E");
    QTest::newRow("setFontMode") << setFontMode(1) << hex("1B 4D 01");
    QTest::newRow("barcodeHeightSet") << barcodeHeightSet(64) << hex("1D 68 40");
    QTest::newRow("barcodeWidthSet") << barcodeWidthSet(2) << hex("1D 77 02");
    QTest::newRow("barcodeTextYesNo") << barcodeTextYesNo(0) << hex("1D 48 00");
    QTest::newRow("barcodePrint") << barcodePrint(4, code39, 11) << hex("1D 6B 45 0B '123456ZPC32'");
    QTest::newRow("barcodePrint system wraps") << barcodePrint(0xC0, code39, 2) << hex("1D 6B 01 02 '12'");
    QTest::newRow("barcodePrint empty") << barcodePrint(8, code39, 0) << hex("1D 6B 49 00");
    QTest::newRow("clearPrintBuffer") << clearPrintBuffer() << hex("10 14");
    QTest::newRow("getFirmwareInfo") << getFirmwareInfo() << hex("10 05");
    QTest::newRow("print_with_font") << print_with_font("Bold", 0x08) << hex("1B 21 08 'Bold' 0A");
    QTest::newRow("print_with_font empty") << print_with_font("", 0x90) << hex("1B 21 90 0A");
    QTest::newRow("fullCut") << fullCut() << hex("1B 69");
    QTest::newRow("partialCut") << partialCut() << hex("1B 6E");
    QTest::newRow("setPrinterCallBack") << setPrinterCallBack(1) << hex("1D 61 01");
    QTest::newRow("downloadNVBitmap") << downloadNVBitmap(1, 2, 0x0102, 0x0001, nullptr).left(8)
                                      << hex("1D 71 01 02 02 01 01 00");
    QTest::newRow("downloadNVBitmap data")
        << downloadNVBitmap(0, 0, 1, 2, raster) << hex("1D 71 00 00 01 00 02 00 AA 55");
    QTest::newRow("printNVBitmap") << printNVBitmap(3, 1) << hex("1C 70 03 01");
    QTest::newRow("setQRSizeVersion") << setQRSizeVersion(6) << hex("1D 28 6B 03 00 31 43 06");
    QTest::newRow("setQRcodeErrorCorrection") << setQRcodeErrorCorrection(49) << hex("1D 28 6B 03 00 31 45 31");
    QTest::newRow("transferQRcodeData") << transferQRcodeData(5, qr) << hex("1D 28 6B 08 00 31 50 30 'Ruvel'");
    QTest::newRow("transferQRcodeData length wraps")
        << transferQRcodeData(65533, nullptr).left(8) << hex("1D 28 6B 00 00 31 50 30");
    QTest::newRow("transferQRcodeData high byte")
        << transferQRcodeData(0x0200, nullptr).left(8) << hex("1D 28 6B 03 02 31 50 30");
    QTest::newRow("printQRcodeData") << printQRcodeData() << hex("1D 28 6B 03 00 31 51 30");
    QTest::newRow("enterSleepMode") << enterSleepMode() << hex("10 16");
}

void TestCommands::encodes()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

// A null data pointer stands for that many zero bytes after the header, and nothing else.
void TestCommands::bulkWithoutData_data()
{
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("zeros");

    QTest::newRow("raster 0 x 10") << picturePrintH(0, 0, 10, nullptr) << hex("1D 76 30 00 00 00 0A 00") << 0;
    QTest::newRow("raster 2 x 3") << picturePrintH(0, 2, 3, nullptr) << hex("1D 76 30 00 02 00 03 00") << 6;
    QTest::newRow("raster 65535 x 65535 fits 32 bits")
        << picturePrintH(0, 0xFFFF, 1, nullptr) << hex("1D 76 30 00 FF FF 01 00") << 65535;
    QTest::newRow("nv bitmap 4 x 2") << downloadNVBitmap(0, 0, 4, 2, nullptr) << hex("1D 71 00 00 04 00 02 00") << 8;
    QTest::newRow("qr 7") << transferQRcodeData(7, nullptr) << hex("1D 28 6B 0A 00 31 50 30") << 7;
    QTest::newRow("qr 0") << transferQRcodeData(0, nullptr) << hex("1D 28 6B 03 00 31 50 30") << 0;
}

void TestCommands::bulkWithoutData()
{
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, header);
    QFETCH(int, zeros);
    QCOMPARE(actual.left(header.size()).toHex(' '), header.toHex(' '));
    QCOMPARE(actual.size(), header.size() + zeros);
    QCOMPARE(actual.mid(header.size()).count('\0'), zeros);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
