// zpc3x-sim: the virtual ZPC3x controller. Serves a pseudo-terminal for the tool, or renders a
// captured stream to a PNG.
#include "simulator/Interpreter.h"
#include "simulator/PtyEndpoint.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2];

void onSignal(int) { [[maybe_unused]] ssize_t n = ::write(signalPipe[1], "x", 1); }

void printLog(const sim::Interpreter &interpreter, qsizetype from)
{
    const auto &log = interpreter.log();
    for (qsizetype i = from; i < log.size(); ++i) {
        const sim::LogEntry &e = log.at(i);
        std::printf("%8lld  %s%s%s\n", static_cast<long long>(e.offset), qPrintable(e.name),
                    e.args.isEmpty() ? "" : " ", qPrintable(e.args));
    }
    std::fflush(stdout);
}

int render(const QString &in, const QString &out, int headType, bool log)
{
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zpc3x-sim: cannot read %s: %s\n", qPrintable(in), qPrintable(file.errorString()));
        return 1;
    }
    sim::Interpreter interpreter(headType);
    while (!file.atEnd())
        interpreter.feed(file.read(1 << 16));
    interpreter.finish();
    if (log)
        printLog(interpreter, 0);
    const QImage paper = interpreter.paper().image();
    if (paper.isNull() || !paper.save(out, "PNG")) {
        std::fprintf(stderr, "zpc3x-sim: %s\n",
                     paper.isNull() ? "nothing was printed" : qPrintable(QStringLiteral("cannot write ") + out));
        return 1;
    }
    std::fprintf(stderr, "zpc3x-sim: %d rows, %d unknown, %d truncated\n", interpreter.paper().rows(),
                 interpreter.unknownCount(), interpreter.truncatedCount());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts only; this program shows no window
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("zpc3x-sim"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Virtual ZPC3x thermal printer controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("render"), QStringLiteral("Render a captured stream instead of serving."),
                      QStringLiteral("IN.bin")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("PNG to write with --render."),
                      QStringLiteral("OUT.png")});
    parser.addOption({QStringLiteral("head-type"), QStringLiteral("Print head type 0-7 (default 0)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("link"), QStringLiteral("Also make a symlink to the pseudo-terminal."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("log"), QStringLiteral("Print the decoded commands, one per line.")});
    parser.process(app);

    bool ok = false;
    const int headType = parser.value(QStringLiteral("head-type")).toInt(&ok);
    if (!ok || headType < 0 || headType > 7) {
        std::fprintf(stderr, "zpc3x-sim: --head-type takes 0 to 7\n");
        return 2;
    }
    const bool log = parser.isSet(QStringLiteral("log"));
    if (parser.isSet(QStringLiteral("render"))) {
        if (!parser.isSet(QStringLiteral("output"))) {
            std::fprintf(stderr, "zpc3x-sim: --render needs -o OUT.png\n");
            return 2;
        }
        return render(parser.value(QStringLiteral("render")), parser.value(QStringLiteral("output")), headType, log);
    }

    sim::Interpreter interpreter(headType);
    sim::PtyEndpoint endpoint;
    if (!endpoint.open()) {
        std::fprintf(stderr, "zpc3x-sim: no pseudo-terminal: %s\n", qPrintable(endpoint.errorString()));
        return 1;
    }
    if (parser.isSet(QStringLiteral("link")) && !endpoint.link(parser.value(QStringLiteral("link"))))
        std::fprintf(stderr, "zpc3x-sim: cannot make the link %s\n", qPrintable(parser.value(QStringLiteral("link"))));
    std::printf("Virtual ZPC3x controller ready. In Printer Ruvela choose Settings -> Custom and type:\n%s\n",
                qPrintable(endpoint.path()));
    std::fflush(stdout);

    qsizetype logged = 0;
    QObject::connect(&endpoint, &sim::PtyEndpoint::received, [&](const QByteArray &bytes) {
        interpreter.feed(bytes);
        const QByteArray replies = interpreter.takeReplies();
        if (!replies.isEmpty())
            endpoint.write(replies);
        if (log) {
            printLog(interpreter, logged);
            logged = interpreter.log().size();
        }
    });

    // Ctrl+C ends the service cleanly.
    if (::pipe(signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
