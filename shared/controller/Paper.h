#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>
#include <vector>

namespace controller {

// The printed roll: 8 dots per mm, as wide as the head, growing downward. White is 255; ink is
// drawn in the grey of the darkness level it was printed with. The roll is kept in bands of
// rows so that growing it never copies what was printed, and a band is only made once something
// is drawn in it. Bands are cut from blocks of 2 MiB that the system may back with huge pages:
// a text job makes hundreds of bytes of roll for each byte it sends, and faulting that in a
// small page at a time cost more than drawing it. The roll stops growing at maxRows; whatever
// would print beyond that is dropped and counted.
class Paper
{
public:
    static constexpr int maxRows = 96000; // 12 m of paper
    static constexpr int bandRows = 64;
    static constexpr size_t blockBytes = 2 << 20;

    explicit Paper(int width = 384);
    Paper(Paper &&) = default;
    Paper &operator=(Paper &&) = default;

    int width() const { return w; }
    int rows() const { return used; } // rows printed or fed so far
    qint64 droppedRows() const { return dropped; }
    bool isFull() const { return used >= maxRows; } // nothing more can be drawn
    size_t mappedBytes() const { return blocks.size() * blockBytes; } // mapped for drawn bands

    // Makes rows [0, y + count) exist and returns how many of the asked rows are on the roll.
    int reserve(int y, int count);
    void feed(int count); // advances the roll without ink
    // A row to draw on. Bands are only made when something is drawn in them: fed paper costs
    // nothing.
    uchar *row(int y)
    {
        uchar *&band = bands[size_t(y / bandRows)];
        if (!band)
            band = newBand();
        return band + (y % bandRows) * w;
    }
    const uchar *row(int y) const
    {
        const uchar *band = bands[size_t(y / bandRows)];
        return band ? band + (y % bandRows) * w : blankRow();
    }
    // Darkens one dot: the darker of what is there and the ink wins.
    void dot(int x, int y, uchar ink)
    {
        if (x >= 0 && x < w && y >= 0 && y < used) {
            uchar &p = row(y)[x];
            if (ink < p)
                p = ink;
        }
    }
    void fill(int x, int y, int width, int height, uchar grey);
    // Turns rows [top, top + height) of the first `width` dots half a turn: an upside-down line.
    void turnAround(int top, int height, int width);
    // The visible part of the roll, rows [0, rows()); a null image when there is no memory for it.
    QImage image() const;
    // The same roll carried on by a head of another width: what was printed stays at the left.
    Paper widened(int width) const;

private:
    struct FreeBlock
    {
        void operator()(uchar *block) const;
    };
    static const uchar *blankRow();
    uchar *newBand();
    int w;
    int used = 0;
    qint64 dropped = 0;
    std::vector<uchar *> bands; // nullptr: nothing drawn there yet
    std::vector<std::unique_ptr<uchar, FreeBlock>> blocks;
    size_t blockUsed = blockBytes; // of the newest block
};

// Writes a picture in a format Qt writes ("png") to a regular file, whole or not at all, with the
// tool's writeWholeFile: a device, a pipe or a folder is refused. False, with the reason, when
// any part failed (a full disk); then the file is as it was.
bool writePicture(const QImage &picture, const QString &fileName, const QByteArray &format, QString &error);

} // namespace controller
