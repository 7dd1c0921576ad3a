// The "Bitmaps" tab: choosing, converting and previewing a picture, and printing it.
#include "app/MainWindow.h"

#include "bitmap/Raster.h"
#include "commands/Commands.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>

void MainWindow::on_pushButton_Load_released()
{
    ui->editRuvela->clear();
    open();
}

void MainWindow::open()
{
    QFileDialog dialog(this, tr("Open File"));
    if (firstDialog) {
        firstDialog = false;
        // A pictures folder that does not exist yet counts as none.
        const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
        const bool usable = !locations.isEmpty() && QDir(locations.last()).exists();
        dialog.setDirectory(usable ? locations.last() : QDir::currentPath());
    }
    QStringList mimeTypeFilters;
    for (const QByteArray &mimeType : QImageReader::supportedMimeTypes())
        mimeTypeFilters.append(QString::fromLatin1(mimeType));
    mimeTypeFilters.sort();
    dialog.setMimeTypeFilters(mimeTypeFilters);
    dialog.selectMimeTypeFilter(QStringLiteral("image/bmp"));

    while (dialog.exec() == QDialog::Accepted && !loadFile(dialog.selectedFiles().constFirst())) { }
}

bool MainWindow::loadFile(const QString &fileName)
{
    ui->editRuvela->insertPlainText(QStringLiteral("Loading image:"));
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(),
            tr("Cannot load %1: %2").arg(QDir::toNativeSeparators(fileName), reader.errorString()));
        return false;
    }

    auto describe = [&](const QImage &i) {
        ui->editRuvela->appendPlainText(tr("Opened \"%1\"\nWidth: %2 pixel\nHeight: %3 pixel\nColor depth: %4\n"
                                           "Bytes: %5\n")
                                            .arg(QDir::toNativeSeparators(fileName))
                                            .arg(i.width())
                                            .arg(i.height())
                                            .arg(i.depth())
                                            .arg(i.sizeInBytes()));
    };
    if (image.depth() > 1) {
        ui->editRuvela->appendPlainText(QStringLiteral("Bitmap is not 1bpp (mono) trying to convert..."));
        const QImage mono = image.convertToFormat(QImage::Format_Mono);
        describe(mono);
        setImage(mono);
    } else {
        setImage(image);
        describe(loadedImage);
    }
    setWindowFilePath(fileName);
    return true;
}

void MainWindow::setImage(const QImage &image)
{
    loadedImage = image;
    previewLabel->setPixmap(QPixmap::fromImage(loadedImage));
}

void MainWindow::on_pushButton_58PrintH_released()
{
    if (!connectedOrTell())
        return;
    ui->editRuvela->clear();
    ui->editRuvela->insertPlainText(QStringLiteral("Validating if Bitmap can be printed"));
    if (loadedImage.sizeInBytes() < 1) {
        ui->editRuvela->appendPlainText(QStringLiteral("No Bitmap loaded"));
        QMessageBox::about(this, tr("Print Bitmap"), tr("No Bitmap loaded!"));
        return;
    }
    if (loadedImage.width() > raster::maxWidth) {
        ui->editRuvela->appendPlainText(QStringLiteral("Bitmap too wide. Max 384 pixels"));
        QMessageBox::about(
            this, tr("Print Bitmap"), tr("This tool allows printing only for bitmaps of up to 384 pixel wide!"));
        return;
    }
    // The raster command carries the row count in 16 bits; a taller picture would be cut
    // short on paper and its remaining bytes read as commands.
    if (loadedImage.height() > raster::maxHeight) {
        ui->editRuvela->appendPlainText(QStringLiteral("Bitmap too high. Max 65535 pixels"));
        QMessageBox::about(
            this, tr("Print Bitmap"), tr("This tool allows printing only for bitmaps of up to 65535 pixel high!"));
        return;
    }
    ui->editRuvela->appendPlainText(QStringLiteral("Validating bitmap..."));
    writeBytes(cmd::printerSoftInit());
    writeBytes(raster::printFrame(loadedImage));
}
