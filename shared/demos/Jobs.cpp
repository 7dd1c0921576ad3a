#include "demos/Jobs.h"

#include "demos/Pictures.h"

using namespace cmd;

namespace jobs {

QByteArray Job::stream() const
{
    QByteArray all;
    for (const QByteArray &w : writes)
        all += w;
    return all;
}

namespace {

const char separator[] = "................................."; // 33 full stops
const char closingSeparator[] = ".................................\n\n"; // three feeds in all

void raster(Job &job, const pictures::Picture &p)
{
    job << picturePrintH(0, quint16(p.bytesPerRow), quint16(p.height), p.data);
}

Job single(const QString &heading, const QByteArray &write)
{
    Job job(heading);
    return job << write;
}

} // namespace

Job quickTest()
{
    Job job("Printing features:",
        {"Normal", "Bold", "Double Width", "Double Height", "Reverse", "Underlined", "Italic",
            "Combined font attribute Italic and Underlined", "Printing tiny Windings Bitmaps", "Printing Bar Code",
            "Printing Raster Bitmap"});
    job << printerSoftInit() << horizontalAlign(0) << setFontGrayScale(4);
    raster(job, pictures::header);
    job << printLF();
    job << print_with_font("======== S A M P L E ========", Normal);
    job << print_with_font("Normal 0123456 ABCD abcd", Normal);
    job << print_with_font("Bold 0123456 ABCD abcd", Bold);
    job << print_with_font("Double Width", DoubleWidth);
    job << print_with_font("Double Height", DoubleHeight);
    job << print_with_font("Reverse 0123456 ABCD abcd", Reverse);
    job << print_with_font("Underlined 0123456 ABCD abcd", Underlined);
    job << print_with_font("Italic 0123456 ABCD abcd", Italic);
    job << print_with_font("Italic 0123456 ABCD abcd", Italic | Underlined);
    job << printLF();
    raster(job, pictures::arrows);
    job << printLF();
    raster(job, pictures::digits);
    job << printLF();
    job << setLeftMargin(4) << barcodeWidthSet(3) << barcodeHeightSet(64);
    job << barcodePrint(UpcA, reinterpret_cast<const quint8 *>("01234567890"), 11);
    job << setLeftMargin(0);
    raster(job, pictures::lettering);
    job << printLF();
    return job;
}

namespace {

// One block of the attribute and darkness samples: the name, then the alphabets and digits.
QByteArray alphabetBlock(const char *name, bool splitAfterP = false)
{
    QByteArray text = QByteArray(name) + '\n';
    text += splitAfterP ? "abcdefghijklmnop\nqrstuvwxyz\nABCDEFGHIJKLMNOP\nQRSTUVWXYZ\n"
                        : "abcdefghijklmnopqrstuvwxyz\nABCDEFGHIJKLMNOPQRSTUVWXYZ\n";
    return text + "0123456789";
}

// Every text sample job starts the same way: left, initialise, a separator.
void textPreamble(Job &job) { job << horizontalAlign(0) << printerSoftInit() << print_with_font(separator, Normal); }

} // namespace

Job attributes()
{
    Job job("Printing text attribute options:",
        {"Normal", "Bold", "Double Width", "Double Height", "Double Width and Height", "Reverse", "Underlined",
            "Italic"});
    textPreamble(job);
    job << print_with_font(alphabetBlock("Normal"), Normal);
    job << print_with_font(alphabetBlock("Bold"), Bold);
    job << print_with_font(alphabetBlock("Double Width"), DoubleWidth);
    job << print_with_font(alphabetBlock("Double Height", true), DoubleHeight);
    job << print_with_font(alphabetBlock("Reverse"), Reverse);
    job << print_with_font(alphabetBlock("Underlined"), Underlined);
    job << print_with_font(alphabetBlock("Italic"), Italic);
    job << print_with_font(closingSeparator, Normal);
    return job;
}

Job density()
{
    Job job("Printing text darkness options:", {"0 - Default", "1", "2", "3", "4", "5", "6", "7", "8"});
    textPreamble(job);
    for (quint8 level = 0; level <= 8; ++level) {
        job << setFontGrayScale(level);
        job << print_with_font(QByteArray::number(level) + ": abcdefghijklmnopqrstuvwxyz", Normal);
    }
    job << print_with_font(closingSeparator, Normal);
    job << setFontGrayScale(4); // leave the controller at its usual darkness
    return job;
}

Job formatting()
{
    const char lineSpace33[] = "Default Line Space 33:\n abcdefghijklmnopqrstuvwxyz\n"
                               "abcdefghijklmnopqrstuvwxyz\nabcdefghijklmnopqrstuvwxyz";
    Job job("Setting some text parameters:",
        {"Default line space of 33 dots", "Line space of 66 dots ", "Resetting to default 33 dots",
            "Print and feed paper 20 dots", "Print and feed paper 5 lines", "Test carriage return",
            "Setting a left margin of 8 dots", "Setting a right margin of 38 dots"});
    textPreamble(job);
    job << print_with_font(lineSpace33, Normal);
    job << lineSpacingSet(66);
    job << print_with_font("Line Space 66:\n abcdefghijklmnopqrstuvwxyz\n"
                           "abcdefghijklmnopqrstuvwxyz\nabcdefghijklmnopqrstuvwxyz",
        Normal);
    job << lineSpacingDefaults();
    job << print_with_font(lineSpace33, Normal);
    job << print_with_font(separator, Normal);
    job << print_with_font("Feeding 20 dots after printing:\nabcdefghijklmnopqrstuvwxyz\n"
                           "abcdefghijklmnopqrstuvwxyz\nabcdefghijklmnopqrstuvwxyz",
        Normal);
    job << printAndFeedNDotLine(20);
    job << print_with_font(separator, Normal);
    job << print_with_font("Feeding 5 lines after printing:\nabcdefghijklmnopqrstuvwxyz\n"
                           "abcdefghijklmnopqrstuvwxyz\nabcdefghijklmnopqrstuvwxyz",
        Normal);
    job << printAndFeedNFontLine(5);
    job << print_with_font(separator, Normal);
    job << printCR();
    job << setLeftMargin(8);
    job << print_with_font("Left Margin 8:\nabcd\nabcd\nabcd", Normal);
    job << setLeftMargin(0);
    job << setRightMargin(38);
    job << print_with_font("Right Margin 38:\nabcd\nabcd\nabcd", Normal);
    job << setRightMargin(48); // the full line again, not 0
    job << print_with_font(separator, Normal);
    return job;
}

Job alignment()
{
    static const quint8 stops[] = {8, 24, 38};
    Job job("Setting 3 tabs and stepping to each",
        {"Setting absolute print position", "Setting print alignment center", "Setting print alignment right",
            "Setting print alignment left"});
    job << horizontalAlign(0) << printerSoftInit() << horizontalTabSet(stops, 3);
    job << print_with_font(separator, Normal);
    job << print_with_font("No Tab: abcd", Normal);
    job << horizontalTab() << printStr("Tab1") << horizontalTab() << printStr("Tab2") << horizontalTab()
        << printStr("Tab3") << printLF();
    job << print_with_font(separator, Normal);
    job << absolutePrintPos(50, 0) << print_with_font("Abs: 1234", Normal);
    job << print_with_font(separator, Normal);
    job << horizontalAlign(1) << print_with_font("Center: abcd", Normal);
    job << horizontalAlign(2) << print_with_font("Right: abcd", Normal);
    job << horizontalAlign(0) << print_with_font("Left: abcd", Normal);
    job << print_with_font(separator, Normal);
    return job;
}

Job receipt(Cut cut)
{
    static const char *const headings[] = {"Sample of typical POS receipt",
        "Sample of typical POS receipt with full paper cut", "Sample of typical POS receipt with partial paper cut"};
    Job job(headings[int(cut)]);
    job << horizontalAlign(0) << printerSoftInit() << setFontGrayScale(4);
    raster(job, pictures::receipt_logo);
    job << printLF();
    job << horizontalAlign(1) << print_with_font("Customer Receipt", Normal) << printAndFeedNFontLine(2);
    job << horizontalAlign(0);
    job << print_with_font("Date: DD/MM/YYYY", Normal);
    job << print_with_font("PID: 034/344/00288394", Normal);
    job << printAndFeedNFontLine(2);
    job << printStr("  Qty      Item      Price") << printAndFeedNDotLine(24);
    job << print_with_font(separator, Normal);
    job << print_with_font("2x  1L 1.5% Milk     $3.98", Normal);
    job << print_with_font("6x  1L 3.5% Milk     $16.75", Normal);
    job << print_with_font("10x 100g Yogurt Cup  $8.50", Normal);
    job << print_with_font(separator, Normal);
    job << print_with_font("Total:              $29.23", Bold);
    job << printAndFeedNFontLine(1);
    job << print_with_font("Incl. 19% VAT $5.55 (Net $23.68)", Normal);
    job << print_with_font(separator, Normal);
    job << print_with_font(
        "Credit Card         $29.23", cut == Cut::None ? quint8(DoubleHeight | Underlined) : quint8(DoubleHeight));
    job << printAndFeedNFontLine(2);
    job << horizontalAlign(1) << print_with_font("THANK YOU FOR YOUR VISIT", Normal);
    job << printAndFeedNFontLine(2);
    if (cut == Cut::Full)
        job << cmd::fullCut();
    else if (cut == Cut::Partial)
        job << cmd::partialCut();
    return job;
}

Job qrSample()
{
    Job job("Printing a sample QR code");
    job << printerSoftInit();
    raster(job, pictures::qr_sample);
    return job;
}

Job fullCut() { return single("Sending full cut command", cmd::fullCut()); }
Job partialCut() { return single("Sending partial cut command", cmd::partialCut()); }
Job reset() { return single("Resets and initilizes to default values", printerSoftInit()); }

Job clearBuffer()
{
    Job job = single("Clears the cyclic print buffer and line feeds", clearPrintBuffer());
    return job << printLF();
}

Job lineFeed()
{
    Job job;
    job.console = Job::Console::Untouched;
    return job << printLF();
}

Job sleep()
{
    // Two texts inserted one after the other; the first ends in a newline.
    return single("Setting controller into sleep mode.\n"
                  "Send any command to exit sleep mode and then continue printing...",
        enterSleepMode());
}

namespace {

Job query(const QByteArray &write)
{
    Job job;
    job.console = Job::Console::ClearOnly;
    job.readBack = true;
    return job << write;
}

struct BarcodeSample
{
    const char *data;
    quint8 width;
    const char *label;
    const char *consoleText;
};

// Indexed by barcode system, in the order of the Bar Codes tab.
const BarcodeSample barcodeSamples[] = {
    {"01234567890", 3, "UPCA height=64 width=3", "Printing UPC-A bar code: 01234567890"},
    {"012345", 3, "UPC-E height=64 width=3", "Printing UPC-E bar code: 012345"},
    {"012345678901", 3, "EAN13 height=64 width=3", "Printing EAN-13 bar code: 012345678901"},
    {"0123456", 3, "EAN-8 height=64 width=3", "Printing EAN-8 bar code: 0123456"},
    {"123456ZPC32", 2, "Code 39 height=64 width=2", "Printing Code 39 bar code: 123456ZPC32"},
    {"12345678", 3, "ITF 2 5 height=64 width=3", "Printing ITF 2 5 bar code: 12345678"},
    {"a123456a", 3, "CODA BAR height=64 width=3", "Printing CODA BAR bar code: a123456a"},
    {"12345678", 3, "CODE 93 height=64 width=3", "Printing CODE 93 bar code: 12345678"},
    {"12345678", 2, "CODE 128A height=64 width=2", "Printing CODE 128A bar code: 12345678"},
};

} // namespace

Job version() { return query(getFirmwareInfo()); }
Job status() { return query(printerState()); }

Job barcode(BarcodeSystem system, bool leftMargin)
{
    const BarcodeSample &sample = barcodeSamples[system];
    Job job(sample.consoleText);
    job << printerSoftInit() << print_with_font(sample.label, Normal) << printAndFeedNFontLine(2);
    if (leftMargin) {
        job.lines << "Adding 4 to left margin - Bar Code will be moved 4mm to the right";
        job << setLeftMargin(4);
    }
    job << barcodeWidthSet(sample.width) << barcodeHeightSet(64);
    job << barcodePrint(system, reinterpret_cast<const quint8 *>(sample.data), quint8(qstrlen(sample.data)));
    job << printAndFeedNFontLine(2) << setLeftMargin(0);
    return job;
}

Job barcodeText(bool withText)
{
    return single(withText ? "Enable Bar Code Text printing - Default" : "Disable Bar Code Text printing",
        barcodeTextYesNo(withText ? 1 : 0));
}

} // namespace jobs
