#include "app/Launch.h"

#include "app/ButtonJobs.h"
#include "serial/Settings.h"

#include <QCommandLineParser>

namespace {

// Looks a value up in a table of the words the option takes; false when it is not there.
template <typename T>
bool lookUp(const QString &value, std::initializer_list<std::pair<const char *, T>> table, std::optional<T> &out)
{
    for (const auto &[word, meaning] : table) {
        if (value == QLatin1String(word)) {
            out = meaning;
            return true;
        }
    }
    return false;
}

// The seven rates as words, the last one after `last`: "9600, 19200, ... or 375000".
QString rateList(const QString &last)
{
    QStringList words;
    for (const qint32 rate : baudRates)
        words << QString::number(rate);
    const QString final = words.takeLast();
    return words.join(QStringLiteral(", ")) + last + final;
}

} // namespace

Launch parseLaunch(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Evaluation tool for ZPC3x thermal receipt-printer controllers on a serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Serial port, as a name or a path: /dev/ttyUSB0."), QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"),
        QStringLiteral("Baud rate: %1.").arg(rateList(QStringLiteral(" or "))), QStringLiteral("N"));
    const QCommandLineOption dataBits(
        QStringLiteral("data-bits"), QStringLiteral("Data bits: 5 to 8."), QStringLiteral("N"));
    const QCommandLineOption parity(
        QStringLiteral("parity"), QStringLiteral("Parity: none, even, odd, space or mark."), QStringLiteral("P"));
    const QCommandLineOption stopBits(
        QStringLiteral("stop-bits"), QStringLiteral("Stop bits: 1, 1.5 or 2."), QStringLiteral("N"));
    const QCommandLineOption flow(
        QStringLiteral("flow"), QStringLiteral("Flow control: none, hardware or software."), QStringLiteral("F"));
    const QCommandLineOption connect(QStringLiteral("connect"), QStringLiteral("Connect at start."));
    const QCommandLineOption job(QStringLiteral("job"),
        QStringLiteral("Send the job of the button of that name without a window, then exit; --list-jobs names them."),
        QStringLiteral("NAME"));
    const QCommandLineOption send(QStringLiteral("send"),
        QStringLiteral("Send the file as it is without a window, then exit; - reads standard input."),
        QStringLiteral("FILE"));
    const QCommandLineOption replies(QStringLiteral("replies"),
        QStringLiteral("With --job or --send: keep reading answers for MS milliseconds after the last byte."),
        QStringLiteral("MS"));
    const QCommandLineOption stallTimeout(QStringLiteral("stall-timeout"),
        QStringLiteral(
            "With --job or --send: give up when no byte has left for S seconds (default 30; 0 waits for ever)."),
        QStringLiteral("S"));
    const QCommandLineOption traffic(QStringLiteral("traffic"),
        QStringLiteral("With --job or --send: write the exchange, every command decoded, to a new FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption monitor(QStringLiteral("monitor"),
        QStringLiteral("Without a window, stand between a host application and the controller on --port: the host opens "
                       "the pseudo-terminal this link leads to. Runs until SIGINT or SIGTERM."),
        QStringLiteral("PATH"));
    const QCommandLineOption monitorTcp(QStringLiteral("monitor-tcp"),
        QStringLiteral("The same for a host that prints over raw TCP, on [ADDRESS:]PORT (127.0.0.1 unless given)."),
        QStringLiteral("PORT"));
    const QCommandLineOption show(QStringLiteral("show"),
        QStringLiteral("Open these panes at start, split by commas: traffic, expected-paper, macros."),
        QStringLiteral("PANES"));
    const QCommandLineOption place(QStringLiteral("place"),
        QStringLiteral("Put the window on the left or right half of the screen."), QStringLiteral("SIDE"));
    const QCommandLineOption listJobs(QStringLiteral("list-jobs"), QStringLiteral("Print the names of the jobs."));
    parser.addOptions({port, baud, dataBits, parity, stopBits, flow, connect, place, job, send, replies, stallTimeout,
        traffic, monitor, monitorTcp, show, listJobs});

    Launch launch;
    auto refuse = [&](const QString &why) {
        launch.exitCode = 2;
        launch.output = QStringLiteral("printer-ruvela: %1\nTry printer-ruvela --help.\n").arg(why);
        return launch;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        launch.exitCode = 0;
        launch.output
            = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("printer-ruvela"));
        return launch;
    }
    if (parser.isSet(version)) {
        launch.exitCode = 0;
        launch.output = QStringLiteral("printer-ruvela %1\n").arg(QStringLiteral(RUVELA_VERSION));
        return launch;
    }
    if (parser.isSet(listJobs)) {
        launch.exitCode = 0;
        launch.output = buttons::jobNames().join(QLatin1Char('\n')) + QLatin1Char('\n');
        return launch;
    }
    if (parser.isSet(port)) {
        if (parser.value(port).isEmpty())
            return refuse(QStringLiteral("--port needs a name or a path"));
        launch.choice.port = parser.value(port);
    }
    const QString rate = parser.value(baud);
    if (parser.isSet(baud)) {
        for (const qint32 known : baudRates) {
            if (rate == QString::number(known))
                launch.choice.baudRate = known;
        }
        if (!launch.choice.baudRate)
            return refuse(QStringLiteral("--baud %1: not one of %2").arg(rate, rateList(QStringLiteral(", "))));
    }
    if (parser.isSet(dataBits)
        && !lookUp<QSerialPort::DataBits>(parser.value(dataBits),
            {{"5", QSerialPort::Data5}, {"6", QSerialPort::Data6}, {"7", QSerialPort::Data7},
                {"8", QSerialPort::Data8}},
            launch.choice.dataBits))
        return refuse(QStringLiteral("--data-bits %1: not 5, 6, 7 or 8").arg(parser.value(dataBits)));
    if (parser.isSet(parity)
        && !lookUp<QSerialPort::Parity>(parser.value(parity),
            {{"none", QSerialPort::NoParity}, {"even", QSerialPort::EvenParity}, {"odd", QSerialPort::OddParity},
                {"space", QSerialPort::SpaceParity}, {"mark", QSerialPort::MarkParity}},
            launch.choice.parity))
        return refuse(QStringLiteral("--parity %1: not none, even, odd, space or mark").arg(parser.value(parity)));
    if (parser.isSet(stopBits)
        && !lookUp<QSerialPort::StopBits>(parser.value(stopBits),
            {{"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop}, {"2", QSerialPort::TwoStop}},
            launch.choice.stopBits))
        return refuse(QStringLiteral("--stop-bits %1: not 1, 1.5 or 2").arg(parser.value(stopBits)));
    if (parser.isSet(flow)
        && !lookUp<QSerialPort::FlowControl>(parser.value(flow),
            {{"none", QSerialPort::NoFlowControl}, {"hardware", QSerialPort::HardwareControl},
                {"software", QSerialPort::SoftwareControl}},
            launch.choice.flowControl))
        return refuse(QStringLiteral("--flow %1: not none, hardware or software").arg(parser.value(flow)));
    launch.connect = parser.isSet(connect);
    launch.place = parser.value(place);
    if (parser.isSet(place) && launch.place != QLatin1String("left") && launch.place != QLatin1String("right"))
        return refuse(QStringLiteral("--place %1: not left or right").arg(launch.place));
    launch.monitorLink = parser.value(monitor);
    launch.monitorTcp = parser.value(monitorTcp);
    if ((parser.isSet(monitor) && launch.monitorLink.isEmpty()) || (parser.isSet(monitorTcp) && launch.monitorTcp.isEmpty()))
        return refuse(QStringLiteral("--monitor needs a path, and --monitor-tcp a port"));
    if (launch.monitoring() && (parser.isSet(job) || parser.isSet(send)))
        return refuse(QStringLiteral("--monitor passes on a host's bytes; --job and --send send the tool's own"));
    launch.headless = parser.isSet(job) || parser.isSet(send) || launch.monitoring();
    for (const QString &pane : parser.values(show).join(QLatin1Char(',')).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!Launch::paneNames().contains(pane))
            return refuse(
                QStringLiteral("--show %1: not one of %2").arg(pane, Launch::paneNames().join(QStringLiteral(", "))));
        launch.panes << pane;
    }
    if (parser.isSet(job) && parser.isSet(send))
        return refuse(QStringLiteral("--job and --send: one of them at a time"));
    if (parser.isSet(replies) && !launch.headless)
        return refuse(QStringLiteral("--replies needs --job or --send"));
    if (parser.isSet(stallTimeout) && !launch.headless)
        return refuse(QStringLiteral("--stall-timeout needs --job or --send"));
    if (parser.isSet(traffic) && !launch.headless)
        return refuse(QStringLiteral("--traffic needs --job or --send"));
    launch.trafficFile = parser.value(traffic);
    if (parser.isSet(traffic) && (launch.trafficFile.isEmpty() || launch.trafficFile == QLatin1String("-")))
        return refuse(QStringLiteral("--traffic needs the name of a new file"));
    if (parser.isSet(show) && launch.headless)
        return refuse(QStringLiteral("--show opens panes of the window; --job and --send run without one"));
    if (launch.headless && !launch.choice.port)
        return refuse(launch.monitoring() ? QStringLiteral("--monitor needs --port, the controller's line")
                                          : QStringLiteral("--job and --send need --port"));
    if (parser.isSet(job)) {
        launch.job = parser.value(job);
        if (!buttons::findByName(launch.job))
            return refuse(QStringLiteral("--job %1: no such job; --list-jobs names them").arg(launch.job));
    }
    if (parser.isSet(send)) {
        launch.sendFile = parser.value(send);
        if (launch.sendFile.isEmpty())
            return refuse(QStringLiteral("--send needs a file, or - for standard input"));
    }
    if (parser.isSet(replies)) {
        bool ok = false;
        launch.repliesMs = parser.value(replies).toInt(&ok);
        if (!ok || launch.repliesMs < 0)
            return refuse(QStringLiteral("--replies %1: not a number of milliseconds").arg(parser.value(replies)));
    }
    if (parser.isSet(stallTimeout)) {
        bool ok = false;
        launch.stallTimeoutS = parser.value(stallTimeout).toInt(&ok);
        if (!ok || launch.stallTimeoutS < 0)
            return refuse(
                QStringLiteral("--stall-timeout %1: not a number of seconds").arg(parser.value(stallTimeout)));
    }
    return launch;
}
