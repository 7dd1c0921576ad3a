#pragma once

#include "commands/Protocol.h"
#include "controller/Decoder.h"
#include "controller/Glyphs.h"
#include "controller/Modes.h"
#include "controller/Paper.h"
#include "controller/Symbols.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

namespace controller {

// Where the printhead reports the paper rows that a command's log entry printed: a line's
// characters print when the line does, long after their commands.
class PrintedRows
{
public:
    virtual void printed(int entry, int first, int last) = 0;

protected:
    ~PrintedRows() = default;
};

// The controller's mechanism: it holds the modes the commands set and draws on the paper.
// Commands come from the Decoder; each is applied with the index of its log entry, and the rows
// it prints are reported with that index. Its parts live in their own files: the modes
// (Modes.*), the text line (TextLine.cpp), graphics and symbols (Graphics.cpp), and status and
// answers (Answers.cpp).
class Printhead
{
public:
    // The status byte's bits, by their names in the controller.
    using StatusBit = proto::StatusBit;
    static constexpr StatusBit Fixed = proto::StatusFixed, CoverOpen = proto::StatusCoverOpen,
                               Sleeping = proto::StatusSleeping, PaperOut = proto::StatusPaperOut,
                               LinePending = proto::StatusLinePending, HasCutter = proto::StatusHasCutter;

    static constexpr int maxLineItems = 4096; // pieces one line holds before it prints by itself
    static constexpr int cutMarkRows = 3; // the line a cut draws across the roll

    Printhead(int headType, PrintedRows &report);

    // Applies a command; returns what it answers (empty for most) and appends a note for the
    // log to note where there is one to make.
    QByteArray apply(const Command &command, int entry, QString &note);
    void bulk(const char *data, qsizetype size); // the data of the last command applied
    void bulkCutShort(); // the stream ended inside bulk data
    void printPendingLine();
    // The stream ended before the line's line feed: the line is dropped, never printed, as
    // nothing prints without its line feed. Returns how many pieces it kept.
    int dropPendingLine();

    const Paper &paper() const { return roll; }
    int headType() const { return head; }
    int headWidth() const { return dots; }
    bool isSleeping() const { return sleeping; }
    void wake() { sleeping = false; }
    quint8 status() const;
    // DLE EOT n: 1 the printer, 2 the cause of being offline, 3 errors, 4 the paper sensor.
    quint8 realTimeStatus(int which) const;
    int placeholderCount() const { return placeholders; }
    int drawerKicks() const { return kicks; }
    int linesCutShort() const { return forcedLines; } // lines printed at maxLineItems
    int callBack() const { return callBackMode; }
    const QList<int> &cutRows() const { return cuts; } // the first row of each cut's mark
    void setPaperOut(bool out) { paperOut = out; }
    void setCoverOpen(bool open) { coverOpen = open; }
    void setHead(int type); // as ESC Z sets it: the width follows, and the roll widens once
    void clearPaper(); // tears off the printed paper; modes and stored bitmaps stay

    static uchar inkFor(int level);
    // An answer as the window shows it: its bytes and, for a status byte, what its bits say.
    static QString describeReply(const QByteArray &reply);

private:
    struct Item // one piece of the pending line
    {
        int x = 0;
        GlyphPtr glyph; // null for an Arabic run until the line prints and shapes it
        int advance = 0, height = 0; // in unscaled dots; the advance includes right spacing
        int scaleX = 1, scaleY = 1;
        bool bold = false, reverse = false;
        int underline = 0; // dots
        int leftSpace = 0; // unscaled dots before the glyph, within the advance
        uchar ink = 0;
        int entry = -1;
        QString arabic; // text of a shaped run, grown as characters come and drawn at the line's end
        FontSize font = FontSize::Standard;
    };
    enum class Bulk { None, Raster, NvBitmap, QrData, Pdf417Data, ColumnImage, Graphics, Skip };
    struct Bitmap
    {
        int bytesPerRow = 0, rows = 0;
        QByteArray bits;
    };

    void resetModes();
    void markRows(int entry, int first, int last);
    void startBulk(Bulk kind, qint64 size, int entry);

