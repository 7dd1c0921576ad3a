// Every text, receipt, cutter, utility and barcode job, pressed through its real button with the
// port open on a pseudo-terminal. The expected streams are written out from the command tables.
#include "TestSupport.h"

#include "app/MainWindow.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

namespace {

const QByteArray SEP = "'.................................'";
const QByteArray ALPHA = "'abcdefghijklmnopqrstuvwxyz' 0A 'ABCDEFGHIJKLMNOPQRSTUVWXYZ' 0A '0123456789' 0A ";
const QByteArray LOWER3
    = "'abcdefghijklmnopqrstuvwxyz' 0A 'abcdefghijklmnopqrstuvwxyz' 0A 'abcdefghijklmnopqrstuvwxyz' 0A ";

QByteArray receipt(const char *creditCardMode, const char *cut)
{
    return "1B 61 00 1B 40 1B 6D 04 1D 76 30 00 30 00 00 01 <12288> 0A "
           "1B 61 01 1B 21 00 'Customer Receipt' 0A 1B 64 02 "
           "1B 61 00 1B 21 00 'Date: DD/MM/YYYY' 0A 1B 21 00 'PID: 034/344/00288394' 0A 1B 64 02 "
           "'  Qty      Item      Price' 1B 4A 18 "
           "1B 21 00 "
        + SEP
        + " 0A "
          "1B 21 00 '2x  1L 1.5% Milk     $3.98' 0A "
          "1B 21 00 '6x  1L 3.5% Milk     $16.75' 0A "
          "1B 21 00 '10x 100g Yogurt Cup  $8.50' 0A "
          "1B 21 00 "
        + SEP
        + " 0A "
          "1B 21 08 'Total:              $29.23' 0A 1B 64 01 "
          "1B 21 00 'Incl. 19% VAT $5.55 (Net $23.68)' 0A 1B 21 00 "
        + SEP + " 0A 1B 21 " + creditCardMode
        + " 'Credit Card         $29.23' 0A 1B 64 02 "
          "1B 61 01 1B 21 00 'THANK YOU FOR YOUR VISIT' 0A 1B 64 02 "
        + cut;
}

QByteArray density()
{
    QByteArray p = "1B 61 00 1B 40 1B 21 00 " + SEP + " 0A ";
    for (char level = '0'; level <= '8'; ++level)
        p += QByteArray("1B 6D 0") + level + " 1B 21 00 '" + level + ": abcdefghijklmnopqrstuvwxyz' 0A ";
    return p + "1B 21 00 " + SEP + " 0A 0A 0A 1B 6D 04";
}

QByteArray barcode(const char *label, bool margin, const char *width, const char *system, const char *data)
{
    return QByteArray("1B 40 1B 21 00 '") + label + "' 0A 1B 64 02 " + (margin ? "1B 6C 04 " : "") + "1D 77 " + width
        + " 1D 68 40 1D 6B " + system + " " + QByteArray::number(qstrlen(data), 16).rightJustified(2, '0') + " '" + data
        + "' 1B 64 02 1B 6C 00";
}

} // namespace

class TestJobs : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void init();
    void jobs_data();
    void jobs();
    void quickTestPictures();
    void receiptLogo();
    void barcodes_data();
    void barcodes();
    void queriesShowOnlyTheReply_data();
    void queriesShowOnlyTheReply();
    void lineFeedLeavesTheConsole();
    void repeatedPressSendsTheJobAgain();
    void commandOperationsReachTheLine();

private:
    QByteArray pressAndRead(const char *button, qsizetype expected);
};

void TestJobs::init()
{
    w->findChild<QPlainTextEdit *>("editRuvela")->setPlainText(QStringLiteral("left over"));
    w->findChild<QCheckBox *>("checkBoxBarCodeMargin")->setChecked(false);
}

QByteArray TestJobs::pressAndRead(const char *button, qsizetype expected)
{
    press(*w, button);
    QByteArray got = peer->read(expected);
    got += peer->readUntilQuiet(100); // anything beyond the job is a fault too
    return got;
}

