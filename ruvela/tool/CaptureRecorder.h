#pragma once

#include "traffic/Capture.h"

#include <QObject>
#include <QTimer>

class SerialLink;

// Listens to the serial link and records every byte both ways in a capture file as it passes,
// with the line's and the tool's own events, flushed at least once a second. A recording that
// fails stops with an event where it can and says why once; the line goes on as before.
class CaptureRecorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int flushMs = 500;

    explicit CaptureRecorder(SerialLink &link, QObject *parent = nullptr);
    ~CaptureRecorder() override;

    // Empty, or why the file cannot be made: only a new file is written.
    QString start(const QString &path);
    // Flushes and closes; false, with failed() said, when that failed.
    bool stop();
    // Stops and removes the file this made, for a run that had nothing to record.
    void discard();
    bool isRecording() const { return file.isOpen(); }
    QString path() const { return filePath; }
    qint64 written() const { return file.written(); }
    // An event of the tool's own, such as the monitor's.
    void note(const QString &text);

signals:
    void failed(const QString &path, const QString &why);

private:
    void bytes(CaptureFile::Side side, const QByteArray &data);
    void check(bool ok);

    SerialLink &link;
    CaptureFile file;
    QString filePath;
    QTimer flushing;
};
