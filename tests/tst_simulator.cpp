// The virtual controller: what each demonstration job prints, checked on the paper where it can
// be checked exactly, and how it stands up to bad input.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "demos/Pictures.h"
#include "simulator/Interpreter.h"
#include "simulator/PtyEndpoint.h"

#include <QAction>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using sim::Interpreter;

namespace {

Interpreter run(const QByteArray &stream, int headType = 0)
{
    Interpreter interpreter(headType);
    interpreter.feed(stream);
    interpreter.finish();
    return interpreter;
}

// Ink is anything darker than the paper.
bool inked(const QImage &paper, int x, int y) { return paper.constScanLine(y)[x] < 255; }

// The columns and rows that hold ink within rows [top, bottom).
QRect inkBox(const QImage &paper, int top = 0, int bottom = -1)
{
    if (bottom < 0)
        bottom = paper.height();
    int left = paper.width(), right = -1, first = -1, last = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < paper.width(); ++x) {
            if (inked(paper, x, y)) {
                left = qMin(left, x);
                right = qMax(right, x);
                if (first < 0)
                    first = y;
                last = y;
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, first), QPoint(right, last));
}

QString zbar(const QImage &paper)
{
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        return QStringLiteral("<zbarimg missing>");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("paper.png"));
    // A white margin around the roll, as scanners want a quiet zone.
    QImage framed(paper.width() + 80, paper.height() + 80, QImage::Format_Grayscale8);
    framed.fill(255);
    for (int y = 0; y < paper.height(); ++y)
        std::memcpy(framed.scanLine(y + 40) + 40, paper.constScanLine(y), size_t(paper.width()));
    framed.save(file);
    QProcess p;
    p.start(zbarimg,
        {QStringLiteral("-q"), QStringLiteral("-Sean13.enable"), QStringLiteral("-Supca.enable"),
            QStringLiteral("-Supce.enable"), QStringLiteral("-Scodabar.enable"), QStringLiteral("-Scode93.enable"),
            QStringLiteral("-Si25.enable"), file});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QByteArray text(const char *line, const char *before = "") { return hex(before) + line + '\n'; }

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void picturesArePixelExact_data();
    void picturesArePixelExact();
    void barcodesDecode_data();
    void barcodesDecode();
    void qrCodesDecode();
    void alignment();
    void leftMarginMovesInk();
    void doubleWidthDoublesInk();
    void reversePrintsLightOnDark();
    void cutsLeaveTheirMarks();
    void darknessLevels();
    void wrapsTabsAndPlaceholders();
    void chunkingDoesNotMatter();
    void headTypesSetThePaperWidth();
    void logNamesCommands();
    void storedBitmapsSleepAndClearing();
    void badInputNeverCrashes();
    void answersOverARealLine();
    void commandLine();

private:
    QList<std::pair<QString, QByteArray>> demoStreams();
};

QList<std::pair<QString, QByteArray>> TestSimulator::demoStreams()
{
    QList<std::pair<QString, QByteArray>> all = {
        {"quick test", jobs::quickTest().stream()},
        {"attributes", jobs::attributes().stream()},
        {"density", jobs::density().stream()},
        {"formatting", jobs::formatting().stream()},
        {"alignment", jobs::alignment().stream()},
        {"receipt", jobs::receipt(jobs::Cut::Partial).stream()},
        {"language", jobs::language().stream()},
        {"qr", jobs::qrSample().stream()},
    };
    for (int system = 0; system <= 8; ++system)
        all.append(
            {QStringLiteral("barcode %1").arg(system), jobs::barcode(cmd::BarcodeSystem(system), true).stream()});
    return all;
}

void TestSimulator::picturesArePixelExact_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<const pictures::Picture *>>("expected");
    QTest::newRow("receipt logo") << jobs::receipt(jobs::Cut::None).stream()
                                  << QList<const pictures::Picture *>{&pictures::receipt_logo};
    QTest::newRow("quick test") << jobs::quickTest().stream()
                                << QList<const pictures::Picture *>{
                                       &pictures::header, &pictures::arrows, &pictures::digits, &pictures::lettering};
    QTest::newRow("QR sample") << jobs::qrSample().stream() << QList<const pictures::Picture *>{&pictures::qr_sample};
}

