// zpc3x-sim: the virtual ZPC3x controller. Shows its window and serves a pseudo-terminal for the
// tool, serves without a window, or renders a captured stream to a PNG.
#include "controller/Interpreter.h"
#include "simulator/LineDriver.h"
#include "simulator/SimWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QScreen>
#include <QSocketNotifier>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

int signalPipe[2];

void onSignal(int) { [[maybe_unused]] ssize_t n = ::write(signalPipe[1], "x", 1); }

// --log: each command on a line of its own once it is complete, however long the stream.
void printEntry(const sim::LogEntry &e)
{
    std::printf("%8lld  %s%s%s\n", static_cast<long long>(e.offset), qPrintable(e.name), e.args.isEmpty() ? "" : " ",
        qPrintable(e.args));
}

bool isTaken(const QString &file) { return QFileInfo::exists(file) || QFileInfo(file).isSymLink(); }

// The pieces of paper the cuts part: each cut's mark goes with neither piece, and what follows
// the last cut is a piece only when something is printed on it.
QList<QImage> piecesOf(const QImage &paper, const QList<int> &cuts)
{
    QList<QImage> pieces;
    int top = 0;
    for (const int cut : cuts) {
        pieces << paper.copy(0, top, paper.width(), qMax(1, cut - top));
        top = cut + sim::Printhead::cutMarkRows;
    }
    for (int y = top; y < paper.height(); ++y) {
        const uchar *row = paper.constScanLine(y);
        if (std::any_of(row, row + paper.width(), [](uchar dot) { return dot < 255; })) {
            pieces << paper.copy(0, top, paper.width(), paper.height() - top);
            break;
        }
    }
    return pieces;
}

// OUT.png becomes OUT-001.png, OUT-002.png, ... beside it, named as OUT was.
QString pieceName(const QString &out, int number)
{
    const QString suffix = QFileInfo(out).suffix(); // never empty: it names the format
    return QStringLiteral("%1-%2.%3")
        .arg(out.chopped(suffix.size() + 1))
        .arg(number, 3, 10, QLatin1Char('0'))
        .arg(suffix);
}

// Writes one picture a piece, all or none: refused when any of the names is taken, and the
// pieces already written go again when one cannot be written.
bool writePieces(const QList<QImage> &pieces, const QString &out, const QByteArray &format)
{
    QStringList names;
    for (int i = 0; i < pieces.size(); ++i)
        names << pieceName(out, i + 1);
    for (const QString &name : std::as_const(names)) {
        if (isTaken(name)) {
            std::fprintf(stderr, "zpc3x-sim: %s exists; not replacing it, nothing written\n", qPrintable(name));
            return false;
        }
    }
    for (int i = 0; i < pieces.size(); ++i) {
        QString error;
        if (!sim::writePicture(pieces.at(i), names.at(i), format, error)) {
            for (int j = 0; j < i; ++j)
                QFile::remove(names.at(j));
            std::fprintf(stderr, "zpc3x-sim: cannot write %s: %s; nothing written\n", qPrintable(names.at(i)),
                qPrintable(error));
            return false;
        }
    }
    for (int i = 0; i < pieces.size(); ++i)
        std::fprintf(stderr, "zpc3x-sim: wrote %s, %d rows\n", qPrintable(names.at(i)), pieces.at(i).height());
    return true;
}

