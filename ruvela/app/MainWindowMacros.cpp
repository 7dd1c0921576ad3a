// The Macros dock and its View menu, and the controller's status in words in the status bar.
#include "app/MainWindow.h"

#include "commands/Protocol.h"
#include "language/Language.h"
#include "serial/SerialLink.h"
#include "tool/MacroBook.h"
#include "ui_MainWindow.h"

#include <QLabel>
#include <QMessageBox>

#include <memory>

void MainWindow::setUpMacros()
{
    macroBook = new MacroBook(this); // its dock is made when first shown
    // Where the last run's bytes end in the stream: a repeat waits until they have left the port
    // rather than piling runs up behind a held line.
    auto lastRunEnd = std::make_shared<qint64>(0);
    connect(macroBook, &MacroBook::runs, this, [this, lastRunEnd](const Macro &macro) {
        runMacro(macro);
        *lastRunEnd = serialLink->sentTotal() + serialLink->queued();
    });
    macroBook->setPreviousRunGone([this, lastRunEnd] {
        // Bytes dropped by Cancel never go out: the run then ends where what is handed over ends.
        *lastRunEnd = qMin(*lastRunEnd, serialLink->sentTotal() + serialLink->queued());
        return serialLink->sentTotal() >= *lastRunEnd;
    });
    // A repeat ends with the line, rather than asking to connect at its next run.
    connect(serialLink, &SerialLink::openChanged, macroBook, [this](bool open) {
        if (!open)
            macroBook->stop();
    });

    controllerLabel = new QLabel;
    controllerLabel->setObjectName(QStringLiteral("controllerStatusLabel"));
    ui->statusBar->addWidget(controllerLabel);
    connect(serialLink, &SerialLink::statusAnswered, this, &MainWindow::showControllerStatus);
    // An answer from an earlier connection says nothing of the line now.
    connect(serialLink, &SerialLink::openChanged, controllerLabel, &QLabel::clear);
}

void MainWindow::runMacro(const Macro &macro)
{
    if (monitoring) { // the host's bytes only
        macroBook->stop();
        return;
    }
    if (!serialLink->isOpen()) {
        macroBook->stop(); // before the box, whose event loop would let the repeat run on
        connectedOrTell();
        return;
    }
    const SendLine line = parseSendLine(macro.text, macro.mode);
    if (line.errorAt >= 0) { // the book admits no such macro; kept as a guard
        macroBook->stop();
        QMessageBox::warning(this, tr("Macros"), tr("Nothing was sent: %1.").arg(line.error));
        return;
    }
    writeBytes(line.bytes);
}

void MainWindow::showControllerStatus(quint8 status, proto::StatusKind kind)
{
    controllerLabel->setText(tr("Controller: %1").arg(language::statusWords(status, kind)));
}
