// Start-up: from launch to the first shown window, for the tool's window and for a minimal Qt
// Widgets program, each started as a process of its own many times; the median is compared.
// Usage: bench_startup            (runs the comparison)
//        bench_startup --probe tool|minimal   (one start, used by the comparison)
#include "BenchTable.h"

#include "app/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

int probe(int argc, char *argv[], bool tool)
{
    QApplication app(argc, argv);
    QWidget *window = tool ? static_cast<QWidget *>(new MainWindow) : new QWidget;
    window->resize(880, 768);
    window->show();
    // The first turn of the event loop after show() is when the window is on screen.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    delete window;
    return rc;
}

double medianStartMs(const QString &kind)
{
    QList<double> times;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--probe"), kind});
        p.waitForFinished(30000);
        times << double(t.nsecsElapsed()) / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--probe")
        return probe(argc, argv, QByteArray(argv[2]) == "tool");
    QCoreApplication app(argc, argv);
    const double minimal = medianStartMs(QStringLiteral("minimal"));
    const long minimalPeak = bench::peakMegabytes(RUSAGE_CHILDREN);
    const double tool = medianStartMs(QStringLiteral("tool"));
    bench::row(QStringLiteral("start-up to the first shown window"), bench::ms(tool),
        QStringLiteral("%1 for a minimal Qt Widgets window (%2 MB)").arg(bench::ms(minimal)).arg(minimalPeak),
        tool / minimal, bench::peakMegabytes(RUSAGE_CHILDREN));
    return 0;
}
