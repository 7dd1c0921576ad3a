#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

#include <memory>

namespace controller {

enum class FontSize { Small, Standard };

// One drawn character: a mask of the dots to print (Alpha8, set where the head fires) and its
// advance in dots. Wide characters (CJK) take two cells.
struct Glyph
{
    QImage mask;
    struct Span
    {
        int y, x, length; // a strip of columns may be far wider than a short holds
    };
    QList<Span> spans; // runs of set dots in the mask's rows, so that printing touches only those
    int advance = 0;
    bool placeholder = false; // no font had it: a box stands in its place

    // Spans are kept relative to originX of the mask: a letter may reach past its own cell.
    void collectSpans(int originX = 0);
};

// Drawn glyphs are shared, not copied: a line holds one for each character it prints.
using GlyphPtr = std::shared_ptr<const Glyph>;

// A run of Arabic laid out right to left, as a list of glyphs from its left end.
struct ArabicRun
{
    struct Piece
    {
        GlyphPtr glyph;
        int x = 0;
        int advance = 0; // 0 for a mark set over its letter
    };
    QList<Piece> pieces;
    int advance = 0;
};

// Draws characters from the fonts of Debian's packages, without antialiasing, as a thermal
// head prints whole dots: DejaVu Sans Mono for Latin and Greek, DejaVu Sans for what the
// monospaced face lacks, WenQuanYi Micro Hei for Chinese and Japanese, Scheherazade for Arabic.
// Drawn glyphs are cached.
class Glyphs
{
public:
    static Glyphs &instance();

    static int cellWidth(FontSize size) { return size == FontSize::Small ? 9 : 12; }
    static int cellHeight(FontSize size) { return size == FontSize::Small ? 17 : 24; }

    // rotated: turned a quarter clockwise, for 90-degree printing.
    const GlyphPtr &glyph(char32_t c, FontSize size, bool bold, bool italic, bool rotated = false);
    // A run of Arabic, each letter in the form its neighbours join it by, as a printer's font
    // holds them: at a cached glyph's cost a letter, whatever the run.
    ArabicRun arabicRun(const QString &text, FontSize size, bool bold);
    // The width of one Arabic letter on its own: a run's width is laid out from these as it
    // grows, in constant time a letter, and its joined forms are chosen once the line prints.
    int letterAdvance(char32_t c, FontSize size, bool bold);
    bool hasArabicLetter(char32_t c); // false: it prints as a box
    // Plain text, for the text under a barcode.
    Glyph text(const QString &s, FontSize size = FontSize::Standard);

    static constexpr qsizetype maxCacheBytes = 32 << 20; // then the cache starts afresh

private:
    Glyphs();
    QString arabicFace() const { return arabic.isEmpty() ? sans : arabic; }
    // A letter (or lam with an alef) in one of its joined forms; a mark as it is.
    const GlyphPtr &arabicForm(char32_t c, char32_t alef, int form, FontSize size, bool bold);
    GlyphPtr &cached(quint64 key, Glyph &&glyph);
    QString mono, monoBold, sans, cjk, arabic;
    QHash<quint64, GlyphPtr> cache;
    QHash<quint64, int> letterAdvances;
    QHash<char32_t, bool> arabicLetters;
    qsizetype cacheBytes = 0;
};

bool isArabic(char32_t c);
bool isWide(char32_t c);

} // namespace controller
