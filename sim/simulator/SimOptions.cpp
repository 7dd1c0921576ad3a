#include "simulator/SimOptions.h"

#include "commands/TcpAddress.h"
#include "language/Language.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cmath>
#include <iterator>

namespace sim {

namespace {

// Reads an option's value into the options; an empty string, or what is wrong with the value.
using Reader = QString (*)(const QString &value, SimOptions &out);

QString readHeadType(const QString &value, SimOptions &out)
{
    bool ok = false;
    out.headType = value.toInt(&ok);
    return ok && out.headType >= 0 && out.headType < proto::headTypes ? QString() : QStringLiteral("takes 0 to 7");
}

QString readTcp(const QString &value, SimOptions &out)
{
    // [ADDRESS:]PORT, checked here; whether it can be listened on is found out when serving. Port 0
    // takes any free one, which the controller names as it starts.
    QString why;
    if (!parseTcpAddress(value, why, true))
        return why;
    out.tcp = value;
    return {};
}

// A number in [low, high], as a double.
bool inRange(const QString &value, double low, double high, double &out)
{
    bool ok = false;
    out = value.toDouble(&ok);
    return ok && std::isfinite(out) && out >= low && out <= high;
}

QString readTcpIdle(const QString &value, SimOptions &out)
{
    return inRange(value, 0, 1e6, out.tcpIdle) ? QString() : QStringLiteral("takes 0 to 1000000 seconds");
}

// Bounds that keep the line's arithmetic in range: a baud rate and a buffer far beyond any
// controller's, and a finite printing speed.
QString readBaud(const QString &value, SimOptions &out)
{
    bool ok = false;
    out.wire.baud = value.toInt(&ok);
    return ok && out.wire.baud >= 0 && out.wire.baud <= 100000000 ? QString() : QStringLiteral("takes 0 to 100000000");
}

QString readBuffer(const QString &value, SimOptions &out)
{
    bool ok = false;
    out.wire.bufferSize = value.toInt(&ok);
    return ok && out.wire.bufferSize >= 16 && out.wire.bufferSize <= WireSettings::maxBuffer
        ? QString()
        : QStringLiteral("takes 16 to %1 bytes").arg(WireSettings::maxBuffer);
}

QString readSpeed(const QString &value, SimOptions &out)
{
    if (value == QLatin1String("max")) {
        out.wire.speedMmPerS = 0;
        return {};
    }
    return inRange(value, 0, 1e6, out.wire.speedMmPerS) && out.wire.speedMmPerS > 0
        ? QString()
        : QStringLiteral("takes a speed above 0 up to 1000000 mm/s, or max");
}

QString readTiming(const QString &value, SimOptions &out)
{
    out.wire.flatTiming = value == QLatin1String("flat");
    return out.wire.flatTiming || value == QLatin1String("head") ? QString() : QStringLiteral("takes head or flat");
}

QString readStrobeDots(const QString &value, SimOptions &out)
{
    bool ok = false;
    out.wire.dotsPerStrobe = value.toInt(&ok);
    return ok && out.wire.dotsPerStrobe >= 1 && out.wire.dotsPerStrobe <= 4096 ? QString()
                                                                               : QStringLiteral("takes 1 to 4096 dots");
}

QString readHeat(const QString &value, SimOptions &out)
{
    return inRange(value, 0.001, 1000, out.wire.heatMs) ? QString() : QStringLiteral("takes 0.001 to 1000 ms");
}

QString readFlow(const QString &value, SimOptions &out)
{
    out.wire.xonXoff = value == QLatin1String("xonxoff");
    return out.wire.xonXoff || value == QLatin1String("none") ? QString() : QStringLiteral("takes xonxoff or none");
}

QString readPlace(const QString &value, SimOptions &out)
{
    out.place = value;
    return value == QLatin1String("left") || value == QLatin1String("right") ? QString()
                                                                             : QStringLiteral("takes left or right");
}

QString readRender(const QString &value, SimOptions &out)
{
    out.renderIn = value;
    return {};
}

QString readOutput(const QString &value, SimOptions &out)
{
    out.renderOut = value;
    return {};
}

QString readLink(const QString &value, SimOptions &out)
{
    out.link = value;
    return value.isEmpty() ? QStringLiteral("takes a path") : QString();
}

QString readLanguage(const QString &value, SimOptions &)
{
    return value == QLatin1String("en") || value == QLatin1String("zh_CN") ? QString()
                                                                           : QStringLiteral("takes en or zh_CN");
}

// Switches: set a flag.
using Flag = bool SimOptions::*;

struct OptionRow
{
    QStringList names;
    const char *valueName; // a switch without one
    Reader read;
    Flag flag;
    const char *description; // in English; --help translates it
};

// clang-format off
const OptionRow rows[] = {
    {{"render"}, "IN.bin", readRender, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Render a captured stream instead of serving; - reads standard input.")},
    {{"o", "output"}, "OUT.png", readOutput, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "PNG to write with --render.")},
    {{"split"}, nullptr, nullptr, &SimOptions::split,
        QT_TRANSLATE_NOOP("SimOptions", "With --render: one PNG a cut, OUT-001.png, OUT-002.png, ... beside OUT.png.")},
    {{"head-type"}, "N", readHeadType, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Print head type 0-7 (default 0).")},
    {{"link"}, "PATH", readLink, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Also make PATH a symlink to the pseudo-terminal (never replacing anything but such a link); removed at exit.")},
    {{"tcp"}, "[ADDRESS:]PORT", readTcp, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Also serve raw TCP on [ADDRESS:]PORT (127.0.0.1 unless an address is given), one client at a time; the others wait their turn.")},
    {{"tcp-idle"}, "S", readTcpIdle, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Drop a TCP client silent for S seconds while another waits (default 5; 0 never).")},
    {{"no-pty"}, nullptr, nullptr, &SimOptions::noPty,
        QT_TRANSLATE_NOOP("SimOptions", "Serve TCP only, without a pseudo-terminal.")},
    {{"log"}, nullptr, nullptr, &SimOptions::log,
        QT_TRANSLATE_NOOP("SimOptions", "Print the decoded commands, one per line, each once it is complete.")},
    {{"paper-out"}, nullptr, nullptr, &SimOptions::paperOut,
        QT_TRANSLATE_NOOP("SimOptions", "Start with the paper out, as if Paper Out had been pressed.")},
    {{"no-window"}, nullptr, nullptr, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Serve without showing a window.")},
    {{"baud"}, "N", readBaud, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Pace reading to N bit/s with 8N1 (default: no pacing).")},
    {{"buffer"}, "BYTES", readBuffer, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Receive buffer in bytes (default 4096).")},
    {{"speed"}, "MM_PER_S", readSpeed, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "The motor's top speed in mm/s (default 80, a dot row each 1.56 ms), or max for as fast as possible.")},
    {{"timing"}, "MODEL", readTiming, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "head (default): a dot row takes the longer of the motor's step and its strobes, one for each --strobe-dots black dots, --heat-ms each; flat: every row the motor's step.")},
    {{"strobe-dots"}, "N", readStrobeDots, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Dots the head heats at once (default 64).")},
    {{"heat-ms"}, "MS", readHeat, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Heating time of one strobe in ms (default half the motor's step, 0.78 at 80 mm/s).")},
    {{"flow"}, "MODE", readFlow, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "xonxoff (default) or none.")},
    {{"place"}, "SIDE", readPlace, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Put the window on the left or right half of the screen.")},
    {{"lang"}, "NAME", readLanguage, nullptr,
        QT_TRANSLATE_NOOP("SimOptions", "Language of the window and of this help: en or zh_CN (default: the system's).")},
    {{"tool-set-up"}, nullptr, nullptr, &SimOptions::toolSetUp,
        QT_TRANSLATE_NOOP("SimOptions", "Printer Ruvela is started set up for the line (as run.sh does): say so, not how to.")},
};
// clang-format on

SimOptions usage(SimOptions out, const QString &why)
{
    out.exitCode = 2;
    out.output = QStringLiteral("zpc3x-sim: %1\n").arg(why);
    return out;
}

} // namespace

SimOptions parseSimOptions(const QStringList &arguments)
{
    SimOptions out;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("SimOptions", "Virtual ZPC3x thermal printer controller."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> options;
    for (const OptionRow &row : rows) {
        options << (row.valueName
                ? QCommandLineOption(row.names, QCoreApplication::translate("SimOptions", row.description),
                    QString::fromLatin1(row.valueName))
                : QCommandLineOption(row.names, QCoreApplication::translate("SimOptions", row.description)));
        parser.addOption(options.last());
    }
    if (!parser.parse(arguments))
        return usage(out, parser.errorText());
    if (parser.isSet(help)) {
        out.exitCode = 0;
        out.output = parser.helpText();
        const qsizetype end = out.output.indexOf(QLatin1Char('\n'));
        out.output.replace(0, end,
            QCoreApplication::translate("SimOptions", "Usage: zpc3x-sim [options]")); // not the name it was started by
        out.output = language::fitColumns(out.output);
        return out;
    }
    if (parser.isSet(version)) {
        out.exitCode = 0;
        out.output = QStringLiteral("zpc3x-sim 1.0\n");
        return out;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(out, QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    for (qsizetype i = 0; i < options.size(); ++i) {
        const OptionRow &row = rows[i];
        if (!parser.isSet(options.at(i)))
            continue;
        if (row.flag)
            out.*row.flag = true;
        if (!row.read)
            continue;
        const QStringList values = parser.values(options.at(i));
        const QString name = QStringLiteral("--%1").arg(row.names.last());
        if (values.size() > 1)
            return usage(out, QStringLiteral("%1 given %2 times; once is enough").arg(name).arg(values.size()));
        const QString why = row.read(values.first(), out);
        if (!why.isEmpty())
            return usage(out, QStringLiteral("%1 %2: %3").arg(name, values.first(), why));
    }
    const bool render = parser.isSet(QStringLiteral("render"));
    if (out.split && !render)
        return usage(out, QStringLiteral("--split goes with --render"));
    if (parser.isSet(QStringLiteral("output")) && !render)
        return usage(out, QStringLiteral("-o goes with --render"));
    if (render && out.renderOut.isEmpty())
        return usage(out, QStringLiteral("--render needs -o OUT.png"));
    if (out.noPty && out.tcp.isEmpty())
        return usage(out, QStringLiteral("--no-pty needs --tcp"));
    out.window = !render && !parser.isSet(QStringLiteral("no-window"));
    return out;
}

} // namespace sim
