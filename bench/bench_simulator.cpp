// The virtual controller's speed and memory: the demonstration jobs, raster pictures, and a
// metre of receipt on 80 mm paper. Speeds are given against the fastest line the tool offers
// and against a plain copy of the same bytes, measured in the same run.
#include "BenchTable.h"
#include "demos/Jobs.h"
#include "simulator/core/Interpreter.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

constexpr double lineBytesPerSecond = 375000.0 / 10.0; // 8N1 at the fastest speed

// Heap in use, the blocks the allocator maps on its own for large requests included.
size_t heldBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

double interpretSeconds(const QByteArray &stream, int headType, int chunk)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        sim::Interpreter interpreter(headType);
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            interpreter.feed(stream.constData() + at, qMin<qsizetype>(chunk, stream.size() - at));
        interpreter.finish();
        best = qMin(best, double(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

void rate(const char *name, const QByteArray &stream, double targetMBps)
{
    interpretSeconds(stream, 0, 4096); // warm the glyph cache
    const double s = interpretSeconds(stream, 0, 4096);
    const double mbps = double(stream.size()) / s / 1e6;
    bench::row(QString::fromLatin1(name), QStringLiteral("%1 MB/s").arg(mbps, 0, 'f', 1),
        QStringLiteral("%1 MB/s needed (%2x the 375000 bit/s line)")
            .arg(targetMBps, 0, 'f', 2)
            .arg(targetMBps * 1e6 / lineBytesPerSecond, 0, 'f', 0),
        mbps / targetMBps);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QByteArray which = argc > 1 ? QByteArray(argv[1]) : QByteArray();

    if (which == "demos") {
        QByteArray demos;
        for (const jobs::Job &job : {jobs::quickTest(), jobs::attributes(), jobs::density(), jobs::formatting(),
                 jobs::alignment(), jobs::receipt(jobs::Cut::Full), jobs::language(), jobs::qrSample()})
            demos += job.stream();
        for (int system = 0; system <= 8; ++system)
            demos += jobs::barcode(cmd::BarcodeSystem(system), false).stream();
        rate("virtual controller, all demonstration jobs", demos, 100 * lineBytesPerSecond / 1e6);
    } else if (which == "text") {
        rate("virtual controller, text jobs only",
            jobs::attributes().stream() + jobs::formatting().stream() + jobs::alignment().stream(),
            100 * lineBytesPerSecond / 1e6);
    } else if (which == "raster") {
        QByteArray data(48 * 20000, '\0');
        QRandomGenerator rng(1);
        for (char &c : data)
            c = char(rng.bounded(256));
        rate("virtual controller, raster 384 x 20000",
            cmd::picturePrintH(0, 48, 20000, reinterpret_cast<const quint8 *>(data.constData())), 20.0);
    } else if (which == "metre") {
        // A metre of receipts on 576-dot paper: the roll and everything the interpreter keeps.
        QByteArray receipts;
        while (receipts.size() < 8 * 12800)
            receipts += jobs::receipt(jobs::Cut::None).stream();
        const size_t before = heldBytes();
        sim::Interpreter interpreter(1);
        interpreter.feed(receipts);
        interpreter.finish();
        const double held = double(heldBytes() - before) / 1e6;
        bench::row(QStringLiteral("virtual controller, %1 m of receipts at 576 dots")
                       .arg(interpreter.paper().rows() / 8000.0, 0, 'f', 2),
            QStringLiteral("%1 MB held").arg(held, 0, 'f', 1), QStringLiteral("50 MB budget"), held / 50.0);
    } else {
        return 2;
    }
    return 0;
}
