// Load on the tool: a far end that floods replies, a thousand reconnects, a job pressed a hundred
// times. Reports the longest event-loop stall, memory, and descriptors, beside their references.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    f.open(QIODevice::ReadOnly);
    return f.readAll().split(' ').value(1).toLong() * 4;
}

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()) - 2; }

// The longest gap between 5 ms heartbeats while something runs.
struct StallMeter
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
    StallMeter()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = qMax(longest, clock.restart());
        });
        clock.start();
        timer.start();
    }
};

void flood(bool lineBreaks)
{
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    QByteArray chunk(64 * 1024, 'x');
    if (lineBreaks)
        for (int i = 79; i < chunk.size(); i += 80)
            chunk[i] = '\n';
    const long rssBefore = currentRssKb();
    StallMeter stalls;
    QElapsedTimer t;
    t.start();
    const qint64 total = 20 * 1024 * 1024;
    for (qint64 sent = 0; sent < total; sent += chunk.size())
        peer.write(chunk); // waits, running the event loop, while the line is full
    auto *console = window.findChild<QPlainTextEdit *>("editRuvela");
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("| 20 MB reply flood, %-14s | %6.1f s for %.1f MB/s | longest stall %4lld ms | console %7d chars | "
                "memory +%ld MB |\n",
                lineBreaks ? "with breaks" : "one long line", t.elapsed() / 1000.0,
                20.0 / (t.elapsed() / 1000.0), stalls.longest, console->document()->characterCount(),
                (currentRssKb() - rssBefore) / 1024);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::printf("| case | figures |\n|---|---|\n");
    flood(true);
    flood(false);

    // A thousand connects and disconnects.
    {
        MainWindow window;
        PtyPeer peer;
        connectTo(window, peer.slavePath());
        window.findChild<QAction *>("actionDisconnect")->trigger();
        const int fds = openDescriptors();
        const long rss = currentRssKb();
        for (int i = 0; i < 1000; ++i) {
            window.findChild<QAction *>("actionConnect")->trigger();
            window.findChild<QAction *>("actionDisconnect")->trigger();
        }
        std::printf("| 1000 reconnects | descriptors %d before, %d after; memory %+ld KB |\n", fds, openDescriptors(),
                    currentRssKb() - rss);
    }

    // One job pressed a hundred times in a row.
    {
        MainWindow window;
        PtyPeer peer;
        connectTo(window, peer.slavePath());
        const QByteArray once = jobs::receipt(jobs::Cut::Full).stream();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 100; ++i)
            press(window, "pushButtonReceiptFullCut");
        const QByteArray got = peer.read(100 * once.size(), 60000);
        std::printf("| Receipt pressed 100 times | %s in %lld ms |\n",
                    got == once.repeated(100) ? "all 100 complete and in order" : "INCOMPLETE", t.elapsed());
    }
    std::printf("| peak memory of the run | %ld MB |\n", peakRssKb() / 1024);
    return 0;
}
