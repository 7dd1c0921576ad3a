// Pictures: load, convert and preview a photo and a long strip; build the tallest raster the
// command allows; and from a press to the last byte at the far end of a pseudo-terminal.
// Usage: bench_pictures photo|strip|frame|press-quick|press-raster
#include "BenchTable.h"
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "bitmap/Raster.h"
#include "demos/Jobs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstring>

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

// Reading the file is the reference: converting and previewing should cost less than it.
void load(const char *name, int w, int h)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    photoLike(w, h).save(path);
    double decode = 1e9, rest = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        decode = qMin(decode, msSince(t));
        t.restart();
        const QImage mono = image.convertToFormat(QImage::Format_Mono);
        const QPixmap preview = QPixmap::fromImage(mono);
        rest = qMin(rest, msSince(t));
    }
    bench::row(QString::fromLatin1(name), bench::ms(rest) + QStringLiteral(" convert + preview"),
        bench::ms(decode) + QStringLiteral(" decode"), rest / decode);
}

QImage tallest()
{
    QImage tall(384, 65535, QImage::Format_Mono);
    tall.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    std::memset(tall.bits(), 0x5A, size_t(tall.sizeInBytes()));
    return tall;
}

void frame()
{
    const QImage tall = tallest();
    QElapsedTimer t;
    t.start();
    QByteArray copy(tall.sizeInBytes(), '\0');
    std::memcpy(copy.data(), tall.constBits(), size_t(copy.size()));
    const double copyMs = msSince(t);
    t.restart();
    const QByteArray built = raster::printFrame(tall);
    const double frameMs = msSince(t);
    bench::row(QStringLiteral("384 x 65535 raster frame"), bench::ms(frameMs),
        bench::ms(copyMs) + QStringLiteral(" memcpy"), frameMs / copyMs);
}

// From the press until the last byte reaches the far end, against the wire time of the job.
void pressToLastByte(const char *name, const char *button, const QImage &picture, qint64 total)
{
    QTemporaryDir dir;
    MainWindow window;
    FarEnd peer;
    connectTo(window, peer.path());
    if (!picture.isNull()) {
        const QString file = dir.filePath(QStringLiteral("picture.png"));
        picture.save(file);
        QMetaObject::invokeMethod(&window, "loadFile", Q_ARG(QString, file));
    }
    QElapsedTimer t;
    t.start();
    press(window, button);
    const QByteArray got = peer.read(total, 120000);
    const double lastByte = msSince(t);
    for (int baud : {115200, 375000}) {
        const double wire = double(total) * 10.0 * 1000.0 / baud;
        bench::row(QStringLiteral("%1, press to last byte%2")
                       .arg(QString::fromLatin1(name), got.size() == total ? QString() : QStringLiteral(" INCOMPLETE")),
            bench::ms(lastByte), QStringLiteral("wire %1 at %2 bit/s").arg(bench::ms(wire)).arg(baud), lastByte / wire);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QByteArray which = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (which == "photo")
        load("load 4000 x 3000 photo PNG", 4000, 3000);
    else if (which == "strip")
        load("load 384 x 20000 PNG", 384, 20000);
    else if (which == "frame")
        frame();
    else if (which == "press-quick")
        pressToLastByte("Quick Test (13833 bytes)", "pushButtonFont", QImage(), jobs::quickTest().stream().size());
    else if (which == "press-raster")
        pressToLastByte("384 x 65535 raster", "pushButton_58PrintH", tallest(), 2 + 8 + 48 * 65535);
    else
        return 2;
    return 0;
}
