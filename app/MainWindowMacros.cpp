// The Macros dock and its View menu, and the controller's status in words in the status bar.
#include "app/MainWindow.h"

#include "app/MacroBook.h"
#include "commands/Protocol.h"
#include "serial/SerialLink.h"
#include "ui_MainWindow.h"

#include <QLabel>
#include <QMessageBox>

void MainWindow::setUpMacros()
{
    macroBook = new MacroBook(this); // its dock is made when first shown
    connect(macroBook, &MacroBook::runs, this, &MainWindow::runMacro);
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

void MainWindow::showControllerStatus(quint8 status)
{
    controllerLabel->setText(tr("Controller: %1").arg(proto::describeStatus(status)));
}
