// The job buttons: each runs its button's job from the one table of button jobs through the
// connect-first guard. Options on the form (the margin box, the radio buttons) are read at the
// moment of the press.
#include "app/MainWindow.h"

#include "tool/ButtonJobs.h"

#include <QAbstractButton>

void MainWindow::runButton(const char *button)
{
    const buttons::ButtonJob *job = buttons::find(QLatin1String(button));
    Q_ASSERT(job);
    runGuarded(job->build([this](const char *name) {
        const auto *control = findChild<QAbstractButton *>(QLatin1String(name));
        return control && control->isChecked();
    }));
}

// "General" tab.
void MainWindow::on_pushButtonFont_released() { runButton("pushButtonFont"); }
void MainWindow::on_pushButtonAttributes_released() { runButton("pushButtonAttributes"); }
void MainWindow::on_pushButtonLanguage_released() { runButton("pushButtonLanguage"); }
void MainWindow::on_pushButtonDensity_released() { runButton("pushButtonDensity"); }
void MainWindow::on_pushButtonBitmap_released() { runButton("pushButtonBitmap"); }
void MainWindow::on_pushButtonFormatting_released() { runButton("pushButtonFormatting"); }
void MainWindow::on_pushButtonTabs_released() { runButton("pushButtonTabs"); }
void MainWindow::on_pushButtonReset_released() { runButton("pushButtonReset"); }
void MainWindow::on_pushButtonClear_released() { runButton("pushButtonClear"); }
void MainWindow::on_pushButtonReceipt_released() { runButton("pushButtonReceipt"); }
void MainWindow::on_pushButtonVersion_released() { runButton("pushButtonVersion"); }
void MainWindow::on_pushButtonStatus_released() { runButton("pushButtonStatus"); }
void MainWindow::on_pushButtonPowerManagment_released() { runButton("pushButtonPowerManagment"); }

// "Bar Codes" tab.
void MainWindow::on_pushButtonBarcodeUPCA_released() { runButton("pushButtonBarcodeUPCA"); }
void MainWindow::on_pushButtonBarcodeUPCE_released() { runButton("pushButtonBarcodeUPCE"); }
void MainWindow::on_pushButtonBarcodeEAN13_released() { runButton("pushButtonBarcodeEAN13"); }
void MainWindow::on_pushButtonBarcodeEAN8_released() { runButton("pushButtonBarcodeEAN8"); }
void MainWindow::on_pushButtonBarcodeCODE39_released() { runButton("pushButtonBarcodeCODE39"); }
void MainWindow::on_pushButtonBarcodeITF25_released() { runButton("pushButtonBarcodeITF25"); }
void MainWindow::on_pushButtonBarcodeCODABAR_released() { runButton("pushButtonBarcodeCODABAR"); }
void MainWindow::on_pushButtonBarcodeCODE93_released() { runButton("pushButtonBarcodeCODE93"); }
void MainWindow::on_pushButtonBarcodeCODE128A_released() { runButton("pushButtonBarcodeCODE128A"); }
void MainWindow::on_pushButtonYesText_released() { runButton("pushButtonYesText"); }
void MainWindow::on_pushButtonNoText_released() { runButton("pushButtonNoText"); }

// "Bitmaps" tab; loading and printing the picture are in MainWindowPicture.cpp.
void MainWindow::on_pushButton_LineFeed_released() { runButton("pushButton_LineFeed"); }

// "Cutter" tab.
void MainWindow::on_pushButtonFullCut_released() { runButton("pushButtonFullCut"); }
void MainWindow::on_pushButtonPartialCut_released() { runButton("pushButtonPartialCut"); }
void MainWindow::on_pushButtonReceiptFullCut_released() { runButton("pushButtonReceiptFullCut"); }
void MainWindow::on_pushButtonReceiptPartialCut_released() { runButton("pushButtonReceiptPartialCut"); }

// "Controller" tab.
void MainWindow::on_pushButtonFTP628_released() { runButton("pushButtonFTP628"); }
void MainWindow::on_pushButtonFTP638_released() { runButton("pushButtonFTP638"); }
void MainWindow::on_pushButtonLTP0213_released() { runButton("pushButtonLTP0213"); }
void MainWindow::on_pushButtonLTP02C1_released() { runButton("pushButtonLTP02C1"); }
void MainWindow::on_pushButton58_384_released() { runButton("pushButton58_384"); }
void MainWindow::on_pushButton80_576_released() { runButton("pushButton80_576"); }
void MainWindow::on_pushButtonM23_H69_pressed() { runButton("pushButtonM23_H69"); } // as the button goes down
void MainWindow::on_pushButtonM23_SX_released() { runButton("pushButtonM23_SX"); }
void MainWindow::on_pushButtonApply_released() { runButton("pushButtonApply"); }
