// Serial → Monitor a Host Application…: the tool between a host application and the controller.
// While it monitors, the tool adds nothing of its own to the line.
#include "app/MainWindow.h"

#include "app/MonitorDialog.h"
#include "language/Language.h"
#include "monitor/HostEnds.h"
#include "monitor/Monitor.h"
#include "pty/PtyEndpoint.h"
#include "serial/SerialLink.h"
#include "tool/MacroBook.h"
#include "tool/TrafficRecorder.h"
#include "traffic/TrafficLog.h"
#include "ui_MainWindow.h"

#include <QAbstractButton>

#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

namespace {
const char *const monitoringWhy
    = QT_TRANSLATE_NOOP("MainWindow", "Monitoring a host application: the tool sends nothing of its own");
}

void MainWindow::setUpMonitor()
{
    monitorAction = new QAction(tr("Monitor a Host Application…"), this);
    monitorAction->setObjectName(QStringLiteral("actionMonitor"));
    ui->menuCalls->insertAction(ui->actionQuit, monitorAction);
    ui->menuCalls->insertSeparator(ui->actionQuit);
    connect(monitorAction, &QAction::triggered, this, [this] {
        if (!monitorDialog) {
            monitorDialog = new MonitorDialog(this);
            connect(monitorDialog, &MonitorDialog::startAsked, this, &MainWindow::startMonitor);
            connect(monitorDialog, &MonitorDialog::stopAsked, this, &MainWindow::stopMonitor);
        }
        monitorDialog->show();
        monitorDialog->raise();
    });
    monitor = new Monitor(*serialLink, this);
    connect(monitor, &Monitor::stopped, this, [this] { showMonitoring(false); });
    // Closing the line ends what stands on it.
    connect(serialLink, &SerialLink::openChanged, this, [this](bool open) {
        if (!open && monitor->isRunning())
            stopMonitor();
    });
}

void MainWindow::startMonitor()
{
    if (!connectedOrTell())
        return;
    const QString link = monitorDialog->linkPath(), tcp = monitorDialog->tcpPort();
    if (link.isEmpty() && tcp.isEmpty()) {
        QMessageBox::warning(monitorDialog, tr("Monitor"), tr("Give a link for the host, a TCP port, or both."));
        return;
    }
    startTraffic();
    connect(monitor, &Monitor::note, trafficRecorder, &TrafficRecorder::note, Qt::UniqueConnection);
    QString why;
    if (!link.isEmpty())
        why = monitor->offerPty(link, lineBaud);
    if (why.isEmpty() && !tcp.isEmpty())
        why = monitor->offerTcp(tcp);
    if (!why.isEmpty()) {
        monitor->stop();
        QMessageBox::warning(monitorDialog, tr("Monitor"),
            tr("Cannot monitor: %1")
                .arg(language::shown("HostEnds", language::shown("PtyEndpoint", why, sim::PtyEndpoint::reasonSources()),
                    TcpHost::reasonSources())));
        return;
    }
    showMonitoring(true);
}

void MainWindow::stopMonitor()
{
    monitor->stop();
    showMonitoring(false);
}

void MainWindow::showMonitoring(bool on)
{
    if (on == monitoring)
        return;
    monitoring = on;
    trafficLog->setRelaying(on);
    const QString why = on ? tr(monitoringWhy) : QString();
    if (on) {
        macroBook->stop();
        statusPoll->stop();
        lineStatus = statusLabel->text();
        showStatus(tr("Monitoring: %1 ↔ %2").arg(monitor->hostNames(), serialLink->portPath()));
        // An event row, written as the other events are: in lower case, as the run without a window writes it.
        trafficRecorder->note(tr("monitoring: %1 ↔ %2").arg(monitor->hostNames(), serialLink->portPath()));
    } else {
        if (serialLink->isOpen())
            showStatus(lineStatus);
        if (trafficRecorder)
            trafficRecorder->note(tr("monitoring stopped"));
    }
    // Everything that would send on the tool's own behalf waits, and says why.
    QList<QWidget *> greyed{ui->mainTabsRuvela, ui->lineEditSend, ui->comboBoxSendMode, ui->pushButtonSend};
    if (QDockWidget *pane = findChild<QDockWidget *>(QStringLiteral("macrosDock")))
        greyed << pane->widget();
    greyed << findChild<QWidget *>(QStringLiteral("trafficPoll"))
           << findChild<QWidget *>(QStringLiteral("trafficPollSeconds"));
    // Each greyed control, the job buttons inside the tabs too, says why, and gets its own
    // tooltip back afterwards.
    const auto sayWhy = [on, &why](QObject *control) {
        const char *own = "ownToolTip";
        if (on && !control->property(own).isValid())
            control->setProperty(own, control->property("toolTip"));
        control->setProperty("toolTip", on ? QVariant(why) : control->property(own));
        if (!on)
            control->setProperty(own, QVariant());
    };
    QList<QObject *> told;
    for (QWidget *w : greyed) {
        if (!w)
            continue;
        w->setEnabled(!on);
        told << w;
    }
    for (QAbstractButton *button : ui->mainTabsRuvela->findChildren<QAbstractButton *>())
        told << button;
    for (QAction *action : {ui->actionSendFile, replayAction, identifyAction}) {
        action->setEnabled(!on);
        told << action;
    }
    for (QObject *control : told)
        sayWhy(control);
    if (monitorDialog)
        monitorDialog->showRunning(on,
            on ? tr("Monitoring: %1 ↔ %2").arg(monitor->hostNames(), serialLink->portPath()) : tr("Not monitoring"));
}
