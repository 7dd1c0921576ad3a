// Pictures: load, convert and preview a photo and a long strip; hand the tallest raster the
// command allows to the line. Every figure is a ratio to a reference measured in the same run.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "bitmap/Raster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// Smooth gradients with noise: compresses and dithers like a photograph, not like a drawing.
QImage photoLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / w + n) & 0xFF, (y * 255 / h + n) & 0xFF, ((x + y) * 127 / (w + h) + n) & 0xFF);
        }
    }
    return img;
}

void loadRow(const char *name, const QString &path)
{
    double decode = 1e9, convert = 1e9, preview = 1e9;
    for (int run = 0; run < 3; ++run) { // best of three
        QElapsedTimer t;
        t.start();
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        decode = qMin(decode, msSince(t));
        t.restart();
        const QImage mono = image.convertToFormat(QImage::Format_Mono);
        convert = qMin(convert, msSince(t));
        t.restart();
        const QPixmap pixmap = QPixmap::fromImage(mono);
        preview = qMin(preview, msSince(t));
    }
    std::printf("| %-28s | %9.1f ms | %9.1f ms (%.2fx) | %9.1f ms (%.2fx) |\n", name, decode, convert, convert / decode,
        preview, preview / decode);
}

// Heap in use, the blocks the allocator maps on its own for large requests included.
size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    const QString strip = dir.filePath(QStringLiteral("strip.png"));
    photoLike(4000, 3000).save(photo);
    photoLike(384, 20000).save(strip);

    std::printf("| picture                      | decode (ref)  | convert to one bit     | preview pixmap         |\n");
    std::printf("|------------------------------|---------------|------------------------|------------------------|\n");
    loadRow("4000 x 3000 photo PNG", photo);
    loadRow("384 x 20000 PNG", strip);

    // The tallest raster the command can carry, 384 dots wide.
    QImage tall(384, 65535, QImage::Format_Mono);
    tall.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    std::memset(tall.bits(), 0x5A, size_t(tall.sizeInBytes()));
    const qsizetype pictureBytes = tall.sizeInBytes();

    QElapsedTimer t;
    t.start();
    QByteArray reference(pictureBytes, '\0');
    std::memcpy(reference.data(), tall.constBits(), size_t(pictureBytes));
    const double copyMs = msSince(t);
    const size_t heapBefore = heapInUse();
    t.restart();
    QByteArray frame = raster::printFrame(tall);
    const double frameMs = msSince(t);
    const size_t extra = heapInUse() - heapBefore;
    std::printf(
        "\n| 384 x 65535 raster           | build frame %.1f ms = %.2fx a plain copy; memory beyond the picture "
        "%.2fx its size |\n",
        frameMs, frameMs / copyMs, double(extra) / double(pictureBytes));
    frame.clear();

    // From the press to the last byte at the far end of a pseudo-terminal, against the wire.
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    const QString tallFile = dir.filePath(QStringLiteral("tall.png"));
    tall.save(tallFile);
    QMetaObject::invokeMethod(&window, "loadFile", Q_ARG(QString, tallFile));
    const qsizetype total = 2 + 8 + pictureBytes;
    t.restart();
    press(window, "pushButton_58PrintH");
    const double slotMs = msSince(t);
    const QByteArray got = peer.read(total, 60000);
    const double lastByteMs = msSince(t);
    for (int baud : {115200, 375000}) {
        const double wireMs = double(total) * 10.0 * 1000.0 / baud;
        std::printf("| press to last byte at %6d | %.0f ms (slot %.0f ms) = %.4f of the wire time %.0f ms%s |\n", baud,
            lastByteMs, slotMs, lastByteMs / wireMs, wireMs, got.size() == total ? "" : " INCOMPLETE");
    }
    return got.size() == total ? 0 : 1;
}
