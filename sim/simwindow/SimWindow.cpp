#include "simwindow/SimWindow.h"
#include "paperview/WindowPlace.h"

#include "language/Language.h"
#include "ui_SimWindow.h"

#include <QAbstractListModel>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>

namespace sim {

// The interpreter's log as a list, growing as commands are decoded. When the log has rolled on,
// a first row says how many commands went before those listed.
class LogModel : public QAbstractListModel
{
public:
    LogModel(const controller::Interpreter &interpreter, QObject *parent)
        : QAbstractListModel(parent)
        , interpreter(interpreter)
    { }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : header + shown; }

    // The log entry a row shows, or -1 for the first row of a rolled log.
    int entryAt(int row) const { return row - header; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const int entry = entryAt(index.row());
        if (entry < 0)
            return QObject::tr("… %1 earlier commands not kept").arg(interpreter.rolledOff());
        if (entry >= interpreter.log().size())
            return {};
        const controller::LogEntry &e = interpreter.log().at(entry);
        return QStringLiteral("%1  %2 %3").arg(e.offset, 8).arg(e.name, e.args);
    }

    void sync()
    {
        const int now = int(interpreter.log().size());
        const int rolled = interpreter.rolledOff() > 0 ? 1 : 0;
        if (now < shown || interpreter.logBase() != base || rolled != header) {
            beginResetModel();
            shown = now;
            base = interpreter.logBase();
            header = rolled;
            endResetModel();
        } else if (now > shown) {
            beginInsertRows({}, header + shown, header + now - 1);
            shown = now;
            endInsertRows();
        }
    }

private:
    const controller::Interpreter &interpreter;
    int shown = 0, header = 0;
    qint64 base = 0;
};

// A line of text cut to the room it is given, with an ellipsis, and whole in its tool tip: it
// never asks for more width than a few characters, so that a long answer takes no room from the
// paper.
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;
    void setFullText(const QString &text)
    {
        full = text;
        setToolTip(text);
        update();
    }
    QString fullText() const { return full; }
    QSize minimumSizeHint() const override { return {fontMetrics().averageCharWidth() * 8, fontMetrics().height()}; }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
            fontMetrics().elidedText(full, Qt::ElideRight, contentsRect().width()));
    }

private:
    QString full;
};

SimWindow::SimWindow(int headType, const WireSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::SimWindow)
    , printer(headType)
    , lineDriver(new LineDriver(printer, settings, this))
    , logModel(new LogModel(printer, this))
{
    ui->setupUi(this);
    ui->paperView->setPaper(&printer.paper());
    ui->paperView->setFollow(ui->actionFollow->isChecked());
    ui->logView->setModel(logModel);
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 2);

    pathStatus = new QLabel;
    bytesStatus = new QLabel;
    headStatus = new QLabel;
    speedStatus = new QLabel;
    lineStatus = new QLabel;
    unknownStatus = new QLabel;
    tcpStatus = new QLabel;
    for (QLabel *label : {pathStatus, tcpStatus, bytesStatus, headStatus, lineStatus, unknownStatus})
        ui->statusBar->addWidget(label);
    ui->logLayout->addWidget(speedStatus); // beside the paper, under the line's settings

    connect(ui->logView->selectionModel(), &QItemSelectionModel::currentChanged, this, &SimWindow::selectEntry);
    connectActions();
    connect(lineDriver, &LineDriver::pathChanged, this, &SimWindow::showPath);
    connect(lineDriver, &LineDriver::progressed, this, &SimWindow::refresh);
    connect(lineDriver, &LineDriver::tcpClientChanged, this, &SimWindow::refresh);
    replyLabel = new ElidedLabel;
    replyLabel->setFullText(tr("Last reply: none yet"));
    replyLabel->setObjectName(QStringLiteral("replyLabel"));
    ui->logLayout->addWidget(replyLabel);
    connect(lineDriver, &LineDriver::answered, this, [this](const QByteArray &answer) {
        // A status byte's words in the window's language; a text answer as it came.
        const QString reply = answer.size() == 1
            ? QStringLiteral("%1 (%2)").arg(QString::fromLatin1(answer.toHex().toUpper()),
                language::statusWords(quint8(answer.at(0)), printer.lastStatusKind()))
            : controller::Printhead::describeReply(answer);
        replyLabel->setFullText(tr("Last reply: %1").arg(reply));
    });
    showPath(QString());
    refresh();
}

