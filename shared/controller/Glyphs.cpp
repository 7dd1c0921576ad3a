#include "controller/Glyphs.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <utility>

namespace controller {

namespace {

QString load(const char *path)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(path));
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    return families.isEmpty() ? QString() : families.first();
}

QFont face(const QString &family, int pixelSize, bool bold, bool italic)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    // Our own fallback chain decides; a silently merged system font would hide a missing glyph.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

int pixelSize(FontSize size) { return size == FontSize::Small ? 15 : 20; }
// Scheherazade draws its letters small for their size; this brings them to the Latin letters'.
int arabicPixelSize(FontSize size) { return pixelSize(size) * 3 / 2; }

// Thresholds a painted Alpha8 image so that the mask holds whole dots only.
void harden(QImage &mask)
{
    const int w = mask.width(), h = mask.height();
    for (int y = 0; y < h; ++y) {
        uchar *line = mask.scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = line[x] > 127 ? 255 : 0;
    }
}

Glyph placeholderBox(int w, int h)
{
    Glyph g;
    g.mask = QImage(w, h, QImage::Format_Alpha8);
    g.mask.fill(0);
    for (int x = 1; x < w - 1; ++x) {
        g.mask.setPixel(x, 2, 0xFF);
        g.mask.setPixel(x, h - 3, 0xFF);
    }
    for (int y = 2; y < h - 2; ++y) {
        g.mask.scanLine(y)[1] = 255;
        g.mask.scanLine(y)[w - 2] = 255;
    }
    g.advance = w;
    g.placeholder = true;
    g.collectSpans();
    return g;
}

} // namespace

void Glyph::collectSpans(int originX)
{
    spans.clear();
    const int w = mask.width(), h = mask.height();
    for (int y = 0; y < h; ++y) {
        const uchar *line = mask.constScanLine(y);
        for (int x = 0; x < w;) {
            if (!line[x]) {
                ++x;
                continue;
            }
            int end = x;
            while (end < w && line[end])
                ++end;
            spans.append({y, x - originX, end - x});
            x = end;
        }
    }
}

bool isArabic(char32_t c) { return c >= 0x0600 && c <= 0x06FF; }

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6);
}

Glyphs &Glyphs::instance()
{
    static Glyphs glyphs;
    return glyphs;
}

Glyphs::Glyphs()
    : mono(load("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"))
    , monoBold(load("/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"))
    , sans(load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))
    , cjk(load("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"))
    , arabic(load("/usr/share/fonts/truetype/scheherazade/Scheherazade-Regular.ttf"))
{
    load("/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Oblique.ttf");
    load("/usr/share/fonts/truetype/dejavu/DejaVuSansMono-BoldOblique.ttf");
    load("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
}

const GlyphPtr &Glyphs::glyph(char32_t c, FontSize size, bool bold, bool italic, bool rotated)
{
    const quint64 key = quint64(c) | quint64(size == FontSize::Small) << 32 | quint64(bold) << 33
        | quint64(italic) << 34 | quint64(rotated) << 63;
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    if (rotated) {
        // Turned from the upright glyph, kept by a copy of its pointer: caching the turned one
        // may start the cache afresh.
        const GlyphPtr upright = glyph(c, size, bold, italic);
        Glyph g;
        g.mask = upright->mask.transformed(QTransform().rotate(90));
        g.advance = g.mask.width();
        g.placeholder = upright->placeholder;
        g.collectSpans();
        return cached(key, std::move(g));
    }

    const bool wide = isWide(c);
    const int w = cellWidth(size) * (wide ? 2 : 1), h = cellHeight(size);
    const int px = pixelSize(size);
    // Try the faces in order; the first that has the character draws it.
    const QString families[] = {wide ? cjk : mono, sans, cjk};
    Glyph g;
    for (const QString &family : families) {
        if (family.isEmpty())
            continue;
        const QFont f = face(family, wide || family == cjk ? px + 2 : px, bold, italic);
        if (!QFontMetrics(f).inFontUcs4(uint(c)))
            continue;
        g.mask = QImage(w, h, QImage::Format_Alpha8);
        g.mask.fill(0);
        QPainter p(&g.mask);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, w, h), Qt::AlignHCenter | Qt::AlignBottom, QString::fromUcs4(&c, 1));
        p.end();
        harden(g.mask);
        g.advance = w;
        break;
    }
    if (g.mask.isNull())
        g = placeholderBox(w, h);
    else
        g.collectSpans();
    return cached(key, std::move(g));
}

