#pragma once

#include "simulator/WireModel.h"

#include <QString>
#include <QStringList>

namespace sim {

// What zpc3x-sim's command line asks for, read from one table of options before any window or
// display: serve (with or without a window), render a captured stream, or print and exit.
struct SimOptions
{
    int exitCode = -1; // 0 or more: print `output` (to stdout for 0, else stderr) and exit
    QString output;

    bool window = true;
    QString renderIn, renderOut; // --render and -o
    bool split = false;
    bool log = false;
    int headType = 0;
    QString link, tcp, place;
    double tcpIdle = 5;
    bool noPty = false, toolSetUp = false;
    bool paperOut = false; // as if Paper Out had been pressed before the first byte
    WireSettings wire;
};

// arguments as QCoreApplication::arguments() has them, the program first. Every usage error
// gives exit code 2 and names the option and what it was given.
SimOptions parseSimOptions(const QStringList &arguments);

} // namespace sim
