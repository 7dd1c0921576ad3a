// The demonstration buttons: each runs its fixed job after the connect-first guard.
#include "app/MainWindow.h"

#include "demos/Jobs.h"
#include "ui_MainWindow.h"

void MainWindow::on_pushButtonFont_released()
{
    if (connectedOrTell())
        runJob(jobs::quickTest());
}

void MainWindow::on_pushButtonAttributes_released()
{
    if (connectedOrTell())
        runJob(jobs::attributes());
}

void MainWindow::on_pushButtonLanguage_released()
{
    if (connectedOrTell())
        runJob(jobs::language());
}

void MainWindow::on_pushButtonDensity_released()
{
    if (connectedOrTell())
        runJob(jobs::density());
}

void MainWindow::on_pushButtonBitmap_released()
{
    if (connectedOrTell())
        runJob(jobs::qrSample());
}

void MainWindow::on_pushButtonFormatting_released()
{
    if (connectedOrTell())
        runJob(jobs::formatting());
}

void MainWindow::on_pushButtonTabs_released()
{
    if (connectedOrTell())
        runJob(jobs::alignment());
}

void MainWindow::on_pushButtonReset_released()
{
    if (connectedOrTell())
        runJob(jobs::reset());
}

void MainWindow::on_pushButtonClear_released()
{
    if (connectedOrTell())
        runJob(jobs::clearBuffer());
}

void MainWindow::on_pushButtonReceipt_released()
{
    if (connectedOrTell())
        runJob(jobs::receipt(jobs::Cut::None));
}

void MainWindow::on_pushButtonVersion_released()
{
    if (connectedOrTell())
        runJob(jobs::version());
}

void MainWindow::on_pushButtonStatus_released()
{
    if (connectedOrTell())
        runJob(jobs::status());
}

void MainWindow::on_pushButtonPowerManagment_released()
{
    if (connectedOrTell())
        runJob(jobs::sleep());
}

void MainWindow::printBarcode(int system)
{
    // The margin option is read at the moment of the press, and only by the barcode jobs.
    if (connectedOrTell())
        runJob(jobs::barcode(cmd::BarcodeSystem(system), ui->checkBoxBarCodeMargin->isChecked()));
}

void MainWindow::on_pushButtonBarcodeUPCA_released() { printBarcode(cmd::UpcA); }
void MainWindow::on_pushButtonBarcodeUPCE_released() { printBarcode(cmd::UpcE); }
void MainWindow::on_pushButtonBarcodeEAN13_released() { printBarcode(cmd::Ean13); }
void MainWindow::on_pushButtonBarcodeEAN8_released() { printBarcode(cmd::Ean8); }
void MainWindow::on_pushButtonBarcodeCODE39_released() { printBarcode(cmd::Code39); }
void MainWindow::on_pushButtonBarcodeITF25_released() { printBarcode(cmd::Itf); }
void MainWindow::on_pushButtonBarcodeCODABAR_released() { printBarcode(cmd::Codabar); }
void MainWindow::on_pushButtonBarcodeCODE93_released() { printBarcode(cmd::Code93); }
void MainWindow::on_pushButtonBarcodeCODE128A_released() { printBarcode(cmd::Code128); }

void MainWindow::on_pushButtonYesText_released()
{
    if (connectedOrTell())
        runJob(jobs::barcodeText(true));
}

void MainWindow::on_pushButtonNoText_released()
{
    if (connectedOrTell())
        runJob(jobs::barcodeText(false));
}

void MainWindow::on_pushButton_LineFeed_released()
{
    if (connectedOrTell())
        runJob(jobs::lineFeed());
}

void MainWindow::on_pushButtonFullCut_released()
{
    if (connectedOrTell())
        runJob(jobs::fullCut());
}

void MainWindow::on_pushButtonPartialCut_released()
{
    if (connectedOrTell())
        runJob(jobs::partialCut());
}

void MainWindow::on_pushButtonReceiptFullCut_released()
{
    if (connectedOrTell())
        runJob(jobs::receipt(jobs::Cut::Full));
}

void MainWindow::on_pushButtonReceiptPartialCut_released()
{
    if (connectedOrTell())
        runJob(jobs::receipt(jobs::Cut::Partial));
}
