// The traffic log, the recorder that feeds it and the expected controller, and the status polling.
#include "app/MainWindow.h"

#include "serial/SerialLink.h"
#include "tool/TrafficRecorder.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"
#include "ui_MainWindow.h"

#include <QTimer>

void MainWindow::setUpTraffic()
{
    // Only the log now: the expected controller and the panes cost the start-up.
    trafficLog = new TrafficLog(this);
    // Polling stays off unless asked for, so that the line carries only what the user sends.
    statusPoll = new QTimer(this);
    connect(statusPoll, &QTimer::timeout, this, &MainWindow::pollStatus);
}

void MainWindow::startTraffic()
{
    if (trafficRecorder)
        return;
    expectedPrinter = std::make_unique<ExpectedPrinter>();
    trafficRecorder = new TrafficRecorder(*serialLink, *expectedPrinter, *trafficLog, this);
}

void MainWindow::pollStatus()
{
    // Never behind a job still going out: the answer would come long after it was asked for,
    // and the queries would pile up behind a held line.
    if (monitoring || !serialLink->isOpen() || serialLink->queued() > 0
        || serialLink->runDone() < serialLink->runTotal())
        return;
    serialLink->queryStatus();
}
