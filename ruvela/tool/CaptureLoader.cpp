#include "tool/CaptureLoader.h"

#include "commands/Protocol.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QElapsedTimer>

namespace {
constexpr qsizetype pieceBytes = 4096; // the model draws this much between two looks at the clock
}

CaptureLoader::CaptureLoader(ExpectedPrinter &expected, TrafficLog &log, QObject *parent)
    : QObject(parent)
    , expected(expected)
    , log(log)
{
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, &CaptureLoader::slice);
}

QString CaptureLoader::open(const QString &path)
{
    stop();
    auto next = std::make_unique<CaptureReader>();
    if (QString why = next->open(path); !why.isEmpty())
        return why;
    reader = std::move(next);
    matcher = RecordingMatcher();
    lastMs = 0;
    sentAt = -1;
    log.clear();
    expected.restart();
    emit restarted();
    log.addEvent(0, QStringLiteral("opened %1").arg(path));
    timer.start();
    return {};
}

void CaptureLoader::stop()
{
    if (!timer.isActive())
        return;
    end(QStringLiteral("stopped at byte %1 of %2").arg(position()).arg(size()));
}

void CaptureLoader::list(const QList<Answer> &answers, qint64 timeMs)
{
    for (const Answer &a : answers)
        log.addReceived(timeMs, a);
}

void CaptureLoader::feedSent(qint64 timeMs, const QByteArray &bytes, bool last)
{
    const auto head = [this](const controller::LogEntry &e) {
        return expected.bytesAt(e.offset, qMin<qint64>(e.size, TrafficLog::maxShownBytes));
    };
    const ExpectedPrinter::Decoded decoded = expected.feed(bytes, last);
    std::vector<TrafficRow> rows;
    if (decoded.grown)
        log.updateLastSent(*decoded.grown, head(*decoded.grown));
    for (const controller::LogEntry &e : decoded.added)
        rows.push_back(TrafficLog::sentRow(timeMs, e, head(e), expected.line()));
    log.addSentRows(std::move(rows));
}

void CaptureLoader::slice()
{
    QElapsedTimer clock;
    clock.start();
    CaptureReader::Record r;
    while (clock.elapsed() < sliceMs) {
        if (!reader->next(r)) {
            end(reader->failure());
            return;
        }
        const qint64 timeMs = r.timeUs / 1000;
        // A status query that ended the host's last chunk stands alone once something else came,
        // or the controller's wait for its n is over.
        if (sentAt >= 0 && (r.side != CaptureReader::Side::ToController || timeMs - sentAt >= proto::realTimeQuietMs)) {
            feedSent(lastMs, {}, true);
            sentAt = -1;
        }
        lastMs = timeMs;
        list(matcher.record(r), timeMs);
        switch (r.side) {
        case CaptureReader::Side::ToController:
            for (qsizetype at = 0; at < r.data.size(); at += pieceBytes)
                feedSent(timeMs, r.data.mid(at, pieceBytes), false);
            sentAt = timeMs;
            break;
        case CaptureReader::Side::FromController: // the matcher has taken it
            break;
        case CaptureReader::Side::Event:
            if (!r.comment.isEmpty())
                log.addEvent(timeMs, r.comment);
            break;
        }
    }
    emit sentDecoded();
    emit progressed();
}

void CaptureLoader::end(const QString &failure)
{
    timer.stop();
    // What the recording ends with stands as it is: a status query waiting for its n, a text
    // still coming.
    feedSent(lastMs, {}, true);
    list(matcher.finish(), lastMs);
    if (!failure.isEmpty())
        log.addEvent(lastMs, QStringLiteral("the capture was not read to its end: %1").arg(failure));
    emit sentDecoded();
    emit progressed();
    emit loaded(failure);
}
