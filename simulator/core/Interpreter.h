#pragma once

#include "commands/Charsets.h"
#include "commands/Protocol.h"
#include "simulator/core/Glyphs.h"
#include "simulator/core/Paper.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace sim {

// One decoded command of the stream, as the encoder names it.
struct LogEntry
{
    qint64 offset = 0;
    QString name; // "printStr", "setLeftMargin", ... ; "unknown" or "truncated" for bad input
    QString args;
    int firstRow = -1; // paper rows this command produced, or -1
    int lastRow = -1;
};

// The virtual ZPC3x controller: an incremental state machine. Bytes go in, in chunks of any size;
// paper, replies and a log of decoded commands come out. The same stream in any chunking gives
// the same paper. It draws text through Glyphs, so it needs a QGuiApplication for the fonts.
class Interpreter
{
public:
    // Status byte bits answered to DLE EOT. Bit 0 stays clear, so that no status can read as
    // XON (11) or XOFF (13) on a line with software flow control.
    enum StatusBit : quint8 {
        Fixed = 0x12, // bits 1 and 4, always set
        CoverOpen = 0x04,
        Sleeping = 0x08,
        PaperOut = 0x20,
        LinePending = 0x40,
        HasCutter = 0x80,
    };

    explicit Interpreter(int headType = 0);

    void feed(const QByteArray &chunk);
    void feed(const char *data, qsizetype size);
    // The stream ended: prints the pending line and logs a command cut short.
    void finish();

    QByteArray takeReplies();
    const Paper &paper() const { return roll; }
    const QList<LogEntry> &log() const { return entries; }
    qint64 bytesReceived() const { return received; }
    int unknownCount() const { return unknown; }
    int truncatedCount() const { return truncated; }
    int placeholderCount() const { return placeholders; } // characters no font could draw
    int headType() const { return head; }
    int paperWidth() const { return roll.width(); }
    bool isSleeping() const { return sleeping; }
    quint8 status() const;
    void setPaperOut(bool out) { paperOut = out; }
    void setCoverOpen(bool open) { coverOpen = open; }
    // Tears off the printed paper and forgets its log; modes and stored bitmaps stay.
    void clearPaper();

    static int widthForHead(int headType) { return proto::headWidth(headType); }
    // Ink grey for a darkness level: 1 lightest, 8 darkest, 0 the default (as 4).
    static uchar inkFor(int level);

private:
    struct Item // one piece of the pending line
    {
        int x = 0;
        Glyph glyph;
        int scaleX = 1, scaleY = 1;
        quint8 mode = 0;
        uchar ink = 0;
        int entry = -1;
        QString arabic; // text of a shaped run, grown as characters come and drawn at the line's end
        FontSize font = FontSize::Standard;
    };

    enum class Bulk { None, Raster, NvBitmap, QrData, Skip };

    qsizetype step(const char *p, qsizetype n); // bytes used, 0 when more are needed
    void consumeBulk(const char *p, qsizetype n);
    int begin(const QString &name, const QString &args = {});
    void markRows(int entry, int first, int last);
    void resetModes();
    void setHead(int type);

    void putChar(char32_t c);
    void putText(const char *bytes, int count);
    void printPendingLine();
    void storeNvBitmap();
    void flushLine(int feedAfter, bool lineSpacing);
    void drawItem(const Item &item, int x0, int top, int lineHeight);
    void horizontalTab();
    int alignOffset(int contentWidth) const;
    void printRasterRow(const uchar *bits, int bytesPerRow, int scaleX, int scaleY);
    void printBarcode(int system, const QByteArray &data);
    void printQr();
    void printNvBitmap(int index, int mode);
    void cut(bool full);

    Charset gb2312{"GB2312"}, eucJp{"EUC-JP"}, windows1252{"windows-1252"};
    static char32_t decodePair(Charset &charset, quint8 hi, quint8 lo);

    Paper roll;
    int head = 0;
    qint64 received = 0;
    QByteArray pending;
    qint64 pendingOffset = 0;
    QByteArray replies;
    QList<LogEntry> entries;
    int unknown = 0, truncated = 0, placeholders = 0;
    int textEntry = -1; // the printStr entry that collects consecutive text bytes

    // Modes that ESC @ resets.
    quint8 mode = 0;
    int align = 0;
    int leftMargin = 0;
    int rightLimit = 384;
    int lineSpacing = 33;
    int darkness = 0;
    FontSize font = FontSize::Standard;
    bool doubleByte = false;
    QList<int> tabStops;
    int barcodeHeight = 162, barcodeWidth = 3;
    bool barcodeText = true;

    // Kept across ESC @.
    bool sleeping = false, paperOut = false, coverOpen = false;
    int callBack = 0, uartSpeed = 4, uartFlow = 1;
    int qrModule = 3, qrErrorCorrection = 49;
    QByteArray qrData;
    struct NvBitmap
    {
        int bytesPerRow = 0, rows = 0;
        QByteArray bits;
    };
    QMap<int, NvBitmap> nvBitmaps;

    // The line being collected.
    QList<Item> line;
    int cursor = 0; // dots from the left margin

    // A command whose data is still arriving.
    Bulk bulk = Bulk::None;
    qint64 bulkLeft = 0;
    int bulkEntry = -1;
    int rasterBytesPerRow = 0, rasterRowsLeft = 0, rasterX = 0;
    QByteArray rowBuffer;
    NvBitmap nvIncoming;
    int nvIndex = 0;
};

} // namespace sim
