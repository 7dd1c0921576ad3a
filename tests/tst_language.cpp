// The character-set samples and the stored QR code, pressed through their buttons over a
// pseudo-terminal, with the double-byte and two-byte samples decoded back to their text.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "demos/Pictures.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>

namespace {

// Hex of code points as two bytes each, high byte first.
QByteArray u16(std::initializer_list<std::pair<int, int>> ranges)
{
    QByteArray out;
    for (const auto &[first, last] : ranges)
        for (int c = first; c <= last; ++c)
            out += QByteArray::number(c >> 8, 16).rightJustified(2, '0') + ' '
                + QByteArray::number(c & 0xFF, 16).rightJustified(2, '0') + ' ';
    return out;
}

QByteArray u16(std::initializer_list<int> points)
{
    QByteArray out;
    for (int c : points)
        out += u16({{c, c}});
    return out;
}

QString decode(const char *charset, const QByteArray &bytes)
{
    iconv_t cd = iconv_open("UTF-8", charset);
    QByteArray out(bytes.size() * 4 + 4, '\0');
    char *src = const_cast<char *>(bytes.constData());
    size_t srcLeft = size_t(bytes.size()), dstLeft = size_t(out.size());
    char *dst = out.data();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return QStringLiteral("<undecodable>");
    out.truncate(out.size() - qsizetype(dstLeft));
    return QString::fromUtf8(out);
}

const QByteArray LATIN = "41 42 43 44 61 62 63 64 31 32 33 34 25 26 2F 21 29 28 2E 2D 5F 3B 80 24 40 A3 A5 A9 AE ";

QByteArray languagePattern()
{
    QByteArray p = "1B 40 0A '[00h-7Fh]' 0A " + LATIN + "0A 0A ";
    p += "'[A0h-FFh]' 0A C6 C3 C0 DC FC A5 B5 DE D8 F8 D1 F1 80 C6 D4 DF F0 EB E7 FA EF D9 FF DC 0A 0A ";
    p += "'[100h-17Fh]' 0A "
        + u16({0x012B, 0x0135, 0x0107, 0x0126, 0x0176, 0x0108, 0x0119, 0x010E, 0x017D, 0x014E, 0x015C, 0x017F, 0x0151,
            0x0162, 0x0132, 0x014A, 0x016F})
        + "0A 0A ";
    p += "'[1A0h-1CFh 1F0h-1FFh 210h-21Fh]' 0A "
        + u16({0x01A0, 0x01AD, 0x01BB, 0x01CE, 0x01CF, 0x01F1, 0x01F9, 0x01FF, 0x0210, 0x0216, 0x0219, 0x021C, 0x021F,
            0x01BE, 0x01FC, 0x021B})
        + "0A 0A ";
    p += "'[1EA0h-1EF9h]' 0A "
        + u16({0x1EA1, 0x1EC7, 0x1EF3, 0x1EAB, 0x1EDB, 0x1EE9, 0x1EF1, 0x1ED6, 0x1EE7, 0x1EED, 0x1ECF, 0x1EDD, 0x1EBC,
            0x1EF9, 0x1ECA, 0x1EB5})
        + "0A 0A ";
    p += "'[Setting Small Font]' 0A 1B 4D 01 " + LATIN + "0A 0A ";
    p += "1B 4D 02 '[Setting Standard Font]' 0A " + LATIN + "0A 0A ";
    p += "'[DoubleByte - Chinese]' 0A 1C 26 B7 C9 C1 F7 D6 B1 CF C2 C8 FD C7 A7 B3 DF A3 AC D2 C9 CA C7 D2 F8 BA D3 "
         "C2 E4 BE C5 CC EC 0A 0A 1C 2E ";
    p += "'[DoubleByte - Hiragana]' 0A 1C 26 " + u16({{0x2421, 0x242F}}) + "0A " + u16({{0x2430, 0x243F}}) + "0A "
        + u16({{0x2440, 0x244F}}) + "0A " + u16({{0x2450, 0x245F}}) + "0A " + u16({{0x2460, 0x246F}}) + "0A "
        + u16({{0x2470, 0x2473}}) + "0A 0A 1C 2E ";
    p += "'[DoubleByte - Katakana]' 0A 1C 26 " + u16({{0x2521, 0x252E}}) + "0A " + u16({{0x2530, 0x253E}}) + "0A "
        + u16({{0x2540, 0x254E}}) + "0A " + u16({{0x2550, 0x255E}}) + "0A " + u16({{0x2560, 0x256E}}) + "0A "
        + u16({{0x2570, 0x2576}}) + "1C 2E 0A 0A ";
    p += "1C 26 42 67 38 36 24 64 44 33 24 4E 3D 50 24 46 49 71 24 26 5B 30 37 6E 1C 2E 0A 0A ";
    p += "'[Latin Language]' 0A " + LATIN + "0A 0A ";
    p += "'[Greek Language]' 0A '[Firmware 04/2020 or newer]' 0A '[0374h-0375h 037Ah-037Eh]' 0A "
         "'[0384h-038Ah 038Ch]' 0A '[038Eh-03A1h 03A3h-03CEh]' 0A ";
    p += "0A " + u16({{0x0374, 0x0375}, {0x037A, 0x037E}}) + "0A "
        + u16({{0x0384, 0x038A}, {0x038C, 0x038C}, {0x038E, 0x038F}}) + "0A " + u16({{0x0390, 0x039F}}) + "0A "
        + u16({{0x03A0, 0x03A1}, {0x03A3, 0x03AF}}) + "0A " + u16({{0x03B0, 0x03BF}}) + "0A " + u16({{0x03C0, 0x03CE}})
        + "0A 0A ";
    p += "'[Arabic Language]' 0A '[Firmware 04/2020 or newer]' 0A '[060Ch 061Bh 061F]' 0A '[0621h-063Ah]' 0A "
         "'[0640h-0655h]' 0A '[0660h-066Fh]' 0A '[0671h-06EDh]' 0A '[06F0h-06FEh]' 0A ";
    p += "0A " + u16({0x060C, 0x061B, 0x061F}) + "0A " + u16({{0x0621, 0x062F}}) + "0A " + u16({{0x0630, 0x063A}})
        + "0A " + u16({{0x0640, 0x064F}}) + "0A " + u16({{0x0650, 0x0658}}) + "0A " + u16({{0x0660, 0x066F}}) + "0A "
        + u16({{0x0671, 0x067F}});
    for (int block = 0x0680; block <= 0x06F0; block += 0x10)
        p += "0A " + u16({{block, block + 15}});
    return p + "0A 0A";
}

// The writes of the job between entering and leaving double-byte mode, each one line.
QList<QByteArray> doubleByteRuns(const jobs::Job &job)
{
    QList<QByteArray> runs;
    bool inside = false;
    for (const QByteArray &w : job.writes) {
        if (w == hex("1C 26"))
            inside = true;
        else if (w == hex("1C 2E"))
            inside = false;
        else if (inside && w != hex("0A"))
            runs << w;
    }
    return runs;
}

} // namespace

