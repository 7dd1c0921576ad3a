#include "app/TrafficRecorder.h"

#include "serial/SerialLink.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QDateTime>

TrafficRecorder::TrafficRecorder(SerialLink &link, ExpectedPrinter &expected, TrafficLog &log, QObject *parent)
    : QObject(parent)
    , link(link)
    , expected(expected)
    , log(log)
{
    connect(&link, &SerialLink::bytesSent, this, &TrafficRecorder::sent);
    connect(&link, &SerialLink::answered, this, &TrafficRecorder::received);
    connect(&link, &SerialLink::heldChanged, this, &TrafficRecorder::held);
    connect(&link, &SerialLink::lost, this, [this](const QString &reason, qint64 done, qint64 total) {
        flushAnswers();
        event(tr("line lost: %1; %2 of %3 bytes of the last run sent").arg(reason).arg(done).arg(total));
    });
    connect(&link, &SerialLink::sendStopped, this,
        [this](const QString &name, qint64 position, qint64 size, const QString &reason) {
            event(tr("sending %1 stopped at byte %2 of %3: %4").arg(name).arg(position).arg(size).arg(reason));
        });
    connect(&link, &SerialLink::openChanged, this, [this](bool open) {
        if (!open)
            event(tr("closed: %1 bytes sent").arg(this->link.sentTotal()));
    });
}

qint64 TrafficRecorder::now() { return QDateTime::currentMSecsSinceEpoch(); }

void TrafficRecorder::opened(const Settings &settings)
{
    expected.restart();
    emit restarted();
    holdCause = settings.flowControl == QSerialPort::SoftwareControl ? QStringLiteral("XOFF")
        : settings.flowControl == QSerialPort::HardwareControl       ? QStringLiteral("CTS")
                                                                     : QString();
    const QString flow = holdCause == QLatin1String("XOFF") ? tr("XON/XOFF")
        : holdCause.isEmpty()                               ? tr("no flow control")
                                                            : tr("RTS/CTS");
    event(tr("connected to %1: %2 bit/s, %3").arg(link.portPath()).arg(settings.baudRate).arg(flow));
    emit sentDecoded();
}

void TrafficRecorder::sent(qint64 offset, const QByteArray &bytes)
{
    Q_UNUSED(offset) // the controller model counts the same stream
    const qint64 time = now();
    // With nothing more on its way, a status query at the end stands as it is.
    const ExpectedPrinter::Decoded decoded = expected.feed(bytes, link.queued() == 0);
    auto head = [this](const sim::LogEntry &e) {
        return expected.bytesAt(e.offset, qMin<qint64>(e.size, TrafficLog::maxShownBytes));
    };
    if (decoded.grown)
        log.updateLastSent(*decoded.grown, head(*decoded.grown));
    for (const sim::LogEntry &e : decoded.added)
        log.addSent(time, e, head(e), expected.line());
    emit sentDecoded();
}

void TrafficRecorder::received(const Answer &answer) { log.addReceived(now(), answer); }

void TrafficRecorder::flushAnswers() { link.settleAnswers(); }

void TrafficRecorder::held(bool isHeld, qint64 ms)
{
    const QString cause = holdCause.isEmpty() ? tr("line") : holdCause;
    if (isHeld)
        event(tr("%1: held").arg(cause));
    else
        event(tr("%1: held for %2 s").arg(cause).arg(double(ms) / 1000.0, 0, 'f', 1));
}

void TrafficRecorder::event(const QString &text) { log.addEvent(now(), text); }
