#pragma once

#include "traffic/Capture.h"
#include "traffic/Compare.h"
#include "traffic/QueryMatcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class SerialLink;

// Plays a capture's host bytes back down the line, each chunk after its recorded gap (divided by
// the speed; none at 0), never more than a slice ahead of the line; and keeps the answers that
// come, to hold against those the capture recorded. The capture is read a record at a time.
class Replayer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 ahead = 64 * 1024; // bytes handed to the line before it takes them

    explicit Replayer(SerialLink &link, QObject *parent = nullptr);
    // Reads the whole capture once for its answers, and makes ready to send it. Empty, or why
    // the file is not a capture that can be replayed: then nothing will be sent.
    QString load(const QString &path, double speed);
    void play(); // starts sending what load() made ready
    void stop(); // sends no more
    bool isRunning() const { return running; }
    bool sentAll() const { return done; }
    qint64 position() const { return reader ? reader->position() : 0; } // of the capture file read so far
    qint64 size() const { return reader ? reader->size() : 0; }
    // The answers not as recorded, so far: "10 04 answered 32 (paper out), recorded 12 (ready)".
    QStringList differences() const { return answerDifferences(recorded, replayed); }
    qsizetype queriesRecorded() const;

signals:
    void progressed();
    void allSent(); // every record went to the line
    void failed(const QString &why); // the capture could not be read on: the replay stopped

private:
    void next();

    SerialLink &link;
    std::unique_ptr<CaptureReader> reader;
    CaptureReader::Record record;
    double speed = 1;
    bool running = false, done = false, holds = false, busy = false;
    qint64 recordUs = -1, writtenMs = 0, dueMs = 0;
    QElapsedTimer clock;
    QTimer timer;
    QList<Answer> recorded, replayed;
};