GlyphPtr &Glyphs::cached(quint64 key, Glyph &&glyph)
{
    // A stream that touches every character in every style must not grow the cache for ever.
    const qsizetype bytes = glyph.mask.sizeInBytes() + glyph.spans.size() * qsizetype(sizeof(Glyph::Span)) + 64;
    if (cacheBytes + bytes > maxCacheBytes) {
        cache.clear();
        cacheBytes = 0;
    }
    cacheBytes += bytes;
    return *cache.insert(key, std::make_shared<const Glyph>(std::move(glyph)));
}

int Glyphs::letterAdvance(char32_t c, FontSize size, bool bold)
{
    const quint64 key = quint64(c) | quint64(size == FontSize::Small) << 32 | quint64(bold) << 33;
    auto it = letterAdvances.constFind(key);
    if (it != letterAdvances.constEnd())
        return *it;
    const int advance = QFontMetrics(face(arabicFace(), arabicPixelSize(size), bold, false))
                            .horizontalAdvance(QString::fromUcs4(&c, 1));
    return *letterAdvances.insert(key, qMax(1, advance));
}

bool Glyphs::hasArabicLetter(char32_t c)
{
    auto it = arabicLetters.constFind(c);
    if (it == arabicLetters.constEnd())
        it = arabicLetters.insert(
            c, QFontMetrics(face(arabicFace(), pixelSize(FontSize::Standard), false, false)).inFontUcs4(uint(c)));
    return *it;
}

namespace {

// The forms a letter takes by the letters it joins: on its right, its left, both or neither.
enum class Form { Isolated, Initial, Medial, Final };

bool joinsBefore(QChar::JoiningType t)
{
    return t == QChar::Joining_Dual || t == QChar::Joining_Right || t == QChar::Joining_Causing;
}

bool joinsAfter(QChar::JoiningType t)
{
    return t == QChar::Joining_Dual || t == QChar::Joining_Left || t == QChar::Joining_Causing;
}

bool isAlef(char32_t c) { return c == 0x0622 || c == 0x0623 || c == 0x0625 || c == 0x0627; }

// The leftmost and one past the rightmost inked dot of a glyph, from its pen position.
std::pair<int, int> inkExtent(const Glyph &glyph)
{
    if (glyph.spans.isEmpty())
        return {0, 0};
    int left = glyph.spans.first().x, right = left;
    for (const Glyph::Span &span : glyph.spans) {
        left = qMin<int>(left, span.x);
        right = qMax<int>(right, span.x + span.length);
    }
    return {left, right};
}

} // namespace

const GlyphPtr &Glyphs::arabicForm(char32_t c, char32_t alef, int form, FontSize size, bool bold)
{
    const quint64 key = quint64(c) | quint64(size == FontSize::Small) << 32 | quint64(bold) << 33 | quint64(1) << 35
        | quint64(form) << 36 | quint64(alef) << 40;
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    const QFont f = face(arabicFace(), arabicPixelSize(size), bold, false);
    const int h = cellHeight(size), margin = 2 * h;
    const qreal baseline = h - QFontMetricsF(f).descent() / 2;
    Glyph g;
    if (QChar::joiningType(c) == QChar::Joining_Transparent) {
        // A mark is drawn from the font as it is, centred on the pen, to be set over the middle
        // of its letter; shaped alone it would come with a dotted circle.
        const QRawFont raw = QRawFont::fromFont(f);
        const QList<quint32> indexes = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
        g.mask = QImage(2 * margin, h, QImage::Format_Alpha8);
        g.mask.fill(0);
        if (!indexes.isEmpty()) {
            QPainter p(&g.mask);
            p.fillPath(raw.pathForGlyph(indexes.first()).translated(margin, baseline), Qt::black);
        }
        harden(g.mask);
        g.collectSpans(margin);
        const auto [left, right] = inkExtent(g);
        for (Glyph::Span &span : g.spans)
            span.x -= left + (right - left) / 2;
        return cached(key, std::move(g));
    }
    // A letter is shaped once for each form, between zero-width joiners that ask for it, and
    // drawn at its own advance on the cell's baseline in a mask wide enough for the tails that
    // reach beyond it; the spans are kept from the advance's left end.
    const QString joiner(QChar(0x200D));
    QString text = QString::fromUcs4(&c, 1);
    if (alef)
        text += QString::fromUcs4(&alef, 1);
    const Form wanted = Form(form);
    if (wanted == Form::Medial || wanted == Form::Final) // joined to the letter read before it
        text.prepend(joiner);
    if (wanted == Form::Medial || wanted == Form::Initial) // and to the one read after it
        text.append(joiner);
    QTextLayout layout(text, f);
    QTextOption option(Qt::AlignRight);
    option.setTextDirection(Qt::RightToLeft);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    g.advance = qMax(1, int(std::ceil(line.naturalTextWidth())));
    g.mask = QImage(g.advance + 2 * margin, h, QImage::Format_Alpha8);
    g.mask.fill(0);
    QPainter p(&g.mask);
    p.setPen(Qt::black);
    layout.draw(&p, QPointF(margin + g.advance - line.width(), baseline - line.ascent()));
    p.end();
    harden(g.mask);
    g.collectSpans(margin);
    return cached(key, std::move(g));
}

