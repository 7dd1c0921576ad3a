// Start-up: from launch to the first shown window, for the tool's window and for a minimal Qt
// Widgets program, each started as a process of its own many times, in turns; the fastest
// starts are compared.
// Usage: bench_startup            (runs the comparison)
//        bench_startup --probe tool|minimal   (one start, used by the comparison)
#include "BenchTable.h"

#include "app/Icons.h"
#include "app/MainWindow.h"
#include "tool/Launch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

int probe(int argc, char *argv[], bool tool)
{
    QApplication app(argc, argv);
    if (tool) // as the program starts
        QApplication::setStyle(new DeferredIconStyle);
    QWidget *window = tool ? static_cast<QWidget *>(new MainWindow) : new QWidget;
    window->resize(880, 768);
    window->show();
    if (tool) // as the program goes on, with nothing asked for on its command line
        static_cast<MainWindow *>(window)->start(Launch());
    // The first turn of the event loop after show() is when the window is on screen.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    delete window;
    std::printf("%ld\n", bench::peakMegabytes()); // the start's peak memory, for the comparison
    return rc;
}

// One start: its time in milliseconds, and the peak memory it reports, in MB.
std::pair<double, long> start(const QString &kind)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--probe"), kind});
    p.waitForFinished(30000);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return {ms, p.readAllStandardOutput().trimmed().toLong()};
}

// The fastest of the starts: on this kind of machine some starts, of either program, take a
// further 15 ms or so at random, which moves a median from run to run by a fifth; what a start
// costs itself only ever shows in the fastest.
double fastest(const QList<double> &times) { return *std::min_element(times.begin(), times.end()); }

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--probe")
        return probe(argc, argv, QByteArray(argv[2]) == "tool");
    QCoreApplication app(argc, argv);
    // Taken in turns, so that a change in the machine's load weighs on both alike.
    QList<double> minimalTimes, toolTimes;
    long minimalPeak = 0, toolPeak = 0;
    for (int i = 0; i < 25; ++i) {
        const auto [minimalMs, minimalMb] = start(QStringLiteral("minimal"));
        const auto [toolMs, toolMb] = start(QStringLiteral("tool"));
        minimalTimes << minimalMs;
        toolTimes << toolMs;
        minimalPeak = qMax(minimalPeak, minimalMb);
        toolPeak = qMax(toolPeak, toolMb);
    }
    const double minimal = fastest(minimalTimes), tool = fastest(toolTimes);
    bench::row(QStringLiteral("start-up to the first shown window"), bench::ms(tool),
        QStringLiteral("%1 for a minimal Qt Widgets window (%2 MB)").arg(bench::ms(minimal)).arg(minimalPeak),
        tool / minimal, toolPeak);
    return 0;
}
