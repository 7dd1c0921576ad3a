#include "bitmap/Raster.h"

#include "commands/Commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageReader>

#include <cstring>

namespace raster {
namespace {

quint8 reverseBits(quint8 b)
{
    b = quint8((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = quint8((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return quint8((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Which pixel index the picture shows dark. A one-bit picture without a colour table is
// taken as the controller reads it: 1 is a dot.
int darkIndex(const QImage &image)
{
    const QList<QRgb> table = image.colorTable();
    if (table.size() < 2)
        return 1;
    return qGray(table.at(0)) < qGray(table.at(1)) ? 0 : 1;
}

} // namespace

QByteArray printFrame(const QImage &mono)
{
    const int bytesPerLine = int(mono.bytesPerLine());
    const int height = mono.height();
    const int width = mono.width();
    const bool lsbFirst = mono.format() == QImage::Format_MonoLSB;
    const bool invert = darkIndex(mono) == 0;

    // Header and a zeroed payload in one allocation; the rows are filled in place.
    QByteArray frame = cmd::picturePrintH(0, quint16(bytesPerLine), quint16(height), nullptr);
    auto *out = reinterpret_cast<quint8 *>(frame.data()) + (frame.size() - qsizetype(bytesPerLine) * height);

    const int fullBytes = width / 8;
    const int restBits = width % 8;
    const quint8 lastMask = quint8(0xFF << (8 - restBits));
    for (int y = 0; y < height; ++y) {
        const quint8 *in = mono.constScanLine(y);
        quint8 *row = out + qsizetype(y) * bytesPerLine;
        if (!lsbFirst && !invert) {
            std::memcpy(row, in, size_t(fullBytes + (restBits ? 1 : 0)));
        } else {
            for (int i = 0; i < fullBytes + (restBits ? 1 : 0); ++i) {
                quint8 b = lsbFirst ? reverseBits(in[i]) : in[i];
                row[i] = invert ? quint8(~b) : b;
            }
        }
        if (restBits)
            row[fullBytes] &= lastMask;
        // The bytes past the width stay as zeroed.
    }
    return frame;
}

std::optional<Refusal> refusal(const QImage &mono)
{
    if (mono.sizeInBytes() < 1)
        return Refusal{QStringLiteral("No Bitmap loaded"), QCoreApplication::translate("Raster", "No Bitmap loaded!")};
    if (mono.width() > maxWidth)
        return Refusal{QStringLiteral("Bitmap too wide. Max 384 pixels"),
            QCoreApplication::translate(
                "Raster", "This tool allows printing only for bitmaps of up to 384 pixel wide!")};
    // The raster command carries the row count in 16 bits; a taller picture would be cut short
    // on paper and its remaining bytes read as commands.
    if (mono.height() > maxHeight)
        return Refusal{QStringLiteral("Bitmap too high. Max 65535 pixels"),
            QCoreApplication::translate(
                "Raster", "This tool allows printing only for bitmaps of up to 65535 pixel high!")};
    return std::nullopt;
}

QString description(const QString &fileName, const QImage &picture)
{
    // Console text, as the other lines loading writes there: English in every language.
    return QStringLiteral("Opened \"%1\"\nWidth: %2 pixel\nHeight: %3 pixel\nColor depth: %4\nBytes: %5\n")
        .arg(QDir::toNativeSeparators(fileName))
        .arg(picture.width())
        .arg(picture.height())
        .arg(picture.depth())
        .arg(picture.sizeInBytes());
}

QString readFailure(QSize size, QImage::Format format, const QString &readerError)
{
    // The reader only says "Unable to read image data" when a picture would need more memory
    // than it allows itself, and the real reason goes to the terminal.
    const int limitMb = QImageReader::allocationLimit();
    if (!size.isValid() || limitMb <= 0)
        return readerError;
    const int bits = format == QImage::Format_Invalid ? 32 : qMax(1, int(QImage::toPixelFormat(format).bitsPerPixel()));
    const qint64 bytes = (qint64(size.width()) * bits + 31) / 32 * 4 * size.height();
    if (bytes <= qint64(limitMb) << 20)
        return readerError;
    return QCoreApplication::translate("Raster", "too large: %1 × %2 pixels (pictures are read up to %3 MB decoded)")
        .arg(size.width())
        .arg(size.height())
        .arg(limitMb);
}

} // namespace raster
