// Serial → Record Capture…: every byte both ways, with its time, to a pcapng file that packet
// analysers read, written as it goes. The status bar says while one runs.
#include "app/MainWindow.h"

#include "monitor/Monitor.h"
#include "tool/CaptureRecorder.h"
#include "tool/TrafficRecorder.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>

void MainWindow::setUpCapture()
{
    captureAction = new QAction(tr("Record Capture…"), this);
    captureAction->setObjectName(QStringLiteral("actionCapture"));
    captureAction->setCheckable(true);
    captureAction->setToolTip(tr("Record every byte both ways, with its time, to a new pcapng file"));
    ui->menuCalls->insertAction(monitorAction, captureAction);
    captureLabel = new QLabel;
    captureLabel->setObjectName(QStringLiteral("captureLabel"));
    captureLabel->hide();
    ui->statusBar->addPermanentWidget(captureLabel);
    captureRecorder = new CaptureRecorder(*serialLink, this);
    connect(monitor, &Monitor::note, captureRecorder, &CaptureRecorder::note);
    connect(captureRecorder, &CaptureRecorder::failed, this, [this](const QString &path, const QString &why) {
        // The line goes on; only the recording stops, and says so where it is seen.
        const QString said
            = tr("The capture stopped: %1 could not be written: %2").arg(QDir::toNativeSeparators(path), why);
        showCapturing(false);
        ui->statusBar->showMessage(said);
        if (trafficRecorder)
            trafficRecorder->note(QStringLiteral("the capture stopped being written to %1: %2").arg(path, why));
    });
    connect(captureAction, &QAction::triggered, this, [this](bool start) {
        if (!start) {
            captureRecorder->stop();
            if (captureRecorder->path().isEmpty() || !captureRecorder->isRecording())
                showCapturing(false);
            return;
        }
        captureAction->setChecked(false); // until a file is recording
        const QString folder = lastCaptureFolder.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            : lastCaptureFolder;
        const QString name = QFileDialog::getSaveFileName(this, tr("Record Capture"),
            QDir(folder).filePath(QStringLiteral("capture.pcapng")), tr("pcapng captures (*.pcapng)"));
        if (name.isEmpty())
            return;
        lastCaptureFolder = QFileInfo(name).absolutePath();
        if (const QString why = captureRecorder->start(name); !why.isEmpty()) {
            QMessageBox::warning(
                this, tr("Record Capture"), tr("Cannot record to %1: %2").arg(QDir::toNativeSeparators(name), why));
            return;
        }
        showCapturing(true);
    });
}

void MainWindow::showCapturing(bool on)
{
    captureAction->setChecked(on);
    captureAction->setText(on ? tr("Stop Recording the Capture") : tr("Record Capture…"));
    captureLabel->setText(on ? tr("Recording: %1").arg(QDir::toNativeSeparators(captureRecorder->path())) : QString());
    captureLabel->setVisible(on);
}
