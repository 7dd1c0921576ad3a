// libFuzzer target: any file as a picture. What the image reader accepts is converted as Load
// Image converts it and, when it fits the raster command, turned into the bytes Print sends.
#include "bitmap/Raster.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv); // lives until the process ends
    QImageReader::setAllocationLimit(64); // megabytes: a hostile header must not exhaust memory
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QImage image = QImage::fromData(QByteArrayView(data, qsizetype(size)));
    if (image.isNull())
        return 0;
    if (image.depth() > 1)
        image = image.convertToFormat(QImage::Format_Mono);
    if (image.width() > raster::maxWidth || image.height() > raster::maxHeight)
        return 0;
    const QByteArray frame = raster::printFrame(image);
    if (frame.size() != 8 + image.bytesPerLine() * image.height())
        std::abort();
    return 0;
}
