#pragma once

// One row of the benchmark table that bench.sh prints: each case runs in a process of its own,
// so that the peak memory shown is that case's.
#include <QString>

#include <cstdio>
#include <sys/resource.h>

namespace bench {

inline long peakMegabytes(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss / 1024;
}

inline void row(
    const QString &what, const QString &measured, const QString &reference, double ratio, long peakMb = peakMegabytes())
{
    std::printf("| %s | %s | %s | %.4g | %ld MB |\n", qPrintable(what), qPrintable(measured), qPrintable(reference),
        ratio, peakMb);
    std::fflush(stdout);
}

inline QString ms(double v) { return QStringLiteral("%1 ms").arg(v, 0, 'f', 1); }

} // namespace bench