void TestSimulator::picturesArePixelExact()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<const pictures::Picture *>, expected);
    const Interpreter interpreter = run(stream);
    const QImage paper = interpreter.paper().image();
    QList<int> tops;
    for (const sim::LogEntry &e : interpreter.log())
        if (e.name == QLatin1String("picturePrintH"))
            tops << e.firstRow;
    QCOMPARE(tops.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const pictures::Picture &pic = *expected.at(i);
        for (int y = 0; y < pic.height; ++y) {
            for (int x = 0; x < pic.width; ++x) {
                const bool dot = (pic.data[y * pic.bytesPerRow + x / 8] >> (7 - x % 8)) & 1;
                if (dot != inked(paper, x, tops.at(i) + y))
                    QFAIL(qPrintable(QStringLiteral("picture %1 differs at %2,%3").arg(i).arg(x).arg(y)));
            }
        }
    }
}

void TestSimulator::barcodesDecode_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QStringList>("accepted"); // zbar's spelling, check digits included
    QTest::newRow("UPC-A") << 0 << QStringList{"UPC-A:012345678905", "EAN-13:0012345678905"};
    QTest::newRow("UPC-E") << 1 << QStringList{"UPC-E:00123457", "UPC-E:01234565"};
    QTest::newRow("EAN-13") << 2 << QStringList{"EAN-13:0123456789012", "UPC-A:123456789012"};
    QTest::newRow("EAN-8") << 3 << QStringList{"EAN-8:01234565"};
    QTest::newRow("CODE 39") << 4 << QStringList{"CODE-39:123456ZPC32"};
    QTest::newRow("ITF") << 5 << QStringList{"I2/5:12345678"};
    QTest::newRow("CODABAR") << 6 << QStringList{"Codabar:A123456A"};
    QTest::newRow("CODE 93") << 7 << QStringList{"CODE-93:12345678"};
    QTest::newRow("CODE 128") << 8 << QStringList{"CODE-128:12345678"};
}

void TestSimulator::barcodesDecode()
{
    QFETCH(int, system);
    QFETCH(QStringList, accepted);
    const Interpreter interpreter = run(jobs::barcode(cmd::BarcodeSystem(system), false).stream());
    QCOMPARE(interpreter.unknownCount(), 0);
    const QString decoded = zbar(interpreter.paper().image());
    QVERIFY2(accepted.contains(decoded), qPrintable(decoded));
}

void TestSimulator::qrCodesDecode()
{
    QCOMPARE(zbar(run(jobs::qrSample().stream()).paper().image()), QStringLiteral("QR-Code:Printer Ruvela - ZPC3x"));
    // The controller's own QR commands: size, error correction, data, print.
    const quint8 *data = reinterpret_cast<const quint8 *>("ZPC3x stored QR");
    const QByteArray stream = cmd::setQRSizeVersion(6) + cmd::setQRcodeErrorCorrection(49)
        + cmd::transferQRcodeData(15, data) + cmd::printQRcodeData();
    QCOMPARE(zbar(run(stream).paper().image()), QStringLiteral("QR-Code:ZPC3x stored QR"));
}

void TestSimulator::alignment()
{
    const QImage centred = run(text("Center: abcd", "1B 61 01")).paper().image();
    const QRect c = inkBox(centred);
    QVERIFY2(qAbs((c.left() + c.right()) / 2 - 192) <= 6, qPrintable(QString::number(c.center().x())));
    const QRect r = inkBox(run(text("Right: abcd", "1B 61 02")).paper().image());
    QVERIFY2(r.right() >= 384 - 8 && r.right() < 384, qPrintable(QString::number(r.right())));
    // Right-aligned against a right limit of 38 mm.
    const QRect limited = inkBox(run(text("abcd", "1B 51 26 1B 61 02")).paper().image());
    QVERIFY2(limited.right() >= 304 - 8 && limited.right() < 304, qPrintable(QString::number(limited.right())));
}

void TestSimulator::leftMarginMovesInk()
{
    const QRect plain = inkBox(run(text("abcd")).paper().image());
    const QRect moved = inkBox(run(text("abcd", "1B 6C 08")).paper().image());
    QCOMPARE(moved.left() - plain.left(), 64);
    // A barcode moves with it: 4 mm is 32 dots.
    const QRect code = inkBox(run(jobs::barcode(cmd::Ean8, false).stream()).paper().image(), 60);
    const QRect shifted = inkBox(run(jobs::barcode(cmd::Ean8, true).stream()).paper().image(), 60);
    QCOMPARE(shifted.left() - code.left(), 32);
}

