// The "Controller" tab: the print head type and the controller's own UART mode. The host
// port keeps its settings; the user reconnects to match.
#include "app/MainWindow.h"

#include "demos/Jobs.h"
#include "ui_MainWindow.h"

void MainWindow::setHead(unsigned char index)
{
    if (connectedOrTell())
        runJob(jobs::printHead(index));
}

void MainWindow::on_pushButtonFTP628_released() { setHead(0); }
void MainWindow::on_pushButtonFTP638_released() { setHead(1); }
void MainWindow::on_pushButtonLTP0213_released() { setHead(2); }
void MainWindow::on_pushButtonLTP02C1_released() { setHead(3); }
void MainWindow::on_pushButton58_384_released() { setHead(4); }
void MainWindow::on_pushButton80_576_released() { setHead(5); }
void MainWindow::on_pushButtonM23_H69_pressed() { setHead(6); } // acts as the button goes down
void MainWindow::on_pushButtonM23_SX_released() { setHead(7); }

void MainWindow::on_pushButtonApply_released()
{
    if (!connectedOrTell())
        return;
    // The first checked button of each group in tab order gives the code; none checked
    // falls back to the controller's defaults, 115200 and XON/XOFF.
    const QRadioButton *speeds[] = {ui->radioButton9600, ui->radioButton19200, ui->radioButton38400,
        ui->radioButton57600, ui->radioButton115200, ui->radioButton256000, ui->radioButton375000};
    const QRadioButton *flows[] = {ui->radioButtonNoFlow, ui->radioButtonSoftFlow, ui->radioButtonHardFlow};
    auto firstChecked = [](auto &buttons, unsigned char fallback) {
        for (unsigned char i = 0; i < std::size(buttons); ++i) {
            if (buttons[i]->isChecked())
                return i;
        }
        return fallback;
    };
    runJob(jobs::uartMode(firstChecked(speeds, 4), firstChecked(flows, 1)));
}
