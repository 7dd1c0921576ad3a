// The virtual controller: what each demonstration job prints, checked on the paper where it can
// be checked exactly, and how it stands up to bad input.
#include "SimSupport.h"

#include "app/MainWindow.h"
#include "controller/CodeTables.h"
#include "controller/Interpreter.h"
#include "controller/Symbols.h"
#include "demos/Jobs.h"
#include "demos/Pictures.h"
#include "paperview/PaperView.h"

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using controller::Interpreter;

namespace {

// What a stream prints, fed in pieces of 1 to 700 bytes: how it arrives must not matter.
Interpreter run(const QByteArray &stream, int headType = 0)
{
    Interpreter interpreter(headType);
    QRandomGenerator rng(7);
    for (qsizetype at = 0, n = 0; at < stream.size(); at += n)
        interpreter.feed(stream.mid(at, n = 1 + rng.bounded(700)));
    interpreter.finish();
    return interpreter;
}

// Row y of the paper from its left edge, '#' for a dot of ink and '.' for none.
QString dotsOf(const QImage &paper, int y, int width)
{
    QString dots;
    for (int x = 0; x < width; ++x)
        dots += inked(paper, x, y) ? QLatin1Char('#') : QLatin1Char('.');
    return dots;
}

// Runs the virtual controller on input, under the limits `limit` sets in it; returns its exit
// code (-1 for a crash) and what it printed.
std::pair<int, QByteArray> runSim(
    const QStringList &args, const QByteArray &input = {}, std::function<void()> limit = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setChildProcessModifier(limit);
    p.start(QStringLiteral(ZPC3X_SIM), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(20000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void picturesArePixelExact()
    {
        using pictures::Picture;
        const QList<std::pair<QByteArray, QList<const Picture *>>> cases{
            {jobs::receipt(jobs::Cut::None).stream(), {&pictures::receipt_logo}},
            {jobs::quickTest().stream(),
                {&pictures::header, &pictures::arrows, &pictures::digits, &pictures::lettering}},
            {jobs::qrSample().stream(), {&pictures::qr_sample}}};
        for (const auto &[stream, expected] : cases) {
            const Interpreter interpreter = run(stream);
            QList<int> tops;
            for (const controller::LogEntry &e : interpreter.log())
                if (e.name == QLatin1String("picturePrintH"))
                    tops << e.firstRow;
            QCOMPARE(tops.size(), expected.size());
            for (int i = 0; i < expected.size(); ++i) {
                const Picture &pic = *expected.at(i);
                for (int y = 0; y < pic.height; ++y) {
                    QString want;
                    for (int x = 0; x < pic.width; ++x)
                        want += (pic.data[y * pic.bytesPerRow + x / 8] >> (7 - x % 8)) & 1 ? '#' : '.';
                    QCOMPARE(dotsOf(interpreter.paper().image(), tops.at(i) + y, pic.width), want);
                }
            }
        }
    }

    void barcodesDecode_data()
    {
        QTest::addColumn<int>("system");
        QTest::addColumn<QStringList>("accepted");
        QTest::addColumn<QByteArray>("stream");
        for (const QStringList &row : dataTable(QStringLiteral("barcodes.txt")))
            QTest::newRow(qPrintable(row.value(2, row[0])))
                << row[0].toInt() << row[1].split(QStringLiteral(", ")) << hex(row.value(2).toLatin1());
    }
    void barcodesDecode()
    {
        QFETCH(int, system);
        QFETCH(QStringList, accepted);
        QFETCH(QByteArray, stream);
        const Interpreter interpreter = run(!stream.isEmpty() ? stream
                : system < 0                                  ? jobs::qrSample().stream()
                             : jobs::barcode(cmd::BarcodeSystem(system), false).stream());
        QCOMPARE(interpreter.unknownCount(), 0);
        const QString decoded = zbar(interpreter.paper().image());
        QVERIFY2(accepted.contains(decoded), qPrintable(decoded));
        // The line under a code in code sets shows what a scanner reads from it.
        const qsizetype at = stream.indexOf("\x1Dk\x49");
        if (at >= 0)
            QCOMPARE(controller::encodeLinear(8, stream.mid(at + 4, quint8(stream.at(at + 3)))).text,
                decoded.section(':', 1));
    }

    void gs1DataSplitByItsIdentifiers_data() { addTableRows(QStringLiteral("gs1.txt")); }
    void gs1DataSplitByItsIdentifiers()
    {
        QFETCH(QStringList, row);
        const controller::LinearSymbol code = controller::encodeLinear(9, hex(row[0].toLatin1()));
        QVERIFY2(code.error.isEmpty(), qPrintable(code.error));
        QCOMPARE(code.text, row[1]);
    }

    void inkLandsWhereTheModesSay_data() { addTableRows(QStringLiteral("ink.txt")); }
    void inkLandsWhereTheModesSay()
    {
        QFETCH(QStringList, row);
        const QRect box = inkBox(run(hex(row[2].toLatin1()), row[1].toInt()).paper().image());
        if (row[3] == QLatin1String("none")) {
            QVERIFY2(!box.isValid(), "nothing should print");
            return;
        }
        QVERIFY2(box.left() >= row[3].toInt() && box.left() <= row[4].toInt() && box.right() >= row[5].toInt()
                && box.right() <= row[6].toInt(),
            qPrintable(QStringLiteral("ink from %1 to %2").arg(box.left()).arg(box.right())));
        if (row.size() > 8)
            QCOMPARE(std::make_pair(box.top(), box.bottom()), std::make_pair(row[7].toInt(), row[8].toInt()));
    }

    void arabicJoinsRightToLeft_data() { addTableRows(QStringLiteral("arabic.txt")); }
    void arabicJoinsRightToLeft()
    {
        QFETCH(QStringList, row);
        const QImage paper = run(hex(row[1].toLatin1())).paper().image();
        const QRect box = inkBox(paper);
        QVERIFY(box.isValid());
        int blankColumns = 0, tallestX = -1, tallestTop = paper.height();
        for (int x = box.left(); x <= box.right(); ++x) {
            int top = -1;
            for (int y = box.top(); y <= box.bottom() && top < 0; ++y)
                top = inked(paper, x, y) ? y : -1;
            blankColumns += top < 0;
            if (top >= 0 && top < tallestTop)
                tallestTop = top, tallestX = x;
        }
        QCOMPARE(blankColumns == 0, row[2] == QLatin1String("yes"));
        if (row[3] != QLatin1String("-"))
            QCOMPARE(tallestX < box.center().x() ? QStringLiteral("left") : QStringLiteral("right"), row[3]);
    }

    void codeTablesPrintTheirText_data() { addTableRows(QStringLiteral("codetables.txt")); }
    void codeTablesPrintTheirText()
    {
        QFETCH(QStringList, row);
        const QByteArray bytes = hex(row[2].toLatin1());
        QCOMPARE(controller::decodeCodeTable(row[1].toInt(), bytes), row[3]);
        const QByteArray selected = "\x1Bt" + QByteArray(1, char(row[1].toInt())) + bytes + '\n';
        const Interpreter interpreter = run(selected);
        // A table read by its own chart is built in: the log must not say it stands in for another.
        for (const controller::LogEntry &e : interpreter.log())
            QVERIFY2(!e.args.contains(QLatin1String("not built in")), qPrintable(e.args));
        QByteArray twoByte; // the same text in the controller's two-byte form, high byte first
        for (const QChar ch : std::as_const(row[3])) {
            const int hi = ch.unicode() >> 8;
            if (ch.unicode() >= 0x80 && (hi < 1 || hi > 0x1F))
                return; // no such form for this text
            if (ch.unicode() >= 0x80)
                twoByte += char(hi);
            twoByte += char(ch.unicode() & 0xFF);
        }
        QVERIFY(interpreter.paper().image() == run(twoByte + '\n').paper().image());
    }

    void everyCodeTableNumberReadsItsPage_data() { addTableRows(QStringLiteral("codetablebytes.txt")); }
    void everyCodeTableNumberReadsItsPage()
    {
        QFETCH(QStringList, row);
        const QByteArray byte = hex(row[3].toLatin1());
        QStringDecoder page(qPrintable(row[2]));
        QVERIFY2(page.isValid(), qPrintable(row[2]));
        const QString icu = page.decode(byte);
        QCOMPARE(icu, row[4]); // ICU reads the page as its chart says
        QCOMPARE(controller::decodeCodeTable(row[1].toInt(), byte), icu);
    }

    void rasterModeScales_data() { addTableRows(QStringLiteral("simulator-raster.txt")); }
    void rasterModeScales()
    {
        QFETCH(QStringList, row);
        const QStringList dots = row[2].split(QStringLiteral(" / "));
        const QImage paper = run(hex(row[1].toLatin1())).paper().image();
        QCOMPARE(inkBox(paper).top(), 0);
        QCOMPARE(paper.height(), dots.size());
        for (int y = 0; y < paper.height(); ++y)
            QCOMPARE(dotsOf(paper, y, 20), dots.at(y).leftJustified(20, QLatin1Char('.')));
    }

    void rasterAlignsByItsPrintedWidth_data()
    {
        QTest::addColumn<QByteArray>("picture"); // full ink
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("width"); // in dots, as printed
        const QByteArray stored = hex("1D 71 01 00 01 00 08 00 FF FF FF FF FF FF FF FF"); // 8 by 8 dots at 1
        for (const int align : {0, 1, 2}) {
            QTest::addRow("GS v 0 m 0, ESC a %d", align) << hex("1D 76 30 00 02 00 01 00 FF FF") << align << 16;
            QTest::addRow("GS v 0 m 1 (double width), ESC a %d", align)
                << hex("1D 76 30 01 02 00 01 00 FF FF") << align << 32;
            QTest::addRow("GS v 0 m 3 (double both), ESC a %d", align)
                << hex("1D 76 30 03 02 00 01 00 FF FF") << align << 32;
            QTest::addRow("FS p m 0, ESC a %d", align) << stored + hex("1C 70 01 00") << align << 8;
            QTest::addRow("FS p m 1 (double width), ESC a %d", align) << stored + hex("1C 70 01 01") << align << 16;
        }
    }
    void rasterAlignsByItsPrintedWidth()
    {
        // Centred and right-aligned pictures stand by the width they print at, scaled or not.
        QFETCH(QByteArray, picture);
        QFETCH(int, align);
        QFETCH(int, width);
        const QImage paper = run(QByteArray("\x1B\x61") + char(align) + picture).paper().image();
        const QRect box = inkBox(paper);
        QCOMPARE(box.width(), width);
        const int left = align == 0 ? 0 : align == 1 ? (paper.width() - width) / 2 : paper.width() - width;
        QCOMPARE(box.left(), left);
    }

    void darknessAndPlaceholders()
    {
        auto darkest = [](const QByteArray &stream) {
            const QImage paper = run(hex(stream)).paper().image();
            int lowest = 255;
            for (int y = 0; y < paper.height(); ++y)
                for (int x = 0; x < paper.width(); ++x)
                    lowest = qMin(lowest, int(paper.constScanLine(y)[x]));
            return lowest;
        };
        QVERIFY(darkest("1B 6D 08 'dark' 0A") < darkest("1B 6D 01 'dark' 0A"));
        QCOMPARE(darkest("1B 6D 00 'dark' 0A"), darkest("1B 6D 04 'dark' 0A"));
        QCOMPARE(darkest("1B 6D 08 'dark' 0A"), 0);
        // The second colour (ESC r, or GS ( N colour 2) prints as a second, lighter shade.
        QVERIFY(darkest("1B 72 01 'red' 0A") > darkest("'red' 0A") && darkest("1B 72 01 'red' 0A") < 255);
        QCOMPARE(darkest("1D 28 4E 02 00 30 32 'red' 0A"), darkest("1B 72 01 'red' 0A"));
        QCOMPARE(darkest("1B 72 01 1B 72 30 'red' 0A"), darkest("'red' 0A"));
        // A partial cut leaves the middle of the roll holding.
        const QImage partial = run(hex("1B 6E")).paper().image();
        QVERIFY(inkBox(partial).width() > 300 && !inked(partial, 192, inkBox(partial).top()));
        // A character no font has shows as a box, never as nothing; the Language job needs none.
        const Interpreter tibetan = run(hex("0F 40 0A"));
        QCOMPARE(tibetan.placeholderCount(), 1);
        QVERIFY(inkBox(tibetan.paper().image()).isValid());
        QCOMPARE(run(jobs::language().stream()).placeholderCount(), 0);
    }

    // Both programs draw paper with this view: each dot shows in its grey, a zoom by zoom square,
    // and the tinted rows show the grey under the tint.
    void paperViewDrawsRollAndTint()
    {
        const QStringList pattern = {"........", "####....", "####....", "........", "..+++...", "+......#"};
        const auto grey = [&](int x, int y) { return pattern[y][x] == '#' ? 0 : pattern[y][x] == '+' ? 128 : 255; };
        controller::Paper paper(8), wider(16);
        paper.reserve(0, int(pattern.size()));
        for (int y = 0; y < pattern.size(); ++y)
            for (int x = 0; x < 8; ++x)
                paper.dot(x, y, uchar(grey(x, y)));
        for (const int zoom : {1, 2}) {
            PaperView view;
            view.setPaper(&wider); // the owner points the view at another roll
            view.setPaper(&paper);
            view.setZoom(zoom);
            view.setTint(2, 3);
            const QImage shot = view.widget()->grab().toImage();
            QCOMPARE(shot.size(), QSize(8 * zoom, 6 * zoom));
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    // The tint, rgb(255, 170, 0) at 90/255, laid over the grey of rows 2 and 3.
                    const int a = y / zoom == 2 || y / zoom == 3 ? 90 : 0, g = grey(x / zoom, y / zoom) * (255 - a);
                    const QColor want((255 * a + g) / 255, (170 * a + g) / 255, g / 255), got = shot.pixelColor(x, y);
                    QVERIFY2(qMax(qMax(qAbs(got.red() - want.red()), qAbs(got.green() - want.green())),
                                 qAbs(got.blue() - want.blue()))
                            <= 2,
                        qPrintable(QStringLiteral("%1,%2 is %3, not %4").arg(x).arg(y).arg(got.name(), want.name())));
                }
        }
    }

    void answersByteForByte_data() { addTableRows(QStringLiteral("replies.txt")); }
    void answersByteForByte()
    {
        QFETCH(QStringList, row);
        Interpreter interpreter(row[1].toInt());
        interpreter.feed(hex(row[2].toLatin1()));
        interpreter.finish();
        QCOMPARE(interpreter.takeReplies().toHex(' '), hex(row.value(3).toLatin1()).toHex(' '));
    }

    void modeByteAndItsAttributes_data() { addTableRows(QStringLiteral("modebyte.txt")); }
    void modeByteAndItsAttributes()
    {
        QFETCH(QStringList, row);
        const QImage got = run(hex(row[1].toLatin1())).paper().image();
        const QImage expected = run(hex(row[2].toLatin1())).paper().image();
        QVERIFY(!expected.isNull());
        QVERIFY2(got == expected, qPrintable(QStringLiteral("%1 does not print as %2").arg(row[1], row[2])));
    }

    void decodesCommands_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("expected");
        for (const auto &[name, lines] : dataSections(QStringLiteral("decoder.txt"))) {
            QByteArray stream;
            QStringList expected;
            for (const QString &line : lines)
                if (line.startsWith(QLatin1String("< ")))
                    stream += line.mid(2).toLatin1() + ' ';
                else
                    expected << line;
            QTest::newRow(qPrintable(name)) << hex(stream) << expected;
        }
    }
    void decodesCommands()
    {
        // The same commands, and the same paper, however the stream is cut into chunks.
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, expected);
        QImage whole;
        for (const qsizetype chunk : {stream.size(), qsizetype(1), qsizetype(3)}) {
            Interpreter interpreter;
            for (qsizetype at = 0; at < stream.size(); at += chunk)
                interpreter.feed(stream.mid(at, chunk));
            interpreter.finish();
            QStringList lines;
            for (const controller::LogEntry &e : interpreter.log())
                lines << QStringLiteral("%1 %2 %3").arg(e.offset).arg(e.name, e.args).trimmed();
            QCOMPARE(lines, expected);
            whole = chunk == stream.size() ? interpreter.paper().image() : whole;
            QVERIFY(interpreter.paper().image() == whole);
        }
    }