class TestLanguage : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void languageStreamAndConsole();
    void doubleByteSamplesDecode();
    void twoByteSamplesDecode();
    void qrSampleStream();
    void qrSamplePicture();

private:
};

void TestLanguage::languageStreamAndConsole()
{
    const QByteArray pattern = languagePattern();
    press(*w, "pushButtonLanguage");
    QByteArray got = peer->read(patternLength(pattern));
    got += peer->readUntilQuiet(100); // anything beyond the job is a fault too
    const QString mismatch = matchStream(got, pattern);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    const QStringList lines = consoleText(*w).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("Printing languages"));
    // The explanation is one paragraph of 1040 characters holding its own line breaks.
    const QString text = consoleText(*w);
    const qsizetype start = text.indexOf(QLatin1Char('\n')) + 1;
    const qsizetype end = text.indexOf(QStringLiteral("\nSetting Font to Small"));
    QCOMPARE(end - start, 1040);
    QVERIFY(text.mid(start).startsWith(QStringLiteral("The Controller works with Unicode however basic Latin")));
    QVERIFY(text.contains(
        QStringLiteral("(unicode >=\t 0x1EA0UL && unicode <= 0x1EF9UL) ||  part of Latin Extended Additional\n")));
    QVERIFY(text.contains(
        QStringLiteral("[060Ch 061Bh 061F 0621h-063Ah 0640h-0655h 0660h-066Fh 0671h-06EDh 06F0h-06FEh]\n\n")));
    QCOMPARE(text.mid(end + 1).split(QLatin1Char('\n')),
        (QStringList{"Setting Font to Small", "Setting Font to Standard", "Printing DoubleByte Language", "Chinese",
            "Japanese - Hiragana", "Japanese - Katakana", "Latin Language", "Greek Language", "Arabic Language"}));
}

