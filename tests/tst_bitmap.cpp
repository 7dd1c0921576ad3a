// Loading, previewing and printing the user's picture. The pictures are made here, saved in
// the formats a user has, and loaded through the real file dialog.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "bitmap/Raster.h"

#include <QBuffer>
#include <QFileDialog>
#include <QImageReader>
#include <QImageWriter>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScopeGuard>
#include <QStandardPaths>

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cstring>

#include <sys/stat.h>

namespace {

// A picture with a dark diagonal and a dark left column, easy to recognise after conversion.
QImage drawn(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 0; y < h; ++y) {
        img.setPixel(0, y, qRgb(0, 0, 0));
        img.setPixel((y * 7) % w, y, qRgb(20, 20, 20));
        img.setPixel(w - 1, y, qRgb(0, 0, 0));
    }
    return format == QImage::Format_RGB32 ? img : img.convertToFormat(format, Qt::ThresholdDither);
}

// The expected raster rows of a picture, worked out dot by dot: a set bit wherever the picture
// is dark, rows of 4 * ceil(width / 32) bytes, nothing beyond the width.
QByteArray expectedRows(const QImage &img)
{
    const int stride = (img.width() + 31) / 32 * 4;
    QByteArray out(qsizetype(stride) * img.height(), '\0');
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                out[y * stride + x / 8] = char(quint8(out[y * stride + x / 8]) | (0x80 >> (x % 8)));
    return out;
}

QByteArray header(int bytesPerRow, int rows)
{
    QByteArray h = hex("1B 40 1D 76 30 00");
    h.append(char(bytesPerRow & 0xFF)).append(char(bytesPerRow >> 8));
    h.append(char(rows & 0xFF)).append(char(rows >> 8));
    return h;
}

} // namespace

class TestBitmap : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void init();
    void firstDialogStartsInPictures();
    void loadDescribesThePicture_data();
    void loadDescribesThePicture();
    void failedLoadShowsTheBoxAndTheDialogReturns_data();
    void failedLoadShowsTheBoxAndTheDialogReturns();
    void cancelKeepsThePreviousPicture();
    void printsExactlyWhatIsDark_data();
    void printsExactlyWhatIsDark();
    void refusals_data();
    void refusals();
    void lsbFirstPicturesAreMirroredBack();
    void rowsEndWhereThePictureEnds();

private:
    // Runs Load Image with the dialog answering with these files in turn, then cancel.
    ModalCloser *load(QStringList files);
    QString save(const QImage &img, const QString &name, const char *format = nullptr);
    QByteArray printAndRead(qsizetype expected);
    void loadPicture(const QImage &picture, const QString &file);

    QTemporaryDir dir;
    QStringList dialogDirs, dialogFilters;
};

void TestBitmap::init()
{
    dialogDirs.clear();
    dialogFilters.clear();
}

void TestBitmap::firstDialogStartsInPictures()
{
    // A pictures folder that does not exist counts as none: the current folder then.
    MainWindow fresh;
    ModalCloser *closer = load({});
    closer->arm();
    press(fresh, "pushButton_Load");
    QTRY_VERIFY(closer->done());
    const QStringList pictures = QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
    const bool usable = !pictures.isEmpty() && QDir(pictures.last()).exists();
    QCOMPARE(dialogDirs, QStringList{QDir(usable ? pictures.last() : QDir::currentPath()).absolutePath()});
    QCOMPARE(dialogFilters, QStringList{"image/bmp"});
}

QString TestBitmap::save(const QImage &img, const QString &name, const char *format)
{
    const QString path = dir.filePath(name);
    if (!img.save(path, format))
        qFatal("cannot save %s", qPrintable(path));
    return path;
}

ModalCloser *TestBitmap::load(QStringList files)
{
    auto *closer = new ModalCloser([this, files](QWidget *modal) mutable {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialogDirs << dialog->directory().absolutePath();
            dialogFilters << dialog->selectedMimeTypeFilter();
            if (files.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(files.takeFirst());
                QMetaObject::invokeMethod(dialog, "accept");
            }
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->accept();
        }
    });
    closer->setParent(this);
    return closer;
}

void TestBitmap::loadPicture(const QImage &picture, const QString &file)
{
    ModalCloser *closer = load({save(picture, file)});
    closer->arm();
    press(*w, "pushButton_Load");
    QTRY_VERIFY(closer->done());
}

QByteArray TestBitmap::printAndRead(qsizetype expected)
{
    press(*w, "pushButton_58PrintH");
    QByteArray got = peer->read(expected);
    got += peer->readUntilQuiet(100);
    return got;
}

void TestBitmap::loadDescribesThePicture_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("converted");
    QTest::addColumn<int>("bytes");
    QTest::newRow("one-bit BMP") << drawn(200, 10, QImage::Format_Mono) << "mono.bmp" << false << 28 * 10;
    QTest::newRow("one-bit PBM") << drawn(64, 5, QImage::Format_Mono) << "mono.pbm" << false << 8 * 5;
    QTest::newRow("grey PNG") << drawn(384, 7, QImage::Format_Grayscale8) << "grey.png" << true << 48 * 7;
    QTest::newRow("colour BMP") << drawn(100, 3, QImage::Format_RGB32) << "colour.bmp" << true << 16 * 3;
}

