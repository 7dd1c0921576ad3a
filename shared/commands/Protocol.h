#pragma once

#include <QByteArray>
#include <QString>

// What the tool's encoder and the virtual controller both know of the ZPC3x command set, named
// once so that neither side types a value the other relies on.
namespace proto {

// Prefix bytes of the command families.
constexpr char ESC = 0x1B;
constexpr char GS = 0x1D;
constexpr char FS = 0x1C;
constexpr char DLE = 0x10;

// Software flow control on the line.
constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

// Character mode bits of fontTypeSet and print_with_font; they combine by OR.
enum FontBits : quint8 {
    Normal = 0x00,
    Italic = 0x02,
    Bold = 0x08,
    DoubleHeight = 0x10,
    DoubleWidth = 0x20,
    Reverse = 0x40,
    Underlined = 0x80,
};

// Barcode systems as barcodePrint numbers them; the wire carries the number plus barcodeBase.
enum BarcodeSystem : quint8 {
    UpcA = 0,
    UpcE = 1,
    Ean13 = 2,
    Ean8 = 3,
    Code39 = 4,
    Itf = 5,
    Codabar = 6,
    Code93 = 7,
    Code128 = 8,
};
constexpr quint8 barcodeBase = 0x41;

// Real-time queries: DLE and one of these bytes, answered as they arrive.
constexpr char queryStatus = 0x04; // DLE EOT: the status byte (with an n of 1 to 4, one of its kinds)
constexpr char queryFirmware = 0x05; // DLE ENQ: firmwareReply
constexpr char statusQuery[] = {DLE, queryStatus}; // the two-byte form, as it goes on the line
// DLE EOT is whole alone and also takes an n of 1 to 4: once this long passes with no byte after
// it, it is the two-byte query. The controller answers by this rule, and the monitor passes a
// client's DLE EOT on by it.
constexpr int realTimeQuietMs = 20;

// The status byte answered to DLE EOT. Bit 0 stays clear, so that no status can read as XON
// or XOFF on a line with software flow control.
enum StatusBit : quint8 {
    StatusFixed = 0x12, // bits 1 and 4, always set
    StatusCoverOpen = 0x04,
    StatusSleeping = 0x08,
    StatusPaperOut = 0x20,
    StatusLinePending = 0x40,
    StatusHasCutter = 0x80,
};

// The bits DLE EOT n sets beside StatusFixed, by n.
constexpr quint8 realTimeOffline = 0x08; // n 1: paper out, cover open or asleep
constexpr quint8 realTimeCoverOpen = 0x04; // n 2
constexpr quint8 realTimePaperOut = 0x20; // n 2
constexpr quint8 realTimePaperEnd = 0x60; // n 4: near end and end
// GS r 1: the paper sensor when the paper is out, near end and end.
constexpr quint8 paperSensorOut = 0x0F;

// GS ( k: the symbol byte (cn) and the function bytes (fn) of the two symbols the controller holds.
namespace qr {
constexpr quint8 symbol = 0x31;
constexpr quint8 model = 0x41; // accepted, with one model only
constexpr quint8 moduleSize = 0x43;
constexpr quint8 errorCorrection = 0x45;
constexpr quint8 store = 0x50; // then m = 0x30 and the data
constexpr quint8 print = 0x51; // then m = 0x30
constexpr quint8 m = 0x30;
} // namespace qr
namespace pdf417 {
constexpr quint8 symbol = 0x30;
constexpr quint8 columns = 0x41;
constexpr quint8 rows = 0x42; // accepted: the rows follow from the data
constexpr quint8 moduleWidth = 0x43;
constexpr quint8 rowHeight = 0x44;
constexpr quint8 errorLevel = 0x45;
constexpr quint8 options = 0x46; // accepted, with the standard form only
constexpr quint8 store = qr::store;
constexpr quint8 print = qr::print;
} // namespace pdf417

// GS I n: the printer IDs the controller answers; n of 1 to 3 also come as 49 to 51.
constexpr char printerIdModel = 0x33; // n 1: ZPC3x
constexpr char printerIdCutter = 0x02; // n 2, the type: bit 1 set for a head with a cutter
constexpr char printerIdFirmware = 0x10; // n 3: firmware 1.0
// n 65, 66 and 67: the firmware, the maker and the model as text, each with its closing NUL.
inline QByteArray printerIdText(int n)
{
    return n == 65 ? QByteArray("_1.0", 5)
        : n == 66  ? QByteArray("_ZPC", 5)
        : n == 67  ? QByteArray("_ZPC3x", 7)
                   : QByteArray();
}

// Print head types 0 to 7: two are 80 mm heads of 576 dots, the rest 58 mm heads of 384; types
// 4 and 5 drive a cutter.
constexpr int headTypes = 8;
constexpr int headWidth(int headType) { return headType == 1 || headType == 5 ? 576 : 384; }
constexpr bool headHasCutter(int headType) { return headType == 4 || headType == 5; }

// What the virtual controller answers to getFirmwareInfo.
inline QByteArray firmwareReply(int headType)
{
    return QStringLiteral("ZPC3x virtual controller 1.0, head type %1 (%2 dots)\r\n")
        .arg(headType)
        .arg(headWidth(headType))
        .toLatin1();
}

// The head type a firmware answer names ("head type 5 (576 dots)"), or -1.
inline int headTypeNamed(const QByteArray &firmware)
{
    const qsizetype at = firmware.indexOf("head type ");
    if (at < 0 || at + 10 >= firmware.size())
        return -1;
    const int type = firmware.at(at + 10) - '0';
    const bool alone = at + 11 >= firmware.size() || firmware.at(at + 11) < '0' || firmware.at(at + 11) > '9';
    return type >= 0 && type < headTypes && alone ? type : -1;
}

// A byte can be a status byte only with bits 1 and 4 set and bit 0 clear.
constexpr bool canBeStatus(quint8 byte) { return (byte & StatusFixed) == StatusFixed && !(byte & 0x01); }
// A byte that can be a status and cannot be text: a control byte (0x12, 0x16, 0x1A, 0x1E) or one
// with the top bit set. Inside a text answer it is a status that came between its bytes.
constexpr bool surelyStatus(quint8 byte) { return canBeStatus(byte) && (byte < 0x20 || byte >= 0x80); }

// What a query is answered with.
enum class AnswerForm : quint8 {
    None, // no answer
    StatusByte, // one byte that can be a status byte
    Byte, // one byte, any
    LineText, // text up to CR LF, or up to a pause when no line end comes
    NulText, // text up to its closing NUL
};

// The queries the controller answers, and with what. Real-time queries are answered as they
// arrive, wherever they stand and ahead of anything buffered; the others when the controller
// comes to them in the stream. n is the parameter byte, -1 for any.
struct QueryForm
{
    char prefix, letter;
    int n;
    AnswerForm form;
    bool realTime;
    // The byte a text answer starts with. With the status call-back on, a byte that can be a
    // status and comes while the text is awaited is a call-back unless it is this one.
    char textStart = 0;
};
constexpr char firmwareTextStart = 'Z'; // firmwareReply starts with the model's name
constexpr char printerIdTextStart = '_'; // printerIdText, which no status byte can be
constexpr QueryForm queryForms[] = {
    {DLE, queryStatus, -1, AnswerForm::StatusByte, true}, // DLE EOT and DLE EOT n
    {DLE, queryFirmware, -1, AnswerForm::LineText, true, firmwareTextStart}, // DLE ENQ
    {GS, 'I', 1, AnswerForm::Byte, false}, // GS I n: the printer IDs
    {GS, 'I', 2, AnswerForm::Byte, false}, {GS, 'I', 3, AnswerForm::Byte, false},
    {GS, 'I', 49, AnswerForm::Byte, false}, {GS, 'I', 50, AnswerForm::Byte, false},
    {GS, 'I', 51, AnswerForm::Byte, false}, {GS, 'I', 65, AnswerForm::NulText, false, printerIdTextStart},
    {GS, 'I', 66, AnswerForm::NulText, false, printerIdTextStart},
    {GS, 'I', 67, AnswerForm::NulText, false, printerIdTextStart},
    {GS, 'r', -1, AnswerForm::Byte, false}, // GS r n: the paper sensor or the drawer
};
// The form of the answer to the command of prefix, letter and parameter n; None for a command
// that is not a query, or a query the controller does not answer (GS I of an unknown n).
constexpr const QueryForm *queryForm(char prefix, char letter, int n)
{
    for (const QueryForm &q : queryForms) {
        if (q.prefix == prefix && q.letter == letter && (q.n < 0 || q.n == n))
            return &q;
    }
    return nullptr;
}

// Which status a status byte answers: DLE EOT's own two-byte form, or DLE EOT n's kind by n.
enum class StatusKind : quint8 { Status = 0, Printer = 1, OfflineCause = 2, ErrorCause = 3, PaperSensor = 4 };
// The kind a status query asks for: its n when it has one of 1 to 4.
constexpr StatusKind statusKindOf(int n) { return n >= 1 && n <= 4 ? StatusKind(n) : StatusKind::Status; }

// What each status bit means, in words, in the order they are told, for each kind of status: the
// bits of DLE EOT n are not those of the two-byte form. A meaning holds when all its bits are set.
// The words stay English here; the window translates them as it shows them (context
// "StatusWords").
struct StatusMeaning
{
    StatusKind kind;
    quint8 bits;
    const char *words;
};
constexpr StatusMeaning statusMeanings[] = {
    {StatusKind::Status, StatusCoverOpen, QT_TRANSLATE_NOOP("StatusWords", "cover open")},
    {StatusKind::Status, StatusSleeping, QT_TRANSLATE_NOOP("StatusWords", "asleep")},
    {StatusKind::Status, StatusPaperOut, QT_TRANSLATE_NOOP("StatusWords", "paper out")},
    {StatusKind::Status, StatusLinePending, QT_TRANSLATE_NOOP("StatusWords", "a line waiting")},
    {StatusKind::Status, StatusHasCutter, QT_TRANSLATE_NOOP("StatusWords", "cutter")},
    {StatusKind::Printer, realTimeOffline, QT_TRANSLATE_NOOP("StatusWords", "offline")},
    {StatusKind::OfflineCause, realTimeCoverOpen, QT_TRANSLATE_NOOP("StatusWords", "cover open")},
    {StatusKind::OfflineCause, realTimePaperOut, QT_TRANSLATE_NOOP("StatusWords", "offline for lack of paper")},
    {StatusKind::PaperSensor, realTimePaperEnd, QT_TRANSLATE_NOOP("StatusWords", "paper out")},
};
// The words of a status of each kind with none of its bits set.
constexpr const char *statusAllClear[] = {
    QT_TRANSLATE_NOOP("StatusWords", "ready"),
    QT_TRANSLATE_NOOP("StatusWords", "online"),
    QT_TRANSLATE_NOOP("StatusWords", "no offline cause"),
    QT_TRANSLATE_NOOP("StatusWords", "no error"),
    QT_TRANSLATE_NOOP("StatusWords", "paper present"),
};

// Bytes from the controller as text that is safe on a terminal and in a tab-separated file: UTF-8
// text as it is, Chinese included; control bytes and what is not UTF-8 as escapes (\e, \t, \0,
// \r, \n, \x07), and a backslash doubled.
QString escapedText(const QByteArray &bytes);
// The same for text: its control characters as escapes.
QString escapedText(const QString &text);

// A status byte of that kind in words: "cover open, paper out", or its all-clear words ("ready").
QString describeStatus(quint8 status, StatusKind kind = StatusKind::Status);
// What an answer says: "(paper out)" for a single byte, else the text it carries in quotes.
QString replyMeaning(const QByteArray &reply);
// An answer as both programs show it: its bytes in hex and, for a single byte, what its status
// bits say ("32 (paper out)"), else the text it carries in quotes.
QString describeReply(const QByteArray &reply);

} // namespace proto
