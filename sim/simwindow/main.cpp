// zpc3x-sim: the virtual ZPC3x controller. Shows its window and serves a pseudo-terminal for the
// tool, serves without a window, or renders a captured stream to a PNG.
#include "controller/Interpreter.h"
#include "files/Descriptors.h"
#include "language/Language.h"
#include "paperview/WindowPlace.h"
#include "simulator/LineDriver.h"
#include "simulator/SimOptions.h"
#include "simwindow/SimWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QScreen>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

int signalPipe[2];

void onSignal(int) { [[maybe_unused]] ssize_t n = ::write(signalPipe[1], "x", 1); }

// --log: each command on a line of its own once it is complete, however long the stream.
void printEntry(const controller::LogEntry &e)
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
        top = cut + controller::Printhead::cutMarkRows;
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
        if (!controller::writePicture(pieces.at(i), names.at(i), format, error)) {
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

// Feeds the whole input to the interpreter, - being standard input; false, said on stderr, when it
// cannot be read. Nobody reads the answers here: they are counted, not kept.
bool feedInput(const QString &in, controller::Interpreter &interpreter, qint64 &answered)
{
    QFile input;
    const bool opened = in == QLatin1String("-") ? input.open(stdin, QIODevice::ReadOnly)
                                                 : (input.setFileName(in), input.open(QIODevice::ReadOnly));
    // Reads until the end of the input: a pipe has no size and atEnd() says nothing about it.
    for (QByteArray chunk; opened && !(chunk = input.read(1 << 16)).isEmpty();) {
        interpreter.feed(chunk);
        answered += interpreter.takeReplies().size();
    }
    if (!opened || input.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "zpc3x-sim: cannot read %s: %s\n", qPrintable(in), qPrintable(input.errorString()));
        return false;
    }
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
    controller::Interpreter interpreter(headType);
    if (log)
        interpreter.setLogListener(printEntry);
    qint64 answered = 0;
    if (!feedInput(in, interpreter, answered))
        return 1;
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
              : !controller::writePicture(paper, out, format, error)) {
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

// Ctrl+C, Ctrl+\ and SIGTERM end the service cleanly, and so does the end of its terminal's
// session unless it was started to outlive that (nohup). Caught before the link is made, so that
// it always goes.
void catchSignals(QApplication &app)
{
    if (::pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGQUIT, onSignal);
        struct sigaction hangUp = {};
        if (::sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
            std::signal(SIGHUP, onSignal);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
}

// Serves the pseudo-terminal and TCP, with or without the window, until interrupted.
int serve(QApplication &app, const sim::SimOptions &options)
{
    catchSignals(app);

    std::unique_ptr<sim::SimWindow> simWindow;
    std::unique_ptr<controller::Interpreter> headless;
    sim::LineDriver *driver = nullptr;
    controller::Interpreter *interpreter = nullptr;
    if (options.window) {
        simWindow = std::make_unique<sim::SimWindow>(options.headType, options.wire);
        driver = &simWindow->driver();
        interpreter = &simWindow->interpreter();
    } else {
        headless = std::make_unique<controller::Interpreter>(options.headType);
        interpreter = headless.get();
        driver = new sim::LineDriver(*interpreter, options.wire, &app);
    }
    if (options.paperOut) { // the window's switch shows it pressed
        if (QAction *paperOut = simWindow ? simWindow->findChild<QAction *>(QStringLiteral("actionPaperOut")) : nullptr)
            paperOut->setChecked(true);
        else
            driver->wire().setPaperOut(true);
    }
    if (options.log) {
        interpreter->setLogListener(printEntry);
        QObject::connect(driver, &sim::LineDriver::progressed, [] { std::fflush(stdout); });
    }
    driver->setLinkPath(options.link);
    QObject::connect(driver, &sim::LineDriver::pathChanged, [driver](const QString &path) {
        if (path.isEmpty())
            std::printf("Unplugged.\n");
        else
            std::printf("Virtual ZPC3x controller ready. In Printer Ruvela choose Settings -> Custom and type:\n%s%s\n",
                qPrintable(driver->pathToType()),
                driver->pathToType() == path ? "" : qPrintable(QStringLiteral("  (a link to %1)").arg(path)));
        std::fflush(stdout);
    });
    if (!options.tcp.isEmpty()) {
        if (!driver->serveTcp(options.tcp, options.tcpIdle)) {
            std::fprintf(stderr, "zpc3x-sim: cannot serve TCP on %s: %s\n", qPrintable(options.tcp),
                qPrintable(driver->errorString()));
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
    if (!options.noPty && !driver->plugIn()) {
        std::fprintf(stderr, "zpc3x-sim: cannot plug in: %s\n", qPrintable(driver->errorString()));
        return driver->linkRefused() ? 2 : 1; // a path that is not ours to take is a usage error
    }
    if (simWindow) {
        simWindow->setToolSetUp(options.toolSetUp);
        if (!options.place.isEmpty())
            placeOnHalf(*simWindow, options.place == QLatin1String("right"));
        simWindow->show();
    }
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Each line of standard output goes out whole, so that a note on standard error, when both
    // go to one file, falls between two log lines and never inside one.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    openClosedStandardDescriptors();
    filterSessionNotes();
    // The command line is read before any display is needed: --help and bad usage work without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString lang = language::choose(arguments);
    const sim::SimOptions options
        = language::parseInLanguage(argc, argv, arguments, lang, QStringLiteral("zpc3x-sim"), sim::parseSimOptions);
    if (options.exitCode >= 0) {
        std::fputs(qPrintable(options.output), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }
    if (!options.window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts only; no window to show
    if (options.window && !canShowWindows()) {
        std::fputs("zpc3x-sim: no display to show the window on; --no-window serves without one.\n"
                   "Try zpc3x-sim --help.\n",
            stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zpc3x-sim"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    if (options.window) // the window's only: the console, --log and --render stay English
        language::install(lang, QStringLiteral("zpc3x-sim"));

    if (!options.renderIn.isEmpty()) {
        try {
            return render(options.renderIn, options.renderOut, options.headType, options.log, options.split);
        } catch (const std::bad_alloc &) { // a roll too long for the memory there is
            std::fprintf(stderr, "zpc3x-sim: out of memory; nothing written\n");
            return 1;
        }
    }
    return serve(app, options);
}
