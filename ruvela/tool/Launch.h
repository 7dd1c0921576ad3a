#pragma once

#include "serial/Settings.h"

#include <QString>
#include <QStringList>

// What the command line asks for: line parameters that preset the settings dialog, whether to
// connect at once, or something to print and an exit code, before any window opens.
struct Launch
{
    int exitCode = -1; // 0 or more: print `output` (to stdout for 0, else stderr) and exit
    QString output;
    SettingsChoice choice;
    bool connect = false;
    QString place; // "left" or "right": the half of the screen for the window
    QStringList panes; // of paneNames(), shown at start
    static QStringList paneNames()
    {
        return {QStringLiteral("traffic"), QStringLiteral("expected-paper"), QStringLiteral("macros")};
    }
    // A run without a window: send the named button's job, or a file ("-" for standard
    // input), then keep reading answers for repliesMs; or stand between a host and the
    // controller until stopped.
    bool headless = false;
    QString job; // a name of buttons::jobNames()
    QString sendFile;
    int repliesMs = 0;
    int stallTimeoutS = 30; // a run whose bytes do not move for this long ends; 0 waits for ever
    QString trafficFile; // where the decoded exchange goes; a new file, never one that exists
    QString captureFile; // where every byte both ways goes as pcapng; a new file too
    // A run without a window that asks the controller what it is, and prints the card.
    bool identify = false, json = false;
    // A run without a window between a host application and the controller on the port: the
    // host's pseudo-terminal link and its TCP port, either or both.
    QString monitorLink, monitorTcp;
    double monitorIdleS = 5; // a TCP client silent this long is closed; 0 never
    // A run without a window that plays a recorded capture's host bytes back down the port, at
    // their recorded gaps divided by replaySpeed (0: no gaps), and checks the answers.
    QString replayFile;
    double replaySpeed = 1;
    static constexpr int replayAnswersMs = 700; // the answers read after the last byte, unless --replies says
    // Two recordings compared, with no controller: their commands, papers and answers.
    QStringList compareFiles;
    QString diffPng; // where the two papers go side by side; a new file
    bool monitoring() const { return !monitorLink.isEmpty() || !monitorTcp.isEmpty(); }
};

// arguments as QCoreApplication::arguments() has them, the program first.
Launch parseLaunch(const QStringList &arguments);
