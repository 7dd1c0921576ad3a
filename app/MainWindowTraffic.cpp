// The Traffic and Expected Paper docks, the recorder that feeds them, and the status polling.
#include "app/MainWindow.h"

#include "app/ExpectedPaperDock.h"
#include "app/MacrosDock.h"
#include "app/TrafficDock.h"
#include "app/TrafficRecorder.h"
#include "serial/SerialLink.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"
#include "ui_MainWindow.h"

#include <QMenu>
#include <QScreen>
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

    designedSize = size();
    for (QDockWidget *dock : std::initializer_list<QDockWidget *>{trafficDock, expectedPaperDock, macrosDock}) {
        connect(dock, &QDockWidget::visibilityChanged, this, [this, dock](bool visible) {
            if (visible) // once the layout has taken the dock in
                QMetaObject::invokeMethod(
                    this, [this, dock] { makeRoomFor(dock); }, Qt::QueuedConnection);
        });
    }

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

void MainWindow::makeRoomFor(QDockWidget *dock)
{
    // The window grows by what the pane asks for, as far as its part of the screen allows, so
    // that the tabs and the console keep the room they were laid out for.
    if (!dock->isVisible() || dock->isFloating() || isMaximized() || isFullScreen() || !screen())
        return;
    const QRect free = placedRoom.isValid() ? placedRoom : screen()->availableGeometry();
    const QSize chrome = frameGeometry().size() - size();
    const QSize hint = dock->sizeHint();
    const bool side = dockWidgetArea(dock) & (Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    QSize want = size();
    if (side)
        want.setWidth(qMin(
            qMax(want.width(), designedSize.width() + hint.width()), qMax(width(), free.width() - chrome.width())));
    else
        want.setHeight(qMin(qMax(want.height(), designedSize.height() + hint.height()),
            qMax(height(), free.height() - chrome.height())));
    if (want != size()) {
        resize(want);
        QRect frame = frameGeometry();
        frame.moveRight(qMin(frame.right(), free.right()));
        frame.moveBottom(qMin(frame.bottom(), free.bottom()));
        frame.moveLeft(qMax(frame.left(), free.left()));
        frame.moveTop(qMax(frame.top(), free.top()));
        move(frame.topLeft());
    }
    resizeDocks({dock}, {side ? hint.width() : hint.height()}, side ? Qt::Horizontal : Qt::Vertical);
}

void MainWindow::pollStatus()
{
    // Never behind a job still going out: the answer would come long after it was asked for,
    // and the queries would pile up behind a held line.
    if (!serialLink->isOpen() || serialLink->queued() > 0 || serialLink->runDone() < serialLink->runTotal())
        return;
    serialLink->queryStatus();
}