// The toolbar's actions: the paper, the covers and the line, as a user works them.
void SimWindow::connectActions()
{
    connect(ui->actionSavePaper, &QAction::triggered, this, [this] {
        const QString file = QFileDialog::getSaveFileName(
            this, tr("Save Paper as PNG"), dialogStart(QStringLiteral("paper.png")), tr("PNG pictures (*.png)"));
        dialogChosen(file);
        QString error;
        if (!file.isEmpty() && !savePaper(file, error))
            QMessageBox::warning(this, tr("Save Paper"), tr("Cannot write %1: %2").arg(file, error));
    });
    connect(ui->actionClearPaper, &QAction::triggered, this, [this] {
        printer.clearPaper();
        ui->paperView->setTint(-1, -1);
        refresh();
    });
    connect(ui->actionZoomIn, &QAction::triggered, ui->paperView, [this] { ui->paperView->zoomBy(1); });
    connect(ui->actionZoomOut, &QAction::triggered, ui->paperView, [this] { ui->paperView->zoomBy(-1); });
    connect(ui->actionFollow, &QAction::toggled, ui->paperView, &PaperView::setFollow);
    connect(ui->actionPaperOut, &QAction::toggled, this, [this](bool on) {
        lineDriver->wire().setPaperOut(on);
        refresh();
    });
    connect(ui->actionCoverOpen, &QAction::toggled, this, [this](bool on) {
        lineDriver->wire().setCoverOpen(on);
        refresh();
    });
    connect(ui->actionUnplug, &QAction::triggered, lineDriver, &LineDriver::unplug);
    connect(ui->actionPlugIn, &QAction::triggered, this, [this] {
        if (!lineDriver->isPluggedIn() && !lineDriver->plugIn())
            QMessageBox::warning(this, tr("Plug In"),
                language::shown("PtyEndpoint", lineDriver->errorString(), PtyEndpoint::reasonSources()));
    });
}

SimWindow::~SimWindow() { delete ui; }

bool SimWindow::savePaper(const QString &fileName, QString &error) const
{
    const QImage image = printer.paper().image();
    if (image.isNull()) {
        error = printer.paper().rows() == 0 ? tr("nothing was printed") : tr("out of memory");
        return false;
    }
    return controller::writePicture(image, fileName, "png", error);
}

QString SimWindow::lastReply() const { return replyLabel->fullText(); }

std::pair<int, int> SimWindow::highlightedRows() const { return ui->paperView->tint(); }

void SimWindow::setToolSetUp(bool setUp)
{
    toolSetUp = setUp;
    showPath(lineDriver->isPluggedIn() ? lineDriver->path() : QString());
}

void SimWindow::showPath(const QString &path)
{
    ui->actionUnplug->setEnabled(!path.isEmpty());
    ui->actionPlugIn->setEnabled(path.isEmpty());
    ui->pathLabel->setText(path.isEmpty() ? tr("Unplugged. Press Plug In to offer a new line.")
            : toolSetUp ? tr("Printer Ruvela was started set up for <b>%1</b>: it connects at start, and again with "
                             "Connect after Plug In.")
                              .arg(lineDriver->pathToType())
                        : tr("In Printer Ruvela choose Settings → Configure, pick <b>Custom</b> and type "
                             "<b>%1</b>, then Apply and Connect.")
                              .arg(lineDriver->pathToType()));
    pathStatus->setText(path.isEmpty() ? tr("unplugged") : path);
}

