#include "controller/Printhead.h"

#include "commands/Charsets.h"
#include "commands/Protocol.h"
#include "controller/CodeTables.h"

#include <algorithm>
#include <cstring>

namespace controller {

namespace {

// ESC R: the twelve ASCII positions national sets replace, and what sets 0 to 10 put there.
const char asciiPositions[12] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
const char16_t nationalSets[11][12] = {
    {u'#', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // USA
    {u'#', u'$', u'à', u'°', u'ç', u'§', u'^', u'`', u'é', u'ù', u'è', u'¨'}, // France
    {u'#', u'$', u'§', u'Ä', u'Ö', u'Ü', u'^', u'`', u'ä', u'ö', u'ü', u'ß'}, // Germany
    {u'£', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // UK
    {u'#', u'$', u'@', u'Æ', u'Ø', u'Å', u'^', u'`', u'æ', u'ø', u'å', u'~'}, // Denmark I
    {u'#', u'¤', u'É', u'Ä', u'Ö', u'Å', u'Ü', u'é', u'ä', u'ö', u'å', u'ü'}, // Sweden
    {u'#', u'$', u'@', u'°', u'\\', u'é', u'^', u'ù', u'à', u'ò', u'è', u'ì'}, // Italy
    {u'₧', u'$', u'@', u'¡', u'Ñ', u'¿', u'^', u'`', u'¨', u'ñ', u'}', u'~'}, // Spain I
    {u'#', u'$', u'@', u'[', u'¥', u']', u'^', u'`', u'{', u'|', u'}', u'~'}, // Japan
    {u'#', u'¤', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}, // Norway
    {u'#', u'$', u'É', u'Æ', u'Ø', u'Å', u'Ü', u'é', u'æ', u'ø', u'å', u'ü'}, // Denmark II
};

// The double-byte sets, opened once: opening a converter costs far more than using it.
char32_t decodePair(const char *name, quint8 hi, quint8 lo)
{
    static Charset gb2312("GB2312"), eucJp("EUC-JP");
    const char pair[2] = {char(hi), char(lo)}; // QByteArray{hi, lo} would be hi copies of lo
    return Charset::decodeOne(qstrcmp(name, "GB2312") == 0 ? gb2312 : eucJp, QByteArray(pair, 2));
}

} // namespace

bool Printhead::layOutText(const Command &c, int entry, QString &note)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Text:
        putText(c, entry);
        break;
    case Op::PrintLF:
        flushLine(0, true);
        break;
    case Op::PrintCR: // a carriage return does not feed
    case Op::NoEffect:
    case Op::Unknown:
    case Op::DoubleByteOn: // the decoder reads the pairs
    case Op::DoubleByteOff:
        break;
    case Op::HorizontalTab:
        horizontalTab();
        break;
    case Op::SoftInit:
        line.clear();
        cursor = 0;
        resetModes();
        break;
    case Op::SetHead:
        setHead(n);
        break;
    case Op::FeedDots:
        flushLine(n, false);
        break;
    case Op::FeedLines: // prints the pending line, then feeds n lines of the current spacing
        flushLine(n * modes.lineSpacing, false);
        break;
    case Op::AbsolutePosition:
        cursor = qMin(c.param16(0), qMax(0, modes.rightLimit - modes.leftMargin));
        break;
    case Op::RelativePosition:
        cursor = qBound(0, cursor + qint16(c.param16(0)), qMax(0, modes.rightLimit - modes.leftMargin));
        break;
    case Op::CodeTable:
        selectCodeTable(n, note);
        break;
    case Op::ClearBuffer:
        line.clear(); // what was not printed yet is gone
        cursor = 0;
        break;
    default:
        return false;
    }
    return true;
}

void Printhead::putText(const Command &c, int entry)
{
    if (c.size == 2) {
        const quint8 hi = c.at(0), lo = c.at(1);
        if (hi >= 0xA1) // GB2312 in its EUC form
            putChar(decodePair("GB2312", hi, lo), entry, true);
        else if (hi >= 0x21) // JIS X 0208, 7-bit
            putChar(decodePair("EUC-JP", hi | 0x80, lo | 0x80), entry, true);
        else // a UTF-16 character, high byte first
            putChar(char32_t(hi) << 8 | lo, entry);
    } else if (c.at(0) != 0x7F) {
        putChar(singleByte(c.at(0)), entry);
    }
}

void Printhead::selectCodeTable(int n, QString &note)
{
    const CodeTable table = codeTable(n);
    if (!table.builtIn && !tablesNoted.contains(n)) { // said once: clients select tables often
        tablesNoted.insert(n);
        note = QStringLiteral("code table %1 not built in: %2 instead").arg(n).arg(QLatin1String(table.codec));
    }
    upper = table.upper;
}

char32_t Printhead::singleByte(quint8 b) const
{
    if (b >= 0x80)
        return upper[b - 0x80];
    if (modes.international > 0) {
        const char *at = static_cast<const char *>(std::memchr(asciiPositions, b, sizeof asciiPositions));
        if (at)
            return nationalSets[modes.international][at - asciiPositions];
    }
    return b;
}

uchar Printhead::textInk() const
{
    // The second colour prints as a lighter shade of the ink, halfway to the paper's white.
    const uchar ink = inkFor(modes.darkness);
    return modes.secondColour ? uchar((ink + 255) / 2) : ink;
}

void Printhead::putChar(char32_t c, int entry, bool doubleByte)
{
    const bool bold = modes.emphasis, slanted = modes.italic;
    Item item;
    item.bold = bold;
    item.reverse = modes.whiteOnBlack;
    item.underline = modes.underlineDots;
    item.ink = textInk();
    item.scaleX = modes.sizeX;
    item.scaleY = modes.sizeY;
    item.entry = entry;
    int spacing = modes.rightSpacing;
    if (doubleByte) { // a character of the double-byte mode takes the modes FS commands set
        const bool wide = modes.doubleByteQuadruple || (modes.doubleByteMode & 0x04);
        const bool tall = modes.doubleByteQuadruple || (modes.doubleByteMode & 0x08);
        item.scaleX = qMax(item.scaleX, wide ? 2 : 1);
        item.scaleY = qMax(item.scaleY, tall ? 2 : 1);
        const int underline = modes.doubleByteUnderline ? modes.doubleByteUnderline
            : modes.doubleByteMode & 0x80               ? 1
                                                        : 0;
        item.underline = qMax(item.underline, underline);
        item.leftSpace = modes.doubleByteLeft;
        spacing = modes.doubleByteLeft + modes.doubleByteRight;
    }
    const int room = modes.rightLimit - modes.leftMargin;

    if (isArabic(c)) {
        if (!Glyphs::instance().hasArabicLetter(c))
            ++placeholders;
        // Consecutive Arabic is laid out as one run, right to left; a run wraps like text.
        const int advance = Glyphs::instance().letterAdvance(c, modes.font, bold);
        if (!line.isEmpty() && !line.last().arabic.isEmpty() && line.last().bold == bold
            && line.last().scaleX == item.scaleX && line.last().font == modes.font) {
            Item &run = line.last();
            if (run.x + (run.advance + advance) * run.scaleX <= room) {
                run.arabic += QString::fromUcs4(&c, 1);
                run.advance += advance;
                cursor = run.x + run.advance * run.scaleX;
                return;
            }
        }
        item.arabic = QString::fromUcs4(&c, 1);
        item.font = modes.font;
        item.advance = advance;
        item.height = Glyphs::cellHeight(modes.font);
    } else {
        item.glyph = Glyphs::instance().glyph(c, modes.font, bold, slanted, modes.rotated);
        if (item.glyph->placeholder)
            ++placeholders;
        item.advance = item.glyph->advance;
        item.height = item.glyph->mask.height();
    }
    item.advance += spacing;
    putItem(std::move(item));
}

void Printhead::putItem(Item &&item)
{
    const int width = item.advance * item.scaleX;
    // The line wraps at the right limit; a line that keeps being written over (an absolute
    // position again and again) prints once it holds maxLineItems pieces.
    if (line.size() >= maxLineItems)
        ++forcedLines;
    if ((cursor + width > modes.rightLimit - modes.leftMargin && !line.isEmpty()) || line.size() >= maxLineItems)
        flushLine(0, true);
    item.x = cursor;
    cursor += width;
    line.append(std::move(item));
}

int Printhead::alignOffset(int contentWidth) const
{
    const int room = qMax(0, modes.rightLimit - modes.leftMargin);
    if (modes.align == 1)
        return qMax(0, (room - contentWidth) / 2);
    if (modes.align == 2)
        return qMax(0, room - contentWidth);
    return 0;
}

void Printhead::horizontalTab()
{
    // Stops count in standard columns from the left margin. One beyond the right limit is
    // ignored, and with no stop ahead HT does nothing.
    const int column = Glyphs::cellWidth(FontSize::Standard);
    for (int stop : std::as_const(modes.tabStops)) {
        const int x = stop * column;
        if (x > cursor && modes.leftMargin + x < modes.rightLimit) {
            cursor = x;
            return;
        }
    }
}

void Printhead::flushLine(int feedAfter, bool useLineSpacing)
{
    shapeArabicRuns();
    int height = 0, width = 0;
    for (const Item &item : std::as_const(line)) {
        height = qMax(height, item.height * item.scaleY);
        width = qMax(width, item.x + item.advance * item.scaleX);
    }
    const int top = roll.rows();
    if (height > 0) {
        const bool onRoll = roll.reserve(top, height) > 0;
        const int x0 = modes.leftMargin + alignOffset(width);
        for (const Item &item : std::as_const(line)) {
            if (onRoll)
                drawItem(item, x0, top, height);
            markRows(item.entry, top, top + height - 1);
        }
        if (modes.upsideDown && onRoll)
            roll.turnAround(top, height, dots);
    }
    line.clear();
    cursor = 0;
    if (useLineSpacing)
        roll.feed(qMax(modes.lineSpacing, height) - height + feedAfter);
    else
        roll.feed(feedAfter);
}

void Printhead::shapeArabicRuns()
{
    // Arabic runs are laid out once complete; what follows a run moves by the difference the
    // joined forms made to its width. Past the roll's end nothing is laid out or drawn.
    if (!roll.isFull()
        && std::any_of(line.cbegin(), line.cend(), [](const Item &item) { return !item.arabic.isEmpty(); })) {
        QList<Item> laid;
        laid.reserve(line.size());
        int shift = 0;
        for (Item &item : line) {
            item.x += shift;
            if (item.arabic.isEmpty()) {
                laid.append(std::move(item));
                continue;
            }
            const ArabicRun run = Glyphs::instance().arabicRun(item.arabic, item.font, item.bold);
            shift += (run.advance - item.advance) * item.scaleX;
            item.arabic.clear();
            for (const ArabicRun::Piece &piece : run.pieces) {
                Item letter = item;
                letter.glyph = piece.glyph;
                letter.x = item.x + piece.x * item.scaleX;
                letter.advance = piece.advance;
                letter.height = piece.glyph->mask.height();
                laid.append(std::move(letter));
            }
        }
        line = std::move(laid);
    }
}

void Printhead::printPendingLine()
{
    if (!line.isEmpty())
        flushLine(0, true);
}

int Printhead::dropPendingLine()
{
    const int pieces = int(line.size());
    line.clear();
    cursor = 0;
    return pieces;
}

void Printhead::drawItem(const Item &item, int x0, int top, int lineHeight)
{
    const int w = item.advance * item.scaleX;
    const int h = item.height * item.scaleY;
    const int left = x0 + item.x;
    const int y0 = top + lineHeight - h; // glyphs stand on the line's bottom
    if (item.reverse)
        roll.fill(left, y0, w, h, item.ink);
    const int width = qMin(roll.width(), dots), rows = roll.rows();
    const uchar ink = item.reverse ? 255 : item.ink;
    int lastRow = -1;
    uchar *row = nullptr;
    const int glyphLeft = left + item.leftSpace * item.scaleX;
    for (const Glyph::Span &span : item.glyph->spans) {
        const int x0 = qMax(0, glyphLeft + span.x * item.scaleX);
        const int x1 = qMin(width, glyphLeft + (span.x + span.length) * item.scaleX);
        if (x1 <= x0)
            continue;
        for (int sy = 0; sy < item.scaleY; ++sy) {
            const int py = y0 + span.y * item.scaleY + sy;
            if (py < 0 || py >= rows)
                continue;
            if (py != lastRow) { // a glyph's spans come a row at a time
                row = roll.row(py);
                lastRow = py;
            }
            uchar *dst = row + x0;
            if (item.reverse) {
                std::memset(dst, 255, size_t(x1 - x0));
                continue;
            }
            for (uchar *end = dst + (x1 - x0); dst < end; ++dst)
                *dst = std::min(*dst, ink);
        }
    }
    if (item.underline)
        roll.fill(left, top + lineHeight - item.underline, w, item.underline, item.ink);
}

} // namespace controller
