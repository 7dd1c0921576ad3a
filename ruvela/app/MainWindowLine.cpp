// The console's hex view, the send line, sending a file, saving what was sent, and the progress
// of long writes, with Cancel.
#include "app/MainWindow.h"
#include "paperview/WindowPlace.h"

#include "app/SendHistory.h"
#include "files/WholeFile.h"
#include "language/Language.h"
#include "serial/ConsoleLines.h"
#include "serial/SerialLink.h"
#include "tool/SendLine.h"
#include "ui_MainWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

namespace {

// One hex line of the view: the offset of its first byte, then up to sixteen bytes.
constexpr int hexPerLine = 16;
QString hexOffset(qint64 offset) { return QStringLiteral("%1 ").arg(offset, 8, 16, QLatin1Char('0')); }

// Seconds a number of bytes takes on the line: a start bit, eight data bits and a stop bit.
double wireSeconds(qint64 bytes, qint32 baud) { return baud > 0 ? double(bytes) * 10.0 / baud : 0; }

} // namespace

void MainWindow::setUpLine()
{
    // The send row stands in a toolbar of its own beside the form's, so that the form keeps all
    // the room it was laid out for at the window's first size.
    auto *bar = new QToolBar(tr("Send"), this);
    bar->setObjectName(QStringLiteral("sendToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->addWidget(ui->sendRow);
    addToolBar(Qt::TopToolBarArea, bar);
    connect(ui->comboBoxSendMode, &QComboBox::currentIndexChanged, this, [this](int mode) {
        ui->lineEditSend->setPlaceholderText(
            mode == 0 ? tr("Bytes to send: 1B 40 0A") : tr("Text to send, with C escapes: Hello\\n, \\x1B@"));
    });

    sendHistory = new SendHistory(ui->lineEditSend);
    connect(ui->lineEditSend, &QLineEdit::returnPressed, this, &MainWindow::on_pushButtonSend_released);
    connect(ui->checkBoxHex, &QCheckBox::toggled, this, &MainWindow::reshowReplies);
    connect(serialLink, &SerialLink::bytesReceived, this, &MainWindow::showBytes);
    connect(ui->actionSendFile, &QAction::triggered, this, &MainWindow::sendFile);
    connect(serialLink, &SerialLink::progressed, this, &MainWindow::checkFileSent);
    connect(serialLink, &SerialLink::openChanged, this, [this](bool open) {
        if (!open)
            fileSending.clear(); // a closed or lost line says so itself
    });
    connect(ui->actionSaveSent, &QAction::triggered, this, &MainWindow::saveSent);
    connect(serialLink, &SerialLink::sendStopped, this, &MainWindow::showSendStopped);

    connect(serialLink, &SerialLink::progressed, this, &MainWindow::showProgress);
    // The time left and a stalled line show even while no byte moves.
    progressTimer = new QTimer(this);
    progressTimer->setInterval(500);
    connect(progressTimer, &QTimer::timeout, this, &MainWindow::showProgress);
}

QList<QWidget *> MainWindow::progressWidgets()
{
    // Made with the first long write: most runs never need them, and laying them out costs the
    // start-up. They take the send line's place while they show.
    if (!progressBar) {
        progressLabel = new QLabel;
        progressBar = new QProgressBar;
        cancelButton = new QPushButton(tr("Cancel"));
        progressLabel->setObjectName(QStringLiteral("progressLabel"));
        progressBar->setObjectName(QStringLiteral("progressBar"));
        cancelButton->setObjectName(QStringLiteral("cancelButton"));
        progressLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        progressLabel->setMinimumWidth(1); // a long text is cut, never the Cancel beside it
        progressBar->setMaximumWidth(160);
        progressBar->setTextVisible(false);
        for (QWidget *w : QList<QWidget *>{progressLabel, progressBar, cancelButton})
            ui->sendLayout->insertWidget(ui->sendLayout->indexOf(ui->checkBoxHex), w);
        connect(cancelButton, &QPushButton::clicked, this, &MainWindow::cancelWrite);
    }
    return {progressLabel, progressBar, cancelButton};
}

void MainWindow::on_pushButtonSend_released()
{
    const QString text = ui->lineEditSend->text();
    if (text.trimmed().isEmpty())
        return; // nothing typed: nothing to send, nothing to say
    if (!connectedOrTell())
        return;
    const auto mode = ui->comboBoxSendMode->currentIndex() == 0 ? SendMode::Hex : SendMode::Text;
    const SendLine line = parseSendLine(text, mode);
    if (line.errorAt >= 0) {
        ui->lineEditSend->setFocus();
        ui->lineEditSend->setSelection(line.errorAt, 1);
        QMessageBox::warning(
            this, tr("Send"), tr("Nothing was sent: %1 (at position %2).").arg(line.error).arg(line.errorAt + 1));
        return;
    }
    writeBytes(line.bytes);
    sendHistory->add(text);
    ui->lineEditSend->clear();
}

void MainWindow::showBytes(qint64 offset, const QByteArray &bytes)
{
    if (!ui->checkBoxHex->isChecked())
        return;
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qint64 at = offset + i;
        if (at % hexPerLine == 0)
            text += (at > 0 || !ui->editRuvela->toPlainText().isEmpty() ? QStringLiteral("\n") : QString())
                + hexOffset(at);
        text += QStringLiteral(" %1").arg(quint8(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    }
    ui->editRuvela->moveCursor(QTextCursor::End);
    ui->editRuvela->insertPlainText(text);
}

void MainWindow::reshowReplies()
{
    // What was received since connecting, kept as far back as the console keeps it.
    ui->editRuvela->clear();
    const QByteArray &kept = serialLink->received();
    if (ui->checkBoxHex->isChecked()) {
        const qint64 first = serialLink->receivedOffset();
        const qint64 lineStart = first + (hexPerLine - first % hexPerLine) % hexPerLine;
        showBytes(lineStart, kept.mid(lineStart - first));
    } else {
        ui->editRuvela->insertPlainText(console::breakLongLines(QString::fromUtf8(kept), 0));
    }
}

void MainWindow::sendFile()
{
    if (!connectedOrTell())
        return;
    const QString name = QFileDialog::getOpenFileName(this, tr("Send File"), dialogStart());
    dialogChosen(name);
    if (name.isEmpty())
        return;
    QString why;
    if (!QFileInfo(name).isFile())
        why = tr("not a regular file");
    if (!why.isEmpty() || !serialLink->sendFile(name, why)) {
        QMessageBox::warning(this, tr("Send File"),
            tr("Cannot send %1: %2")
                .arg(QDir::toNativeSeparators(name), language::shown("SerialLink", why, SerialLink::reasonSources())));
        return;
    }
    fileSending = name;
    fileSendingBytes = QFileInfo(name).size();
    ui->editRuvela->appendPlainText(
        tr("Sending %1 (%2 bytes)").arg(QDir::toNativeSeparators(name)).arg(fileSendingBytes));
}

void MainWindow::checkFileSent()
{
    // Said once the whole file has left the port.
    if (fileSending.isEmpty() || serialLink->queued() > 0 || serialLink->runDone() < serialLink->runTotal())
        return;
    const QString said = tr("Sent: %1 bytes of %2").arg(fileSendingBytes).arg(QDir::toNativeSeparators(fileSending));
    fileSending.clear();
    ui->editRuvela->appendPlainText(said);
    ui->statusBar->showMessage(said);
}

void MainWindow::showSendStopped(const QString &name, qint64 position, qint64 size, const QString &reason)
{
    fileSending.clear();
    noteLine(QStringLiteral("Stopped: %1 of %2 bytes sent").arg(position).arg(size));
    QMessageBox::warning(this, tr("Send File"),
        tr("Sending %1 stopped at byte %2 of %3: %4")
            .arg(QDir::toNativeSeparators(name))
            .arg(position)
            .arg(size)
            .arg(language::shown("SerialLink", reason, SerialLink::reasonSources())));
}

void MainWindow::saveSent()
{
    // What left the port, not what was handed to it: bytes still queued may never go out.
    const QByteArray sent = serialLink->sent();
    const qint64 queued = serialLink->queued();
    if (sent.isEmpty() && queued == 0) {
        QMessageBox::information(this, tr("Save Sent Bytes"), tr("Nothing has been sent since the last connect."));
        return;
    }
    QString caption = serialLink->sentTotal() > sent.size()
        ? tr("Save Sent Bytes: only the first %1 MiB of %2 bytes sent were kept")
              .arg(SerialLink::maxSentKept >> 20)
              .arg(serialLink->sentTotal())
        : tr("Save Sent Bytes (%1 bytes)").arg(sent.size());
    if (queued > 0)
        caption += tr("; %1 bytes queued but not sent yet are left out").arg(queued);
    const QString name = QFileDialog::getSaveFileName(this, caption, dialogStart(QStringLiteral("sent.bin")));
    dialogChosen(name);
    if (name.isEmpty())
        return;
    const QString failure = writeWholeFile(name, sent);
    if (!failure.isEmpty())
        QMessageBox::warning(
            this, tr("Save Sent Bytes"), tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(name), failure));
}

void MainWindow::showProgress()
{
    const qint64 done = serialLink->runDone(), total = serialLink->runTotal();
    // Only writes that take the line more than about a second show a bar.
    const bool shown = total > done && wireSeconds(total, lineBaud) > 1.0;
    const QList<QWidget *> sendWidgets{ui->lineEditSend, ui->comboBoxSendMode, ui->pushButtonSend};
    if (!shown) {
        progressTimer->stop();
        if (progressBar) {
            for (QWidget *w : progressWidgets())
                w->hide();
            for (QWidget *w : sendWidgets)
                w->show();
        }
        return;
    }
    for (QWidget *w : sendWidgets)
        w->hide();
    for (QWidget *w : progressWidgets())
        w->show();
    if (!progressTimer->isActive())
        progressTimer->start();
    progressBar->setRange(0, 1000);
    progressBar->setValue(int(1000 * done / total));
    progressLabel->setText(serialLink->msSinceMoved() >= 2000
            ? tr("Waiting for the controller: %1 of %2 bytes sent").arg(done).arg(total)
            : tr("%1 of %2 bytes, %3 s left").arg(done).arg(total).arg(int(wireSeconds(total - done, lineBaud) + 0.5)));
}

void MainWindow::cancelWrite()
{
    fileSending.clear(); // cancelled is not sent
    const auto [done, total] = serialLink->cancel();
    noteLine(QStringLiteral("Cancelled: %1 of %2 bytes sent").arg(done).arg(total));
}