void TestSimulator::doubleWidthDoublesInk()
{
    const QRect normal = inkBox(run(text("HHHH")).paper().image());
    const QRect wide = inkBox(run(text("HHHH", "1B 21 20")).paper().image());
    QVERIFY2(qAbs(wide.width() - 2 * normal.width()) <= 2,
        qPrintable(QStringLiteral("%1 vs %2").arg(wide.width()).arg(normal.width())));
    QCOMPARE(wide.height(), normal.height());
    const QRect tall = inkBox(run(text("HHHH", "1B 21 10")).paper().image());
    QVERIFY(qAbs(tall.height() - 2 * normal.height()) <= 2);
}

void TestSimulator::reversePrintsLightOnDark()
{
    const QImage paper = run(text("Reverse", "1B 21 40")).paper().image();
    const QRect band = inkBox(paper);
    QCOMPARE(band.width(), 7 * 12);
    int dark = 0, light = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            (inked(paper, x, y) ? dark : light)++;
    QVERIFY(dark > 2 * light); // mostly dark band
    QVERIFY(light > 50); // with the letters left light
}

void TestSimulator::cutsLeaveTheirMarks()
{
    auto fullRows = [](const QImage &paper) {
        int rows = 0;
        for (int y = 0; y < paper.height(); ++y) {
            int n = 0;
            for (int x = 0; x < paper.width(); ++x)
                n += inked(paper, x, y);
            rows += n == paper.width();
        }
        return rows;
    };
    const QImage full = run(hex("1B 69")).paper().image();
    const QImage partial = run(hex("1B 6E")).paper().image();
    QVERIFY(fullRows(full) >= 2);
    QCOMPARE(fullRows(partial), 0);
    const QRect mark = inkBox(partial);
    QVERIFY(mark.width() > 300); // across the roll
    QVERIFY(!inked(partial, 192, mark.top())); // the middle holds
    QVERIFY(full != partial);
}

void TestSimulator::darknessLevels()
{
    const QImage light = run(text("dark", "1B 6D 01")).paper().image();
    const QImage dark = run(text("dark", "1B 6D 08")).paper().image();
    const QImage standard = run(text("dark", "1B 6D 00")).paper().image();
    auto ink = [](const QImage &paper) {
        int lowest = 255;
        for (int y = 0; y < paper.height(); ++y)
            for (int x = 0; x < paper.width(); ++x)
                lowest = qMin(lowest, int(paper.constScanLine(y)[x]));
        return lowest;
    };
    QVERIFY(ink(dark) < ink(light));
    QCOMPARE(ink(standard), ink(run(text("dark", "1B 6D 04")).paper().image()));
    QCOMPARE(ink(dark), 0);
}

void TestSimulator::wrapsTabsAndPlaceholders()
{
    // 33 characters on a 32-column line: the last one wraps onto a line of its own.
    const Interpreter wrapped = run(text("................................."));
    const QImage paper = wrapped.paper().image();
    const QRect first = inkBox(paper, 0, 24), second = inkBox(paper, 24);
    QVERIFY(first.right() > 370);
    QVERIFY(second.isValid() && second.right() < 12);
    // Tab stops in standard columns; a stop beyond the line is ignored and HT then does nothing.
    const QImage tabs = run(hex("1B 44 02 04 26 00 09 'a' 09 'b' 09 'c' 0A")).paper().image();
    const QRect a = inkBox(tabs), all = inkBox(tabs);
    QVERIFY(a.left() >= 24 && a.left() < 36);
    QVERIFY(all.right() < 5 * 12 + 12); // "c" right after "b" at column 4
    // A character no font has shows as a box, never as nothing.
    const Interpreter unknownChar = run(hex("0F 40 0A")); // Tibetan, which no font here has
    QCOMPARE(unknownChar.placeholderCount(), 1);
    QVERIFY(inkBox(unknownChar.paper().image()).isValid());
    QCOMPARE(run(jobs::language().stream()).placeholderCount(), 0);
}

void TestSimulator::chunkingDoesNotMatter()
{
    QByteArray all;
    for (const auto &job : demoStreams())
        all += job.second;
    const QImage whole = run(all).paper().image();
    QRandomGenerator rng(7);
    for (int round = 0; round < 4; ++round) {
        Interpreter interpreter;
        for (qsizetype at = 0; at < all.size();) {
            const qsizetype n = qMin<qsizetype>(all.size() - at, 1 + rng.bounded(round == 0 ? 3 : 700));
            interpreter.feed(all.mid(at, n));
            at += n;
        }
        interpreter.finish();
        QVERIFY(interpreter.paper().image() == whole);
    }
}

