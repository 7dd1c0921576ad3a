#include "tool/TrafficRecorder.h"

#include "serial/SerialLink.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <utility>

namespace {
// A turn of the event loop names slices for up to sliceBudgetMs. While the line still has bytes to
// write, which go first, a turn names one small slice, every writingPauseMs: more than a serial
// line carries, yet the writes to a fast line never wait long.
constexpr qsizetype sliceBytes = 4096, writingSliceBytes = 256;
constexpr qint64 sliceBudgetMs = 10;
constexpr int writingPauseMs = 2;
} // namespace

TrafficRecorder::TrafficRecorder(SerialLink &link, ExpectedPrinter &expected, TrafficLog &log, QObject *parent)
    : QObject(parent)
    , link(link)
    , expected(expected)
    , log(log)
{
    slices.setSingleShot(true);
    slices.setInterval(0);
    connect(&slices, &QTimer::timeout, this, [this] { nameSent(this->link.queued() > 0 ? 0 : sliceBudgetMs); });
    connect(&link, &SerialLink::bytesSent, this, &TrafficRecorder::sent);
    connect(&link, &SerialLink::answered, this, &TrafficRecorder::received);
    connect(&link, &SerialLink::heldChanged, this, &TrafficRecorder::held);
    connect(&link, &SerialLink::lost, this, [this](const QString &reason, qint64 done, qint64 total) {
        takePausedAnswer();
        const QString reached = this->link.lostReach().exact ? QString::number(done) : tr("at most %1").arg(done);
        note(
            tr("line lost: %1; %2 of %3 bytes of the last run reached the controller").arg(reason, reached).arg(total));
    });
    connect(&link, &SerialLink::sendStopped, this,
        [this](const QString &name, qint64 position, qint64 size, const QString &reason) {
            note(tr("sending %1 stopped at byte %2 of %3: %4").arg(name).arg(position).arg(size).arg(reason));
        });
    connect(&link, &SerialLink::openChanged, this, [this](bool open) {
        // Once for each line: closing a line that is closed already says nothing.
        if (!open && lineOpen) {
            takePausedAnswer();
            note(tr("closed: %1 bytes sent").arg(this->link.sentTotal()));
        }
        lineOpen = open;
    });
}

qint64 TrafficRecorder::now() { return QDateTime::currentMSecsSinceEpoch(); }

bool TrafficRecorder::allSettled() const { return unnamed.empty() && !expected.lastMayGrow(); }

void TrafficRecorder::opened(const Settings &settings)
{
    lineOpen = true;
    sentEnd = 0; // the sent stream counts from the connection
    listEarly(true);
    inTurn([this] { // the last line's bytes go on the last line's paper first
        expected.restart();
        emit restarted();
    });
    holdCause = settings.flowControl == QSerialPort::SoftwareControl ? QStringLiteral("XOFF")
        : settings.flowControl == QSerialPort::HardwareControl       ? QStringLiteral("CTS")
                                                                     : QString();
    const QString flow = holdCause == QLatin1String("XOFF") ? tr("XON/XOFF")
        : holdCause.isEmpty()                               ? tr("no flow control")
                                                            : tr("RTS/CTS");
    note(tr("connected to %1: %2 bit/s, %3").arg(link.portPath()).arg(settings.baudRate).arg(flow));
    emit sentDecoded();
}

void TrafficRecorder::sent(qint64 offset, const QByteArray &bytes)
{
    // With nothing more on its way, a status query at the end stands as it is.
    unnamed.push_back({now(), bytes, link.queued() == 0, {}});
    unnamedBytes += bytes.size();
    sentEnd = offset + bytes.size();
    listEarly(false);
    // A line faster than the naming must not leave a backlog without end: past the bound the
    // naming catches up at once, whatever it costs the event loop.
    if (unnamedBytes > maxUnnamedBytes)
        nameSent();
    else if (!slices.isActive())
        slices.start();
}

void TrafficRecorder::nameSent(qint64 budgetMs)
{
    if (unnamed.empty())
        return;
    QElapsedTimer clock;
    clock.start();
    auto head = [this](const controller::LogEntry &e) {
        return expected.bytesAt(e.offset, qMin<qint64>(e.size, TrafficLog::maxShownBytes));
    };
    std::vector<TrafficRow> rows;
    const qsizetype slice = budgetMs == 0 ? writingSliceBytes : sliceBytes;
    for (bool first = true; !unnamed.empty() && (first || budgetMs < 0 || clock.elapsed() < budgetMs); first = false) {
        const Unnamed &u = unnamed.front();
        if (u.row) {
            log.addSentRows(std::exchange(rows, {}));
            const std::function<void()> row = u.row;
            unnamed.pop_front();
            row();
            continue;
        }
        const qsizetype n = qMin(slice, u.bytes.size() - unnamedAt);
        const bool last = unnamedAt + n == u.bytes.size();
        const ExpectedPrinter::Decoded decoded
            = expected.feed(QByteArray::fromRawData(u.bytes.constData() + unnamedAt, n), last && u.nothingMore);
        if (decoded.grown && !rows.empty() && rows.back().offset == decoded.grown->offset) {
            TrafficRow &r = rows.back(); // grew before its row was listed
            r.detail = decoded.grown->args;
            r.bytes = head(*decoded.grown);
            r.size = decoded.grown->size;
        } else if (decoded.grown) {
            log.updateLastSent(*decoded.grown, head(*decoded.grown));
        }
        for (const controller::LogEntry &e : decoded.added)
            rows.push_back(TrafficLog::sentRow(u.time, e, head(e), expected.line()));
        unnamedAt += n;
        unnamedBytes -= n;
        if (last) {
            unnamed.pop_front();
            unnamedAt = 0;
        }
    }
    log.addSentRows(std::move(rows));
    if (!unnamed.empty())
        slices.start(budgetMs == 0 ? writingPauseMs : 0);
    emit sentDecoded();
}

void TrafficRecorder::inTurn(std::function<void()> row)
{
    if (unnamed.empty()) {
        row();
        return;
    }
    unnamed.push_back({0, {}, false, std::move(row)});
}

void TrafficRecorder::received(const Answer &answer)
{
    expected.learn(answer);
    // An answer can come before the port has said that its query left: it waits for its query's
    // row, so that a query is never listed after its answer.
    if (answer.kind == Answer::Kind::Reply && answer.queryEnd > sentEnd) {
        early.push_back({now(), answer});
        return;
    }
    listReceived(now(), answer);
}

void TrafficRecorder::listEarly(bool all)
{
    while (!early.empty() && (all || early.front().second.queryEnd <= sentEnd)) {
        listReceived(early.front().first, early.front().second);
        early.pop_front();
    }
}

void TrafficRecorder::listReceived(qint64 time, const Answer &answer)
{
    // Listed after the commands that went before it.
    inTurn([this, time, answer] { log.addReceived(time, answer); });
}

void TrafficRecorder::takePausedAnswer()
{
    link.settleAnswers();
    listEarly(true); // the line is ending: nothing more will be said to have left
}

void TrafficRecorder::flushAnswers()
{
    takePausedAnswer();
    nameSent();
}

void TrafficRecorder::held(bool isHeld, qint64 ms)
{
    const QString cause = holdCause.isEmpty() ? tr("line") : holdCause;
    if (isHeld)
        note(tr("%1: held").arg(cause));
    else
        note(tr("%1: held for %2 s").arg(cause).arg(double(ms) / 1000.0, 0, 'f', 1));
}

void TrafficRecorder::note(const QString &text)
{
    inTurn([this, time = now(), text] { log.addEvent(time, text); });
}
