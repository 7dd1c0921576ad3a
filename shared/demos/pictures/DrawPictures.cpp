// Draws the demonstration pictures the jobs carry and writes them as one-bit PBM files.
// Run it from the build tree (cmake -DRUVELA_PICTURE_TOOLS=ON) with the output folder as its
// argument; the files it writes are checked in under shared/demos/pictures/.
//
// Everything is drawn without antialiasing, as a thermal head prints whole dots, with the
// DejaVu fonts from Debian's fonts-dejavu-core so that the result does not depend on the
// desktop's font set-up. The QR sample comes from libqrencode.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <qrencode.h>

#include <cstdio>

namespace {

const char fontDir[] = "/usr/share/fonts/truetype/dejavu/";

QString family(const char *file)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(fontDir) + QLatin1String(file));
    if (id < 0) {
        std::fprintf(stderr, "missing font %s%s\n", fontDir, file);
        std::exit(1);
    }
    return QFontDatabase::applicationFontFamilies(id).constFirst();
}

QFont font(const QString &fam, int pixelSize, bool bold = false)
{
    QFont f(fam);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// A white canvas to draw on in black; written out with any non-white pixel as a dot.
QImage canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

void begin(QPainter &p, QImage &img)
{
    p.begin(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
}

bool writePbm(const QImage &img, const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const int stride = (img.width() + 7) / 8;
    f.write(QStringLiteral("P4\n%1 %2\n").arg(img.width()).arg(img.height()).toLatin1());
    QByteArray row(stride, '\0');
    for (int y = 0; y < img.height(); ++y) {
        row.fill('\0');
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) < 128)
                row[x / 8] = char(quint8(row[x / 8]) | (0x80 >> (x % 8)));
        }
        f.write(row);
    }
    return true;
}

void centredText(QPainter &p, const QRect &box, const QString &text) { p.drawText(box, Qt::AlignCenter, text); }

