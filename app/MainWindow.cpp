#include "app/MainWindow.h"

#include "demos/Jobs.h"
#include "serial/ConsoleLines.h"
#include "serial/SettingsDialog.h"
#include "ui_MainWindow.h"

#include <QLabel>
#include <QMessageBox>

// Registers the icons before the first window exists and drops them at exit, as a program
// with its resources linked in directly would. Q_INIT_RESOURCE must stand outside namespaces.
static void initIcons() { Q_INIT_RESOURCE(ruvela); }
static void cleanupIcons() { Q_CLEANUP_RESOURCE(ruvela); }
static const struct IconResources
{
    IconResources() { initIcons(); }
    ~IconResources() { cleanupIcons(); }
} iconResources;

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , statusLabel(new QLabel)
    , settingsDialog(new SettingsDialog)
    , serialPort(new QSerialPort(this))
    , previewLabel(new QLabel)
{
    ui->setupUi(this);
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

    connect(serialPort, &QSerialPort::errorOccurred, this, &MainWindow::handleError);
    connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readData);
}

MainWindow::~MainWindow()
{
    delete settingsDialog;
    delete ui;
}

void MainWindow::connectActions()
{
    connect(ui->actionConnect, &QAction::triggered, this, &MainWindow::openSerialPort);
    connect(ui->actionDisconnect, &QAction::triggered, this, &MainWindow::closeSerialPort);
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(ui->actionConfigure, &QAction::triggered, settingsDialog, &SettingsDialog::show);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(ui->actionAboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
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

bool MainWindow::connectedOrTell()
{
    if (serialPort->isOpen())
        return true;
    QMessageBox::about(this, tr("Serial Port Connect"), tr("Please configure and connect to the serial port first!"));
    return false;
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
