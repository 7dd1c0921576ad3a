#include "tool/Replayer.h"

#include "serial/SerialLink.h"
#include "traffic/Compare.h"

#include <QScopeGuard>

Replayer::Replayer(SerialLink &link, QObject *parent)
    : QObject(parent)
    , link(link)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &Replayer::next);
    connect(&link, &SerialLink::progressed, this, [this] {
        if (running && holds && !timer.isActive())
            next();
    });
    connect(&link, &SerialLink::answered, this, [this](const Answer &answer) {
        if ((running || done) && !answer.own)
            replayed << answer;
    });
}

QString Replayer::load(const QString &path, double replaySpeed)
{
    stop();
    done = false;
    recorded.clear();
    replayed.clear();
    // The whole capture is read once first: a file that is not one sends nothing, and its answers
    // are known before the controller's come.
    if (QString why = recordedAnswers(path, recorded); !why.isEmpty())
        return why;
    reader = std::make_unique<CaptureReader>();
    if (QString why = reader->open(path); !why.isEmpty()) {
        reader.reset();
        return why;
    }
    speed = replaySpeed;
    return {};
}

void Replayer::play()
{
    if (!reader)
        return;
    running = true;
    done = holds = false;
    recordUs = -1;
    writtenMs = dueMs = 0;
    clock.start();
    next();
}

void Replayer::stop()
{
    running = false;
    timer.stop();
}

qsizetype Replayer::queriesRecorded() const
{
    qsizetype asked = 0;
    for (const Answer &a : recorded)
        asked += a.kind == Answer::Kind::Reply || a.kind == Answer::Kind::NoAnswer;
    return asked;
}

void Replayer::next()
{
    // Writing reports progress at once, which asks for the next record: the loop here goes on.
    if (busy)
        return;
    busy = true;
    const auto unbusy = qScopeGuard([this] { busy = false; });
    while (running) {
        if (!holds) {
            if (!reader->next(record)) {
                running = false;
                if (!reader->failure().isEmpty()) {
                    emit failed(reader->failure());
                    return;
                }
                done = true;
                emit progressed();
                emit allSent();
                return;
            }
            if (record.side != CaptureReader::Side::ToController || record.data.isEmpty())
                continue;
            // Each chunk keeps its recorded gap after the last one written, sped up or dropped.
            const qint64 gapMs = recordUs < 0 || speed <= 0
                ? 0
                : qint64(
                    double(qMax<qint64>(0, CaptureReader::microsBetween(recordUs, record.timeUs))) / 1000.0 / speed);
            recordUs = record.timeUs;
            dueMs = writtenMs + gapMs;
            holds = true;
        }
        if (link.queued() >= ahead)
            return; // the line's progress brings it back
        if (const qint64 wait = dueMs - clock.elapsed(); wait > 0) {
            timer.start(int(qMin<qint64>(wait, 1 << 30)));
            return;
        }
        holds = false;
        link.write(record.data.constData(), record.data.size());
        writtenMs = clock.elapsed();
        emit progressed();
    }
}
