#include "controller/Modes.h"

namespace controller {

namespace {

// Fonts and switches take the controller's 0 and 1 and the ASCII '0' and '1' other clients send.
bool isOne(quint8 n) { return n == 1 || n == 49; }

int underlineFor(quint8 n) { return isOne(n) ? 1 : n == 2 || n == 50 ? 2 : 0; }

} // namespace

bool Modes::set(const Command &c, int headWidth, QString &note)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::FontType: // the mode byte is the whole mode: each attribute it holds, set or cleared
        emphasis = n & proto::Bold;
        italic = n & proto::Italic;
        whiteOnBlack = n & proto::Reverse;
        underlineDots = n & proto::Underlined ? 2 : 0;
        sizeX = n & proto::DoubleWidth ? 2 : 1;
        sizeY = n & proto::DoubleHeight ? 2 : 1;
        break;
    case Op::Darkness:
        darkness = n;
        break;
    case Op::FontMode: // the controller's 1 and 2, and font A and B of other controllers
        font = isOne(n) ? FontSize::Small : FontSize::Standard;
        break;
    case Op::Emphasis:
    case Op::DoubleStrike:
        emphasis = n & 1;
        break;
    case Op::Italic:
        italic = n & 1;
        break;
    case Op::Underline:
        underlineDots = underlineFor(n);
        break;
    case Op::CharacterSize:
        sizeX = 1 + ((n >> 4) & 7);
        sizeY = 1 + (n & 7);
        break;
    case Op::WhiteOnBlack:
        whiteOnBlack = n & 1;
        break;
    case Op::UpsideDown:
        upsideDown = n & 1;
        break;
    case Op::Rotate:
        rotated = isOne(n);
        break;
    case Op::RightSpacing:
        rightSpacing = n;
        break;
    case Op::InternationalSet:
        international = n <= 10 ? n : 0;
        break;
    case Op::BarcodeHeight:
        barcodeHeight = n;
        break;
    case Op::BarcodeWidth:
        barcodeWidth = n;
        break;
    case Op::BarcodeText: // the controller's 1 is text below; 2 below, 3 both, as others have them
        barcodeTextPosition = (n & 3) == 1 ? 2 : n & 3;
        break;
    case Op::HriFont:
        hriFont = isOne(n) ? FontSize::Small : FontSize::Standard;
        break;
    default:
        return setLayout(c, headWidth) || setDoubleByte(c, note);
    }
    return true;
}

bool Modes::setLayout(const Command &c, int headWidth)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Align:
        align = n <= 2 ? n : n >= 48 && n <= 50 ? n - 48 : align;
        break;
    case Op::LineSpacing:
        lineSpacing = n;
        break;
    case Op::LineSpacingDefault:
        lineSpacing = defaultLineSpacing;
        break;
    case Op::TabStops:
        tabStops.clear();
        for (int i = c.prefix; i < c.size && c.at(i) != 0; ++i)
            tabStops.append(c.at(i));
        break;
    case Op::LeftMarginColumns:
        leftMargin = qMin(n * 8, headWidth - 8);
        break;
    case Op::RightLimitColumns:
        rightLimit = n == 0 ? headWidth : qMin(n * 8, headWidth);
        break;
    case Op::LeftMarginDots:
        leftMargin = qMin(c.param16(0), headWidth - 8);
        rightLimit = qMax(rightLimit, leftMargin + 8);
        break;
    case Op::PrintAreaWidth:
        rightLimit = c.param16(0) == 0 ? headWidth : qMin(headWidth, leftMargin + qMax(8, c.param16(0)));
        break;
    default:
        return false;
    }
    return true;
}

bool Modes::setDoubleByte(const Command &c, QString &note)
{
    // The two-byte character modes and the colour other controllers' clients send.
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::InkColour:
        secondColour = isOne(n);
        break;
    case Op::CharacterEffects: // fn 48 m: 49 the first colour, 50 and 51 the second
        if (n == 48 && c.param(1) >= 49 && c.param(1) <= 51)
            secondColour = c.param(1) != 49;
        else
            note = QStringLiteral("character effect %1 ignored").arg(n);
        break;
    case Op::DoubleByteMode:
        doubleByteMode = n;
        break;
    case Op::DoubleByteUnderline:
        doubleByteUnderline = underlineFor(n);
        break;
    case Op::DoubleByteSpacing:
        doubleByteLeft = n;
        doubleByteRight = c.param(1);
        break;
    case Op::DoubleByteQuadruple:
        doubleByteQuadruple = n & 1;
        break;
    default:
        return false;
    }
    return true;
}

} // namespace controller
