#include "demos/Jobs.h"

#include "commands/Charsets.h"

#include <QStringList>

using namespace cmd;

namespace jobs {
namespace {

// Single bytes: ASCII, and Windows-1252 above it, where 0x80 is the euro sign.
QByteArray singleByte(const QString &text) { return Charset("windows-1252").encode(text); }

// Code points above U+00FF go as two bytes, high first, with no byte-order mark.
QByteArray utf16(const QString &text) { return Charset("UTF-16BE").encode(text); }

struct Range
{
    char32_t first;
    char32_t last;
};

QByteArray utf16(std::initializer_list<Range> ranges)
{
    QByteArray out;
    for (const Range &r : ranges) {
        for (char32_t c = r.first; c <= r.last; ++c) {
            out.append(char(c >> 8));
            out.append(char(c & 0xFF));
        }
    }
    return out;
}

// JIS X 0208 in its 7-bit form: EUC-JP with the high bit of each byte cleared.
QByteArray jis(const QString &text)
{
    QByteArray out = Charset("EUC-JP").encode(text);
    for (char &c : out)
        c = char(quint8(c) & 0x7F);
    return out;
}

// A run of JIS X 0208 codes of one row, high byte first.
QByteArray jisRun(quint16 first, quint16 last)
{
    QByteArray out;
    for (quint16 code = first; code <= last; ++code) {
        out.append(char(code >> 8));
        out.append(char(code & 0xFF));
    }
    return out;
}

const char explanation[]
    = "The Controller works with Unicode however basic Latin and Latin-1 can be send as single byte character\n"
      " all other need to be sent as Unicode. Other DoubleByte languages are also supported e.g. Chinese, Japanese.\n"
      "Here is the range:\n"
      "Basic Latin and Latin-1 in range of 0x00h-0xFFh can be send as single byte\n"
      "Unicode:\n"
      "(unicode >=  0x0020UL && unicode <= 0x007FUL) ||  basic latin\n"
      "(unicode >=  0x00A0UL && unicode <= 0x017FUL) ||  part of latin1 & latin extended A\n"
      "(unicode >=  0x01A0UL && unicode <= 0x01CFUL) ||  part of Latin extended B\n"
      "(unicode >=  0x01F0UL && unicode <= 0x01FFUL) ||  part of Latin extended B\n"
      "(unicode >=  0x0210UL && unicode <= 0x021FUL) ||  part of Latin extended B\n"
      "(unicode >=\t 0x1EA0UL && unicode <= 0x1EF9UL) ||  part of Latin Extended Additional\n"
      "\n"
      "Greek and Arabic requires firmware April 2020 or newer\n"
      "Greek language support range is:\n"
      "[0374h-0375h 037Ah-037Eh 0384h-038Ah 038Ch 038Eh-03A1h 03A3h-03CEh]\n"
      "Arabic language support range is:\n"
      "[060Ch 061Bh 061F 0621h-063Ah 0640h-0655h 0660h-066Fh 0671h-06EDh 06F0h-06FEh]\n";

} // namespace

Job language()
{
    // "ABCDabcd1234%&/!)(.-_;" then the euro sign, "$@", pound, yen, copyright and registered.
    const QByteArray latin = singleByte(QStringLiteral("ABCDabcd1234%&/!)(.-_;€$@£¥©®"));
    Job job;
    job.heading = QStringLiteral("Printing languages");
    job.lines << QString::fromLatin1(explanation);
    auto S = [&job](const QByteArray &bytes) { job.writes << bytes; };
    auto LF = [&job] { job.writes << printLF(); };

    job.writes << printerSoftInit();
    LF();
    S("[00h-7Fh]"), LF(), S(latin), LF(), LF();
    S("[A0h-FFh]"), LF(), S(singleByte(QStringLiteral("ÆÃÀÜü¥µÞØøÑñ€ÆÔßðëçúïÙÿÜ"))), LF(), LF();
    S("[100h-17Fh]"), LF(), S(utf16(QStringLiteral("īĵćĦŶĈęĎŽŎŜſőŢĲŊů"))), LF(), LF();
    S("[1A0h-1CFh 1F0h-1FFh 210h-21Fh]"), LF();
    S(utf16({{0x01A0, 0x01A0}, {0x01AD, 0x01AD}, {0x01BB, 0x01BB}, {0x01CE, 0x01CF}, {0x01F1, 0x01F1}, {0x01F9, 0x01F9},
        {0x01FF, 0x01FF}, {0x0210, 0x0210}, {0x0216, 0x0216}, {0x0219, 0x0219}, {0x021C, 0x021C}, {0x021F, 0x021F},
        {0x01BE, 0x01BE}, {0x01FC, 0x01FC}, {0x021B, 0x021B}}));
    LF(), LF();
    S("[1EA0h-1EF9h]"), LF();
    S(utf16({{0x1EA1, 0x1EA1}, {0x1EC7, 0x1EC7}, {0x1EF3, 0x1EF3}, {0x1EAB, 0x1EAB}, {0x1EDB, 0x1EDB}, {0x1EE9, 0x1EE9},
        {0x1EF1, 0x1EF1}, {0x1ED6, 0x1ED6}, {0x1EE7, 0x1EE7}, {0x1EED, 0x1EED}, {0x1ECF, 0x1ECF}, {0x1EDD, 0x1EDD},
        {0x1EBC, 0x1EBC}, {0x1EF9, 0x1EF9}, {0x1ECA, 0x1ECA}, {0x1EB5, 0x1EB5}}));
    LF(), LF();

    // The small font's heading still prints in the standard font; the standard one after it.
    job.lines << QStringLiteral("Setting Font to Small");
    S("[Setting Small Font]"), LF(), S(setFontMode(1)), S(latin), LF(), LF();
    job.lines << QStringLiteral("Setting Font to Standard");
    S(setFontMode(2)), S("[Setting Standard Font]"), LF(), S(latin), LF(), LF();

    job.lines << QStringLiteral("Printing DoubleByte Language") << QStringLiteral("Chinese");
    S("[DoubleByte - Chinese]"), LF(), S(setDbMode());
    S(Charset("GB2312").encode(QStringLiteral("飞流直下三千尺，疑是银河落九天"))), LF(), LF(), S(cancelDbMode());

    job.lines << QStringLiteral("Japanese - Hiragana");
    S("[DoubleByte - Hiragana]"), LF(), S(setDbMode());
    S(jisRun(0x2421, 0x242F)), LF();
    for (quint16 line = 0x2430; line <= 0x2460; line += 0x10)
        S(jisRun(line, line + 0x0F)), LF();
    S(jisRun(0x2470, 0x2473)), LF(), LF(), S(cancelDbMode());

    // Katakana lines stop one code short of each block of sixteen.
    job.lines << QStringLiteral("Japanese - Katakana");
    S("[DoubleByte - Katakana]"), LF(), S(setDbMode());
    S(jisRun(0x2521, 0x252E)), LF();
    for (quint16 line = 0x2530; line <= 0x2560; line += 0x10)
        S(jisRun(line, line + 0x0E)), LF();
    S(jisRun(0x2570, 0x2576)), S(cancelDbMode()), LF(), LF();

    S(setDbMode()), S(jis(QStringLiteral("大原や蝶の出て舞う朧月"))), S(cancelDbMode()), LF(), LF();

    job.lines << QStringLiteral("Latin Language");
    S("[Latin Language]"), LF(), S(latin), LF(), LF();

    job.lines << QStringLiteral("Greek Language");
    S("[Greek Language]\n"), S("[Firmware 04/2020 or newer]\n"), S("[0374h-0375h 037Ah-037Eh]\n");
    S("[0384h-038Ah 038Ch]\n"), S("[038Eh-03A1h 03A3h-03CEh]\n");
    for (const QByteArray &line : {utf16({{0x0374, 0x0375}, {0x037A, 0x037E}}),
             utf16({{0x0384, 0x038A}, {0x038C, 0x038C}, {0x038E, 0x038F}}), utf16({{0x0390, 0x039F}}),
             utf16({{0x03A0, 0x03A1}, {0x03A3, 0x03AF}}), utf16({{0x03B0, 0x03BF}}), utf16({{0x03C0, 0x03CE}})})
        LF(), S(line);
    LF(), LF();

    job.lines << QStringLiteral("Arabic Language");
    S("[Arabic Language]\n"), S("[Firmware 04/2020 or newer]\n"), S("[060Ch 061Bh 061F]\n");
    S("[0621h-063Ah]\n"), S("[0640h-0655h]\n"), S("[0660h-066Fh]\n"), S("[0671h-06EDh]\n");
    S("[06F0h-06FEh]\n");
    QList<QByteArray> arabic = {utf16({{0x060C, 0x060C}, {0x061B, 0x061B}, {0x061F, 0x061F}}),
        utf16({{0x0621, 0x062F}}), utf16({{0x0630, 0x063A}}), utf16({{0x0640, 0x064F}}), utf16({{0x0650, 0x0658}}),
        utf16({{0x0660, 0x066F}}), utf16({{0x0671, 0x067F}})};
    for (char32_t block = 0x0680; block <= 0x06F0; block += 0x10)
        arabic << utf16({{block, block + 0x0F}});
    for (const QByteArray &line : arabic)
        LF(), S(line);
    LF(), LF();
    return job;
}

} // namespace jobs