int render(const QString &in, const QString &out, int headType, bool log, bool split)
{
    // The picture format follows the output's suffix. Refused before anything is read: a format
    // Qt cannot write, and a file that is there already.
    const QByteArray format = QFileInfo(out).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        std::fprintf(stderr, "zpc3x-sim: cannot write pictures of the kind %s names; use .png\n", qPrintable(out));
        return 2;
    }
    if (!split && isTaken(out)) {
        std::fprintf(stderr, "zpc3x-sim: %s exists; not replacing it\n", qPrintable(out));
        return 1;
    }
    QFile input;
    const bool opened = in == QLatin1String("-") ? input.open(stdin, QIODevice::ReadOnly)
                                                 : (input.setFileName(in), input.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "zpc3x-sim: cannot read %s: %s\n", qPrintable(in), qPrintable(input.errorString()));
        return 1;
    }
    sim::Interpreter interpreter(headType);
    if (log)
        interpreter.setLogListener(printEntry);
    // Reads until the end of the input: a pipe has no size and atEnd() says nothing about it.
    // Nobody reads the answers here: they are counted, not kept.
    qint64 answered = 0;
    for (QByteArray chunk; !(chunk = input.read(1 << 16)).isEmpty();) {
        interpreter.feed(chunk);
        answered += interpreter.takeReplies().size();
    }
    if (input.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "zpc3x-sim: cannot read %s: %s\n", qPrintable(in), qPrintable(input.errorString()));
        return 1;
    }
    interpreter.finish();
    answered += interpreter.takeReplies().size();
    std::fflush(stdout);
    if (interpreter.paper().rows() == 0) {
        std::fprintf(stderr, "zpc3x-sim: nothing was printed%s\n",
            interpreter.linesNotPrinted() ? " (a line without a line feed is never printed)" : "");
        return 1;
    }
    const QImage paper = interpreter.paper().image();
    if (paper.isNull()) {
        std::fprintf(stderr, "zpc3x-sim: out of memory for a picture of %d x %d dots\n", interpreter.paper().width(),
            interpreter.paper().rows());
        return 1;
    }
    QString error;
    if (split ? !writePieces(piecesOf(paper, interpreter.cutRows()), out, format)
              : !sim::writePicture(paper, out, format, error)) {
        if (!split)
            std::fprintf(stderr, "zpc3x-sim: cannot write %s: %s\n", qPrintable(out), qPrintable(error));
        return 1;
    }
    std::fprintf(stderr,
        "zpc3x-sim: %d rows, %lld rows dropped past the roll's end, %d unknown, %d truncated, %lld bytes of "
        "answers%s\n",
        interpreter.paper().rows(), static_cast<long long>(interpreter.paper().droppedRows()),
        interpreter.unknownCount(), interpreter.truncatedCount(), static_cast<long long>(answered),
        interpreter.linesNotPrinted() ? ", a last line without a line feed not printed" : "");
    return 0;
}

bool wantsWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--render" || a == "--split" || a == "--no-window" || a == "--help" || a == "-h" || a == "--version"
            || a == "-v")
            return false;
    }
    return true;
}

// Puts the window at the start of the left or right half of its screen's free area, narrowed to
// the half where it can be, so that two programs placed on opposite halves never overlap.
void placeOnHalf(QWidget &window, bool right)
{
    const QRect free = window.screen()->availableGeometry();
    const int half = free.width() / 2, frame = 16; // room for the window system's frame
    window.resize(qMin(window.width(), half - frame), window.height());
    window.move(free.left() + (right ? half : 0), free.top());
}

} // namespace

