// Loading, previewing and printing the user's picture. The pictures are made here, saved in
// the formats a user has, and loaded through the real file dialog.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "bitmap/Raster.h"

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

// A picture of a row of tests/data/bitmap-pictures.txt.
QImage drawn(const QStringList &row)
{
    const QString &kind = row[3];
    QImage img = drawn(row[1].toInt(), row[2].toInt(),
        kind == QLatin1String("grey")         ? QImage::Format_Grayscale8
            : kind == QLatin1String("colour") ? QImage::Format_RGB32
                                              : QImage::Format_Mono);
    if (kind == QLatin1String("inverted")) {
        img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        img.invertPixels(); // same picture, opposite indices
    }
    return img;
}

} // namespace

class TestBitmap : public ConnectedToolTest
{
    Q_OBJECT

    QTemporaryDir dir;
    QStringList dialogDirs, dialogFilters;

    QString save(const QImage &img, const QString &name)
    {
        const QString path = dir.filePath(name);
        if (!img.save(path))
            qFatal("cannot save %s", qPrintable(path));
        return path;
    }

    // Presses Load Image in the window, the file dialog answering with these files in turn, then
    // cancel, and message boxes accepted; returns once the modals windows were handled, and what
    // they showed.
    ModalCloser *load(QStringList files, int modals = 1, MainWindow *window = nullptr)
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
        closer->arm(modals);
        press(window ? *window : *w, "pushButton_Load");
        (void)QTest::qWaitFor([closer] { return closer->done(); }, 5000); // the caller checks done()
        return closer;
    }

private slots:
    void init()
    {
        dialogDirs.clear();
        dialogFilters.clear();
    }

    void firstDialogStartsInPictures()
    {
        // A pictures folder that does not exist counts as none: the current folder then.
        MainWindow fresh;
        QVERIFY(load({}, 1, &fresh)->done());
        const QStringList pictures = QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
        const bool usable = !pictures.isEmpty() && QDir(pictures.last()).exists();
        QCOMPARE(dialogDirs, QStringList{QDir(usable ? pictures.last() : QDir::currentPath()).absolutePath()});
        QCOMPARE(dialogFilters, QStringList{"image/bmp"});
    }

    // Loaded, the picture is described and shown 1:1; a later load cancelled keeps it; printed,
    // exactly its dark dots go.
    void loadsAndPrintsExactlyWhatIsDark_data() { addTableRows(QStringLiteral("bitmap-pictures.txt")); }
    void loadsAndPrintsExactlyWhatIsDark()
    {
        QFETCH(QStringList, row);
        const QImage picture = drawn(row);
        const QString path = save(picture, row[4]);
        QVERIFY(load({path})->done());
        QString described = QStringLiteral("Loading image:\n");
        if (row[5] == QLatin1String("converted"))
            described += QStringLiteral("Bitmap is not 1bpp (mono) trying to convert...\n");
        const int bytesPerRow = row[6].toInt();
        described += QStringLiteral("Opened \"%1\"\nWidth: %2 pixel\nHeight: %3 pixel\nColor depth: 1\nBytes: %4\n")
                         .arg(path)
                         .arg(picture.width())
                         .arg(picture.height())
                         .arg(bytesPerRow * picture.height());
        QCOMPARE(consoleText(*w), described);
        QCOMPARE(w->windowFilePath(), path);
        QCOMPARE(w->findChild<QLabel *>("previewLabel")->pixmap().size(), picture.size()); // shown 1:1
        QVERIFY(load({}, 1)->done());
        QCOMPARE(consoleText(*w), QString());
        QCOMPARE(dialogFilters, QStringList({"image/bmp", "image/bmp"}));
        press(*w, "pushButton_58PrintH");
        const QByteArray expected = header(bytesPerRow, picture.height()) + expectedRows(picture);
        QByteArray got = peer->read(expected.size());
        got += peer->readUntilQuiet(100); // nothing more may come
        QCOMPARE(got.size(), expected.size());
        QCOMPARE(got.toHex(' '), expected.toHex(' '));
        QCOMPARE(consoleText(*w), QStringLiteral("Validating if Bitmap can be printed\nValidating bitmap..."));
    }

    void failedLoadShowsTheBoxAndTheDialogReturns_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // the box's, where it is the tool's own
        QByteArray png, bmp;
        QBuffer pngBuffer(&png), bmpBuffer(&bmp);
        QVERIFY(drawn(64, 64, QImage::Format_RGB32).save(&pngBuffer, "PNG"));
        QVERIFY(drawn(64, 64, QImage::Format_RGB32).save(&bmpBuffer, "BMP"));
        QTest::newRow("truncated PNG") << png.left(png.size() / 2) << "cut.png" << QString();
        QTest::newRow("empty file") << QByteArray() << "empty.png" << QString();
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
    void failedLoadShowsTheBoxAndTheDialogReturns()
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
        ModalCloser *closer = load({broken.fileName(), broken.fileName(), good}, 5); // dialog, box, dialog, box, dialog
        QVERIFY(closer->done());
        QCOMPARE(closer->titles.at(1), QGuiApplication::applicationDisplayName());
        const QString cannot = QStringLiteral("Cannot load %1: ").arg(broken.fileName());
        QVERIFY(closer->texts.at(1).startsWith(cannot) && closer->texts.at(1).size() > cannot.size());
        if (!reason.isEmpty())
            QCOMPARE(closer->texts.at(1), cannot + reason);
        QVERIFY(consoleText(*w).startsWith(
            QStringLiteral("Loading image:Loading image:Loading image:\nOpened \"%1\"").arg(good)));
        QCOMPARE(dialogFilters, (QStringList{"image/bmp", "image/bmp", "image/bmp"}));
    }
    void refusals_data() { addTableRows(QStringLiteral("bitmap-refusals.txt")); }
    void refusals()
    {
        QFETCH(QStringList, row);
        if (row[3] != QLatin1String("none")) {
            QVERIFY(load({save(drawn(row), row[4])})->done());
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
        QCOMPARE(closer.text, row[6]);
        QCOMPARE(consoleText(*w), QStringLiteral("Validating if Bitmap can be printed\n") + row[5]);
        QCOMPARE(peer->readUntilQuiet(100), QByteArray());
    }
    // The raster rows of a one-bit picture, however its memory is laid out.
    void lsbFirstIsMirroredBackAndRowsEndWhereThePictureEnds()
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
        // Whatever a picture's memory holds past its last column never prints: here every bit of
        // it is set, for widths that end anywhere inside a byte.
        for (const int width : {1, 7, 9, 13, 100, 383}) {
            QImage picture(width, 3, QImage::Format_Mono);
            picture.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
            std::memset(picture.bits(), 0xFF, size_t(picture.sizeInBytes()));
            for (int x = 0; x < width; x += 3)
                picture.setPixel(x, 1, 0);
            QCOMPARE(raster::printFrame(picture).mid(8).toHex(' '), expectedRows(picture).toHex(' '));
        }
    }
};

QTEST_MAIN(TestBitmap)
#include "tst_bitmap.moc"
