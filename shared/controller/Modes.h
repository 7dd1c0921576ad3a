#pragma once

#include "commands/Protocol.h"
#include "controller/Decoder.h"
#include "controller/Glyphs.h"

#include <QList>
#include <QString>

namespace controller {

// The modes that ESC @ resets, each at its default: what the next character, line, barcode or
// picture prints with.
struct Modes
{
    static constexpr int defaultLineSpacing = 33; // dots
    static constexpr int defaultBarcodeHeight = 162, defaultBarcodeWidth = 3;
    static constexpr int defaultBarcodeText = 2; // below the bars
    static constexpr int defaultCodeTable = 16;
    static QList<int> defaultTabStops() { return {8, 16, 24, 32, 40, 48, 56, 64}; }

    explicit Modes(int headWidth)
        : rightLimit(headWidth)
    { }

    // Applies a command that sets modes and nothing else: false for any other command.
    bool set(const Command &c, int headWidth, QString &note);

    bool emphasis = false, italic = false, whiteOnBlack = false, upsideDown = false, rotated = false;
    int underlineDots = 0, sizeX = 1, sizeY = 1, rightSpacing = 0;
    int align = 0; // 0 left, 1 centre, 2 right
    int leftMargin = 0;
    int rightLimit; // the head's width
    int lineSpacing = defaultLineSpacing;
    int darkness = 0;
    FontSize font = FontSize::Standard;
    QList<int> tabStops = defaultTabStops();
    int barcodeHeight = defaultBarcodeHeight, barcodeWidth = defaultBarcodeWidth;
    int barcodeTextPosition = defaultBarcodeText;
    FontSize hriFont = FontSize::Standard;
    int international = 0; // USA
    // Two-byte characters' own modes (FS !, FS -, FS S, FS W), and the second colour.
    quint8 doubleByteMode = 0;
    int doubleByteUnderline = 0, doubleByteLeft = 0, doubleByteRight = 0;
    bool doubleByteQuadruple = false, secondColour = false;

private:
    bool setDoubleByte(const Command &c, QString &note);
    bool setLayout(const Command &c, int headWidth);
};

} // namespace controller
