#pragma once

#include "commands/Protocol.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace controller {

// What a command asks of the printhead. The decoder only sorts bytes into these; the
// printhead gives them their meaning.
enum class Op : quint8 {
    Text, // one character: one byte, or a pair in double-byte mode and after a lead of 0x01-0x1F
    PrintLF,
    PrintCR,
    HorizontalTab,
    SoftInit,
    SetHead,
    FeedDots,
    FontType,
    Align,
    LineSpacing,
    LineSpacingDefault,
    TabStops,
    FeedLines,
    Raster,
    LeftMarginColumns,
    RightLimitColumns,
    Status, // DLE EOT, the controller's own two-byte form
    StatusN, // DLE EOT n, n 1 to 4
    Firmware,
    AbsolutePosition,
    Darkness,
    DoubleByteOn,
    DoubleByteOff,
    FontMode,
    BarcodeHeight,
    BarcodeWidth,
    BarcodeText,
    Barcode,
    ClearBuffer,
    Cut,
    FullCut,
    PartialCut,
    CallBack,
    NvDownload,
    NvPrint,
    ComMode,
    SymbolFunction, // GS ( k: QR code and PDF417 functions
    Sleep,
    Emphasis,
    DoubleStrike,
    Italic,
    Underline,
    CharacterSize,
    WhiteOnBlack,
    UpsideDown,
    Rotate,
    RightSpacing,
    RelativePosition,
    LeftMarginDots,
    PrintAreaWidth,
    CodeTable,
    InternationalSet,
    HriFont,
    ColumnImage,
    Graphics, // GS ( L and GS 8 L
    DrawerKick,
    TransmitStatus,
    PrinterId,
    NoEffect, // known, and nothing to draw: motion units, panel buttons and the like
    Skipped, // known by its shape, and not carried out: said so in the log
    Buzzer,
    InkColour, // ESC r: the second colour
    CharacterEffects, // GS ( N: character colour, background and shading
    DoubleByteMode, // FS !: what FS W, FS - and the sizes of ESC ! are for two-byte characters
    DoubleByteUnderline,
    DoubleByteSpacing,
    DoubleByteQuadruple,
    Unknown,
};

// One command as it came: a view of its bytes (prefix and parameters; for a block, at most its
// first blockPeek bytes), valid only while the sink handles it.
struct Command
{
    Op op = Op::Unknown;
    const char *name = "";
    qint64 offset = 0;
    const char *data = nullptr;
    int size = 0;
    int prefix = 0; // how many of the bytes are the prefix
    qint64 bulk = 0; // data bytes that follow, handed to the sink by bulk()
    bool shapeKnown = true; // for Unknown: skipped by its family's shape, or only prefix and letter

    quint8 at(int i) const { return i < size ? quint8(data[i]) : 0; } // byte i of the command
    quint8 param(int i) const { return at(prefix + i); } // parameter byte i
    int param16(int i) const { return param(i) | param(i + 1) << 8; }
};

class DecoderSink
{
public:
    virtual ~DecoderSink() = default;
    virtual void command(const Command &command) = 0;
    virtual void bulk(const char *data, qsizetype size) = 0; // data of the last command, in order
    // A run of one-byte characters, as text outside double-byte mode comes: by default a Text
    // command for each. A sink that takes the run whole spares the decoder its per-character work.
    virtual void text(const Command &run);
};

// Turns the byte stream into commands by one table of prefixes and parameter shapes. It is
// incremental: bytes come in chunks of any size, and the commands are the same for any
// chunking.
//
// Real-time queries (DLE EOT [n], DLE ENQ) are reported as their bytes arrive, wherever they
// stand, inside bulk data and a block's first bytes too, as the hardware answers them there;
// the commands around them still go on whole. A controller with a receive buffer hands each
// byte to arrive() when it comes and to feed() with arrivals off when it is processed; without
// a buffer, feed() does both in the stream's order.
class Decoder
{
public:
    static constexpr int blockPeek = 16; // bytes of a block handed over with its command

    void feed(const char *data, qsizetype size, DecoderSink &sink, bool arrivals = true);
    // Bytes that just came in: reports the real-time queries among them. A DLE EOT that ends
    // them waits for its possible n until more come or settle() is called.
    void arrive(const char *data, qsizetype size, DecoderSink &sink) { arrive(data, size, size, sink); }
    // Nothing more came for now: a DLE EOT waiting for its n is the two-byte form. At the end of
    // a stream, the next stream's first byte does not end a query either.
    void settle(DecoderSink &sink, bool streamEnded = false);
    // The stream ended: a command waiting for more is cut short. Returns what was cut short, for
    // the log, or an empty string.
    QString finish(DecoderSink &sink, bool arrivals = true);
    void reset(); // forgets a command in progress, as at a new connection
    // A command has begun and not ended: its bytes, or its data, are still to come. A status
    // query waiting only for an n that may never come is over already.
    bool inCommand() const
    {
        return (!pending.isEmpty() && pending != QByteArrayView(proto::statusQuery, 2)) || bulkLeft > 0
            || imagesLeft > 0;
    }
    qint64 offset() const { return consumed; } // bytes taken by whole commands and their data
    qsizetype waitingBytes() const { return pending.size(); } // of a command not complete yet
    qint64 bulkRemaining() const { return bulkLeft; } // data bytes the last command still awaits
    qint64 arrivedBytes() const { return arrived; }
    bool doubleByteMode() const { return doubleByte; }
    bool statusPending() const { return pendingStatus >= 0; } // a DLE EOT whose n may still come

private:
    qsizetype step(const char *p, qsizetype n, bool ended, DecoderSink &sink);
    qsizetype unlisted(const char *p, qsizetype n, Command &c, DecoderSink &sink); // not in the table
    // Scans the first n of the avail bytes at p; the rest may give a DLE EOT that ends them its n.
    void arrive(const char *p, qsizetype n, qsizetype avail, DecoderSink &sink);
    // Bytes arrived that hold no byte of a query (text and line controls), with no DLE EOT waiting.
    void passed(const char *p, qsizetype n)
    {
        lastArrived = p[n - 1];
        arrived += n;
    }

    QByteArray pending;
    qint64 consumed = 0; // offset of pending's first byte
    qint64 bulkLeft = 0;
    bool doubleByte = false;
    qint64 arrived = 0; // bytes arrive() has seen
    char lastArrived = 0; // for a query split between two arrivals
    qint64 pendingStatus = -1; // offset of a DLE EOT whose n has not come yet
    int imagesLeft = 0; // FS q: the images still to come, each a header and its data
};

} // namespace controller