void TestSimulator::headTypesSetThePaperWidth()
{
    for (int type = 0; type < 8; ++type)
        QCOMPARE(Interpreter(type).paperWidth(), type == 1 || type == 5 ? 576 : 384);
    const Interpreter switched = run(hex("1B 5A 05") + text("abc", "1B 61 02"));
    QCOMPARE(switched.paperWidth(), 576);
    QCOMPARE(inkBox(switched.paper().image()).right() / 8, 575 / 8);
    // A reset keeps the head type.
    QCOMPARE(run(hex("1B 5A 01 1B 40") + text("x")).paperWidth(), 576);
}

void TestSimulator::logNamesCommands()
{
    const Interpreter interpreter
        = run(hex("1B 40 1B 21 08 'Hi' 0A 1B 7F 1D 6B 41 0B '01234567890' 1D 76 30 00 01 00 05 00 AA"));
    QStringList lines;
    for (const sim::LogEntry &e : interpreter.log())
        lines << QStringLiteral("%1 %2 %3").arg(e.offset).arg(e.name, e.args).trimmed();
    QCOMPARE(lines,
        (QStringList{"0 printerSoftInit", "2 fontTypeSet 8", "5 printStr Hi", "7 printLF", "8 unknown 1B 7F",
            "9 printStr \\x7f", "10 barcodePrint 0 \"01234567890\"", "25 picturePrintH 0 1 5",
            "34 truncated 4 data bytes missing"}));
    QCOMPARE(interpreter.unknownCount(), 1);
    QCOMPARE(interpreter.truncatedCount(), 1);
}

void TestSimulator::storedBitmapsSleepAndClearing()
{
    // A stored bitmap survives a reset and prints bit for bit, twice as wide in mode 1.
    const quint8 bits[] = {0xF0, 0x0F, 0xAA, 0x55};
    const Interpreter stored = run(
        cmd::downloadNVBitmap(2, 0, 2, 2, bits) + hex("1B 40") + cmd::printNVBitmap(2, 0) + cmd::printNVBitmap(2, 1));
    const QImage paper = stored.paper().image();
    QCOMPARE(paper.height(), 4);
    for (int x = 0; x < 16; ++x) {
        QCOMPARE(inked(paper, x, 0), bool((bits[x / 8] >> (7 - x % 8)) & 1));
        QCOMPARE(inked(paper, 2 * x, 2), bool((bits[x / 8] >> (7 - x % 8)) & 1));
        QCOMPARE(inked(paper, 2 * x + 1, 2), bool((bits[x / 8] >> (7 - x % 8)) & 1));
    }
    // DLE DC4 drops the line not yet printed.
    QVERIFY(!inkBox(run(hex("'lost' 10 14 0A")).paper().image()).isValid());
    // DLE SYN sleeps; the next byte wakes the controller and is then processed.
    Interpreter sleeper;
    sleeper.feed(hex("10 16"));
    QVERIFY(sleeper.isSleeping());
    QVERIFY(sleeper.status() & Interpreter::Sleeping);
    sleeper.feed(hex("'A' 0A"));
    QVERIFY(!sleeper.isSleeping());
    QVERIFY(inkBox(sleeper.paper().image()).isValid());
    // Data a symbology rejects prints a crossed box and says why in the log.
    const Interpreter rejected = run(hex("1D 6B 43 03 'abc'"));
    QVERIFY(inkBox(rejected.paper().image()).width() > 100);
    QVERIFY(rejected.log().last().args.contains(QStringLiteral("rejected")));
}

void TestSimulator::badInputNeverCrashes()
{
    QRandomGenerator rng(2026);
    const QByteArray prefixes = hex("1B 1D 1C 10 0A 09 00 01 A1 24 76 6B 28 71 70 44");
    const QList<std::pair<QString, QByteArray>> demos = demoStreams();
    for (int i = 0; i < 3000; ++i) {
        QByteArray stream;
        if (i % 3 == 0) {
            // A demonstration job cut at a random point.
            const QByteArray &job = demos.at(int(rng.bounded(qint64(demos.size())))).second;
            stream = job.left(rng.bounded(qint64(job.size()) + 1));
        } else {
            const int n = int(rng.bounded(600));
            for (int k = 0; k < n; ++k)
                stream.append(
                    rng.bounded(3) ? prefixes.at(int(rng.bounded(qint64(prefixes.size())))) : char(rng.bounded(256)));
        }
        Interpreter interpreter(int(rng.bounded(8)));
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype n = 1 + rng.bounded(qint64(64));
            interpreter.feed(stream.mid(at, n));
            at += n;
        }
        interpreter.finish();
        QVERIFY(interpreter.paper().rows() <= sim::Paper::maxRows);
        QVERIFY(interpreter.log().size() <= stream.size() + 2);
    }
    // Headers that claim the most the fields can say stay within the roll.
    Interpreter huge;
    huge.feed(hex("1D 76 30 00 FF FF FF FF") + QByteArray(1 << 20, '\xFF'));
    huge.feed(hex("1D 71 01 00 FF FF FF FF") + QByteArray(1 << 20, '\x55'));
    QVERIFY(huge.paper().rows() <= sim::Paper::maxRows);
    huge.finish();
    QCOMPARE(huge.truncatedCount(), 1);
}

