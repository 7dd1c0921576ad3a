// The job buttons: each runs its fixed job through the connect-first guard. Options on the form
// (the margin box, the radio buttons) are read at the moment of the press.
#include "app/MainWindow.h"

#include "config/ConfigJobs.h"
#include "demos/Jobs.h"
#include "ui_MainWindow.h"

using jobs::Cut;

// "General" tab.
void MainWindow::on_pushButtonFont_released() { runGuarded(jobs::quickTest()); }
void MainWindow::on_pushButtonAttributes_released() { runGuarded(jobs::attributes()); }
void MainWindow::on_pushButtonLanguage_released() { runGuarded(jobs::language()); }
void MainWindow::on_pushButtonDensity_released() { runGuarded(jobs::density()); }
void MainWindow::on_pushButtonBitmap_released() { runGuarded(jobs::qrSample()); }
void MainWindow::on_pushButtonFormatting_released() { runGuarded(jobs::formatting()); }
void MainWindow::on_pushButtonTabs_released() { runGuarded(jobs::alignment()); }
void MainWindow::on_pushButtonReset_released() { runGuarded(jobs::reset()); }
void MainWindow::on_pushButtonClear_released() { runGuarded(jobs::clearBuffer()); }
void MainWindow::on_pushButtonReceipt_released() { runGuarded(jobs::receipt(Cut::None)); }
void MainWindow::on_pushButtonVersion_released() { runGuarded(jobs::version()); }
void MainWindow::on_pushButtonStatus_released() { runGuarded(jobs::status()); }
void MainWindow::on_pushButtonPowerManagment_released() { runGuarded(jobs::sleep()); }

// "Bar Codes" tab.
jobs::Job MainWindow::barcodeJob(unsigned char system) const
{
    return jobs::barcode(cmd::BarcodeSystem(system), ui->checkBoxBarCodeMargin->isChecked());
}

void MainWindow::on_pushButtonBarcodeUPCA_released() { runGuarded(barcodeJob(cmd::UpcA)); }
void MainWindow::on_pushButtonBarcodeUPCE_released() { runGuarded(barcodeJob(cmd::UpcE)); }
void MainWindow::on_pushButtonBarcodeEAN13_released() { runGuarded(barcodeJob(cmd::Ean13)); }
void MainWindow::on_pushButtonBarcodeEAN8_released() { runGuarded(barcodeJob(cmd::Ean8)); }
void MainWindow::on_pushButtonBarcodeCODE39_released() { runGuarded(barcodeJob(cmd::Code39)); }
void MainWindow::on_pushButtonBarcodeITF25_released() { runGuarded(barcodeJob(cmd::Itf)); }
void MainWindow::on_pushButtonBarcodeCODABAR_released() { runGuarded(barcodeJob(cmd::Codabar)); }
void MainWindow::on_pushButtonBarcodeCODE93_released() { runGuarded(barcodeJob(cmd::Code93)); }
void MainWindow::on_pushButtonBarcodeCODE128A_released() { runGuarded(barcodeJob(cmd::Code128)); }
void MainWindow::on_pushButtonYesText_released() { runGuarded(jobs::barcodeText(true)); }
void MainWindow::on_pushButtonNoText_released() { runGuarded(jobs::barcodeText(false)); }

// "Bitmaps" tab; loading and printing the picture are in MainWindowPicture.cpp.
void MainWindow::on_pushButton_LineFeed_released() { runGuarded(jobs::lineFeed()); }

// "Cutter" tab.
void MainWindow::on_pushButtonFullCut_released() { runGuarded(jobs::fullCut()); }
void MainWindow::on_pushButtonPartialCut_released() { runGuarded(jobs::partialCut()); }
void MainWindow::on_pushButtonReceiptFullCut_released() { runGuarded(jobs::receipt(Cut::Full)); }
void MainWindow::on_pushButtonReceiptPartialCut_released() { runGuarded(jobs::receipt(Cut::Partial)); }

// "Controller" tab.
void MainWindow::on_pushButtonFTP628_released() { runGuarded(jobs::printHead(0)); }
void MainWindow::on_pushButtonFTP638_released() { runGuarded(jobs::printHead(1)); }
void MainWindow::on_pushButtonLTP0213_released() { runGuarded(jobs::printHead(2)); }
void MainWindow::on_pushButtonLTP02C1_released() { runGuarded(jobs::printHead(3)); }
void MainWindow::on_pushButton58_384_released() { runGuarded(jobs::printHead(4)); }
void MainWindow::on_pushButton80_576_released() { runGuarded(jobs::printHead(5)); }
void MainWindow::on_pushButtonM23_H69_pressed() { runGuarded(jobs::printHead(6)); } // as the button goes down
void MainWindow::on_pushButtonM23_SX_released() { runGuarded(jobs::printHead(7)); }
void MainWindow::on_pushButtonApply_released() { runGuarded(uartJob()); }

jobs::Job MainWindow::uartJob() const
{
    // The first checked button of each group in tab order gives the code; none checked falls
    // back to the controller's defaults, 115200 and XON/XOFF.
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
    return jobs::uartMode(firstChecked(speeds, 4), firstChecked(flows, 1));
}