int main(int argc, char *argv[])
{
    const bool window = wantsWindow(argc, argv);
    if (!window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts only; no window to show
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zpc3x-sim"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Virtual ZPC3x thermal printer controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("render"),
        QStringLiteral("Render a captured stream instead of serving; - reads standard input."),
        QStringLiteral("IN.bin")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("PNG to write with --render."),
        QStringLiteral("OUT.png")});
    parser.addOption({QStringLiteral("split"),
        QStringLiteral("With --render: one PNG a cut, OUT-001.png, OUT-002.png, ... beside OUT.png.")});
    parser.addOption({QStringLiteral("head-type"), QStringLiteral("Print head type 0-7 (default 0)."),
        QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("link"),
        QStringLiteral("Also make PATH a symlink to the pseudo-terminal (never replacing anything but such a link); "
                       "removed at exit."),
        QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("tcp"),
        QStringLiteral("Also serve raw TCP on [ADDRESS:]PORT (127.0.0.1 unless an address is given), one client "
                       "at a time; the others wait their turn."),
        QStringLiteral("[ADDRESS:]PORT")});
    parser.addOption({QStringLiteral("tcp-idle"),
        QStringLiteral("Drop a TCP client silent for S seconds while another waits (default 5; 0 never)."),
        QStringLiteral("S"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("no-pty"), QStringLiteral("Serve TCP only, without a pseudo-terminal.")});
    parser.addOption({QStringLiteral("log"), QStringLiteral("Print the decoded commands, one per line.")});
    parser.addOption({QStringLiteral("no-window"), QStringLiteral("Serve without showing a window.")});
    parser.addOption({QStringLiteral("baud"), QStringLiteral("Pace reading to N bit/s with 8N1 (default: no pacing)."),
        QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("buffer"), QStringLiteral("Receive buffer in bytes (default 4096)."),
        QStringLiteral("BYTES"), QStringLiteral("4096")});
    parser.addOption({QStringLiteral("speed"),
        QStringLiteral("Printing speed in mm/s (default 80), or max for as fast as possible."),
        QStringLiteral("MM_PER_S"), QStringLiteral("80")});
    parser.addOption({QStringLiteral("flow"), QStringLiteral("xonxoff (default) or none."), QStringLiteral("MODE"),
        QStringLiteral("xonxoff")});
    parser.addOption({QStringLiteral("place"),
        QStringLiteral("Put the window on the left or right half of the screen."), QStringLiteral("SIDE")});
    parser.addOption({QStringLiteral("tool-set-up"),
        QStringLiteral("Printer Ruvela is started set up for the line (as run.sh does): say so, not how to.")});
    parser.process(app);

    bool ok = false;
    const int headType = parser.value(QStringLiteral("head-type")).toInt(&ok);
    if (!ok || headType < 0 || headType > 7) {
        std::fprintf(stderr, "zpc3x-sim: --head-type takes 0 to 7\n");
        return 2;
    }
    const bool log = parser.isSet(QStringLiteral("log"));
    if (parser.isSet(QStringLiteral("split")) && !parser.isSet(QStringLiteral("render"))) {
        std::fprintf(stderr, "zpc3x-sim: --split goes with --render\n");
        return 2;
    }
    if (parser.isSet(QStringLiteral("render"))) {
        if (!parser.isSet(QStringLiteral("output"))) {
            std::fprintf(stderr, "zpc3x-sim: --render needs -o OUT.png\n");
            return 2;
        }
        try {
            return render(parser.value(QStringLiteral("render")), parser.value(QStringLiteral("output")), headType, log,
                parser.isSet(QStringLiteral("split")));
        } catch (const std::bad_alloc &) { // a roll too long for the memory there is
            std::fprintf(stderr, "zpc3x-sim: out of memory; nothing written\n");
            return 1;
        }
    }

    const QString place = parser.value(QStringLiteral("place"));
    if (parser.isSet(QStringLiteral("place")) && place != QLatin1String("left") && place != QLatin1String("right")) {
        std::fprintf(stderr, "zpc3x-sim: --place left|right\n");
        return 2;
    }

    sim::WireSettings settings;
    bool okBaud = false, okBuffer = false, okSpeed = false;
    settings.baud = parser.value(QStringLiteral("baud")).toInt(&okBaud);
    settings.bufferSize = parser.value(QStringLiteral("buffer")).toInt(&okBuffer);
    const bool fastest = parser.value(QStringLiteral("speed")) == QLatin1String("max");
    settings.speedMmPerS = fastest ? 0 : parser.value(QStringLiteral("speed")).toDouble(&okSpeed);
    okSpeed = okSpeed || fastest;
    bool okIdle = false;
    const double tcpIdle = parser.value(QStringLiteral("tcp-idle")).toDouble(&okIdle);
    const QString flow = parser.value(QStringLiteral("flow"));
    settings.xonXoff = flow == QLatin1String("xonxoff");
    // Bounds that keep the line's arithmetic in range: a baud rate and a buffer far beyond any
    // controller's, and a finite printing speed.
    if (!okBaud || settings.baud < 0 || settings.baud > 100000000 || !okBuffer || settings.bufferSize < 16
        || settings.bufferSize > sim::WireSettings::maxBuffer || !okSpeed || !std::isfinite(settings.speedMmPerS)
        || (settings.speedMmPerS <= 0 && !fastest) || settings.speedMmPerS > 1e6 || !okIdle || !std::isfinite(tcpIdle)
        || tcpIdle < 0 || tcpIdle > 1e6 || (flow != QLatin1String("xonxoff") && flow != QLatin1String("none"))) {
        std::fprintf(stderr,
            "zpc3x-sim: --baud 0-100000000, --buffer 16-%d bytes, --speed 0-1000000 mm/s (above 0) or max, "
            "--flow xonxoff|none, --tcp-idle 0-1000000 s\n",
            sim::WireSettings::maxBuffer);
        return 2;
    }

    // Ctrl+C ends the service cleanly, and so does the end of its terminal's session unless it
    // was started to outlive that (nohup). Caught before the link is made, so that it always goes.
    if (::pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        struct sigaction hangUp = {};
        if (::sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
            std::signal(SIGHUP, onSignal);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }

    std::unique_ptr<sim::SimWindow> simWindow;
    std::unique_ptr<sim::Interpreter> headless;
    sim::LineDriver *driver = nullptr;
    sim::Interpreter *interpreter = nullptr;
    if (window) {
        simWindow = std::make_unique<sim::SimWindow>(headType, settings);
        driver = &simWindow->driver();
        interpreter = &simWindow->interpreter();
    } else {
        headless = std::make_unique<sim::Interpreter>(headType);
        interpreter = headless.get();
        driver = new sim::LineDriver(*interpreter, settings, &app);
    }
    driver->setLinkPath(parser.value(QStringLiteral("link")));
    QObject::connect(driver, &sim::LineDriver::pathChanged, [driver](const QString &path) {
        if (path.isEmpty())
            std::printf("Unplugged.\n");
        else
            std::printf("Virtual ZPC3x controller ready. In Printer Ruvela choose Settings -> Custom and type:\n%s%s\n",
                qPrintable(driver->pathToType()),
                driver->pathToType() == path ? "" : qPrintable(QStringLiteral("  (a link to %1)").arg(path)));
        std::fflush(stdout);
    });
    const bool withTcp = parser.isSet(QStringLiteral("tcp"));
    if (parser.isSet(QStringLiteral("no-pty")) && !withTcp) {
        std::fprintf(stderr, "zpc3x-sim: --no-pty needs --tcp\n");
        return 2;
    }
    if (withTcp) {
        if (!driver->serveTcp(parser.value(QStringLiteral("tcp")), tcpIdle)) {
            std::fprintf(stderr, "zpc3x-sim: cannot serve TCP on %s: %s\n",
                qPrintable(parser.value(QStringLiteral("tcp"))), qPrintable(driver->errorString()));
            return 1;
        }
        std::printf("Virtual ZPC3x controller on TCP %s\n", qPrintable(driver->tcpAddress()));
        std::fflush(stdout);
        QObject::connect(driver, &sim::LineDriver::tcpClientChanged, [](const QString &client) {
            std::printf(client.isEmpty() ? "TCP client left\n" : "TCP client %s\n", qPrintable(client));
            std::fflush(stdout);
        });
    }
    QObject::connect(driver, &sim::LineDriver::notice,
        [](const QString &line) { std::fprintf(stderr, "zpc3x-sim: %s\n", qPrintable(line)); });
    if (!parser.isSet(QStringLiteral("no-pty")) && !driver->plugIn()) {
        std::fprintf(stderr, "zpc3x-sim: cannot plug in: %s\n", qPrintable(driver->errorString()));
        return 1;
    }
    if (log) {
        interpreter->setLogListener(printEntry);
        QObject::connect(driver, &sim::LineDriver::progressed, [] { std::fflush(stdout); });
    }
    if (simWindow) {
        simWindow->setToolSetUp(parser.isSet(QStringLiteral("tool-set-up")));
        if (!place.isEmpty())
            placeOnHalf(*simWindow, place == QLatin1String("right"));
        simWindow->show();
    }

    return app.exec();
}