void TestSimulator::answersOverARealLine()
{
    // The controller's end of a pseudo-terminal, wired as the program wires it.
    Interpreter interpreter;
    sim::PtyEndpoint endpoint;
    QVERIFY(endpoint.open());
    connect(&endpoint, &sim::PtyEndpoint::received, this, [&](const QByteArray &bytes) {
        interpreter.feed(bytes);
        endpoint.write(interpreter.takeReplies());
    });
    MainWindow window;
    QVERIFY(connectTo(window, endpoint.path()).startsWith(QStringLiteral("Connected to")));
    press(window, "pushButtonVersion");
    QTRY_COMPARE(consoleText(window), QStringLiteral("ZPC3x virtual controller 1.0, head type 0 (384 dots)\n"));
    press(window, "pushButtonStatus");
    QTRY_COMPARE(consoleText(window), QString(QChar(Interpreter::Fixed)));
    // The tool may hang up and call again.
    press(window, "pushButtonReceipt");
    QTRY_VERIFY(interpreter.paper().rows() > 1000);
    window.findChild<QAction *>("actionDisconnect")->trigger();
    window.findChild<QAction *>("actionConnect")->trigger();
    press(window, "pushButton80_576");
    QTRY_COMPARE(interpreter.headType(), 5);
    press(window, "pushButtonVersion");
    QTRY_COMPARE(consoleText(window), QStringLiteral("ZPC3x virtual controller 1.0, head type 5 (576 dots)\n"));
}

void TestSimulator::commandLine()
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("receipt.bin")), out = dir.filePath(QStringLiteral("receipt.png"));
    QFile capture(in);
    QVERIFY(capture.open(QIODevice::WriteOnly));
    capture.write(jobs::receipt(jobs::Cut::Full).stream());
    capture.close();

    QProcess render;
    render.start(QStringLiteral(ZPC3X_SIM),
        {QStringLiteral("--render"), in, QStringLiteral("-o"), out, QStringLiteral("--head-type"), QStringLiteral("1"),
            QStringLiteral("--log")});
    QVERIFY(render.waitForFinished(30000));
    QCOMPARE(render.exitCode(), 0);
    const QImage paper(out);
    QCOMPARE(paper.width(), 576);
    QVERIFY(paper.height() > 1000);
    const QStringList log = QString::fromUtf8(render.readAllStandardOutput()).split(QLatin1Char('\n'));
    QCOMPARE(log.first().simplified(), QStringLiteral("0 horizontalAlign 0"));
    QVERIFY(log.contains(QStringLiteral("   12304  printLF"))); // after 8 + 8 + 12288 bytes of logo

    // Serving: the path it prints, and the link it makes, lead to a controller that answers.
    QProcess serve;
    const QString link = dir.filePath(QStringLiteral("zpc3x"));
    serve.start(QStringLiteral(ZPC3X_SIM), {QStringLiteral("--no-window"), QStringLiteral("--link"), link});
    QByteArray announced;
    QTRY_VERIFY_WITH_TIMEOUT((announced += serve.readAllStandardOutput()).contains("/dev/pts/"), 10000);
    MainWindow window;
    QVERIFY(connectTo(window, link).startsWith(QStringLiteral("Connected to")));
    press(window, "pushButtonVersion");
    QTRY_COMPARE(consoleText(window), QStringLiteral("ZPC3x virtual controller 1.0, head type 0 (384 dots)\n"));
    serve.terminate(); // Ctrl+C or a polite kill ends it cleanly
    QVERIFY(serve.waitForFinished(10000));
    QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
    QCOMPARE(serve.exitCode(), 0);
}

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
