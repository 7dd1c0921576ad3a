// The serial link of the main window: the only code that touches the port.
#include "app/MainWindow.h"

#include "serial/ConsoleLines.h"
#include "serial/LineState.h"
#include "serial/SettingsDialog.h"
#include "ui_MainWindow.h"

#include <QMessageBox>
#include <QTextBlock>

void MainWindow::openSerialPort()
{
    const Settings p = settingsDialog->settings();
    serialPort->setPortName(p.portName);
    serialPort->setBaudRate(p.baudRate, QSerialPort::AllDirections);
    serialPort->setDataBits(p.dataBits);
    serialPort->setParity(p.parity);
    serialPort->setStopBits(p.stopBits);
    serialPort->setFlowControl(p.flowControl);
    if (serialPort->open(QIODevice::ReadWrite)) {
        replyDecoder.reset();
        lineLost = false;
        ui->actionConnect->setEnabled(false);
        ui->actionDisconnect->setEnabled(true);
        ui->actionConfigure->setEnabled(false);
        showStatus(
            tr("Connected to %1 : %2, %3, %4, %5, %6")
                .arg(p.portName, p.baudRateText, p.dataBitsText, p.parityText, p.stopBitsText, p.flowControlText));
    } else {
        QMessageBox::critical(this, tr("Error"), serialPort->errorString());
        showStatus(tr("Open error"));
    }
}

void MainWindow::closeSerialPort()
{
    if (serialPort->isOpen())
        serialPort->close();
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionConfigure->setEnabled(true);
    showStatus(tr("Disconnected"));
}

void MainWindow::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !serialPort->isOpen() || lineLost)
        return;
    // A line whose far end vanished reads end-of-file over and over, and the port reports that
    // as read or ioctl errors rather than a resource error: treat both as a lost device.
    if (error != QSerialPort::ResourceError && !lineHungUp(serialPort->handle()))
        return; // a passing fault on a line that is still there
    lineLost = true;
    const QString reason = serialPort->errorString();
    // Close before the box: its event loop would otherwise keep the dead line's errors coming.
    serialPort->close();
    QMessageBox::critical(this, tr("Critical Error"), reason);
    closeSerialPort();
}

void MainWindow::readData()
{
    const QByteArray data = serialPort->readAll();
    if (data.isEmpty())
        return;
    const QString text = replyDecoder.decode(data);
    const int lineSoFar = ui->editRuvela->textCursor().block().length() - 1;
    ui->editRuvela->insertPlainText(console::breakLongLines(text, lineSoFar));
}

void MainWindow::Write(const unsigned char *buf, size_t buflen)
{
    serialPort->write(reinterpret_cast<const char *>(buf), qint64(buflen));
}
