#include "controller/Paper.h"

#include "files/WholeFile.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace controller {

Paper::Paper(int width)
    : w(width)
{ }

void Paper::FreeBlock::operator()(uchar *block) const { ::munmap(block, blockBytes); }

uchar *Paper::newBand()
{
    const size_t bandBytes = size_t(bandRows) * size_t(w);
    if (blockUsed + bandBytes > blockBytes) {
        // A mapping of its own, aligned to the block's size as huge pages need; it goes back to
        // the system as soon as the roll is torn off.
        const size_t mapped = 2 * blockBytes;
        void *area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area == MAP_FAILED)
            throw std::bad_alloc();
        const uintptr_t from = uintptr_t(area), start = (from + blockBytes - 1) & ~uintptr_t(blockBytes - 1);
        if (start > from)
            ::munmap(area, start - from);
        if (from + mapped > start + blockBytes)
            ::munmap(reinterpret_cast<void *>(start + blockBytes), from + mapped - start - blockBytes);
        ::madvise(reinterpret_cast<void *>(start), blockBytes, MADV_HUGEPAGE); // a hint only
        blocks.emplace_back(reinterpret_cast<uchar *>(start));
        blockUsed = 0;
    }
    uchar *band = blocks.back().get() + blockUsed;
    blockUsed += bandBytes;
    std::memset(band, 255, bandBytes);
    return band;
}

const uchar *Paper::blankRow()
{
    static const QByteArray white(1024, char(255)); // wider than any head
    return reinterpret_cast<const uchar *>(white.constData());
}

Paper Paper::widened(int width) const
{
    Paper out(width);
    out.reserve(0, used);
    const int common = qMin(width, w);
    for (int y = 0; y < used; ++y)
        if (bands[size_t(y / bandRows)])
            std::memcpy(out.row(y), row(y), size_t(common));
    out.dropped = dropped;
    return out;
}

int Paper::reserve(int y, int count)
{
    const int wanted = qMin(y + count, maxRows);
    while (int(bands.size()) * bandRows < wanted)
        bands.push_back(nullptr);
    if (wanted > used)
        used = wanted;
    const int onRoll = qMax(0, wanted - y);
    dropped += count - onRoll;
    return onRoll;
}

void Paper::feed(int count)
{
    if (count > 0)
        reserve(used, count);
}

void Paper::fill(int x, int y, int width, int height, uchar grey)
{
    const int x0 = qMax(0, x), x1 = qMin(w, x + width);
    if (x1 <= x0 || grey == 255) // white on white paper
        return;
    for (int yy = qMax(0, y); yy < qMin(used, y + height); ++yy)
        std::memset(row(yy) + x0, grey, size_t(x1 - x0));
}

void Paper::turnAround(int top, int height, int width)
{
    width = qMin(width, w);
    const int bottom = qMin(used, top + height) - 1;
    for (int a = qMax(0, top), b = bottom; a <= b; ++a, --b) {
        uchar *ra = row(a), *rb = row(b);
        if (a == b) {
            std::reverse(ra, ra + width);
            break;
        }
        std::reverse(ra, ra + width);
        std::reverse(rb, rb + width);
        std::swap_ranges(ra, ra + width, rb);
    }
}

QImage Paper::image() const
{
    QImage out(w, used, QImage::Format_Grayscale8);
    if (out.isNull()) // no rows, or no memory for them
        return out;
    for (int y = 0; y < used; ++y)
        std::memcpy(out.scanLine(y), row(y), size_t(w));
    return out;
}

bool writePicture(const QImage &picture, const QString &fileName, const QByteArray &format, QString &error)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(picture)) {
        error = writer.errorString();
        return false;
    }
    error = writeWholeFile(fileName, encoded);
    return error.isEmpty();
}

} // namespace controller
