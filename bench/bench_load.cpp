// Load on the tool: a far end that floods replies, a thousand reconnects, a job pressed a hundred
// times. Reports the longest event-loop stall, memory, and descriptors, beside their references.
#include "BenchTable.h"
#include "TestSupport.h"

#include "app/MacrosDock.h"
#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "serial/SerialLink.h"
#include "simwindow/SimWindow.h"
#include "tool/MacroBook.h"
#include "traffic/TrafficLog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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
        QObject::connect(&timer, &QTimer::timeout, [this] { longest = qMax(longest, clock.restart()); });
        clock.start();
        timer.start();
    }
};

void flood(bool lineBreaks)
{
    MainWindow window;
    FarEnd peer;
    connectTo(window, peer.path());
    QByteArray chunk(64 * 1024, 'x');
    if (lineBreaks)
        for (int i = 79; i < chunk.size(); i += 80)
            chunk[i] = '\n';
    StallMeter stalls;
    QElapsedTimer t;
    t.start();
    const qint64 total = 20 * 1024 * 1024;
    for (qint64 sent = 0; sent < total; sent += chunk.size())
        peer.writeAll(chunk); // waits, running the event loop, while the line is full
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    auto *console = window.findChild<QPlainTextEdit *>("editRuvela");
    bench::row(QStringLiteral("20 MB reply flood, %1 (console then holds %2 characters)")
                   .arg(lineBreaks ? QStringLiteral("80-character lines") : QStringLiteral("no line break"))
                   .arg(console->document()->characterCount()),
        QStringLiteral("longest event-loop stall %1 ms").arg(stalls.longest), QStringLiteral("5 ms heartbeat"),
        double(stalls.longest) / 5.0);
}

