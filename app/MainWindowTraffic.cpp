// The Traffic and Expected Paper docks, the recorder that feeds them, and the status polling.
#include "app/MainWindow.h"

#include "app/ExpectedPaperDock.h"
#include "app/TrafficDock.h"
#include "app/TrafficRecorder.h"
#include "commands/Protocol.h"
#include "serial/SerialLink.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"
#include "ui_MainWindow.h"

#include <QMenu>
#include <QTimer>

void MainWindow::setUpTraffic()
{
    trafficLog = new TrafficLog(this);
    expectedPrinter = std::make_unique<ExpectedPrinter>();
    trafficRecorder = new TrafficRecorder(*serialLink, *expectedPrinter, *trafficLog, this);
    trafficDock = new TrafficDock(trafficLog, this);
    expectedPaperDock = new ExpectedPaperDock(*expectedPrinter, this);
    addDockWidget(Qt::BottomDockWidgetArea, trafficDock);
    addDockWidget(Qt::RightDockWidgetArea, expectedPaperDock);
    trafficDock->hide();
    expectedPaperDock->hide();
    auto *view = ui->menuBar->findChild<QMenu *>(QStringLiteral("menuView"));
    view->addAction(trafficDock->toggleViewAction());
    view->addAction(expectedPaperDock->toggleViewAction());

    connect(trafficRecorder, &TrafficRecorder::sentDecoded, expectedPaperDock, &ExpectedPaperDock::paperGrew);
    connect(trafficRecorder, &TrafficRecorder::restarted, expectedPaperDock, &ExpectedPaperDock::redraw);
    connect(trafficDock, &TrafficDock::rowSelected, expectedPaperDock, &ExpectedPaperDock::showCommand);

    // Polling stays off unless asked for, so that the line carries only what the user sends.
    statusPoll = new QTimer(this);
    connect(trafficDock, &TrafficDock::pollingChanged, this, [this](bool on, int seconds) {
        statusPoll->setInterval(seconds * 1000);
        if (on)
            statusPoll->start();
        else
            statusPoll->stop();
    });
    connect(statusPoll, &QTimer::timeout, this, &MainWindow::pollStatus);
}

void MainWindow::pollStatus()
{
    // Never behind a job still going out: the answer would come long after it was asked for,
    // and the queries would pile up behind a held line.
    if (!serialLink->isOpen() || serialLink->queued() > 0 || serialLink->runDone() < serialLink->runTotal())
        return;
    writeBytes(QByteArray().append(proto::DLE).append(proto::queryStatus));
}
