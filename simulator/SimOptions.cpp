#include "simulator/SimOptions.h"

#include <QCommandLineParser>
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
    // [ADDRESS:]PORT, checked here; whether it can be listened on is found out when serving.
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint port = value.mid(colon + 1).toUInt(&ok);
    QHostAddress address;
    if (!ok || port > 65535 || (colon >= 0 && !address.setAddress(value.left(colon))))
        return QStringLiteral("is not [ADDRESS:]PORT, a port of 0 to 65535 on an IP address");
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

// Switches: set a flag.
using Flag = bool SimOptions::*;

struct OptionRow
{
    QStringList names;
    const char *description;
    const char *valueName = nullptr; // a switch without one
    Reader read = nullptr;
    Flag flag = nullptr;
};

// clang-format off
const OptionRow rows[] = {
    {{"render"}, "Render a captured stream instead of serving; - reads standard input.", "IN.bin", readRender},
    {{"o", "output"}, "PNG to write with --render.", "OUT.png", readOutput},
    {{"split"}, "With --render: one PNG a cut, OUT-001.png, OUT-002.png, ... beside OUT.png.", nullptr, nullptr,
        &SimOptions::split},
    {{"head-type"}, "Print head type 0-7 (default 0).", "N", readHeadType},
    {{"link"}, "Also make PATH a symlink to the pseudo-terminal (never replacing anything but such a link); "
        "removed at exit.", "PATH", readLink},
    {{"tcp"}, "Also serve raw TCP on [ADDRESS:]PORT (127.0.0.1 unless an address is given), one client at a time; "
        "the others wait their turn.", "[ADDRESS:]PORT", readTcp},
    {{"tcp-idle"}, "Drop a TCP client silent for S seconds while another waits (default 5; 0 never).", "S",
        readTcpIdle},
    {{"no-pty"}, "Serve TCP only, without a pseudo-terminal.", nullptr, nullptr, &SimOptions::noPty},
    {{"log"}, "Print the decoded commands, one per line, each once it is complete.", nullptr, nullptr,
        &SimOptions::log},
    {{"no-window"}, "Serve without showing a window.", nullptr, nullptr, nullptr},
    {{"baud"}, "Pace reading to N bit/s with 8N1 (default: no pacing).", "N", readBaud},
    {{"buffer"}, "Receive buffer in bytes (default 4096).", "BYTES", readBuffer},
    {{"speed"}, "Printing speed in mm/s (default 80), or max for as fast as possible.", "MM_PER_S", readSpeed},
    {{"flow"}, "xonxoff (default) or none.", "MODE", readFlow},
    {{"place"}, "Put the window on the left or right half of the screen.", "SIDE", readPlace},
    {{"tool-set-up"}, "Printer Ruvela is started set up for the line (as run.sh does): say so, not how to.", nullptr,
        nullptr, &SimOptions::toolSetUp},
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
    parser.setApplicationDescription(QStringLiteral("Virtual ZPC3x thermal printer controller."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> options;
    for (const OptionRow &row : rows) {
        options << (row.valueName
                ? QCommandLineOption(row.names, QString::fromUtf8(row.description), QString::fromLatin1(row.valueName))
                : QCommandLineOption(row.names, QString::fromUtf8(row.description)));
        parser.addOption(options.last());
    }
    if (!parser.parse(arguments))
        return usage(out, parser.errorText());
    if (parser.isSet(help)) {
        out.exitCode = 0;
        out.output = parser.helpText();
        const qsizetype end = out.output.indexOf(QLatin1Char('\n'));
        out.output.replace(0, end, QStringLiteral("Usage: zpc3x-sim [options]")); // not the name it was started by
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