// 100 000 tiny commands (ESC @) handed to the line at once, the far end reading them, until the
// Traffic log has named the last of them. Returns the longest event-loop stall in ms.
qint64 tinyCommands(bool panesOpen)
{
    MainWindow window;
    window.show();
    if (panesOpen) {
        for (const char *pane : {"actionTraffic", "actionExpectedPaper", "actionMacros"})
            window.findChild<QAction *>(pane)->setChecked(true);
    }
    FarEnd peer;
    connectTo(window, peer.path());
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const int count = 100000;
    const QByteArray stream = QByteArray("\x1B\x40", 2).repeated(count);
    auto *log = window.findChild<TrafficLog *>();
    auto named
        = [log, &stream] { return log->rowCount() > 0 && log->row(log->rowCount() - 1).offset == stream.size() - 2; };
    StallMeter stalls;
    window.findChild<SerialLink *>()->write(stream.constData(), stream.size());
    const QByteArray got = peer.read(stream.size(), 60000);
    while (!named() && settle.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (got.size() != stream.size() || !named())
        std::fprintf(stderr, "tiny commands: %lld of %lld bytes arrived\n", qint64(got.size()), qint64(stream.size()));
    return stalls.longest;
}

// Sends a stream to a virtual controller that prints as fast as it can, on its pseudo-terminal or
// as a TCP client, as fast as it takes it; answers are read and thrown away, or never read.
// Returns the seconds until all was processed; notes the longest event-loop stall.
double through(const QByteArray &stream, bool tcp, bool readAnswers, qint64 &stall)
{
    controller::Interpreter interpreter;
    sim::LineDriver driver(interpreter, {0, 4096, 0, true});
    int fd = -1;
    if (tcp) {
        driver.serveTcp(QStringLiteral("0"), 0);
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
    } else {
        driver.plugIn();
        fd = ::open(QFile::encodeName(driver.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    StallMeter stalls;
    QElapsedTimer t;
    t.start();
    char answers[65536];
    for (qsizetype at = 0; interpreter.bytesReceived() < stream.size() && t.elapsed() < 120000;) {
        const ssize_t n = at < stream.size() ? ::write(fd, stream.constData() + at, size_t(stream.size() - at)) : 0;
        at += qMax<ssize_t>(n, 0);
        while (readAnswers && ::read(fd, answers, sizeof answers) > 0) { }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    stall = stalls.longest;
    ::close(fd);
    return seconds;
}

void queries(bool tcp)
{
    const qsizetype size = 4 << 20;
    QByteArray plain;
    while (plain.size() < size)
        plain += "The quick brown fox jumps 01234\n";
    plain.truncate(size);
    qint64 stall = 0, plainStall = 0;
    const double plainSeconds = through(plain, tcp, !tcp, plainStall);
    const double seconds = through(QByteArray("\x10\x05").repeated(size / 2), tcp, !tcp, stall);
    bench::row(QStringLiteral("%1, 4.2 MB of firmware queries (DLE ENQ)")
                   .arg(tcp ? QStringLiteral("unread TCP answers: a client that never reads")
                            : QStringLiteral("query flood on the pseudo-terminal, answers read")),
        QStringLiteral("%1 ns a byte, longest event-loop stall %2 ms").arg(seconds / size * 1e9, 0, 'f', 0).arg(stall),
        QStringLiteral("%1 ns a byte of plain text the same way (stall %2 ms), 3x allowed")
            .arg(plainSeconds / size * 1e9, 0, 'f', 0)
            .arg(plainStall),
        seconds / plainSeconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray which = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (which == "traffic-filter") {
        // A full Traffic pane filtered by a word no row holds, beside the time to fill it.
        TrafficLog log;
        QElapsedTimer t;
        t.start();
        const QByteArray head("\x1B\x21\x00Customer Receipt, line ", 24);
        for (int i = 0; i < TrafficLog::defaultMaxRows; ++i) {
            if (i % 10 == 0)
                log.addEvent(1000LL * i, QStringLiteral("XOFF: held for 0.%1 s").arg(i % 9));
            else
                log.addSent(1000LL * i,
                    {40LL * i, QStringLiteral("printStr"), QStringLiteral("Customer Receipt, line %1").arg(i), -1, -1,
                        40},
                    head);
        }
        const double fillMs = t.nsecsElapsed() / 1e6;
        TrafficFilter filter;
        filter.setSourceModel(&log);
        t.restart();
        filter.setText(QStringLiteral("paper out"));
        const int shown = filter.rowCount(); // the filter does its work when asked
        const double filterMs = t.nsecsElapsed() / 1e6;
        bench::row(QStringLiteral("Traffic filter over %1 rows of commands and events, no row matching (%2 shown)")
                       .arg(log.rowCount())
                       .arg(shown),
            bench::ms(filterMs), QStringLiteral("filling the pane: %1").arg(bench::ms(fillMs)), filterMs / fillMs);
    } else if (which == "traffic-tiny") {
        // Side by side: the panes closed, then open, each in a window of its own.
        const qint64 closed = tinyCommands(false);
        const qint64 open = tinyCommands(true);
        bench::row(QStringLiteral("100000 tiny commands (ESC @) sent with Traffic, Expected Paper and Macros open, "
                                  "until Traffic named the last (budget 50 ms)"),
            QStringLiteral("longest event-loop stall %1 ms").arg(open),
            QStringLiteral("%1 ms with the panes closed").arg(closed), double(open) / double(qMax<qint64>(1, closed)));
    } else if (which == "flood-lines") {
        flood(true);
    } else if (which == "flood-long") {
        flood(false);
    } else if (which == "sim-raster") {
        // The virtual controller's window while a 3 MB raster arrives and prints.
        QTemporaryDir dir;
        QImage tall(384, 65535, QImage::Format_Mono);
        tall.fill(0);
        for (int y = 0; y < tall.height(); y += 3)
            tall.scanLine(y)[y % 48] = 0xFF;
        const QString file = dir.filePath(QStringLiteral("tall.png"));
        tall.save(file);
        sim::SimWindow simWindow(0, {0, 4096, 2000, true});
        simWindow.show();
        simWindow.driver().plugIn();
        MainWindow window;
        connectTo(window, simWindow.driver().path());
        QMetaObject::invokeMethod(&window, "loadFile", Q_ARG(QString, file));
        StallMeter stalls;
        QElapsedTimer t;
        t.start();
        press(window, "pushButton_58PrintH");
        const qint64 total = 2 + 8 + 48 * 65535;
        while (simWindow.driver().wire().receivedBytes() < total || simWindow.driver().wire().bufferFill() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        bench::row(QStringLiteral("virtual controller window printing a 3 MB raster at 2000 mm/s (%1 s)")
                       .arg(t.elapsed() / 1000.0, 0, 'f', 1),
            QStringLiteral("longest event-loop stall %1 ms").arg(stalls.longest), QStringLiteral("5 ms heartbeat"),
            double(stalls.longest) / 5.0);
    } else if (which == "query-flood") {
        queries(false);
    } else if (which == "tcp-unread") {
        queries(true);
    } else if (which == "reconnects") {
        MainWindow window;
        FarEnd peer;
        connectTo(window, peer.path());
        window.findChild<QAction *>("actionDisconnect")->trigger();
        for (int i = 0; i < 50; ++i) { // settle allocations first
            window.findChild<QAction *>("actionConnect")->trigger();
            window.findChild<QAction *>("actionDisconnect")->trigger();
        }
        const int fds = openDescriptors();
        const long rss = currentRssKb();
        for (int i = 0; i < 1000; ++i) {
            window.findChild<QAction *>("actionConnect")->trigger();
            window.findChild<QAction *>("actionDisconnect")->trigger();
        }
        bench::row(QStringLiteral("1000 connect/disconnect cycles"),
            QStringLiteral("%1 descriptors, memory %2 KB").arg(openDescriptors()).arg(currentRssKb() - rss, 0, 10),
            QStringLiteral("%1 descriptors before").arg(fds), double(openDescriptors()) / fds);
    } else if (which == "repeated") {
        MainWindow window;
        FarEnd peer;
        connectTo(window, peer.path());
        const QByteArray once = jobs::receipt(jobs::Cut::Full).stream();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 100; ++i)
            press(window, "pushButtonReceiptFullCut");
        const QByteArray got = peer.read(100 * once.size(), 60000);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        const double wire = 100.0 * once.size() * 10.0 * 1000.0 / 375000;
        bench::row(
            QStringLiteral("Receipt pressed 100 times: %1")
                .arg(got == once.repeated(100) ? QStringLiteral("complete, in order") : QStringLiteral("INCOMPLETE")),
            bench::ms(ms), QStringLiteral("wire %1 at 375000 bit/s").arg(bench::ms(wire)), ms / wire);
    } else if (which == "macros-load") {
        // A file of 24 500 macros (or as many as the second argument says) loaded into the shown
        // Macros dock, until the window is drawn again, beside reading the same file's JSON alone.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("macros.json"));
        QByteArray json("{\"macros\":[");
        const int count = argc > 2 ? std::atoi(argv[2]) : 24500;
        for (int i = 0; i < count; ++i)
            json += QStringLiteral("%1{\"name\":\"%2\",\"mode\":\"hex\",\"text\":\"0A\"}")
                        .arg(i ? QStringLiteral(",") : QString())
                        .arg(i)
                        .toLatin1();
        json += "]}";
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(json);
        out.close();
        QElapsedTimer t;
        t.start();
        const int parsed = int(QJsonDocument::fromJson(json).object().value(QStringLiteral("macros")).toArray().size());
        const double parseMs = t.nsecsElapsed() / 1e6;
        MainWindow window;
        window.show();
        auto *dock = window.findChild<MacrosDock *>();
        dock->show();
        QCoreApplication::processEvents();
        t.restart();
        dock->load(file);
        QCoreApplication::processEvents();
        window.grab(); // drawn with the list in place
        const double loadMs = t.nsecsElapsed() / 1e6;
        const int loaded = int(window.findChild<MacroBook *>()->macros().size());
        bench::row(QStringLiteral("load %1 macros (%2 KB) into the shown Macros pane, %3 loaded")
                       .arg(parsed)
                       .arg(json.size() >> 10)
                       .arg(loaded),
            bench::ms(loadMs), QStringLiteral("reading its JSON: %1").arg(bench::ms(parseMs)), loadMs / parseMs);
    } else {
        return 2;
    }
    return 0;
}
