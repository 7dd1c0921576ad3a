#include "tool/Launch.h"

#include "commands/TcpAddress.h"
#include "language/Language.h"
#include "serial/Settings.h"
#include "tool/ButtonJobs.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <utility>
#include <vector>

// What --help says, in the language chosen; refusals stay in English, as scripts read them.
class LaunchHelp
{
    Q_DECLARE_TR_FUNCTIONS(LaunchHelp)
};

namespace {

// The seven rates as words: "9600, 19200, ..., 256000" and the last, "375000".
QStringList rateWords()
{
    QStringList words;
    for (const qint32 rate : baudRates)
        words << QString::number(rate);
    return words;
}

// Every option in the order --help lists them: its name, the name of its value (none for a
// switch) and what --help says of it.
QList<QCommandLineOption> options()
{
    auto option = [](const char *name, const char *valueName, const QString &description) {
        return QCommandLineOption(QLatin1String(name), description, QLatin1String(valueName));
    };
    QStringList rates = rateWords();
    const QString lastRate = rates.takeLast();
    return {
        option("port", "PATH", LaunchHelp::tr("Serial port, as a name or a path: /dev/ttyUSB0.")),
        option("baud", "N", LaunchHelp::tr("Baud rate: %1 or %2.").arg(rates.join(LaunchHelp::tr(", ")), lastRate)),
        option("data-bits", "N", LaunchHelp::tr("Data bits: 5 to 8.")),
        option("parity", "P", LaunchHelp::tr("Parity: none, even, odd, space or mark.")),
        option("stop-bits", "N", LaunchHelp::tr("Stop bits: 1, 1.5 or 2.")),
        option("flow", "F", LaunchHelp::tr("Flow control: none, hardware or software.")),
        option("connect", "", LaunchHelp::tr("Connect at start.")),
        option("place", "SIDE", LaunchHelp::tr("Put the window on the left or right half of the screen.")),
        option("job", "NAME",
            LaunchHelp::tr(
                "Send the job of the button of that name without a window, then exit; --list-jobs names them.")),
        option("send", "FILE",
            LaunchHelp::tr("Send the file as it is without a window, then exit; - reads standard input.")),
        option("replies", "MS",
            LaunchHelp::tr(
                "With --job, --send or --replay: keep reading answers for MS milliseconds after the last byte.")),
        option("stall-timeout", "S",
            LaunchHelp::tr(
                "With --job, --send or --replay: give up when no byte has left for S seconds (default 30; 0 waits for "
                "ever).")),
        option("traffic", "FILE",
            LaunchHelp::tr("With --job, --send, --replay or --monitor: write the exchange, every command decoded, to a "
                           "new FILE.")),
        option("identify", "",
            LaunchHelp::tr("Without a window, ask the controller on --port for its model, firmware, printer IDs "
                           "and statuses, and print what it is.")),
        option("json", "", LaunchHelp::tr("With --identify: print it as one JSON object.")),
        option("capture", "FILE",
            LaunchHelp::tr(
                "With --job, --send, --replay or --monitor: record every byte both ways, with its time, to a new "
                "pcapng FILE that Wireshark and tshark read.")),
        option("monitor", "PATH",
            LaunchHelp::tr(
                "Without a window, stand between a host application and the controller on --port: the host opens "
                "the pseudo-terminal this link leads to. Runs until SIGINT or SIGTERM.")),
        option("monitor-tcp", "PORT",
            LaunchHelp::tr(
                "The same for a host that prints over raw TCP, on [ADDRESS:]PORT (127.0.0.1 unless given).")),
        option("monitor-idle", "S",
            LaunchHelp::tr("With --monitor-tcp: close a client that sends nothing for S seconds, so that the next "
                           "may come (default 5; 0 never).")),
        option("replay", "FILE",
            LaunchHelp::tr("Without a window, send the host's bytes of a pcapng capture down --port with their "
                           "recorded gaps, and check each answer against the recorded one.")),
        option("replay-speed", "N",
            LaunchHelp::tr("With --replay: play N times as fast (default 1), or max for no gaps.")),
        option("compare", "FILE",
            LaunchHelp::tr("Compare two recordings, --compare A B, pcapng or raw .bin, without a controller: the "
                           "first command that differs, the paper dot by dot and the answers.")),
        option("diff-png", "FILE",
            LaunchHelp::tr("With --compare: write both papers side by side, the differing dots marked, to a new "
                           "PNG FILE.")),
        option("show", "PANES",
            LaunchHelp::tr("Open these panes at start, split by commas: traffic, expected-paper, macros.")),
        option("list-jobs", "", LaunchHelp::tr("Print the names of the jobs.")),
        option("lang", "NAME",
            LaunchHelp::tr("Language of the window and of this help: en or zh_CN (default: the system's).")),
    };
}

// The words an option takes, each with what it sets.
template <typename T> using Words = std::vector<std::pair<const char *, T>>;

const Words<QSerialPort::DataBits> dataBitsWords{
    {"5", QSerialPort::Data5}, {"6", QSerialPort::Data6}, {"7", QSerialPort::Data7}, {"8", QSerialPort::Data8}};
const Words<QSerialPort::Parity> parityWords{{"none", QSerialPort::NoParity}, {"even", QSerialPort::EvenParity},
    {"odd", QSerialPort::OddParity}, {"space", QSerialPort::SpaceParity}, {"mark", QSerialPort::MarkParity}};
const Words<QSerialPort::StopBits> stopBitsWords{
    {"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop}, {"2", QSerialPort::TwoStop}};
const Words<QSerialPort::FlowControl> flowWords{{"none", QSerialPort::NoFlowControl},
    {"hardware", QSerialPort::HardwareControl}, {"software", QSerialPort::SoftwareControl}};
const Words<QString> placeWords{{"left", QStringLiteral("left")}, {"right", QStringLiteral("right")}};
const Words<QString> languageWords{{"en", QStringLiteral("en")}, {"zh_CN", QStringLiteral("zh_CN")}};

// Sets out from the option's word, when the option is given: empty, or why the word is refused
// ("--parity maybe: not none, even, odd, space or mark").
template <typename T>
QString readWord(const QCommandLineParser &parser, const char *option, const Words<T> &words, std::optional<T> &out)
{
    const QString name = QLatin1String(option);
    if (!parser.isSet(name))
        return {};
    const QString value = parser.value(name);
    QStringList known;
    for (const auto &[word, meaning] : words) {
        if (value == QLatin1String(word)) {
            out = meaning;
            return {};
        }
        known << QLatin1String(word);
    }
    const QString last = known.takeLast();
    return QStringLiteral("--%1 %2: not %3 or %4").arg(name, value, known.join(QStringLiteral(", ")), last);
}

// A count of a unit, none below 0, when the option is given: empty, or why it is refused.
QString readCount(const QCommandLineParser &parser, const char *option, const char *unit, int &out)
{
    const QString name = QLatin1String(option);
    if (!parser.isSet(name))
        return {};
    bool ok = false;
    out = parser.value(name).toInt(&ok);
    if (!ok || out < 0)
        return QStringLiteral("--%1 %2: not a number of %3").arg(name, parser.value(name), QLatin1String(unit));
    return {};
}

// The line parameters that preset the settings: empty, or why they are refused.
QString readLine(const QCommandLineParser &parser, SettingsChoice &choice)
{
    if (parser.isSet(QStringLiteral("port"))) {
        if (parser.value(QStringLiteral("port")).isEmpty())
            return QStringLiteral("--port needs a name or a path");
        choice.port = parser.value(QStringLiteral("port"));
    }
    if (parser.isSet(QStringLiteral("baud"))) {
        const QString rate = parser.value(QStringLiteral("baud"));
        for (const qint32 known : baudRates) {
            if (rate == QString::number(known))
                choice.baudRate = known;
        }
        if (!choice.baudRate)
            return QStringLiteral("--baud %1: not one of %2").arg(rate, rateWords().join(QStringLiteral(", ")));
    }
    for (const QString &why : {readWord(parser, "data-bits", dataBitsWords, choice.dataBits),
             readWord(parser, "parity", parityWords, choice.parity),
             readWord(parser, "stop-bits", stopBitsWords, choice.stopBits),
             readWord(parser, "flow", flowWords, choice.flowControl)}) {
        if (!why.isEmpty())
            return why;
    }
    return {};
}

// The first of --show's panes that is not one of Launch::paneNames(), or empty when all are.
QString readPanes(const QCommandLineParser &parser, QStringList &panes)
{
    const QString given = parser.values(QStringLiteral("show")).join(QLatin1Char(','));
    for (const QString &pane : given.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!Launch::paneNames().contains(pane))
            return pane;
        panes << pane;
    }
    return {};
}

// Which run is asked for, and whether the options given go together: empty, or the first rule
// the command line breaks.
QString readRun(const QCommandLineParser &parser, Launch &launch)
{
    auto given = [&](const char *option) { return parser.isSet(QLatin1String(option)); };
    launch.monitorLink = parser.value(QStringLiteral("monitor"));
    launch.monitorTcp = parser.value(QStringLiteral("monitor-tcp"));
    launch.identify = given("identify");
    launch.json = given("json");
    launch.replayFile = parser.value(QStringLiteral("replay"));
    const bool replaying = given("replay"), comparing = given("compare");
    launch.headless = given("job") || given("send") || launch.monitoring() || launch.identify || replaying;
    if (comparing)
        launch.compareFiles = QStringList{parser.value(QStringLiteral("compare"))} + parser.positionalArguments();
    launch.diffPng = parser.value(QStringLiteral("diff-png"));
    launch.trafficFile = parser.value(QStringLiteral("traffic"));
    launch.captureFile = parser.value(QStringLiteral("capture"));
    const QString strangePane = readPanes(parser, launch.panes);
    const bool windowed = !launch.headless;
    struct Rule
    {
        bool broken;
        QString why;
    };
    // clang-format off
    const Rule rules[] = {
        {comparing && (launch.headless || given("port") || given("traffic") || given("capture")),
            QStringLiteral("--compare reads two recordings; it sends nothing and takes no --port, --job, --send, --replay, --monitor, --identify, --traffic or --capture")},
        {comparing && (launch.compareFiles.size() != 2 || launch.compareFiles.contains(QString())),
            QStringLiteral("--compare needs two files: --compare A B")},
        {!comparing && !parser.positionalArguments().isEmpty(),
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().value(0))},
        {given("diff-png") && !comparing, QStringLiteral("--diff-png needs --compare")},
        {given("diff-png") && launch.diffPng.isEmpty(), QStringLiteral("--diff-png needs the name of a new file")},
        {replaying && launch.replayFile.isEmpty(), QStringLiteral("--replay needs a capture file")},
        {replaying && (given("job") || given("send") || launch.monitoring() || launch.identify),
            QStringLiteral("--replay sends a recording's bytes; not with --job, --send, --monitor or --identify")},
        {given("replay-speed") && !replaying, QStringLiteral("--replay-speed needs --replay")},
        {(given("monitor") && launch.monitorLink.isEmpty()) || (given("monitor-tcp") && launch.monitorTcp.isEmpty()),
            QStringLiteral("--monitor needs a path, and --monitor-tcp a port")},
        {launch.monitoring() && (given("job") || given("send")),
            QStringLiteral("--monitor passes on a host's bytes; --job and --send send the tool's own")},
        {!strangePane.isEmpty(),
            QStringLiteral("--show %1: not one of %2").arg(strangePane, Launch::paneNames().join(QStringLiteral(", ")))},
        {given("job") && given("send"), QStringLiteral("--job and --send: one of them at a time")},
        {launch.identify && (given("job") || given("send") || launch.monitoring()),
            QStringLiteral("--identify asks on its own; not with --job, --send or --monitor")},
        {given("json") && !launch.identify, QStringLiteral("--json needs --identify")},
        {given("replies") && (windowed || launch.monitoring()),
            launch.monitoring() ? QStringLiteral("--replies goes with --job or --send; the monitor passes every answer to the host")
                                : QStringLiteral("--replies needs --job or --send")},
        {given("stall-timeout") && (windowed || launch.monitoring()),
            launch.monitoring() ? QStringLiteral("--stall-timeout goes with --job or --send; the monitor waits for the host as long as it runs")
                                : QStringLiteral("--stall-timeout needs --job or --send")},
        {given("traffic") && windowed, QStringLiteral("--traffic needs --job, --send, --replay or --monitor")},
        {given("traffic") && (launch.trafficFile.isEmpty() || launch.trafficFile == QLatin1String("-")),
            QStringLiteral("--traffic needs the name of a new file")},
        {given("capture") && windowed, QStringLiteral("--capture needs --job, --send, --replay or --monitor")},
        {given("capture") && (launch.captureFile.isEmpty() || launch.captureFile == QLatin1String("-")),
            QStringLiteral("--capture needs the name of a new file")},
        {given("capture") && given("traffic") && launch.captureFile == launch.trafficFile,
            QStringLiteral("--capture and --traffic need two files")},
        {given("monitor-idle") && launch.monitorTcp.isEmpty(), QStringLiteral("--monitor-idle needs --monitor-tcp")},
        {given("show") && launch.headless,
            QStringLiteral("--show opens panes of the window; --job, --send, --replay, --identify and --monitor run without one")},
        {launch.headless && !launch.choice.port,
            launch.monitoring() ? QStringLiteral("--monitor needs --port, the controller's line")
                : launch.identify ? QStringLiteral("--identify needs --port")
                : replaying       ? QStringLiteral("--replay needs --port")
                                  : QStringLiteral("--job and --send need --port")},
    };
    // clang-format on
    for (const Rule &rule : rules) {
        if (rule.broken)
            return rule.why;
    }
    return {};
}

// What a run without a window sends and how long it waits: empty, or why it is refused.
QString readJob(const QCommandLineParser &parser, Launch &launch)
{
    if (parser.isSet(QStringLiteral("job"))) {
        launch.job = parser.value(QStringLiteral("job"));
        if (!buttons::findByName(launch.job))
            return QStringLiteral("--job %1: no such job; --list-jobs names them").arg(launch.job);
    }
    if (parser.isSet(QStringLiteral("send"))) {
        launch.sendFile = parser.value(QStringLiteral("send"));
        if (launch.sendFile.isEmpty())
            return QStringLiteral("--send needs a file, or - for standard input");
    }
    for (const QString &why : {readCount(parser, "replies", "milliseconds", launch.repliesMs),
             readCount(parser, "stall-timeout", "seconds", launch.stallTimeoutS)}) {
        if (!why.isEmpty())
            return why;
    }
    // A replay waits for the last answers as long as a query waits for its own.
    if (!launch.replayFile.isEmpty() && !parser.isSet(QStringLiteral("replies")))
        launch.repliesMs = Launch::replayAnswersMs;
    if (QString why; !launch.monitorTcp.isEmpty() && !parseTcpAddress(launch.monitorTcp, why))
        return QStringLiteral("--monitor-tcp %1: %2").arg(launch.monitorTcp, why);
    if (parser.isSet(QStringLiteral("replay-speed"))) {
        const QString speed = parser.value(QStringLiteral("replay-speed"));
        bool ok = speed == QLatin1String("max");
        launch.replaySpeed = ok ? 0 : speed.toDouble(&ok);
        if (!ok || !(launch.replaySpeed >= 0 && launch.replaySpeed <= 1e6)
            || (launch.replaySpeed == 0 && speed != QLatin1String("max")))
            return QStringLiteral("--replay-speed %1: not a number above 0, or max").arg(speed);
    }
    if (parser.isSet(QStringLiteral("monitor-idle"))) {
        bool ok = false;
        launch.monitorIdleS = parser.value(QStringLiteral("monitor-idle")).toDouble(&ok);
        if (!ok || !(launch.monitorIdleS >= 0 && launch.monitorIdleS <= 1e6))
            return QStringLiteral("--monitor-idle %1: not 0 to 1000000 seconds")
                .arg(parser.value(QStringLiteral("monitor-idle")));
    }
    return {};
}

Launch answered(int exitCode, const QString &output)
{
    Launch launch;
    launch.exitCode = exitCode;
    launch.output = output;
    return launch;
}

Launch refused(const QString &why)
{
    return answered(2, QStringLiteral("printer-ruvela: %1\nTry printer-ruvela --help.\n").arg(why));
}

} // namespace