void TestLanguage::doubleByteSamplesDecode()
{
    const QList<QByteArray> runs = doubleByteRuns(jobs::language());
    QCOMPARE(runs.size(), 1 + 6 + 6 + 1);
    QCOMPARE(decode("GB2312", runs.first()), QStringLiteral("飞流直下三千尺，疑是银河落九天"));
    auto eucJp = [](QByteArray jis) {
        for (char &c : jis)
            c = char(quint8(c) | 0x80);
        return decode("EUC-JP", jis);
    };
    QCOMPARE(eucJp(runs.last()), QStringLiteral("大原や蝶の出て舞う朧月"));
    const QList<int> hiragana{15, 16, 16, 16, 16, 4}, katakana{14, 15, 15, 15, 15, 7};
    for (int i = 0; i < 6; ++i) {
        const QString h = eucJp(runs.at(1 + i)), k = eucJp(runs.at(7 + i));
        QCOMPARE(h.size(), hiragana.at(i));
        QCOMPARE(k.size(), katakana.at(i));
        for (QChar c : h)
            QVERIFY(c.unicode() >= 0x3041 && c.unicode() <= 0x3093); // hiragana
        for (QChar c : k)
            QVERIFY(c.unicode() >= 0x30A1 && c.unicode() <= 0x30F6); // katakana
    }
    QCOMPARE(eucJp(runs.at(1)).at(0), QChar(0x3041)); // ぁ, JIS 2421
}

void TestLanguage::twoByteSamplesDecode()
{
    const jobs::Job job = jobs::language();
    auto sampleAfter = [&](const QByteArray &heading, int skip = 1) {
        const qsizetype i = job.writes.indexOf(heading);
        return decode("UTF-16BE", job.writes.value(i + 1 + skip));
    };
    QCOMPARE(sampleAfter("[100h-17Fh]"), QStringLiteral("īĵćĦŶĈęĎŽŎŜſőŢĲŊů"));
    const QString extB = sampleAfter("[1A0h-1CFh 1F0h-1FFh 210h-21Fh]");
    QCOMPARE(extB.size(), 16);
    QCOMPARE(extB.front(), QChar(0x01A0));
    QCOMPARE(extB.back(), QChar(0x021B));
    // The last Greek line and the last Arabic line.
    const qsizetype greekEnd = job.writes.indexOf(QByteArray("[Arabic Language]\n")) - 3;
    QCOMPARE(decode("UTF-16BE", job.writes.at(greekEnd)).back(), QChar(0x03CE));
    const QString arabicLast = decode("UTF-16BE", job.writes.at(job.writes.size() - 3));
    QCOMPARE(arabicLast.size(), 16);
    QCOMPARE(arabicLast.back(), QChar(0x06FF));
    // No sample carries a terminating zero byte.
    for (const QByteArray &w : job.writes)
        QVERIFY(!w.contains('\0'));
}

void TestLanguage::qrSampleStream()
{
    press(*w, "pushButtonBitmap");
    const QByteArray pattern = "1B 40 1D 76 30 00 1D 00 E8 00 <6728>";
    QList<QByteArray> pictures;
    QByteArray got = peer->read(patternLength(pattern));
    got += peer->readUntilQuiet(100); // anything beyond the job is a fault too
    const QString mismatch = matchStream(got, pattern, &pictures);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(pictures.first(), pictures::qr_sample.bytes());
    QCOMPARE(consoleText(*w), QStringLiteral("Printing a sample QR code"));
}

void TestLanguage::qrSamplePicture()
{
    const pictures::Picture &qr = pictures::qr_sample;
    QCOMPARE(qr.width, 232);
    QCOMPARE(qr.height, 232);
    QCOMPARE(qr.size(), 6728);
    auto dot = [&](int x, int y) { return (qr.data[y * 29 + x / 8] >> (7 - x % 8)) & 1; };
    int dark = 0;
    for (int y = 0; y < 232; ++y) {
        for (int x = 0; x < 232; ++x) {
            const bool border = x < 16 || y < 16 || x >= 216 || y >= 216;
            if (border)
                QCOMPARE(dot(x, y), 0);
            else
                QCOMPARE(dot(x, y), dot(16 + (x - 16) / 8 * 8, 16 + (y - 16) / 8 * 8)); // 8 x 8 modules
            dark += dot(x, y);
        }
    }
    QVERIFY(dark > 232 * 232 / 5);
    // Finder pattern: the top-left module row is 7 dark modules, then a light one.
    for (int m = 0; m < 7; ++m)
        QCOMPARE(dot(16 + m * 8, 16), 1);
    QCOMPARE(dot(16 + 7 * 8, 16), 0);

    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        QFAIL("zbarimg (zbar-tools) is needed to decode the sample");
    QImage image(qr.data, qr.width, qr.height, qr.bytesPerRow, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("qr.png"));
    QVERIFY(image.save(file));
    QProcess zbar;
    zbar.start(zbarimg, {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    QVERIFY(zbar.waitForFinished(20000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), QStringLiteral("Printer Ruvela - ZPC3x"));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