    void badInputNeverCrashes()
    {
        // Random streams are the fuzzer's (scripts/fuzz.sh); here the largest the fields can claim.
        Interpreter huge;
        huge.feed(hex("1D 76 30 00 FF FF FF FF") + QByteArray(1 << 20, '\xFF'));
        huge.feed(hex("1D 71 01 00 FF FF FF FF") + QByteArray(1 << 20, '\x55'));
        QVERIFY(huge.paper().rows() <= controller::Paper::maxRows);
        huge.finish();
        QCOMPARE(huge.truncatedCount(), 1);
        // The roll's end says so in the log, once.
        Interpreter endless;
        for (int i = 0; i < 2; ++i) // 131070 rows
            endless.feed(hex("1D 76 30 00 01 00 FF FF") + QByteArray(65535, '\x81'));
        QCOMPARE(std::count_if(endless.log().cbegin(), endless.log().cend(),
                     [](const controller::LogEntry &e) { return e.name == QLatin1String("roll full"); }),
            1);
    }

    void linksAndOutputsNeverHurtTheUser()
    {
        QTemporaryDir dir;
        const auto at = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
        // sneaky's text starts as a terminal's
        const QString file = at("notes.txt"), toFile = at("to-file"), stale = at("stale"), sneaky = at("sneaky");
        QVERIFY(writeFile(file, "mine") && QFile::link(file, toFile)
            && QFile::link(QStringLiteral("/dev/pts/999"), stale)
            && ::symlink("/dev/pts/../../etc/hostname", QFile::encodeName(sneaky).constData()) == 0);
        // Anything but an earlier run's link to a pseudo-terminal is refused, and stays as it was.
        for (const QString &path : {file, toFile, sneaky})
            QCOMPARE(runSim({"--no-window", "--link", path}).first, 2);
        QCOMPARE(QFile::symLinkTarget(toFile), file);
        QCOMPARE(QFile::symLinkTarget(sneaky), QStringLiteral("/etc/hostname"));
        // A stale link is replaced, and the new one goes when the controller is stopped, as by
        // Ctrl+C, Ctrl+\ or at a hang-up: it ends cleanly and takes its link along.
        for (const int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
            QProcess serve;
            serve.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", stale});
            QTRY_VERIFY(QFile::symLinkTarget(stale).startsWith(QStringLiteral("/dev/pts/")) && QFile::exists(stale));
            if (signal == SIGTERM) {
                MainWindow window; // the link leads to a controller that answers
                QVERIFY(connectTo(window, stale).startsWith(QStringLiteral("Connected to")));
                press(window, "pushButtonVersion");
                QTRY_COMPARE(
                    consoleText(window), QStringLiteral("ZPC3x virtual controller 1.0, head type 0 (384 dots)\n"));
                // A link in use is another program's line: neither program takes it over.
                const QString served = QFile::symLinkTarget(stale);
                const auto [again, said] = runSim({"--no-window", "--link", stale});
                QVERIFY2(again == 2 && said.contains("still serves"), said.constData());
                FarEnd line;
                QProcess monitor;
                monitor.start(QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--monitor", stale});
                QVERIFY(finished(monitor, 10000));
                QCOMPARE(monitor.exitCode(), 2);
                QVERIFY(monitor.readAllStandardError().contains("still serves"));
                QCOMPARE(QFile::symLinkTarget(stale), served);
                press(window, "pushButtonVersion"); // the first still answers on it
                QTRY_VERIFY(consoleText(window).endsWith(QStringLiteral("(384 dots)\n")));
                // Controller → Identify tells what it is set to be.
                ModalCloser card;
                card.arm();
                window.findChild<QAction *>("actionIdentify")->trigger();
                QTRY_VERIFY_WITH_TIMEOUT(card.done(), 10000);
                QVERIFY2(card.text.contains(QStringLiteral("Model: ZPC3x"))
                        && card.text.contains(QStringLiteral("Head type: 0 (384 dots)"))
                        && !card.text.contains(QStringLiteral("Unanswered")),
                    qPrintable(card.text));
            }
            ::kill(pid_t(serve.processId()), signal);
            QVERIFY(
                serve.waitForFinished(10000) && serve.exitStatus() == QProcess::NormalExit && serve.exitCode() == 0);
            QVERIFY(!QFileInfo(stale).isSymLink());
        }
        // Rendering reads a pipe, and refuses to write over a file or in a format it cannot write.
        const QString png = at("paper.png"), piece = at("piece.png");
        const auto [renderCode, logged] = runSim(
            {"--render", "-", "-o", png, "--head-type", "1", "--log"}, jobs::receipt(jobs::Cut::Full).stream());
        QCOMPARE(renderCode, 0);
        QCOMPARE(QImage(png).width(), 576);
        QVERIFY(logged.contains("   12304  printLF\n")); // after 8 + 8 + 12288 bytes of logo
        QCOMPARE(runSim({"--render", "-", "-o", file}, hex("'Hello' 0A")).first, 2);
        QCOMPARE(runSim({"--render", "-", "-o", png}, hex("'Hello' 0A")).first, 1);
        // --split: a picture a cut, without the cut's mark, each named in the summary; none replaced.
        const QByteArray cuts = hex("'one' 0A 1B 69 'two' 0A 1D 56 01 'three' 0A");
        const auto [splitCode, splitSaid] = runSim({"--render", "-", "-o", piece, "--split"}, cuts);
        QCOMPARE(splitCode, 0);
        for (const char *name : {"piece-001.png", "piece-002.png", "piece-003.png"}) {
            QVERIFY2(splitSaid.contains(name), splitSaid.constData());
            const QRect box = inkBox(QImage(at(name)));
            QVERIFY(box.isValid() && box.width() < 100); // a word, and no mark across the roll
        }
        QVERIFY(!QFileInfo::exists(at("piece-004.png")));
        QCOMPARE(runSim({"--render", "-", "-o", piece, "--split"}, cuts).first, 1);
        // The job dump fills a folder again, but writes over nothing of the user's.
        auto dump = [](const QString &to) { return QProcess::execute(QStringLiteral(DUMP_JOBS), {to}); };
        QCOMPARE(
            QList<int>({dump(QStringLiteral("--help")), dump(dir.path()), dump(dir.path())}), QList<int>({0, 0, 0}));
        QVERIFY(writeFile(at("receipt.bin"), "mine"));
        QCOMPARE(dump(dir.path()), 1);
        QCOMPARE(readFile(at("receipt.bin")) + readFile(file), QByteArray("minemine"));
    }

    void renderUnderALimitLeavesNothingHalfWritten_data()
    {
        QTest::addColumn<QString>("limit"); // disk: a full one; data: the memory it may take
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("said");
        const QByteArray receipt = jobs::receipt(jobs::Cut::Full).stream(),
                         block = hex("1D 76 30 00 48 00 FF FF FF*4718520");
        QTest::newRow("one picture") << "disk" << receipt << 1 << QByteArray("File too large");
        // Under the limit on file sizes the first piece fits and the second does not.
        QTest::newRow("a picture a cut") << "split" << hex("'Hello' 0A 1B 69") + receipt << 1
                                         << QByteArray("File too large");
        // 2 M firmware queries ask for over 100 MB of answers that nothing reads.
        QTest::newRow("answers") << "data" << hex("10 05").repeated(1 << 21) + hex("'ok' 0A") << 0
                                 << QByteArray("bytes of answers");
        // A whole roll of ink at 576 dots, and its picture, need more than there is: said so.
        QTest::newRow("whole roll") << "data" << hex("1B 5A 01") + block + block << 1 << QByteArray("out of memory");
    }
    void renderUnderALimitLeavesNothingHalfWritten()
    {
        // A full disk: a small tmpfs, filled, where the test may mount one; else a limit on the size
        // of the files the controller writes. Either way the picture cannot be written whole.
        QFETCH(QString, limit);
        QFETCH(QByteArray, stream);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, said);
#if defined(__SANITIZE_ADDRESS__)
        if (limit == QLatin1String("data"))
            QSKIP("the sanitizer's shadow memory does not fit under a data limit");
#endif
        QTemporaryDir dir;
        const bool mounted = limit == QLatin1String("disk")
            && QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir.path()}) == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                QProcess::execute(QStringLiteral("umount"), {dir.path()});
        });
        QFile filler(dir.filePath(QStringLiteral("filler")));
        if (mounted) {
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) { }
            filler.close();
        }
        QStringList args{"--render", "-", "-o", dir.filePath(QStringLiteral("paper.png"))};
        if (limit == QLatin1String("split"))
            args << QStringLiteral("--split");
        const bool data = limit == QLatin1String("data");
        const auto [code, told] = runSim(args, stream, [data, mounted] {
            const rlimit size{2048, 2048}, memory{96 << 20, 96 << 20};
            if (data)
                ::setrlimit(RLIMIT_DATA, &memory);
            else if (!mounted && ::setrlimit(RLIMIT_FSIZE, &size) == 0)
                std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the program
        });
        QVERIFY2(code == exitCode && told.contains(mounted ? "No space left on device" : said), told.constData());
        const QStringList left = exitCode == 0 ? QStringList{"paper.png"}
            : mounted                          ? QStringList{"filler"}
                                               : QStringList();
        QCOMPARE(entriesOf(dir.path()), left); // a whole picture, or none
    }
};

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
