#include "controller/HeadTiming.h"

#include "controller/Paper.h"

#include <cmath>

namespace controller {

HeadTiming HeadTiming::forSpeed(double speedMmPerS, int dotsPerStrobe, double heatSeconds, bool flat)
{
    HeadTiming timing;
    timing.stepSeconds = 1.0 / (speedMmPerS * 8.0);
    timing.dotsPerStrobe = qMax(1, dotsPerStrobe);
    timing.heatSeconds = heatSeconds > 0 ? heatSeconds : timing.stepSeconds / 2;
    timing.flat = flat;
    return timing;
}

double HeadTiming::rowSeconds(int blackDots) const
{
    if (flat || blackDots <= 0)
        return stepSeconds;
    const int strobes = (blackDots + dotsPerStrobe - 1) / dotsPerStrobe;
    return qMax(stepSeconds, strobes * heatSeconds);
}

int HeadTiming::blackDots(const uchar *row, int width)
{
    int black = 0;
    for (int x = 0; x < width; ++x)
        black += row[x] < 255;
    return black;
}

double HeadTiming::rowsSeconds(const Paper &paper, int firstRow, int count) const
{
    if (flat)
        return count * stepSeconds;
    double seconds = 0;
    for (int y = firstRow; y < firstRow + count; ++y)
        seconds += y >= 0 && y < paper.rows() ? rowSeconds(blackDots(paper.row(y), paper.width())) : stepSeconds;
    return seconds;
}

} // namespace controller
