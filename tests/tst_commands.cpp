// The command encoder where the jobs do not reach it: the commands no button sends, and the
// edge cases of empty, missing and wrapping values. The jobs cover the rest on the wire.
#include "TestSupport.h"

#include "commands/Commands.h"

using namespace cmd;

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data()
    {
        QTest::addColumn<QByteArray>("actual");
        QTest::addColumn<QByteArray>("expected");
        static const quint8 stops[] = {8};
        static const quint8 raster[] = {0xAA, 0x55, 0xFF, 0x00};
        static const quint8 qr[] = {'R', 'u', 'v', 'e', 'l'};
        const auto *code39 = reinterpret_cast<const quint8 *>("123456ZPC32");
        QTest::newRow("printStr empty") << printStr("") << QByteArray();
        QTest::newRow("horizontalTabSet none") << horizontalTabSet(stops, 0) << hex("1B 44 00");
        QTest::newRow("picturePrintH low byte first")
            << picturePrintH(0, 0x0130, 0x0102, nullptr).left(8) << hex("1D 76 30 00 30 01 02 01");
        QTest::newRow("barcodePrint system wraps") << barcodePrint(0xC0, code39, 2) << hex("1D 6B 01 02 '12'");
        QTest::newRow("barcodePrint empty") << barcodePrint(8, code39, 0) << hex("1D 6B 49 00");
        QTest::newRow("print_with_font empty") << print_with_font("", 0x90) << hex("1B 21 90 0A");
        QTest::newRow("setPrinterCallBack") << setPrinterCallBack(1) << hex("1D 61 01");
        QTest::newRow("downloadNVBitmap")
            << downloadNVBitmap(1, 2, 0x0102, 0x0001, nullptr).left(8) << hex("1D 71 01 02 02 01 01 00");
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
        // A null data pointer stands for that many zero bytes after the header, and nothing else.
        QTest::newRow("raster 0 x 10") << picturePrintH(0, 0, 10, nullptr) << hex("1D 76 30 00 00 00 0A 00");
        QTest::newRow("raster 2 x 3") << picturePrintH(0, 2, 3, nullptr) << hex("1D 76 30 00 02 00 03 00 00*6");
        QTest::newRow("raster 65535 x 65535 fits 32 bits")
            << picturePrintH(0, 0xFFFF, 1, nullptr) << hex("1D 76 30 00 FF FF 01 00 00*65535");
        QTest::newRow("nv bitmap 4 x 2") << downloadNVBitmap(0, 0, 4, 2, nullptr)
                                         << hex("1D 71 00 00 04 00 02 00 00*8");
        QTest::newRow("qr 7") << transferQRcodeData(7, nullptr) << hex("1D 28 6B 0A 00 31 50 30 00*7");
        QTest::newRow("qr 0") << transferQRcodeData(0, nullptr) << hex("1D 28 6B 03 00 31 50 30");
    }
    void encodes()
    {
        QFETCH(QByteArray, actual);
        QFETCH(QByteArray, expected);
        QCOMPARE(actual.size(), expected.size());
        QCOMPARE(actual.toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
