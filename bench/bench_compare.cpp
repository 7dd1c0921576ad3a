// Two recordings of 100 MB that differ in one command, compared (--compare's work: decoded,
// aligned, their papers drawn and compared) against reading both captures block by block; and
// one of them opened into Traffic and Expected Paper as the window does, measured by the longest
// time the event loop was kept from a timer due every millisecond.
#include "BenchTable.h"

#include "tool/CaptureLoader.h"
#include "traffic/Capture.h"
#include "traffic/Compare.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr qsizetype streamBytes = 100 << 20;

// Lines of text, now and then a picture and a change of print mode; the changed one's mode byte
// differs in the middle.
QByteArray hostStream(bool changed)
{
    QByteArray out;
    out.reserve(streamBytes + 8192);
    const QByteArray picture = QByteArray("\x1Dv0\x00\x30\x00\x40\x00", 8) + QByteArray(48 * 64, '\x55');
    for (int i = 0; out.size() < streamBytes; ++i) {
        out += QStringLiteral("Line %1 of a long job with text\n").arg(i, 6, 10, QLatin1Char('0')).toLatin1();
        if (i % 50 == 0)
            out += picture;
        if (i % 97 == 0)
            out += QByteArray("\x1B!\x08", 3);
    }
    if (changed)
        out[out.indexOf(QByteArray("\x1B!\x08", 3), out.size() / 2) + 2] = '\x88';
    return out;
}

bool writeCapture(const QString &path, const QByteArray &stream)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(CaptureFile::sectionHeader() + CaptureFile::interfaceDescription(QStringLiteral("bench")));
    qint64 time = 1700000000000000;
    for (qsizetype at = 0; at < stream.size(); at += CaptureFile::maxChunk, time += 1000)
        file.write(CaptureFile::packet(time, CaptureFile::Side::ToController, stream.constData() + at,
            qMin(CaptureFile::maxChunk, stream.size() - at)));
    return file.error() == QFile::NoError;
}

} // namespace

int openCase(const QString &path)
{
    // The log in a table, shown, as the Traffic pane shows it.
    ExpectedPrinter expected;
    TrafficLog log;
    QTableView view;
    view.setModel(&log);
    view.resize(900, 400);
    view.show();
    CaptureLoader loader(expected, log);
    QElapsedTimer clock, tick;
    qint64 longestMs = 0;
    QTimer pulse;
    pulse.setInterval(1);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        longestMs = qMax(longestMs, tick.restart());
        view.scrollToBottom(); // the newest row shown, as Follow does
    });
    bool done = false;
    QObject::connect(&loader, &CaptureLoader::loaded, [&] { done = true; });
    clock.start();
    if (!loader.open(path).isEmpty())
        return 1;
    tick.start();
    pulse.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    const double totalMs = double(clock.nsecsElapsed()) / 1e6;
    bench::row(QStringLiteral("open a 100 MB capture into Traffic and Expected Paper (%1 rows, the last shown): the "
                              "longest stall of the event loop")
                   .arg(log.rowCount() + log.droppedRows()),
        bench::ms(double(longestMs)), bench::ms(totalMs) + QStringLiteral(" to read it all"), double(longestMs) / 50.0);
    return 0;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool open = argc > 1 && qstrcmp(argv[1], "open") == 0;
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.pcapng")), b = dir.filePath(QStringLiteral("b.pcapng"));
    if (!writeCapture(a, hostStream(false)) || (!open && !writeCapture(b, hostStream(true))))
        return 1;
    if (open)
        return openCase(a);
    QElapsedTimer clock;
    clock.start();
    qint64 records = 0;
    for (const QString &path : {a, b}) {
        CaptureReader reader;
        CaptureReader::Record r;
        reader.open(path);
        while (reader.next(r))
            ++records;
    }
    const double readMs = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    RecordingDigest da, db;
    if (RecordingDigest::readAll({&da, &db}, {a, b}) != QStringList{QString(), QString()})
        return 1;
    const Comparison c = compareRecordings(da, db);
    const QString said = describeComparison(c, da, db);
    const double compareMs = double(clock.nsecsElapsed()) / 1e6;
    if (c.differingCommands != 1)
        return 1;
    bench::row(QStringLiteral("compare two 100 MB captures differing in one command (%1 blocks): decoded, aligned, "
                              "papers drawn until the roll is full")
                   .arg(records),
        bench::ms(compareMs), bench::ms(readMs) + QStringLiteral(" reading both, block by block"), compareMs / readMs);
    return 0;
}
