// The virtual controller's speed and memory: the demonstration jobs, raster pictures, and a
// metre of receipt on 80 mm paper. Speeds are given against the fastest line the tool offers
// and against a plain copy of the same bytes, measured in the same run.
#include "BenchTable.h"
#include "controller/Interpreter.h"
#include "demos/Jobs.h"
#include "simulator/WireModel.h"
#include "traffic/ExpectedPrinter.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

constexpr double lineBytesPerSecond = 375000.0 / 10.0; // 8N1 at the fastest speed

// Heap in use, the blocks the allocator maps on its own for large requests included; the paper
// maps its blocks itself and says how much it holds.
size_t residentBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

double interpretSeconds(const QByteArray &stream, int headType, int chunk)
{
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        controller::Interpreter interpreter(headType);
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            interpreter.feed(stream.constData() + at, qMin<qsizetype>(chunk, stream.size() - at));
            interpreter.takeReplies(); // as --render takes them, counted and let go
        }
        interpreter.finish();
        best = qMin(best, double(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

void rate(const char *name, const QByteArray &stream, double targetMBps)
{
    interpretSeconds(stream, 0, 4096); // warm the glyph cache
    const double s = interpretSeconds(stream, 0, 4096);
    const double mbps = double(stream.size()) / s / 1e6;
    bench::row(QString::fromLatin1(name), QStringLiteral("%1 MB/s").arg(mbps, 0, 'f', 1),
        QStringLiteral("%1 MB/s needed (%2x the 375000 bit/s line)")
            .arg(targetMBps, 0, 'f', 2)
            .arg(targetMBps * 1e6 / lineBytesPerSecond, 0, 'f', 0),
        mbps / targetMBps);
}

// Plain text of about `size` bytes: the reference a hostile stream's cost per byte is held to.
QByteArray plainText(qsizetype size)
{
    QByteArray out;
    while (out.size() < size)
        out += "The quick brown fox jumps 01234\n";
    return out.left(size);
}

// A hostile stream of about `size` bytes, by name.
QByteArray hostile(const QByteArray &name, qsizetype size)
{
    QByteArray out;
    if (name == "head-switches") {
        out = jobs::receipt(jobs::Cut::None).stream(); // paper on the roll first
        while (out.size() < size)
            out += "\x1BZ\x01\x1BZ\x00";
    } else if (name == "arabic") {
        // Every letter and mark of the basic block in turn, so that each form is drawn: never a
        // line feed.
        for (int c = 0x0621; out.size() < size; c = c == 0x0652 ? 0x0621 : c + 1)
            out.append(char(c >> 8)).append(char(c & 0xFF));
    } else if (name == "overstrike") {
        while (out.size() < size)
            out += QByteArray("\x1B$\x00\x00A", 5);
    } else if (name == "fill-everything") {
        // The widest head, the whole roll in one picture, then more commands than the log keeps.
        out = "\x1BZ\x05" + cmd::picturePrintH(0, 72, 0xFFFF, nullptr) + cmd::picturePrintH(0, 72, 0xFFFF, nullptr);
        while (out.size() < size)
            out += "\x1B!\x08\x1B!\x00";
    } else if (name == "qr-reprint" || name == "pdf417-reprint") {
        // A large code stored once, then printed again and again until the roll is full and on.
        QByteArray payload;
        while (payload.size() < 1000)
            payload += "Printer Ruvela ZPC3x reprint " + QByteArray::number(payload.size()) + ' ';
        payload.truncate(1000);
        if (name == "qr-reprint") {
            out = cmd::setQRcodeErrorCorrection(49)
                + cmd::transferQRcodeData(
                    quint16(payload.size()), reinterpret_cast<const quint8 *>(payload.constData()));
        } else {
            // GS ( k pL pH 30 50 30 data: the length counts the three bytes before the data.
            const int length = int(payload.size()) + 3;
            out = QByteArray("\x1D(k", 3) + char(length & 0xFF) + char(length >> 8) + "\x30\x50\x30" + payload;
        }
        const QByteArray print
            = name == "qr-reprint" ? cmd::printQRcodeData() : QByteArray("\x1D(k\x03\x00\x30\x51\x30", 8);
        while (out.size() < size)
            out += print;
    } else if (name == "firmware-queries") {
        while (out.size() < size) // nobody reads the answers
            out += "\x10\x05";
    } else if (name == "rotated-text") {
        out = "\x1BV\x01" + plainText(size);
    } else if (name == "long-run") {
        out = QByteArray(size, 'A');
    } else if (name == "every-glyph") {
        // Every character of the Basic Multilingual Plane above Latin-1, in all eight styles.
        for (int style = 0; style < 8 && out.size() < size; ++style) {
            out += "\x1BM" + QByteArray(1, char(style & 1 ? 1 : 2)) + "\x1B!"
                + QByteArray(1, char((style & 2 ? 0x08 : 0) | (style & 4 ? 0x02 : 0)));
            for (int c = 0x100; c < 0x10000 && out.size() < size; ++c)
                if ((c >> 8) >= 0x20 && (c & 0xFF) >= 0x20 && (c & 0xFF) != 0x7F)
                    out.append(char(c >> 8)).append(char(c & 0xFF));
        }
    }
    return out.left(size);
}

// A flood sent faster than the controller prints, on a line without flow control: what does not
// fit the buffer is lost, and the time and memory stay those of what fits.
double floodSeconds(const QByteArray &stream)
{
    controller::Interpreter interpreter;
    sim::WireModel line(interpreter, {0, 4096, 80, false});
    QElapsedTimer t;
    t.start();
    for (qsizetype at = 0; at < stream.size(); at += 64 * 1024) {
        line.receive(stream.mid(at, 64 * 1024));
        line.advance(0.004);
    }
    return double(t.nsecsElapsed()) / 1e9;
}

// Seconds a dot row takes, 384 dots with percent of them black, from 2000 such rows printed by
// the line model at 80 mm/s in steps of a millisecond.
double rasterRowSeconds(int percent, bool flat)
{
    constexpr int rows = 2000;
    QByteArray row(48, '\0');
    const int black = 384 * percent / 100;
    for (int i = 0; i < black; ++i) { // spread over the row, as a picture's grey
        const int x = i * 384 / black;
        row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    }
    controller::Interpreter interpreter;
    sim::WireSettings settings{0, 1 << 20, 80, true};
    settings.flatTiming = flat;
    sim::WireModel line(interpreter, settings);
    line.receive(QByteArray("\x1Dv0\x00\x30\x00", 6) + char(rows & 0xFF) + char(rows >> 8) + row.repeated(rows));
    int steps = 0;
    while (interpreter.paper().rows() < rows && steps < 100000) {
        line.advance(0.001);
        ++steps;
    }
    return steps * 0.001 / rows;
}

void hostileRow(const QByteArray &name, qsizetype size)
{
    const bool flood = name == "unpaced-flood";
    const QByteArray stream = flood ? plainText(size) : hostile(name, size), plain = plainText(stream.size());
    interpretSeconds(plain, 0, 4096); // warm the glyph cache for the reference
    const double plainSeconds = interpretSeconds(plain, 0, 4096);
    const double seconds = flood ? floodSeconds(stream) : interpretSeconds(stream, 0, 4096);
    const double perByte = seconds / double(stream.size()) * 1e9,
                 plainPerByte = plainSeconds / double(plain.size()) * 1e9;
    bench::row(
        QStringLiteral("hostile stream: %1, %2 MB").arg(QString::fromLatin1(name)).arg(stream.size() / 1e6, 0, 'f', 1),
        QStringLiteral("%1 ns a byte").arg(perByte, 0, 'f', 0),
        QStringLiteral("%1 ns a byte of plain text, 3x allowed").arg(plainPerByte, 0, 'f', 0), perByte / plainPerByte);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QByteArray which = argc > 1 ? QByteArray(argv[1]) : QByteArray();

    if (which == "demos") {
        QByteArray demos;
        for (const jobs::Job &job : {jobs::quickTest(), jobs::attributes(), jobs::density(), jobs::formatting(),
                 jobs::alignment(), jobs::receipt(jobs::Cut::Full), jobs::language(), jobs::qrSample()})
            demos += job.stream();
        for (int system = 0; system <= 8; ++system)
            demos += jobs::barcode(cmd::BarcodeSystem(system), false).stream();
        rate("virtual controller, all demonstration jobs", demos, 100 * lineBytesPerSecond / 1e6);
    } else if (which == "expected") {
        // The tool's Expected Paper and Traffic names: the same model, fed in the slices the port
        // reports as sent, each followed by taking the new commands. Beside it, the virtual
        // controller's own model on the same stream in one piece.
        QByteArray stream;
        while (stream.size() < 4 << 20)
            stream += jobs::receipt(jobs::Cut::Full).stream() + jobs::attributes().stream();
        QElapsedTimer t;
        t.start();
        controller::Interpreter plain;
        plain.feed(stream);
        const double modelMs = t.nsecsElapsed() / 1e6;
        t.restart();
        ExpectedPrinter expected;
        qint64 commands = 0;
        for (qsizetype at = 0; at < stream.size(); at += 4096)
            commands += expected.feed(stream.mid(at, 4096), true).added.size();
        const double expectedMs = t.nsecsElapsed() / 1e6;
        bench::row(QStringLiteral("tool's expected controller, %1 MB of receipts and text in 4 KB slices, %2 commands "
                                  "named")
                       .arg(stream.size() >> 20)
                       .arg(commands),
            bench::ms(expectedMs),
            QStringLiteral("the virtual controller's model, one piece: %1").arg(bench::ms(modelMs)),
            expectedMs / modelMs);
    } else if (which == "text") {
        rate("virtual controller, text jobs only",
            jobs::attributes().stream() + jobs::formatting().stream() + jobs::alignment().stream(),
            100 * lineBytesPerSecond / 1e6);
    } else if (which == "raster") {
        QByteArray data(48 * 20000, '\0');
        QRandomGenerator rng(1);
        for (char &c : data)
            c = char(rng.bounded(256));
        rate("virtual controller, raster 384 x 20000",
            cmd::picturePrintH(0, 48, 20000, reinterpret_cast<const quint8 *>(data.constData())), 20.0);
    } else if (which == "metre") {
        // A metre of receipts on 576-dot paper: the roll and everything the interpreter keeps.
        QByteArray receipts;
        while (receipts.size() < 8 * 12800)
            receipts += jobs::receipt(jobs::Cut::None).stream();
        const size_t before = residentBytes();
        controller::Interpreter interpreter(1);
        interpreter.feed(receipts);
        interpreter.finish();
        const double kept = double(residentBytes() - before + interpreter.paper().mappedBytes()) / 1e6;
        bench::row(QStringLiteral("virtual controller, %1 m of receipts at 576 dots")
                       .arg(interpreter.paper().rows() / 8000.0, 0, 'f', 2),
            QStringLiteral("%1 MB kept").arg(kept, 0, 'f', 1), QStringLiteral("50 MB budget"), kept / 50.0);
    } else if (which == "head") {
        // A 384-dot row by how much of it is black, each its time through the line model on a
        // clock of its own, against the flat pacing's 80 mm/s.
        for (const int percent : {0, 12, 25, 50, 100}) {
            const double rowMs = rasterRowSeconds(percent, false) * 1e3, flatMs = rasterRowSeconds(percent, true) * 1e3;
            bench::row(QStringLiteral("virtual controller, a 384-dot row %1% black at the defaults").arg(percent),
                QStringLiteral("%1 ms (%2 mm/s)").arg(rowMs, 0, 'f', 2).arg(1.0 / 8.0 / (rowMs / 1e3), 0, 'f', 1),
                QStringLiteral("%1 ms with --timing flat").arg(flatMs, 0, 'f', 2), rowMs / flatMs);
        }
    } else if (which == "hostile" && argc > 2) {
        hostileRow(QByteArray(argv[2]), argc > 3 ? QByteArray(argv[3]).toLongLong() : 4 << 20);
    } else {
        return 2;
    }
    return 0;
}
