#include "app/ExpectedPaperDock.h"
#include "paperview/WindowPlace.h"

#include "files/WholeFile.h"
#include "paperview/PaperView.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QBuffer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ExpectedPaperDock::ExpectedPaperDock(ExpectedPrinter &printer, QWidget *parent)
    : QDockWidget(tr("Expected Paper"), parent)
    , printer(printer)
    , paperView(new PaperView)
    , info(new QLabel)
    , redrawSoon(new QTimer(this))
{
    setObjectName(QStringLiteral("expectedPaperDock"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    auto *controls = new QHBoxLayout;
    auto *zoomIn = new QPushButton(tr("Zoom In"));
    zoomIn->setObjectName(QStringLiteral("expectedZoomIn"));
    auto *zoomOut = new QPushButton(tr("Zoom Out"));
    zoomOut->setObjectName(QStringLiteral("expectedZoomOut"));
    auto *clearButton = new QPushButton(tr("Clear"));
    clearButton->setObjectName(QStringLiteral("expectedClear"));
    auto *saveButton = new QPushButton(tr("Save PNG…"));
    saveButton->setObjectName(QStringLiteral("expectedSave"));
    for (QPushButton *b : {zoomIn, zoomOut, clearButton, saveButton})
        controls->addWidget(b);
    controls->addStretch(1);
    layout->addLayout(controls);
    paperView->setObjectName(QStringLiteral("expectedPaperView"));
    paperView->setFollow(true);
    layout->addWidget(paperView, 1);
    info->setObjectName(QStringLiteral("expectedPaperInfo"));
    layout->addWidget(info);
    setWidget(body);

    redrawSoon->setSingleShot(true);
    redrawSoon->setInterval(50);
    connect(redrawSoon, &QTimer::timeout, this, &ExpectedPaperDock::redraw);
    connect(zoomIn, &QPushButton::clicked, this, [this] { paperView->zoomBy(1); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { paperView->zoomBy(-1); });
    connect(clearButton, &QPushButton::clicked, this, &ExpectedPaperDock::clear);
    connect(saveButton, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            this, tr("Save Expected Paper"), dialogStart(QStringLiteral("expected.png")), tr("PNG pictures (*.png)"));
        dialogChosen(name);
        if (!name.isEmpty())
            save(name);
    });
    redraw();
}

void ExpectedPaperDock::paperGrew()
{
    if (!redrawSoon->isActive())
        redrawSoon->start();
}

void ExpectedPaperDock::redraw()
{
    // A new line makes a new model: the view follows it.
    paperView->setPaper(&printer.paper());
    paperView->refresh();
    const controller::Interpreter &model = printer.model();
    const qint64 dropped = printer.paper().droppedRows();
    // Whole sentences, so that a translation may order them as its language does.
    const QString text = (dropped ? tr("Head type %1, %2 dots; %3 rows from %4 bytes; roll full: %5 rows not drawn")
                                  : tr("Head type %1, %2 dots; %3 rows from %4 bytes"))
                             .arg(model.headType())
                             .arg(model.paperWidth())
                             .arg(printer.paper().rows())
                             .arg(printer.bytesFed());
    info->setText(dropped ? text.arg(dropped) : text);
}

void ExpectedPaperDock::showCommand(const TrafficRow &row)
{
    // A row of an earlier line was drawn on a paper that is gone.
    if (row.direction != TrafficRow::Direction::Sent || row.line != printer.line()) {
        paperView->setTint(-1, -1);
        return;
    }
    const auto [first, last] = printer.rowsOf(row.offset, row.what);
    paperView->setTint(first, last);
    if (first >= 0) {
        paperView->setFollow(false); // the user looks at an earlier part now
        paperView->showRow(first);
    }
}

void ExpectedPaperDock::clear()
{
    printer.clearPaper();
    paperView->setTint(-1, -1);
    paperView->setFollow(true);
    redraw();
}

void ExpectedPaperDock::save(const QString &fileName)
{
    const QImage image = printer.paper().image();
    QString failure;
    if (image.isNull()) {
        failure = printer.paper().rows() == 0 ? tr("nothing is expected on the paper yet") : tr("out of memory");
    } else {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        failure = writer.write(image) ? writeWholeFile(fileName, png) : writer.errorString();
    }
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Save Expected Paper"), tr("%1 was not written: %2.").arg(fileName, failure));
}
