#pragma once

#include <QtGlobal>

namespace controller {

class Paper;

// How long the mechanism takes over a dot row. The supply current lets the head heat at most
// dotsPerStrobe dots at once, so a row is printed in ceil(black dots / dotsPerStrobe) strobes of
// heatSeconds each; and the motor steps no faster than stepSeconds however light the row. At the
// defaults a receipt of about an eighth black moves at the motor's speed, and a black row of the
// 384-dot head takes three steps' time.
struct HeadTiming
{
    static constexpr int defaultDotsPerStrobe = 64;

    double stepSeconds = 1.0 / 640; // 80 mm/s at 8 dot rows a mm
    int dotsPerStrobe = defaultDotsPerStrobe;
    double heatSeconds = stepSeconds / 2;
    bool flat = false; // every row takes the motor's step, as if the head could fire it whole

    // The motor at speedMmPerS, and the heat time half its step unless given (above 0).
    static HeadTiming forSpeed(
        double speedMmPerS, int dotsPerStrobe = defaultDotsPerStrobe, double heatSeconds = 0, bool flat = false);

    double rowSeconds(int blackDots) const;
    // The time of count rows of the paper from firstRow, each by the dots it holds.
    double rowsSeconds(const Paper &paper, int firstRow, int count) const;
    static int blackDots(const uchar *row, int width); // dots the head fires: any ink at all
};

} // namespace controller
