// The virtual controller's speed and memory: the demonstration jobs, raster pictures, and a
// metre of receipt on 80 mm paper. Speeds are given against the fastest line the tool offers
// and against a plain copy of the same bytes, measured in the same run.
#include "demos/Jobs.h"
#include "simulator/Interpreter.h"

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

double copySeconds(const QByteArray &bytes)
{
    QByteArray target(bytes.size(), '\0');
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        std::memcpy(target.data(), bytes.constData(), size_t(bytes.size()));
    return double(t.nsecsElapsed()) / 1e9 / 20;
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

void row(const char *name, const QByteArray &stream, int headType)
{
    interpretSeconds(stream, headType, 4096); // warm the glyph cache
    const double s = interpretSeconds(stream, headType, 4096);
    const double mbps = double(stream.size()) / s / 1e6;
    std::printf("| %-34s | %9.1f MB/s | %8.0fx the line | %6.1fx a copy's time |\n", name, mbps,
                double(stream.size()) / s / lineBytesPerSecond, s / copySeconds(stream));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);

    QByteArray demos;
    for (const jobs::Job &job :
         {jobs::quickTest(), jobs::attributes(), jobs::density(), jobs::formatting(), jobs::alignment(),
          jobs::receipt(jobs::Cut::Full), jobs::language(), jobs::qrSample()})
        demos += job.stream();
    for (int system = 0; system <= 8; ++system)
        demos += jobs::barcode(cmd::BarcodeSystem(system), false).stream();

    QByteArray rasterData(48 * 20000, '\0');
    QRandomGenerator rng(1);
    for (char &c : rasterData)
        c = char(rng.bounded(256));
    const QByteArray raster = cmd::picturePrintH(0, 48, 20000, reinterpret_cast<const quint8 *>(rasterData.constData()));

    QByteArray textOnly = jobs::attributes().stream() + jobs::formatting().stream() + jobs::alignment().stream();

    std::printf("| stream                             | speed          | against 37.5 KB/s  | against memcpy       |\n");
    std::printf("|------------------------------------|----------------|--------------------|----------------------|\n");
    row("demonstration jobs (all)", demos, 0);
    row("text jobs only", textOnly, 0);
    row("raster 384 x 20000", raster, 0);

    // A metre of receipts on 576-dot paper: the roll and everything the interpreter keeps.
    QByteArray receipts;
    while (receipts.size() < 8 * 12800)
        receipts += jobs::receipt(jobs::Cut::None).stream();
    const size_t before = heldBytes();
    sim::Interpreter interpreter(1);
    interpreter.feed(receipts);
    interpreter.finish();
    const size_t used = heldBytes() - before;
    std::printf("\n| %d rows (%.2f m) of receipts at 576 dots | %.1f MB held = %.2f of the 50 MB budget |\n",
                interpreter.paper().rows(), interpreter.paper().rows() / 8000.0, double(used) / 1e6,
                double(used) / 50e6);
    return 0;
}
