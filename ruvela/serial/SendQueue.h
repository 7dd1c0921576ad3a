#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>

// What the serial link has been handed and where each byte stands: staged in the link, given to
// the port a slice at a time, or written to the line (the port reported it gone). It has no port
// of its own, so that its counts can be checked alone.
//
// The port gets at most a slice at a time so that a cancel drops the link's own queue and never
// has to flush the driver: what the system already took still reaches the controller, and is
// counted as sent.
class SendQueue
{
public:
    static constexpr qint64 maxKept = 64 << 20; // bytes kept for Save Sent Bytes

    // Takes size bytes at the back of the queue; promised ones were counted in the run already.
    void hand(const char *data, qint64 size, bool promised = false);
    // The next bytes for the port, at most maxBytes; they count as given from now on.
    QByteArray give(qint64 maxBytes);
    // The port reports bytes of what it was given as written: they are returned, in order.
    QByteArray written(qint64 bytes);
    // Drops what is still staged; what the port was given stays and will be written. Returns
    // the run's bytes that have gone or will go out, and its total before the drop.
    std::pair<qint64, qint64> dropStaged();
    // The port is closed: what it was given and had not written is gone too; the bytes it had
    // written to the system but not reported yet are taken as written and returned.
    QByteArray close(qint64 givenToSystem);
    void clear() { *this = SendQueue(keepLimit); }
    explicit SendQueue(qint64 keep = maxKept)
        : keepLimit(keep)
    { }

    qint64 handed() const { return handedCount; }
    qint64 given() const { return givenCount; }
    qint64 writtenTotal() const { return writtenCount; }
    qint64 staged() const { return handedCount - givenCount; }
    qint64 atPort() const { return givenCount - writtenCount; } // given, not reported written
    qint64 queued() const { return handedCount - writtenCount; }
    // The first maxKept of the bytes written since the last clear.
    const QByteArray &kept() const { return keptBytes; }

    // A run of writes: from the first bytes handed to an idle queue until all have been written
    // or dropped. done counts those written, total all handed or promised.
    qint64 runDone() const { return runDoneCount; }
    qint64 runTotal() const { return runTotalCount; }
    // Bytes promised to the run that are not handed over yet (a file's rest): counted in total.
    void promise(qint64 bytes);
    void unpromise(qint64 bytes);

private:
    void check() const;
    // Handed and not yet written, from head on: given bytes first, then staged ones.
    QByteArray pending;
    qsizetype head = 0;
    QByteArray keptBytes;
    qint64 keepLimit = maxKept; // a run without a window keeps none: nobody could save them
    qint64 handedCount = 0, givenCount = 0, writtenCount = 0;
    qint64 runDoneCount = 0, runTotalCount = 0;
};