void TestBitmap::loadDescribesThePicture()
{
    QFETCH(QImage, picture);
    QFETCH(QString, file);
    QFETCH(bool, converted);
    QFETCH(int, bytes);
    const QString path = save(picture, file);
    ModalCloser *closer = load({path});
    closer->arm();
    press(*w, "pushButton_Load");
    QTRY_VERIFY(closer->done());
    QString expected = QStringLiteral("Loading image:\n");
    if (converted)
        expected += QStringLiteral("Bitmap is not 1bpp (mono) trying to convert...\n");
    expected += QStringLiteral("Opened \"%1\"\nWidth: %2 pixel\nHeight: %3 pixel\nColor depth: 1\nBytes: %4\n")
                    .arg(path)
                    .arg(picture.width())
                    .arg(picture.height())
                    .arg(bytes);
    QCOMPARE(consoleText(*w), expected);
    QCOMPARE(w->windowFilePath(), path);
    const QPixmap preview = w->findChild<QLabel *>("previewLabel")->pixmap();
    QCOMPARE(preview.size(), picture.size()); // shown 1:1
    QCOMPARE(dialogFilters, QStringList{"image/bmp"});
}

void TestBitmap::failedLoadShowsTheBoxAndTheDialogReturns_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason"); // the box's, where it is the tool's own
    QByteArray png, bmp;
    QBuffer pngBuffer(&png), bmpBuffer(&bmp);
    QVERIFY(drawn(64, 64, QImage::Format_RGB32).save(&pngBuffer, "PNG"));
    QVERIFY(drawn(64, 64, QImage::Format_RGB32).save(&bmpBuffer, "BMP"));
    QTest::newRow("truncated PNG") << png.left(png.size() / 2) << "cut.png" << QString();
    QTest::newRow("BMP cut in its header") << bmp.left(50) << "cut.bmp" << QString();
    QTest::newRow("empty file") << QByteArray() << "empty.png" << QString();
    QTest::newRow("text named .png") << QByteArray("not a picture at all\n") << "text.png" << QString();
    // A BMP header that claims 100000 x 100000 at 24 bits and holds no pixels.
    QByteArray huge = bmp.left(54);
    qToLittleEndian<qint32>(100000, huge.data() + 18);
    qToLittleEndian<qint32>(100000, huge.data() + 22);
    QTest::newRow("100000 x 100000 header") << huge << "huge.bmp" << QString();
    // A whole picture past what the reader decodes (here made 1 MB): its size is the reason.
    QByteArray large;
    QBuffer largeBuffer(&large);
    QVERIFY(drawn(1000, 700, QImage::Format_RGB32).save(&largeBuffer, "PNG"));
    QTest::newRow("past the reader's limit")
        << large << "large.png"
        << QStringLiteral("too large: 1000 \u00D7 700 pixels (pictures are read up to 1 MB decoded)");
    QTest::newRow("a FIFO, which would hang the window")
        << QByteArray("fifo") << "fifo.png" << QStringLiteral("not a regular file");
}

void TestBitmap::failedLoadShowsTheBoxAndTheDialogReturns()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QFile broken(dir.filePath(name));
    if (content == "fifo")
        QVERIFY(::mkfifo(QFile::encodeName(broken.fileName()).constData(), 0600) == 0);
    else
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write(content) == content.size());
    broken.close();
    const int limit = QImageReader::allocationLimit();
    if (name == QLatin1String("large.png"))
        QImageReader::setAllocationLimit(1);
    const auto restore = qScopeGuard([limit] { QImageReader::setAllocationLimit(limit); });
    const QString good = save(drawn(16, 2, QImage::Format_Mono), QStringLiteral("good.bmp"));
    ModalCloser *closer = load({broken.fileName(), broken.fileName(), good});
    closer->arm(5); // dialog, box, dialog, box, dialog
    press(*w, "pushButton_Load");
    QTRY_VERIFY(closer->done());
    QCOMPARE(closer->titles.at(1), QGuiApplication::applicationDisplayName());
    const QString cannot = QStringLiteral("Cannot load %1: ").arg(broken.fileName());
    QVERIFY(closer->texts.at(1).startsWith(cannot) && closer->texts.at(1).size() > cannot.size());
    if (!reason.isEmpty())
        QCOMPARE(closer->texts.at(1), cannot + reason);
    QVERIFY(consoleText(*w).startsWith(
        QStringLiteral("Loading image:Loading image:Loading image:\nOpened \"%1\"").arg(good)));
    QCOMPARE(dialogFilters, (QStringList{"image/bmp", "image/bmp", "image/bmp"}));
}

void TestBitmap::cancelKeepsThePreviousPicture()
{
    const QImage picture = drawn(32, 4, QImage::Format_Mono);
    loadPicture(picture, QStringLiteral("keep.bmp"));
    ModalCloser *closer = load({});
    closer->arm();
    press(*w, "pushButton_Load");
    QTRY_VERIFY(closer->done());
    QCOMPARE(consoleText(*w), QString());
    const QByteArray got = printAndRead(10 + 4 * 4);
    QCOMPARE(got.toHex(' '), (header(4, 4) + expectedRows(picture)).toHex(' '));
}