// 384 x 94: the wordmark, a tag line, and a round emblem at the upper right.
QImage header(const QString &sans, const QString &mono)
{
    QImage img = canvas(384, 94);
    QPainter p;
    begin(p, img);
    p.setFont(font(sans, 44, true));
    p.drawText(QRect(8, 14, 300, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ruvela"));
    p.fillRect(10, 66, 290, 3, Qt::black);
    p.setFont(font(mono, 14));
    p.drawText(QRect(10, 72, 300, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZPC3x thermal printing"));

    // Emblem: a ring with a receipt leaving a printer slot.
    const QPoint c(344, 34);
    p.setBrush(Qt::black);
    p.drawEllipse(c, 30, 30);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, 26, 26);
    p.setBrush(Qt::black);
    p.drawRect(c.x() - 17, c.y() - 8, 34, 12); // printer body
    p.setBrush(Qt::white);
    p.drawRect(c.x() - 11, c.y() - 4, 22, 3); // paper slot
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    QPainterPath paper;
    paper.moveTo(c.x() - 10, c.y() + 4);
    paper.lineTo(c.x() - 10, c.y() + 18);
    for (int i = 0; i < 5; ++i) // torn edge
        paper.lineTo(c.x() - 8 + i * 4, c.y() + (i % 2 ? 18 : 15));
    paper.lineTo(c.x() + 10, c.y() + 18);
    paper.lineTo(c.x() + 10, c.y() + 4);
    p.drawPath(paper);
    p.drawLine(c.x() - 6, c.y() + 8, c.x() + 6, c.y() + 8);
    p.drawLine(c.x() - 6, c.y() + 11, c.x() + 3, c.y() + 11);
    p.end();
    return img;
}

// 256 x 20: eight arrow pictograms, ink in rows 4 to 16.
QImage arrows()
{
    QImage img = canvas(256, 20);
    QPainter p;
    begin(p, img);
    p.setBrush(Qt::black);
    // One arrow pointing right, centred at the origin, 13 dots tall (-6..6).
    const QPolygon right({{-7, -2}, {1, -2}, {1, -6}, {7, 0}, {1, 6}, {1, 2}, {-7, 2}});
    const int angles[] = {0, 90, 180, 270, 45, 135, 225, 315};
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(16 + 32 * i, 10);
        p.rotate(angles[i]);
        if (angles[i] % 90)
            p.scale(0.85, 0.85); // keep the diagonal ones within the same rows
        p.drawPolygon(right);
        p.restore();
    }
    p.end();
    // The rotation can round onto rows 3 or 17; keep the band the job promises.
    for (int y : {0, 1, 2, 3, 17, 18, 19})
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(255, 255, 255));
    return img;
}

// 72 x 20: the digits 1 to 4 in circles, ink in rows 4 to 14. The digits are drawn from a
// 5 x 7 dot pattern; no outline font stays legible this small without antialiasing.
QImage digits()
{
    static const char *const glyphs[4][7] = {
        {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
        {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
        {"####.", "....#", "....#", ".###.", "....#", "....#", "####."},
        {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
    };
    QImage img = canvas(72, 20);
    QPainter p;
    begin(p, img);
    for (int d = 0; d < 4; ++d) {
        const int left = 3 + 18 * d; // circle box 11 x 11 at rows 4..14
        p.drawEllipse(left, 4, 10, 10);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (glyphs[d][row][col] == '#')
                    p.fillRect(left + 3 + col, 6 + row, 1, 1, Qt::black);
    }
    p.end();
    return img;
}

// 256 x 256: four lines of large lettering between rows 48 and 200.
QImage lettering(const QString &sans)
{
    QImage img = canvas(256, 256);
    QPainter p;
    begin(p, img);
    p.setFont(font(sans, 34, true));
    const QString lines[]
        = {QStringLiteral("Crisp"), QStringLiteral("Thermal"), QStringLiteral("Dots at"), QStringLiteral("8/mm")};
    for (int i = 0; i < 4; ++i)
        centredText(p, QRect(0, 50 + 38 * i, 256, 36), lines[i]);
    p.end();
    return img;
}

// 384 x 256: a shop's letterhead; rows 0..32 and 226..255 stay blank.
QImage receiptLogo(const QString &sans, const QString &serif)
{
    QImage img = canvas(384, 256);
    QPainter p;
    begin(p, img);
    p.setFont(font(serif, 22));
    centredText(p, QRect(0, 36, 384, 28), QStringLiteral("~ Welcome to ~"));
    p.setFont(font(sans, 64, true));
    centredText(p, QRect(0, 64, 384, 76), QStringLiteral("RUVELA"));
    p.fillRect(40, 144, 304, 3, Qt::black);
    p.setFont(font(sans, 17));
    const QString small[]
        = {QStringLiteral("Fresh Food & Dairy Market"), QStringLiteral("12 Harbour Street, Springfield"),
            QStringLiteral("Tel. 0123 456 789"), QStringLiteral("Open daily 7:00 - 22:00")};
    for (int i = 0; i < 4; ++i)
        centredText(p, QRect(0, 150 + 19 * i, 384, 19), small[i]);
    p.end();
    return img;
}

// 232 x 232: a version 2 QR code, 8 x 8 dots a module, inside a 16-dot white border.
QImage qrSample(const char *text)
{
    QRcode *code = QRcode_encodeString(text, 2, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code || code->version != 2 || code->width != 25) {
        std::fprintf(stderr, "the QR text does not fit version 2\n");
        std::exit(1);
    }
    QImage img = canvas(232, 232);
    for (int my = 0; my < 25; ++my)
        for (int mx = 0; mx < 25; ++mx)
            if (code->data[my * 25 + mx] & 1)
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        img.setPixel(16 + mx * 8 + x, 16 + my * 8 + y, qRgb(0, 0, 0));
    QRcode_free(code);
    return img;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString sans = family("DejaVuSans-Bold.ttf");
    const QString mono = family("DejaVuSansMono.ttf");
    const QString serif = family("DejaVuSerif.ttf");
    family("DejaVuSans.ttf");

    const struct
    {
        const char *name;
        QImage image;
    } pictures[] = {
        {"header", header(sans, mono)},
        {"arrows", arrows()},
        {"digits", digits()},
        {"lettering", lettering(sans)},
        {"receipt_logo", receiptLogo(sans, serif)},
        {"qr_sample", qrSample("Printer Ruvela - ZPC3x")},
    };
    for (const auto &pic : pictures) {
        const QString path = out.filePath(QString::fromLatin1(pic.name) + QStringLiteral(".pbm"));
        if (!writePbm(pic.image, path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