void TestJobs::jobs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QStringList>("console");

    QTest::newRow("Quick Test") << "pushButtonFont"
                                << QByteArray("1B 40 1B 61 00 1B 6D 04 1D 76 30 00 30 00 5E 00 <4512> 0A "
                                              "1B 21 00 '======== S A M P L E ========' 0A "
                                              "1B 21 00 'Normal 0123456 ABCD abcd' 0A "
                                              "1B 21 08 'Bold 0123456 ABCD abcd' 0A "
                                              "1B 21 20 'Double Width' 0A "
                                              "1B 21 10 'Double Height' 0A "
                                              "1B 21 40 'Reverse 0123456 ABCD abcd' 0A "
                                              "1B 21 80 'Underlined 0123456 ABCD abcd' 0A "
                                              "1B 21 02 'Italic 0123456 ABCD abcd' 0A "
                                              "1B 21 82 'Italic 0123456 ABCD abcd' 0A "
                                              "0A 1D 76 30 00 20 00 14 00 <640> 0A 1D 76 30 00 09 00 14 00 <180> 0A "
                                              "1B 6C 04 1D 77 03 1D 68 40 1D 6B 41 0B '01234567890' 1B 6C 00 "
                                              "1D 76 30 00 20 00 00 01 <8192> 0A")
                                << QStringList{"Printing features:", "Normal", "Bold", "Double Width", "Double Height",
                                       "Reverse", "Underlined", "Italic",
                                       "Combined font attribute Italic and Underlined",
                                       "Printing tiny Windings Bitmaps", "Printing Bar Code", "Printing Raster Bitmap"};
    QTest::newRow("Attributes") << "pushButtonAttributes"
                                << "1B 61 00 1B 40 1B 21 00 " + SEP + " 0A 1B 21 00 'Normal' 0A " + ALPHA
            + "1B 21 08 'Bold' 0A " + ALPHA + "1B 21 20 'Double Width' 0A " + ALPHA
            + "1B 21 10 'Double Height' 0A 'abcdefghijklmnop' 0A 'qrstuvwxyz' 0A 'ABCDEFGHIJKLMNOP' 0A "
              "'QRSTUVWXYZ' 0A '0123456789' 0A "
            + "1B 21 40 'Reverse' 0A " + ALPHA + "1B 21 80 'Underlined' 0A " + ALPHA + "1B 21 02 'Italic' 0A " + ALPHA
            + "1B 21 00 " + SEP + " 0A 0A 0A"
                                << QStringList{"Printing text attribute options:", "Normal", "Bold", "Double Width",
                                       "Double Height", "Double Width and Height", "Reverse", "Underlined", "Italic"};
    QTest::newRow("Density") << "pushButtonDensity" << density()
                             << QStringList{"Printing text darkness options:", "0 - Default", "1", "2", "3", "4", "5",
                                    "6", "7", "8"};
    QTest::newRow("Formatting") << "pushButtonFormatting"
                                << "1B 61 00 1B 40 1B 21 00 " + SEP + " 0A "
            + "1B 21 00 'Default Line Space 33:' 0A ' abcdefghijklmnopqrstuvwxyz' 0A 'abcdefghijklmnopqrstuvwxyz' 0A "
              "'abcdefghijklmnopqrstuvwxyz' 0A 1B 33 42 "
            + "1B 21 00 'Line Space 66:' 0A ' abcdefghijklmnopqrstuvwxyz' 0A 'abcdefghijklmnopqrstuvwxyz' 0A "
              "'abcdefghijklmnopqrstuvwxyz' 0A 1B 32 "
            + "1B 21 00 'Default Line Space 33:' 0A ' abcdefghijklmnopqrstuvwxyz' 0A 'abcdefghijklmnopqrstuvwxyz' 0A "
              "'abcdefghijklmnopqrstuvwxyz' 0A "
            + "1B 21 00 " + SEP + " 0A 1B 21 00 'Feeding 20 dots after printing:' 0A " + LOWER3 + "1B 4A 14 "
            + "1B 21 00 " + SEP + " 0A 1B 21 00 'Feeding 5 lines after printing:' 0A " + LOWER3 + "1B 64 05 "
            + "1B 21 00 " + SEP + " 0A 0D 1B 6C 08 "
            + "1B 21 00 'Left Margin 8:' 0A 'abcd' 0A 'abcd' 0A 'abcd' 0A 1B 6C 00 1B 51 26 "
            + "1B 21 00 'Right Margin 38:' 0A 'abcd' 0A 'abcd' 0A 'abcd' 0A 1B 51 30 1B 21 00 " + SEP + " 0A"
                                << QStringList{"Setting some text parameters:", "Default line space of 33 dots",
                                       "Line space of 66 dots ", "Resetting to default 33 dots",
                                       "Print and feed paper 20 dots", "Print and feed paper 5 lines",
                                       "Test carriage return", "Setting a left margin of 8 dots",
                                       "Setting a right margin of 38 dots"};
    QTest::newRow("Alignment") << "pushButtonTabs"
                               << "1B 61 00 1B 40 1B 44 08 18 26 00 1B 21 00 " + SEP + " 0A 1B 21 00 'No Tab: abcd' 0A "
            + "09 'Tab1' 09 'Tab2' 09 'Tab3' 0A 1B 21 00 " + SEP + " 0A "
            + "1B 24 32 00 1B 21 00 'Abs: 1234' 0A 1B 21 00 " + SEP + " 0A "
            + "1B 61 01 1B 21 00 'Center: abcd' 0A 1B 61 02 1B 21 00 'Right: abcd' 0A "
            + "1B 61 00 1B 21 00 'Left: abcd' 0A 1B 21 00 " + SEP + " 0A"
                               << QStringList{"Setting 3 tabs and stepping to each", "Setting absolute print position",
                                      "Setting print alignment center", "Setting print alignment right",
                                      "Setting print alignment left"};
    QTest::newRow("Receipt") << "pushButtonReceipt" << receipt("90", "")
                             << QStringList{"Sample of typical POS receipt"};
    QTest::newRow("Receipt with Full Cut") << "pushButtonReceiptFullCut" << receipt("10", "1B 69")
                                           << QStringList{"Sample of typical POS receipt with full paper cut"};
    QTest::newRow("Receipt with Partial Cut") << "pushButtonReceiptPartialCut" << receipt("10", "1B 6E")
                                              << QStringList{"Sample of typical POS receipt with partial paper cut"};
    QTest::newRow("Full Cut") << "pushButtonFullCut" << QByteArray("1B 69") << QStringList{"Sending full cut command"};
    QTest::newRow("Partial Cut") << "pushButtonPartialCut" << QByteArray("1B 6E")
                                 << QStringList{"Sending partial cut command"};
    QTest::newRow("Reset") << "pushButtonReset" << QByteArray("1B 40")
                           << QStringList{"Resets and initilizes to default values"};
    QTest::newRow("Clear Buffer") << "pushButtonClear" << QByteArray("10 14 0A")
                                  << QStringList{"Clears the cyclic print buffer and line feeds"};
    QTest::newRow("Power Managment") << "pushButtonPowerManagment" << QByteArray("10 16")
                                     << QStringList{"Setting controller into sleep mode.",
                                            "Send any command to exit sleep mode and then continue printing..."};
    QTest::newRow("Bar Code with Text") << "pushButtonYesText" << QByteArray("1D 48 01")
                                        << QStringList{"Enable Bar Code Text printing - Default"};
    QTest::newRow("Bar Code without Text")
        << "pushButtonNoText" << QByteArray("1D 48 00") << QStringList{"Disable Bar Code Text printing"};
}