void TestBitmap::printsExactlyWhatIsDark_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("bytesPerRow");

    QTest::newRow("384 wide grey") << drawn(384, 20, QImage::Format_Grayscale8) << "w384.png" << 48;
    // Padding beyond the width: the BMP reader sets it, the conversion leaves what memory held.
    QTest::newRow("200 wide one-bit BMP") << drawn(200, 9, QImage::Format_Mono) << "w200.bmp" << 28;
    QTest::newRow("200 wide colour") << drawn(200, 9, QImage::Format_RGB32) << "w200.png" << 28;
    // Black at index 0 of the colour table: a set bit is a light pixel in the file.
    QImage inverted = drawn(72, 6, QImage::Format_Mono);
    inverted.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    inverted.invertPixels(); // same picture, opposite indices
    QTest::newRow("inverted palette PNG") << inverted << "inverted.png" << 12;
    QTest::newRow("inverted palette BMP") << inverted << "inverted.bmp" << 12;
    // A width that ends inside a byte.
    QTest::newRow("383 wide grey") << drawn(383, 7, QImage::Format_Grayscale8) << "w383.png" << 48;
}

void TestBitmap::printsExactlyWhatIsDark()
{
    QFETCH(QImage, picture);
    QFETCH(QString, file);
    QFETCH(int, bytesPerRow);
    loadPicture(picture, file);
    const QByteArray expected = header(bytesPerRow, picture.height()) + expectedRows(picture);
    const QByteArray got = printAndRead(expected.size());
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
    QCOMPARE(consoleText(*w), QStringLiteral("Validating if Bitmap can be printed\nValidating bitmap..."));
}

void TestBitmap::refusals_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("consoleLine");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QString>("file");
    QTest::newRow("nothing loaded") << QImage() << "No Bitmap loaded"
                                    << "No Bitmap loaded!"
                                    << "";
    QTest::newRow("385 wide") << drawn(385, 2, QImage::Format_Mono) << "Bitmap too wide. Max 384 pixels"
                              << "This tool allows printing only for bitmaps of up to 384 pixel wide!"
                              << "wide.pbm";
    QImage tall(8, 65536, QImage::Format_Mono);
    tall.fill(0);
    QTest::newRow("65536 rows") << tall << "Bitmap too high. Max 65535 pixels"
                                << "This tool allows printing only for bitmaps of up to 65535 pixel high!"
                                << "tall.png"; // the PBM reader stops at 32767 rows
}

void TestBitmap::refusals()
{
    QFETCH(QImage, picture);
    QFETCH(QString, consoleLine);
    QFETCH(QString, boxText);
    QFETCH(QString, file);
    if (!picture.isNull()) {
        loadPicture(picture, file);
    } else {
        // A fresh window has nothing loaded.
        delete w;
        w = new MainWindow;
        connectTo(*w, peer->path());
    }
    ModalCloser closer;
    closer.arm();
    press(*w, "pushButton_58PrintH");
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Print Bitmap"));
    QCOMPARE(closer.text, boxText);
    QCOMPARE(consoleText(*w), QStringLiteral("Validating if Bitmap can be printed\n") + consoleLine);
    QCOMPARE(peer->readUntilQuiet(100), QByteArray());
}

void TestBitmap::lsbFirstPicturesAreMirroredBack()
{
    const QImage msb = drawn(40, 5, QImage::Format_Mono);
    QImage lsb = msb.convertToFormat(QImage::Format_MonoLSB);
    QCOMPARE(lsb.format(), QImage::Format_MonoLSB);
    const QByteArray expected = header(8, 5).mid(2) + expectedRows(msb);
    QCOMPARE(raster::printFrame(lsb).toHex(' '), expected.toHex(' '));
    QCOMPARE(raster::printFrame(msb).toHex(' '), expected.toHex(' '));
    // A picture without a colour table is read as the controller reads it: 1 is a dot.
    QImage bare(8, 1, QImage::Format_Mono);
    bare.setColorCount(0);
    bare.scanLine(0)[0] = 0xA5;
    QCOMPARE(raster::printFrame(bare).mid(8).toHex(' '), QByteArray("a5 00 00 00"));
}

void TestBitmap::rowsEndWhereThePictureEnds()
{
    // Whatever a picture's memory holds past its last column never prints: here every bit of
    // it is set, for widths that end anywhere inside a byte.
    for (const int width : {1, 7, 9, 13, 100, 383}) {
        QImage picture(width, 3, QImage::Format_Mono);
        picture.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        std::memset(picture.bits(), 0xFF, size_t(picture.sizeInBytes()));
        for (int x = 0; x < width; x += 3)
            picture.setPixel(x, 1, 0);
        const QByteArray frame = raster::printFrame(picture);
        QCOMPARE(frame.mid(8).toHex(' '), expectedRows(picture).toHex(' '));
    }
}

QTEST_MAIN(TestBitmap)
#include "tst_bitmap.moc"