Launch parseLaunch(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        LaunchHelp::tr("Evaluation tool for ZPC3x thermal receipt-printer controllers on a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(options());
    if (!parser.parse(arguments))
        return refused(parser.errorText());
    // The language is checked whatever else is asked, so that a wrong one is never taken quietly.
    std::optional<QString> language;
    if (const QString why = readWord(parser, "lang", languageWords, language); !why.isEmpty())
        return refused(why);
    // An option given twice would keep only its last value, which the user may not have meant.
    for (const char *once :
        {"job", "send", "traffic", "capture", "monitor", "monitor-tcp", "port", "replay", "compare", "diff-png"}) {
        if (parser.values(QLatin1String(once)).size() > 1)
            return refused(QStringLiteral("--%1 is given more than once").arg(QLatin1String(once)));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // The program's own name, not the path it was started by (nor "<executable_name>").
        QString help = parser.helpText();
        help.replace(0, help.indexOf(QLatin1Char('\n')), LaunchHelp::tr("Usage: printer-ruvela [options]"));
        return answered(0, language::fitColumns(help));
    }
    if (parser.isSet(QStringLiteral("version")))
        return answered(0, QStringLiteral("printer-ruvela %1\n").arg(QStringLiteral(RUVELA_VERSION)));
    if (parser.isSet(QStringLiteral("list-jobs")))
        return answered(0, buttons::jobNames().join(QLatin1Char('\n')) + QLatin1Char('\n'));

    Launch launch;
    std::optional<QString> side;
    QString why = readLine(parser, launch.choice);
    if (why.isEmpty())
        why = readWord(parser, "place", placeWords, side);
    launch.connect = parser.isSet(QStringLiteral("connect"));
    launch.place = side.value_or(QString());
    if (why.isEmpty())
        why = readRun(parser, launch);
    if (why.isEmpty())
        why = readJob(parser, launch);
    return why.isEmpty() ? launch : refused(why);
}
