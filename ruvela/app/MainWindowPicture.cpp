// The "Bitmaps" tab: choosing, converting and previewing a picture, and printing it.
#include "app/MainWindow.h"

#include "bitmap/Raster.h"
#include "commands/Commands.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
    // Every readable kind at once, after the kinds one by one.
    QStringList patterns;
    for (const QByteArray &suffix : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(suffix);
    dialog.setNameFilters(dialog.nameFilters() << tr("All pictures (%1)").arg(patterns.join(QLatin1Char(' '))));
    dialog.selectMimeTypeFilter(QStringLiteral("image/bmp"));

    while (dialog.exec() == QDialog::Accepted && !loadFile(dialog.selectedFiles().constFirst())) { }
}

bool MainWindow::loadFile(const QString &fileName)
{
    ui->editRuvela->insertPlainText(QStringLiteral("Loading image:"));
    // A FIFO or a device would hang the window on reading: only regular files are read.
    if (!QFileInfo(fileName).isFile()) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(),
            tr("Cannot load %1: %2").arg(QDir::toNativeSeparators(fileName), tr("not a regular file")));
        return false;
    }
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    const QImage image = reader.read();
    if (image.isNull()) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(),
            tr("Cannot load %1: %2")
                .arg(QDir::toNativeSeparators(fileName), raster::readFailure(size, format, reader.errorString())));
        return false;
    }

    if (image.depth() > 1) {
        ui->editRuvela->appendPlainText(QStringLiteral("Bitmap is not 1bpp (mono) trying to convert..."));
        const QImage mono = image.convertToFormat(QImage::Format_Mono);
        ui->editRuvela->appendPlainText(raster::description(fileName, mono));
        setImage(mono);
    } else {
        setImage(image);
        ui->editRuvela->appendPlainText(raster::description(fileName, loadedImage));
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
    if (const auto refused = raster::refusal(loadedImage)) {
        ui->editRuvela->appendPlainText(refused->consoleLine);
        QMessageBox::about(this, tr("Print Bitmap"), refused->boxText);
        return;
    }
    ui->editRuvela->appendPlainText(QStringLiteral("Validating bitmap..."));
    writeBytes(cmd::printerSoftInit());
    writeBytes(raster::printFrame(loadedImage));
}