void TestJobs::jobs()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, pattern);
    QFETCH(QStringList, console);
    const QByteArray got = pressAndRead(qPrintable(button), patternLength(pattern));
    const QString mismatch = matchStream(got, pattern);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(consoleText(*w), console.join(QLatin1Char('\n')));
}

void TestJobs::quickTestPictures()
{
    const QByteArray pattern = "1B 40 1B 61 00 1B 6D 04 1D 76 30 00 30 00 5E 00 <4512> 0A <238> "
                               "1D 76 30 00 20 00 14 00 <640> 0A 1D 76 30 00 09 00 14 00 <180> 0A <27> "
                               "1D 76 30 00 20 00 00 01 <8192> 0A";
    QCOMPARE(patternLength(pattern), 13833);
    QList<QByteArray> parts;
    const QByteArray got = pressAndRead("pushButtonFont", patternLength(pattern));
    QVERIFY2(matchStream(got, pattern, &parts).isEmpty(), qPrintable(matchStream(got, pattern)));
    const QByteArray &header = parts[0], &arrows = parts[2], &digits = parts[3], &lettering = parts[5];
    QVERIFY(inkedRows(header, 48).size() > 40);
    // Ink only in the rows each strip promises.
    const QList<int> arrowRows = inkedRows(arrows, 32);
    QVERIFY(!arrowRows.isEmpty() && arrowRows.first() >= 4 && arrowRows.last() <= 16);
    const QList<int> digitRows = inkedRows(digits, 9);
    QVERIFY(!digitRows.isEmpty() && digitRows.first() >= 4 && digitRows.last() <= 14);
    const QList<int> letterRows = inkedRows(lettering, 32);
    QVERIFY(!letterRows.isEmpty() && letterRows.first() >= 48 && letterRows.last() <= 200);
    QVERIFY(letterRows.size() > 100);
}

