// The panes beside and under the tabs, made when first shown, with the room the window makes for
// them and gives back; and the tab pages, which flow and scroll down when the panes leave them
// less room than they were laid out in.
#include "app/MainWindow.h"

#include "app/ExpectedPaperDock.h"
#include "app/FlowPage.h"
#include "app/MacrosDock.h"
#include "app/TrafficDock.h"
#include "serial/SerialLink.h"
#include "tool/TrafficRecorder.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"
#include "ui_MainWindow.h"

#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

void MainWindow::letTabsScroll()
{
    // Each page's widgets stand at fixed places. Narrower than they were laid out in, they flow
    // into fewer columns and the page grows down, where it scrolls.
    QTabWidget *tabs = ui->mainTabsRuvela;
    if (qobject_cast<QScrollArea *>(tabs->widget(0)))
        return; // once
    const int current = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
        QWidget *page = tabs->widget(i);
        const QString title = tabs->tabText(i);
        auto *scroller = new QScrollArea;
        scroller->setObjectName(page->objectName() + QStringLiteral("Scroll"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setWidgetResizable(true);
        tabs->removeTab(i);
        scroller->setWidget(new FlowPage(page));
        tabs->insertTab(i, scroller, title);
    }
    tabs->setCurrentIndex(current);
}

void MainWindow::setUpPanes()
{
    auto *view = new QMenu(tr("View"), ui->menuBar);
    view->setObjectName(QStringLiteral("menuView"));
    ui->menuBar->insertMenu(ui->menuHelp->menuAction(), view);
    auto addPane = [this, view](const QString &title, const QString &name, QDockWidget *(MainWindow::*pane)()) {
        QAction *action = view->addAction(title);
        action->setObjectName(name);
        action->setCheckable(true);
        connect(action, &QAction::toggled, this, [this, pane](bool on) { (this->*pane)()->setVisible(on); });
        return action;
    };
    macrosAction = addPane(tr("Macros"), QStringLiteral("actionMacros"), &MainWindow::macrosPane);
    trafficAction = addPane(tr("Traffic"), QStringLiteral("actionTraffic"), &MainWindow::trafficPane);
    expectedAction = addPane(tr("Expected Paper"), QStringLiteral("actionExpectedPaper"), &MainWindow::expectedPane);
}

void MainWindow::addPane(QDockWidget *dock, Qt::DockWidgetArea area, QAction *action)
{
    letTabsScroll(); // with the first pane: the window alone has all the room its pages need
    addDockWidget(area, dock);
    dock->hide();
    // The menu's tick follows the pane, also when its own close button hides it.
    connect(dock->toggleViewAction(), &QAction::toggled, action, [action](bool on) {
        const QSignalBlocker unsignalled(action);
        action->setChecked(on);
    });
    connect(dock, &QDockWidget::visibilityChanged, this, [this, dock] {
        // Once the layout has taken the change in.
        QMetaObject::invokeMethod(
            this, [this, dock] { dock->isHidden() ? giveRoomBack(dock) : makeRoomFor(dock); }, Qt::QueuedConnection);
    });
}

QDockWidget *MainWindow::macrosPane()
{
    if (!macrosDock) {
        macrosDock = new MacrosDock(macroBook, this);
        addPane(macrosDock, Qt::RightDockWidgetArea, macrosAction);
    }
    return macrosDock;
}

QDockWidget *MainWindow::trafficPane()
{
    if (!trafficDock) {
        startTraffic();
        trafficDock = new TrafficDock(trafficLog, this);
        addPane(trafficDock, Qt::BottomDockWidgetArea, trafficAction);
        connect(trafficDock, &TrafficDock::pollingChanged, this, [this](bool on, int seconds) {
            statusPoll->setInterval(seconds * 1000);
            if (on)
                statusPoll->start();
            else
                statusPoll->stop();
        });
        if (expectedPaperDock)
            connect(trafficDock, &TrafficDock::rowSelected, expectedPaperDock, &ExpectedPaperDock::showCommand);
    }
    return trafficDock;
}

QDockWidget *MainWindow::expectedPane()
{
    if (!expectedPaperDock) {
        startTraffic();
        expectedPaperDock = new ExpectedPaperDock(*expectedPrinter, this);
        addPane(expectedPaperDock, Qt::RightDockWidgetArea, expectedAction);
        connect(trafficRecorder, &TrafficRecorder::sentDecoded, expectedPaperDock, &ExpectedPaperDock::paperGrew);
        connect(trafficRecorder, &TrafficRecorder::restarted, expectedPaperDock, &ExpectedPaperDock::redraw);
        if (trafficDock)
            connect(trafficDock, &TrafficDock::rowSelected, expectedPaperDock, &ExpectedPaperDock::showCommand);
    }
    return expectedPaperDock;
}

void MainWindow::makeRoomFor(QDockWidget *dock)
{
    // The window grows by what the pane asks for, as far as its part of the screen allows, so
    // that the tabs and the console keep the room they were laid out for.
    if (dock->isHidden() || dock->isFloating() || isMaximized() || isFullScreen() || !screen()
        || roomGiven.contains(dock))
        return;
    const QRect free = placedRoom.isValid() ? placedRoom : screen()->availableGeometry();
    // Before the window system has framed the window (panes opened at start) its frame is not
    // known yet, or only as thin borders: room is kept for a title bar all the same, so that the
    // title bar never ends up above the screen.
    const QSize chrome = (frameGeometry().size() - size()).expandedTo(unknownFrame);
    const QSize hint = dock->sizeHint();
    const bool side = dockWidgetArea(dock) & (Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    QSize want = size();
    if (side)
        want.setWidth(qMin(
            qMax(want.width(), designedSize.width() + hint.width()), qMax(width(), free.width() - chrome.width())));
    else
        want.setHeight(qMin(qMax(want.height(), designedSize.height() + hint.height()),
            qMax(height(), free.height() - chrome.height())));
    roomGiven.insert(dock, want - size());
    if (want != size()) {
        resize(want);
        QRect frame = frameGeometry();
        frame.moveRight(qMin(frame.right(), free.right()));
        frame.moveBottom(qMin(frame.bottom(), free.bottom()));
        frame.moveLeft(qMax(frame.left(), free.left()));
        frame.moveTop(qMax(frame.top(), free.top()));
        move(frame.topLeft());
    }
    // Panes that share a side share its width: the widest any of them asks for.
    int room = side ? hint.width() : hint.height();
    for (QDockWidget *other : findChildren<QDockWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other != dock && !other->isHidden() && !other->isFloating()
            && dockWidgetArea(other) == dockWidgetArea(dock))
            room = qMax(room, side ? other->sizeHint().width() : 0);
    }
    resizeDocks({dock}, {room}, side ? Qt::Horizontal : Qt::Vertical);
}

void MainWindow::giveRoomBack(QDockWidget *dock)
{
    // What the window grew by for the pane, as far as the window still has it.
    const QSize grown = roomGiven.take(dock);
    if ((grown.width() <= 0 && grown.height() <= 0) || isMaximized() || isFullScreen())
        return;
    resize((size() - grown.expandedTo(QSize(0, 0))).expandedTo(minimumSize()));
}
