#include "app/MainWindow.h"

#include "app/ExpectedPaperDock.h"
#include "app/Icons.h"
#include "app/MacrosDock.h"
#include "app/SettingsDialog.h"
#include "app/TrafficDock.h"
#include "demos/Jobs.h"
#include "language/Language.h"
#include "paperview/WindowPlace.h"
#include "serial/ConsoleLines.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"
#include "tool/TrafficRecorder.h"
#include "traffic/ExpectedPrinter.h"
#include "ui_MainWindow.h"

#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QTextBlock>

// Registers the icons' PNGs before the first window exists and drops them at exit, as a program
// with its resources linked in directly would; the window draws them from the pixels decoded
// when it was built. Q_INIT_RESOURCE must stand outside namespaces.
static void initIcons() { Q_INIT_RESOURCE(ruvela); }
static void cleanupIcons() { Q_CLEANUP_RESOURCE(ruvela); }
static const struct IconResources
{
    IconResources() { initIcons(); }
    ~IconResources() { cleanupIcons(); }
} iconResources;

// The toolkit's binding of every on_<object>_<signal> slot to the signal of the child of that name
// (the first such child, in the order the toolkit searches them), by one look-up per slot rather
// than a comparison of every slot with every child, which costs the start-up.
static void bindSlotsByName(QObject *owner)
{
    QObjectList objects = owner->findChildren<QObject *>();
    objects << owner;
    QHash<QByteArray, QList<int>> named; // where each name stands in that order
    for (int i = 0; i < objects.size(); ++i) {
        if (!objects[i]->objectName().isEmpty())
            named[objects[i]->objectName().toLatin1()].append(i);
    }
    const QMetaObject *meta = owner->metaObject();
    for (int slot = 0; slot < meta->methodCount(); ++slot) {
        const QMetaMethod method = meta->method(slot);
        const QByteArray signature = method.methodSignature();
        if (!signature.startsWith("on_") || method.attributes() & QMetaMethod::Cloned)
            continue;
        int senderAt = int(objects.size()), signalIndex = -1;
        // Every split of the rest into a name and a signal that object has; a name may hold
        // underscores itself.
        for (qsizetype split = signature.indexOf('_', 3); split > 3 && split < signature.indexOf('(');
             split = signature.indexOf('_', split + 1)) {
            const QByteArray wanted = signature.mid(split + 1);
            for (int at : named.value(signature.mid(3, split - 3))) {
                if (at > senderAt)
                    break;
                const QMetaObject *senderMeta = objects[at]->metaObject();
                int found = senderMeta->indexOfSignal(wanted.constData());
                if (found < 0) { // a signal of that name that passes at least the slot's arguments
                    const QByteArray name = wanted.left(wanted.indexOf('('));
                    for (int i = 0; i < senderMeta->methodCount() && found < 0; ++i) {
                        const QMetaMethod signal = senderMeta->method(i);
                        if (signal.methodType() == QMetaMethod::Signal && signal.name() == name
                            && signal.parameterTypes().mid(0, method.parameterCount()) == method.parameterTypes())
                            found = i;
                    }
                }
                if (found >= 0) {
                    senderAt = at;
                    signalIndex = found;
                    break;
                }
            }
        }
        if (signalIndex >= 0)
            QMetaObject::connect(objects[senderAt], signalIndex, owner, slot);
        else if (signature.lastIndexOf('_', signature.indexOf('(') - 1) > 3)
            qWarning("QMetaObject::connectSlotsByName: No matching signal for %s", signature.constData());
    }
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , statusLabel(new QLabel)
    , serialLink(new SerialLink(this))
    , previewLabel(new QLabel)
{
    ui->setupUi(this);
    bindSlotsByName(this); // the form's buttons, to the slots named after them
    // Given here rather than in the form, which would have the image reader decode them.
    ui->actionConnect->setIcon(builtIcon("connect"));
    ui->actionDisconnect->setIcon(builtIcon("disconnect"));
    ui->actionConfigure->setIcon(builtIcon("settings"));
    ui->actionQuit->setIcon(builtIcon("application-exit"));
    // A controller that floods the line must not fill memory: the oldest lines give way.
    ui->editRuvela->setMaximumBlockCount(console::maxLines);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    previewLabel->setObjectName(QStringLiteral("previewLabel"));

    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionQuit->setEnabled(true);
    ui->actionConfigure->setEnabled(true);

    ui->statusBar->addWidget(statusLabel);

    ui->scrollArea->setBackgroundRole(QPalette::Dark);
    ui->scrollArea->setWidget(previewLabel);

    connectActions();

    connect(serialLink, &SerialLink::openChanged, this, &MainWindow::showOpen);
    connect(serialLink, &SerialLink::textReceived, this, &MainWindow::showReply);
    // After the recorder has the loss, so that its row is timed when the line went, not when
    // the box is answered.
    connect(serialLink, &SerialLink::lost, this, &MainWindow::showLost, Qt::QueuedConnection);
    setUpLine();
    setUpMacros();
    setUpTraffic();
    setUpPanes();
    setUpMonitor();
    setUpCapture();
    setUpReplay();
    setUpIdentify();
    designedSize = size();
}

MainWindow::~MainWindow()
{
    // Those that use the expected printer go before it does.
    delete trafficRecorder;
    delete expectedPaperDock;
    delete settingsDialog;
    delete ui;
}

void MainWindow::connectActions()
{
    connect(ui->actionConnect, &QAction::triggered, this, &MainWindow::openSerialPort);
    connect(ui->actionDisconnect, &QAction::triggered, this, &MainWindow::closeSerialPort);
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(ui->actionConfigure, &QAction::triggered, this, [this] { lineSettings()->show(); });
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(ui->actionAboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
}

SettingsDialog *MainWindow::lineSettings()
{
    if (!settingsDialog)
        settingsDialog = new SettingsDialog(this); // opens over the window, not across the screen
    return settingsDialog;
}

void MainWindow::showStatus(const QString &text) { statusLabel->setText(text); }

void MainWindow::about()
{
    QMessageBox::about(this, tr("Printer Ruvela"),
        tr("<b>Printer Ruvela</b> %1<br><br>"
           "Sends demonstration jobs to ZPC3x thermal receipt-printer controllers "
           "over a serial line and shows what the controller answers.<br><br>"
           "Running on Qt %2.")
            .arg(QStringLiteral(RUVELA_VERSION), QString::fromLatin1(qVersion())));
}

void MainWindow::start(const Launch &launch)
{
    const SettingsChoice &choice = launch.choice;
    if (choice.port || choice.baudRate || choice.dataBits || choice.parity || choice.stopBits || choice.flowControl)
        lineSettings()->choose(choice);
    if (!launch.place.isEmpty() && screen())
        placedRoom = screenHalf(*screen(), launch.place == QLatin1String("right"));
    const QHash<QString, QAction *> panes{{QStringLiteral("traffic"), trafficAction},
        {QStringLiteral("expected-paper"), expectedAction}, {QStringLiteral("macros"), macrosAction}};
    for (const QString &pane : launch.panes)
        panes.value(pane)->setChecked(true);
    if (launch.connect) // once the window shows, so that a failure's box has it as parent
        QMetaObject::invokeMethod(this, &MainWindow::openSerialPort, Qt::QueuedConnection);
}

void MainWindow::openSerialPort()
{
    lineSettings()->listPorts();
    const Settings p = settingsDialog->settings();
    startTraffic(); // before the line opens, to hear all of it
    if (serialLink->open(p)) {
        lineBaud = p.baudRate;
        trafficRecorder->opened(p);
        showStatus(
            tr("Connected to %1 : %2, %3, %4, %5, %6")
                .arg(p.portName, p.baudRateText, p.dataBitsText, p.parityText, p.stopBitsText, p.flowControlText));
    } else {
        QMessageBox::critical(this, tr("Error"), tr("Cannot open %1: %2").arg(p.portName, serialLink->errorString()));
        showStatus(tr("Open error"));
    }
}

void MainWindow::closeSerialPort()
{
    // What was still queued never goes out: the console says how much did.
    const qint64 done = serialLink->runDone(), total = serialLink->runTotal();
    if (serialLink->isOpen()) // a lost line closed itself already
        serialLink->close();
    if (total > done)
        noteLine(QStringLiteral("Stopped: %1 of %2 bytes sent").arg(done).arg(total));
    showStatus(tr("Disconnected"));
}

void MainWindow::handleError(QSerialPort::SerialPortError error) { serialLink->handleError(error); }

void MainWindow::readData() { serialLink->readData(); }

void MainWindow::Write(const unsigned char *buf, size_t buflen)
{
    serialLink->write(reinterpret_cast<const char *>(buf), qint64(buflen));
}

void MainWindow::showOpen(bool open)
{
    ui->actionConnect->setEnabled(!open);
    ui->actionDisconnect->setEnabled(open);
    ui->actionConfigure->setEnabled(!open);
    // Greyed, it says why: the settings are those the line opens with.
    if (configureTip.isNull())
        configureTip = ui->actionConfigure->toolTip();
    ui->actionConfigure->setToolTip(
        open ? tr("Disconnect first: the settings take effect when the line opens") : configureTip);
}

void MainWindow::showReply(const QString &text)
{
    if (ui->checkBoxHex->isChecked())
        return; // showBytes shows them
    const int lineSoFar = ui->editRuvela->textCursor().block().length() - 1;
    ui->editRuvela->insertPlainText(console::breakLongLines(text, lineSoFar));
}

void MainWindow::noteLine(const QString &text)
{
    QTextCursor end = ui->editRuvela->textCursor();
    end.movePosition(QTextCursor::End);
    if (!end.block().text().isEmpty())
        end.insertText(QStringLiteral("\n"));
    end.insertText(text + QLatin1Char('\n'));
    ui->editRuvela->setTextCursor(end);
}

void MainWindow::showLost(const QString &reason, qint64 done, qint64 total)
{
    if (total > done) // the link closed itself first, so closeSerialPort finds nothing queued
        noteLine(QStringLiteral("Stopped: %1%2 of %3 bytes reached the controller")
                     .arg(serialLink->lostReach().exact ? QString() : QStringLiteral("at most "))
                     .arg(done)
                     .arg(total));
    closeSerialPort(); // the status bar says so while the box is up
    QMessageBox::critical(this, tr("Critical Error"),
        tr("The line to %1 is lost: %2.")
            .arg(serialLink->portPath(), language::shown("SerialLink", reason, SerialLink::reasonSources())));
}

bool MainWindow::connectedOrTell()
{
    if (serialLink->isOpen())
        return true;
    QMessageBox::about(this, tr("Serial Port Connect"), tr("Please configure and connect to the serial port first!"));
    return false;
}

void MainWindow::runGuarded(const jobs::Job &job)
{
    if (connectedOrTell())
        runJob(job);
}

void MainWindow::runJob(const jobs::Job &job)
{
    using Console = jobs::Job::Console;
    if (job.console != Console::Untouched)
        ui->editRuvela->clear();
    if (job.console == Console::Replace) {
        ui->editRuvela->insertPlainText(job.heading);
        for (const QString &line : job.lines)
            ui->editRuvela->appendPlainText(line);
    }
    for (const QByteArray &bytes : job.writes)
        writeBytes(bytes);
    if (job.readBack)
        readData();
}

void MainWindow::writeBytes(const QByteArray &bytes)
{
    Write(reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()));
}