void TestJobs::receiptLogo()
{
    QList<QByteArray> parts;
    const QByteArray pattern = receipt("90", "");
    const QByteArray got = pressAndRead("pushButtonReceipt", patternLength(pattern));
    QVERIFY(matchStream(got, pattern, &parts).isEmpty());
    const QList<int> rows = inkedRows(parts.value(0), 48);
    QVERIFY(!rows.isEmpty());
    QVERIFY2(rows.first() >= 33 && rows.last() <= 255 - 30,
        qPrintable(QStringLiteral("ink in rows %1..%2").arg(rows.first()).arg(rows.last())));
    QVERIFY(rows.size() > 120);
}

void TestJobs::barcodes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("console");
    QTest::addColumn<bool>("margin");
    const struct
    {
        const char *button, *label, *width, *system, *data, *console;
    } rows[] = {
        {"pushButtonBarcodeUPCA", "UPCA height=64 width=3", "03", "41", "01234567890",
            "Printing UPC-A bar code: 01234567890"},
        {"pushButtonBarcodeUPCE", "UPC-E height=64 width=3", "03", "42", "012345", "Printing UPC-E bar code: 012345"},
        {"pushButtonBarcodeEAN13", "EAN13 height=64 width=3", "03", "43", "012345678901",
            "Printing EAN-13 bar code: 012345678901"},
        {"pushButtonBarcodeEAN8", "EAN-8 height=64 width=3", "03", "44", "0123456", "Printing EAN-8 bar code: 0123456"},
        {"pushButtonBarcodeCODE39", "Code 39 height=64 width=2", "02", "45", "123456ZPC32",
            "Printing Code 39 bar code: 123456ZPC32"},
        {"pushButtonBarcodeITF25", "ITF 2 5 height=64 width=3", "03", "46", "12345678",
            "Printing ITF 2 5 bar code: 12345678"},
        {"pushButtonBarcodeCODABAR", "CODA BAR height=64 width=3", "03", "47", "a123456a",
            "Printing CODA BAR bar code: a123456a"},
        {"pushButtonBarcodeCODE93", "CODE 93 height=64 width=3", "03", "48", "12345678",
            "Printing CODE 93 bar code: 12345678"},
        {"pushButtonBarcodeCODE128A", "CODE 128A height=64 width=2", "02", "49", "12345678",
            "Printing CODE 128A bar code: 12345678"},
    };
    for (bool margin : {false, true}) {
        for (const auto &r : rows) {
            QTest::addRow("%s%s", r.button + 17, margin ? " with margin" : "")
                << r.button << r.label << r.width << r.system << r.data << r.console << margin;
        }
    }
}

