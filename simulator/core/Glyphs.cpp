#include "simulator/core/Glyphs.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

namespace sim {

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

void Glyph::collectSpans()
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
            spans.append({short(y), short(x), short(end - x)});
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

const GlyphPtr &Glyphs::glyph(char32_t c, FontSize size, bool bold, bool italic)
{
    const quint64 key
        = quint64(c) | quint64(size == FontSize::Small) << 32 | quint64(bold) << 33 | quint64(italic) << 34;
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;

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
    // A stream that touches every character in every style must not grow the cache for ever.
    const qsizetype bytes = g.mask.sizeInBytes() + g.spans.size() * qsizetype(sizeof(Glyph::Span)) + 64;
    if (cacheBytes + bytes > maxCacheBytes) {
        cache.clear();
        cacheBytes = 0;
    }
    cacheBytes += bytes;
    return *cache.insert(key, std::make_shared<const Glyph>(std::move(g)));
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

Glyph Glyphs::shapedRun(const QString &text, FontSize size, bool bold)
{
    // One layout both measures and draws the run: shaping is the costly part.
    QTextLayout layout(text, face(arabicFace(), arabicPixelSize(size), bold, false));
    QTextOption option(Qt::AlignRight);
    option.setTextDirection(Qt::RightToLeft);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    const int h = cellHeight(size);
    Glyph g;
    g.advance = qMax(1, int(std::ceil(line.naturalTextWidth())));
    g.mask = QImage(g.advance, h, QImage::Format_Alpha8);
    g.mask.fill(0);
    QPainter p(&g.mask);
    p.setPen(Qt::black);
    // Right-aligned in a line a million dots wide: bring its right end to the mask's, and its
    // baseline to the cell's bottom as the other glyphs stand.
    layout.draw(&p, QPointF(g.advance - line.width(), h - line.ascent() - line.descent() / 2));
    p.end();
    harden(g.mask);
    g.collectSpans();
    return g;
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

Glyph Glyphs::rotated(const Glyph &glyph)
{
    Glyph g;
    g.mask = glyph.mask.transformed(QTransform().rotate(90));
    g.advance = g.mask.width();
    g.placeholder = glyph.placeholder;
    g.collectSpans();
    return g;
}

} // namespace sim
