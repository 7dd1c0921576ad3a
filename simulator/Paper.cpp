#include "simulator/Paper.h"

#include <cstring>

namespace sim {

Paper::Paper(int width)
    : w(width)
{
}

Paper Paper::widened(int width) const
{
    Paper out(width);
    out.reserve(0, used);
    const int common = qMin(width, w);
    for (int y = 0; y < used; ++y)
        std::memcpy(out.row(y), row(y), size_t(common));
    out.dropped = dropped;
    return out;
}

int Paper::reserve(int y, int count)
{
    const int wanted = qMin(y + count, maxRows);
    if (wanted > roll.height()) {
        // Grow by doubling so that a long job costs a few copies, not one per line.
        const int capacity = qMin(maxRows, qMax(wanted, qMax(256, roll.height() * 2)));
        QImage bigger(w, capacity, QImage::Format_Grayscale8);
        bigger.fill(255);
        if (!roll.isNull())
            std::memcpy(bigger.bits(), roll.constBits(), size_t(roll.bytesPerLine()) * size_t(used));
        roll = bigger;
    }
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
    for (int yy = qMax(0, y); yy < qMin(used, y + height); ++yy) {
        if (x1 > x0)
            std::memset(roll.scanLine(yy) + x0, grey, size_t(x1 - x0));
    }
}

QImage Paper::image() const
{
    if (used == 0)
        return QImage(w, 0, QImage::Format_Grayscale8);
    return roll.copy(0, 0, w, used);
}

} // namespace sim