void TestJobs::barcodes()
{
    QFETCH(QString, button);
    QFETCH(QString, label);
    QFETCH(QString, width);
    QFETCH(QString, system);
    QFETCH(QString, data);
    QFETCH(QString, console);
    QFETCH(bool, margin);
    // The box is read at the moment of the press.
    w->findChild<QCheckBox *>("checkBoxBarCodeMargin")->setChecked(margin);
    const QByteArray pattern
        = barcode(qPrintable(label), margin, qPrintable(width), qPrintable(system), qPrintable(data));
    const QByteArray got = pressAndRead(qPrintable(button), patternLength(pattern));
    const QString mismatch = matchStream(got, pattern);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(consoleText(*w),
        margin ? console + QStringLiteral("\nAdding 4 to left margin - Bar Code will be moved 4mm to the right")
               : console);
}

void TestJobs::queriesShowOnlyTheReply_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("Version") << "pushButtonVersion" << hex("10 05") << QByteArray("ZPC3x v1.22 \xC2\xB0\r\n");
    QTest::newRow("Status") << "pushButtonStatus" << hex("10 04") << QByteArray("\x12");
}

void TestJobs::queriesShowOnlyTheReply()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QCOMPARE(pressAndRead(qPrintable(button), query.size()).toHex(' '), query.toHex(' '));
    QCOMPARE(consoleText(*w), QString());
    peer->write(reply);
    QTRY_COMPARE(consoleText(*w), QString::fromUtf8(reply).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TestJobs::lineFeedLeavesTheConsole()
{
    QCOMPARE(pressAndRead("pushButton_LineFeed", 1).toHex(' '), QByteArray("0a"));
    QCOMPARE(consoleText(*w), QStringLiteral("left over"));
}

void TestJobs::repeatedPressSendsTheJobAgain()
{
    const QByteArray once = receipt("10", "1B 69");
    press(*w, "pushButtonReceiptFullCut");
    press(*w, "pushButtonReceiptFullCut"); // queued behind the first
    const QByteArray got = peer->read(2 * patternLength(once));
    QVERIFY(matchStream(got, once + " " + once).isEmpty());
}

// The window's own command operations put their bytes on the line, a null picture as zeros.
void TestJobs::commandOperationsReachTheLine()
{
    QVERIFY(QMetaObject::invokeMethod(w, "printerSoftInit"));
    QVERIFY(QMetaObject::invokeMethod(w, "print_with_font", Q_ARG(const char *, "Hi"), Q_ARG(unsigned char, 0x90)));
    QVERIFY(QMetaObject::invokeMethod(w, "picturePrintH", Q_ARG(unsigned char, 0), Q_ARG(unsigned short, 2),
        Q_ARG(unsigned short, 3), Q_ARG(unsigned char *, nullptr)));
    QVERIFY(
        QMetaObject::invokeMethod(w, "transferQRcodeData", Q_ARG(unsigned short, 2), Q_ARG(unsigned char *, nullptr)));
    QVERIFY(QMetaObject::invokeMethod(w, "absolutePrintPos", Q_ARG(unsigned char, 0x32), Q_ARG(unsigned char, 0)));
    const QByteArray expected = hex("1B 40 1B 21 90 'Hi' 0A 1D 76 30 00 02 00 03 00 00 00 00 00 00 00 "
                                    "1D 28 6B 05 00 31 50 30 00 00 1B 24 32 00");
    QCOMPARE(peer->read(expected.size()).toHex(' '), expected.toHex(' '));
}

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
