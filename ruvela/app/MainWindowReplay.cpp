// Serial → Replay Capture… plays a recorded exchange down the connected line and holds the
// answers against the recorded ones; Serial → Open Capture… shows a recording in Traffic and
// Expected Paper without a controller.
#include "app/MainWindow.h"

#include "app/ExpectedPaperDock.h"
#include "serial/SerialLink.h"
#include "tool/CaptureLoader.h"
#include "tool/Replayer.h"
#include "tool/TrafficRecorder.h"
#include "traffic/QueryMatcher.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>

namespace {
const char *const captureFilter = QT_TRANSLATE_NOOP("MainWindow", "Captures (*.pcapng *.bin);;All files (*)");
}

QString MainWindow::askForCapture(const QString &title)
{
    const QString folder = lastCaptureFolder.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
        : lastCaptureFolder;
    const QString name = QFileDialog::getOpenFileName(this, title, folder, tr(captureFilter));
    if (!name.isEmpty())
        lastCaptureFolder = QFileInfo(name).absolutePath();
    return name;
}

void MainWindow::setUpReplay()
{
    replayAction = new QAction(tr("Replay Capture…"), this);
    replayAction->setObjectName(QStringLiteral("actionReplayCapture"));
    replayAction->setCheckable(true);
    replayAction->setToolTip(tr("Send the host's bytes of a capture down the line with their recorded gaps, and "
                                "check each answer against the recorded one"));
    openCaptureAction = new QAction(tr("Open Capture…"), this);
    openCaptureAction->setObjectName(QStringLiteral("actionOpenCapture"));
    openCaptureAction->setToolTip(tr("Show a capture in Traffic and Expected Paper, without a controller"));
    ui->menuCalls->insertAction(monitorAction, replayAction);
    ui->menuCalls->insertAction(monitorAction, openCaptureAction);
    connectOpenCapture();

    replayer = new Replayer(*serialLink, this);
    connect(replayAction, &QAction::triggered, this, [this](bool start) {
        if (!start) {
            replayer->stop();
            serialLink->cancel();
            showReplaying(false);
            ui->statusBar->showMessage(tr("Replay stopped"));
            return;
        }
        replayAction->setChecked(false); // until the replay runs
        if (!connectedOrTell())
            return;
        const QString name = askForCapture(tr("Replay Capture"));
        if (name.isEmpty())
            return;
        if (const QString why = replayer->load(name, 1.0); !why.isEmpty()) {
            QMessageBox::warning(
                this, tr("Replay Capture"), tr("Cannot replay %1: %2").arg(QDir::toNativeSeparators(name), why));
            return;
        }
        replayName = QFileInfo(name).fileName();
        showReplaying(true);
        replayer->play();
    });
    connect(replayer, &Replayer::progressed, this, [this] {
        if (replayer->isRunning() && replayer->size() > 0)
            ui->statusBar->showMessage(
                tr("Replaying %1: %2%").arg(replayName).arg(100 * replayer->position() / replayer->size()));
    });
    connect(replayer, &Replayer::failed, this, [this](const QString &why) {
        showReplaying(false);
        ui->statusBar->showMessage(tr("The replay stopped: %1").arg(why));
    });
    // The last answers come after the last byte: as long as a query waits for its own.
    connect(replayer, &Replayer::allSent, this,
        [this] { QTimer::singleShot(QueryMatcher::noAnswerMs + 200, this, &MainWindow::showReplayResult); });
    // A lost or closed line ends the replay.
    connect(serialLink, &SerialLink::openChanged, this, [this](bool open) {
        if (!open && replayer->isRunning()) {
            replayer->stop();
            showReplaying(false);
        }
        // A line that opens has Traffic and Expected Paper to itself.
        if (open && captureLoader)
            captureLoader->stop();
    });
}

void MainWindow::connectOpenCapture()
{
    connect(openCaptureAction, &QAction::triggered, this, [this] {
        if (serialLink->isOpen()) {
            QMessageBox::information(
                this, tr("Open Capture"), tr("Disconnect first: Traffic and Expected Paper show the connected line."));
            return;
        }
        const QString name = askForCapture(tr("Open Capture"));
        if (name.isEmpty())
            return;
        openCapture(name);
    });
}

void MainWindow::showReplayResult()
{
    showReplaying(false);
    if (!replayer->sentAll())
        return;
    serialLink->settleAnswers();
    const QStringList differences = replayer->differences();
    if (differences.isEmpty()) {
        ui->statusBar->showMessage(
            tr("Replayed %1: every answer as recorded (%2)").arg(replayName).arg(replayer->queriesRecorded()));
        return;
    }
    const QString said = tr("Replayed %1: answers not as recorded: %2").arg(replayName).arg(differences.size());
    ui->statusBar->showMessage(said);
    QMessageBox::warning(
        this, tr("Replay Capture"), said + QStringLiteral("\n\n") + differences.join(QLatin1Char('\n')));
}

void MainWindow::openCapture(const QString &path)
{
    trafficPane()->show();
    expectedPane()->show();
    if (!captureLoader) {
        captureLoader = new CaptureLoader(*expectedPrinter, *trafficLog, this);
        connect(captureLoader, &CaptureLoader::sentDecoded, expectedPaperDock, &ExpectedPaperDock::paperGrew);
        connect(captureLoader, &CaptureLoader::restarted, expectedPaperDock, &ExpectedPaperDock::redraw);
        connect(captureLoader, &CaptureLoader::progressed, this, [this] {
            if (captureLoader->size() > 0)
                captureProgress->setValue(int(1000 * captureLoader->position() / captureLoader->size()));
        });
        connect(captureLoader, &CaptureLoader::loaded, this, [this](const QString &failure) {
            captureProgress->hide();
            openCaptureAction->setEnabled(true);
            ui->statusBar->showMessage(failure.isEmpty()
                    ? tr("Opened %1").arg(openedCapture)
                    : tr("%1 was not read to its end: %2").arg(openedCapture, failure));
        });
        captureProgress = new QProgressBar;
        captureProgress->setObjectName(QStringLiteral("captureProgress"));
        captureProgress->setRange(0, 1000);
        captureProgress->setMaximumWidth(160);
        captureProgress->hide();
        ui->statusBar->addPermanentWidget(captureProgress);
    }
    if (const QString why = captureLoader->open(path); !why.isEmpty()) {
        QMessageBox::warning(
            this, tr("Open Capture"), tr("Cannot open %1: %2").arg(QDir::toNativeSeparators(path), why));
        return;
    }
    openedCapture = QFileInfo(path).fileName();
    openCaptureAction->setEnabled(false);
    captureProgress->setValue(0);
    captureProgress->show();
    ui->statusBar->showMessage(tr("Opening %1…").arg(openedCapture));
}

void MainWindow::showReplaying(bool on)
{
    replayAction->setChecked(on);
    replayAction->setText(on ? tr("Stop the Replay") : tr("Replay Capture…"));
    openCaptureAction->setEnabled(!on && !(captureLoader && captureLoader->isLoading()));
}
