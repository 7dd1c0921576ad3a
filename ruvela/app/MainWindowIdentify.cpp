// Controller → Identify: what is on the line, asked one query at a time and shown as a card.
#include "app/MainWindow.h"

#include "tool/Identify.h"
#include "ui_MainWindow.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

void MainWindow::setUpIdentify()
{
    auto *menu = new QMenu(tr("Controller"), this);
    menu->setObjectName(QStringLiteral("menuController"));
    menuBar()->insertMenu(ui->menuHelp->menuAction(), menu);
    identifyAction = menu->addAction(tr("Identify"));
    identifyAction->setObjectName(QStringLiteral("actionIdentify"));
    identifyAction->setToolTip(tr("Ask the controller for its model, firmware, printer IDs and statuses"));
    identify = new Identify(*serialLink, this);
    connect(identifyAction, &QAction::triggered, this, [this] {
        if (!connectedOrTell() || identify->isRunning())
            return;
        identifyAction->setEnabled(false);
        ui->statusBar->showMessage(tr("Identifying the controller…"));
        identify->start();
    });
    connect(identify, &Identify::done, this, [this] {
        identifyAction->setEnabled(!monitoring);
        ui->statusBar->clearMessage();
        QMessageBox::information(this, tr("Identify"), identify->text());
    });
}
