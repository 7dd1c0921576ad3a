#pragma once

#include "traffic/Capture.h"
#include "traffic/Compare.h"

#include <QObject>
#include <QTimer>

#include <memory>

class ExpectedPrinter;
class TrafficLog;

// Reads a capture into the traffic log and the expected controller, as if the exchange had just
// passed on a line: the host's commands decoded with their recorded times, the controller's
// answers matched to their queries, the events. It reads in slices from the event loop, so that a
// capture of any size keeps the window answering.
class CaptureLoader : public QObject
{
    Q_OBJECT
public:
    static constexpr int sliceMs = 5; // a turn of the event loop reads for about this long

    CaptureLoader(ExpectedPrinter &expected, TrafficLog &log, QObject *parent = nullptr);
    // Empty, or why the file is not a capture; else the reading starts, the log and the expected
    // paper starting afresh.
    QString open(const QString &path);
    void stop();
    bool isLoading() const { return timer.isActive(); }
    qint64 position() const { return reader ? reader->position() : 0; }
    qint64 size() const { return reader ? reader->size() : 0; }

signals:
    void progressed();
    void sentDecoded(); // the expected paper may have grown
    void restarted(); // the expected controller is a new one
    void loaded(const QString &failure); // empty when the whole file was read

private:
    void slice();
    void feedSent(qint64 timeMs, const QByteArray &bytes, bool last);
    void list(const QList<Answer> &answers, qint64 timeMs);
    void end(const QString &failure);

    ExpectedPrinter &expected;
    TrafficLog &log;
    std::unique_ptr<CaptureReader> reader;
    RecordingMatcher matcher; // the answers, matched at their recorded times
    QTimer timer;
    qint64 sentAt = -1; // when the host's last chunk came, while its end may still be a command's start
    qint64 lastMs = 0; // the time of the last record
};