void SimWindow::refresh()
{
    ui->paperView->refresh();
    logModel->sync();
    if (ui->actionFollow->isChecked())
        ui->logView->scrollToBottom();

    const WireModel &wire = lineDriver->wire();
    const WireSettings &s = wire.settings();
    bytesStatus->setText(tr("%1 bytes received").arg(wire.receivedBytes()));
    // The roll is capped; say so once anything printed beyond the cap.
    const qint64 dropped = printer.paper().droppedRows();
    // Whole sentences, so that a translation may order them as its language does.
    const QString head
        = (dropped ? tr("head type %1, %2 dots, roll full: %3 rows dropped") : tr("head type %1, %2 dots"))
              .arg(printer.headType())
              .arg(printer.paperWidth());
    headStatus->setText(dropped ? head.arg(dropped) : head);
    // Dark rows take more strobes than light ones: the paper moves as fast as they let it.
    speedStatus->setText(
        wire.printSpeed() > 0 ? tr("printing at %1 mm/s").arg(wire.printSpeed(), 0, 'f', 1) : tr("not printing"));
    const QString speed = s.baud > 0 ? tr("%1 bit/s 8N1").arg(s.baud) : tr("unpaced");
    const QString flow = s.xonXoff ? (wire.isHeld() ? tr("XON/XOFF (held)") : tr("XON/XOFF")) : tr("no flow control");
    const QString line
        = (wire.droppedBytes() ? tr("%1, %2, buffer %3/%4, overrun: %5 bytes lost") : tr("%1, %2, buffer %3/%4"))
              .arg(speed, flow)
              .arg(wire.bufferFill())
              .arg(s.bufferSize);
    lineStatus->setText(wire.droppedBytes() ? line.arg(wire.droppedBytes()) : line);
    const QString unknown = (printer.drawerKicks() ? tr("%1 unknown, drawer kicked %2 times") : tr("%1 unknown"))
                                .arg(printer.unknownCount());
    unknownStatus->setText(printer.drawerKicks() ? unknown.arg(printer.drawerKicks()) : unknown);
    tcpStatus->setVisible(!lineDriver->tcpAddress().isEmpty());
    tcpStatus->setText(
        tr("TCP %1, %2")
            .arg(lineDriver->tcpAddress(),
                lineDriver->tcpClient().isEmpty() ? tr("no client") : tr("client %1").arg(lineDriver->tcpClient())));
    const QString settings = (wire.isPaused() ? tr("Line: %1, buffer %2 bytes, printing %3, %4 — paused: %5")
                                              : tr("Line: %1, buffer %2 bytes, printing %3, %4"))
                                 .arg(s.baud > 0 ? tr("%1 bit/s").arg(s.baud) : tr("unpaced"))
                                 .arg(s.bufferSize)
                                 .arg(s.speedMmPerS > 0 ? tr("%1 mm/s").arg(s.speedMmPerS) : tr("as fast as possible"))
                                 .arg(s.xonXoff ? tr("XON/XOFF") : tr("no flow control"));
    // Every reason the paper stands still, not only the first.
    QStringList reasons;
    if (printer.status() & controller::Interpreter::PaperOut)
        reasons << tr("paper out");
    if (printer.status() & controller::Interpreter::CoverOpen)
        reasons << tr("cover open");
    ui->lineLabel->setText(wire.isPaused() ? settings.arg(reasons.join(tr(", "))) : settings);
}

void SimWindow::selectEntry(const QModelIndex &index)
{
    const int entry = index.isValid() ? logModel->entryAt(index.row()) : -1;
    if (entry < 0 || entry >= printer.log().size())
        return;
    const controller::LogEntry &e = printer.log().at(entry);
    ui->paperView->setTint(e.firstRow, e.lastRow);
    if (e.firstRow >= 0) {
        ui->actionFollow->setChecked(false);
        ui->paperView->showRow(e.firstRow);
    }
}

} // namespace sim