ArabicRun Glyphs::arabicRun(const QString &text, FontSize size, bool bold)
{
    const QList<uint> letters = text.toUcs4();
    const qsizetype n = letters.size();
    auto type = [&](qsizetype i) { return QChar::joiningType(char32_t(letters.at(i))); };
    auto nextLetter = [&](qsizetype i) {
        for (++i; i < n && type(i) == QChar::Joining_Transparent; ++i) { }
        return i;
    };
    // In reading order: each letter in its joined form, with the marks that sit on it.
    struct Unit
    {
        GlyphPtr glyph;
        QList<GlyphPtr> marks;
        bool digit = false;
    };
    QList<Unit> units;
    units.reserve(n);
    qsizetype previous = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t c = letters.at(i);
        if (type(i) == QChar::Joining_Transparent && !units.isEmpty()) {
            units.last().marks.append(arabicForm(c, 0, 0, size, bold));
            continue;
        }
        qsizetype next = nextLetter(i);
        const bool before = previous >= 0 && joinsBefore(type(i)) && joinsAfter(type(previous));
        const bool ligature = c == 0x0644 && next < n && isAlef(letters.at(next)); // lam and alef print as one
        const char32_t alef = ligature ? char32_t(letters.at(next)) : 0;
        const qsizetype last = ligature ? next : i; // the last letter this glyph stands for
        if (ligature)
            next = nextLetter(next);
        const bool after = !ligature && next < n && joinsAfter(type(i)) && joinsBefore(type(next));
        const Form form = before && after ? Form::Medial
            : before                      ? Form::Final
            : after                       ? Form::Initial
                                          : Form::Isolated;
        units.append({hasArabicLetter(c) ? arabicForm(c, alef, int(form), size, bold) : glyph(c, size, bold, false), {},
            QChar::isDigit(c) || c == 0x066B || c == 0x066C}); // digits and their separators
        for (qsizetype m = i + 1; m < last; ++m) // marks between lam and alef
            units.last().marks.append(arabicForm(letters.at(m), 0, 0, size, bold));
        previous = last;
        i = last;
    }
    // Right to left, but a number keeps its digits' order.
    ArabicRun run;
    run.pieces.reserve(n);
    for (qsizetype end = units.size(); end > 0;) {
        qsizetype start = end - 1;
        while (start > 0 && units.at(start).digit && units.at(start - 1).digit)
            --start;
        for (qsizetype u = start; u < end; ++u) {
            const Unit &unit = units.at(u);
            int advance = unit.glyph->advance;
            if (advance == 0) { // a mark with no letter before it takes the room of its ink
                const auto [left, right] = inkExtent(*unit.glyph);
                advance = right - left;
                run.pieces.append({unit.glyph, run.advance + advance / 2, advance});
            } else {
                run.pieces.append({unit.glyph, run.advance, advance});
            }
            for (const GlyphPtr &mark : unit.marks)
                run.pieces.append({mark, run.advance + advance / 2, 0});
            run.advance += advance;
        }
        end = start;
    }
    return run;
}

Glyph Glyphs::text(const QString &s, FontSize size)
{
    Glyph g;
    const int h = cellHeight(size);
    g.advance = cellWidth(size) * int(s.size());
    g.mask = QImage(qMax(1, g.advance), h, QImage::Format_Alpha8);
    g.mask.fill(0);
    QPainter p(&g.mask);
    for (int i = 0; i < s.size(); ++i)
        p.drawImage(i * cellWidth(size), 0, glyph(s.at(i).unicode(), size, false, false)->mask);
    p.end();
    g.collectSpans();
    return g;
}

} // namespace controller