    // The parts' commands: each takes its own and returns false for any other.
    bool layOutText(const Command &c, int entry, QString &note); // TextLine.cpp
    bool drawGraphics(const Command &c, int entry, QString &note); // Graphics.cpp
    QByteArray answer(const Command &c, QString &note); // Answers.cpp: the rest

    // The text line.
    void putText(const Command &c, int entry);
    void selectCodeTable(int table, QString &note);
    uchar textInk() const;
    void putChar(char32_t c, int entry, bool doubleByte = false);
    void putItem(Item &&item);
    void flushLine(int feedAfter, bool useLineSpacing);
    void shapeArabicRuns();
    void drawItem(const Item &item, int x0, int top, int lineHeight);
    void horizontalTab();
    int alignOffset(int contentWidth) const;
    char32_t singleByte(quint8 b) const;

    // Graphics and symbols.
    void startRaster(const Command &c, int entry);
    void startColumnImage(const Command &c, int entry);
    void startNvBitmap(const Command &c, int entry, QString &note);
    void printNvBitmap(const Command &c, QString &note);
    void symbolFunction(const Command &c, int entry, QString &note);
    struct EncodedSymbol;
    EncodedSymbol &storedSymbol(bool qr);
    void graphicsFunction(const Command &c, int entry, QString &note);
    void putColumnStrip();
    void printRasterRow(const uchar *bits, int bytesPerRow, int scaleX, int scaleY);
    void printBarcode(int system, const QByteArray &data, QString &note);
    void printMatrix(EncodedSymbol &code, int moduleW, int moduleH);
    void printBitmap(const Bitmap &bitmap, int scaleX, int scaleY);
    void cutCommand(const Command &c, QString &note);
    void cut(bool full);

    // Status and answers.
    QByteArray printerId(quint8 n, QString &note) const;

    PrintedRows &report;
    Paper roll;
    int head = 0;
    int dots = 384; // the head's width; the roll keeps the widest head's width
    int placeholders = 0, kicks = 0, forcedLines = 0;

    Modes modes; // what ESC @ resets

    // Kept across ESC @.
    bool sleeping = false, paperOut = false, coverOpen = false;
    int callBackMode = 0, uartSpeed = 4, uartFlow = 1;
    int qrModule = 3, qrErrorCorrection = 49;
    int pdfColumns = 0, pdfModuleWidth = 3, pdfRowHeight = 3, pdfErrorLevel = -1;
    QByteArray qrData, pdfData;
    // The last few stored codes as encoded, most recent first, with what they were encoded from
    // and their rows of dots as last drawn: a stored code is often printed again and again, and
    // encoding it costs far more than copying its dots.
    struct EncodedSymbol
    {
        bool qr = false;
        int first = 0, second = 0; // QR: the error correction; PDF417: the columns and error level
        QByteArray data;
        MatrixSymbol symbol;
        QByteArray dots; // a row of dots for each row of modules
        int dotsModule = 0;
        uchar dotsInk = 255;
    };
    static constexpr int maxEncodedSymbols = 8;
    QList<EncodedSymbol> encoded;
    QMap<int, Bitmap> nvBitmaps;
    Bitmap graphics; // GS ( L: stored, then printed on its own command
    int graphicsScaleX = 1, graphicsScaleY = 1;

    // The line being collected.
    QList<Item> line;
    int cursor = 0; // dots from the left margin

    // A command whose data is still arriving.
    Bulk bulkKind = Bulk::None;
    qint64 bulkLeft = 0;
    int bulkEntry = -1;
    int rasterBytesPerRow = 0, rasterX = 0, rasterScaleX = 1, rasterScaleY = 1, columnBytes = 1, columnScaleX = 1,
        columnScaleY = 1;
    QByteArray rowBuffer;
    Bitmap incoming;
    int nvIndex = 0;

    const char32_t *upper = nullptr; // 0x80 to 0xFF in the current code table
    QSet<int> tablesNoted; // code tables not built in that the log has named
    QList<int> cuts;
};

} // namespace controller
