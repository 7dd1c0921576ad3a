#include "tool/CaptureRecorder.h"

#include "serial/SerialLink.h"

CaptureRecorder::CaptureRecorder(SerialLink &link, QObject *parent)
    : QObject(parent)
    , link(link)
{
    flushing.setInterval(flushMs);
    connect(&flushing, &QTimer::timeout, this, [this] { check(file.flush()); });
    connect(&link, &SerialLink::bytesSent, this,
        [this](qint64, const QByteArray &data) { bytes(CaptureFile::Side::ToController, data); });
    connect(&link, &SerialLink::bytesReceived, this,
        [this](qint64, const QByteArray &data) { bytes(CaptureFile::Side::FromController, data); });
    connect(&link, &SerialLink::openChanged, this, [this](bool open) {
        note(open ? QStringLiteral("connected to %1").arg(this->link.portPath())
                  : QStringLiteral("closed: %1 bytes sent").arg(this->link.sentTotal()));
    });
    connect(&link, &SerialLink::lost, this, [this](const QString &reason, qint64, qint64) {
        note(QStringLiteral("line lost: %1; %2 bytes reached the controller")
                 .arg(reason, this->link.lostReach().text()));
    });
    connect(&link, &SerialLink::heldChanged, this, [this](bool held, qint64 ms) {
        note(held ? QStringLiteral("held: nothing has left for %1 ms").arg(ms)
                  : QStringLiteral("released after %1 ms").arg(ms));
    });
}

CaptureRecorder::~CaptureRecorder() { stop(); }

QString CaptureRecorder::start(const QString &path)
{
    stop();
    if (QString why = file.open(path, link.isOpen() ? link.portPath() : QString()); !why.isEmpty())
        return why;
    filePath = path;
    if (link.isOpen())
        note(QStringLiteral("recording on %1").arg(link.portPath()));
    flushing.start();
    return {};
}

bool CaptureRecorder::stop()
{
    if (!file.isOpen())
        return true;
    flushing.stop();
    const bool closed = file.close();
    check(closed);
    return closed;
}

void CaptureRecorder::note(const QString &text)
{
    if (file.isOpen())
        check(file.event(CaptureFile::nowUs(), text));
}

void CaptureRecorder::bytes(CaptureFile::Side side, const QByteArray &data)
{
    if (file.isOpen())
        check(file.bytes(CaptureFile::nowUs(), side, data));
}

void CaptureRecorder::check(bool ok)
{
    // Told once, as the recording stops; the bytes it would have kept still pass on the line.
    if (ok || file.failure().isEmpty() || filePath.isEmpty())
        return;
    flushing.stop();
    const QString path = std::exchange(filePath, QString());
    emit failed(path, file.failure());
}

void CaptureRecorder::discard()
{
    flushing.stop();
    file.discard();
    filePath.clear();
}
