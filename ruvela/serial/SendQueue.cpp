#include "serial/SendQueue.h"

void SendQueue::check() const
{
    Q_ASSERT(writtenCount >= 0 && writtenCount <= givenCount && givenCount <= handedCount);
    Q_ASSERT(pending.size() - head == handedCount - writtenCount);
    Q_ASSERT(runDoneCount >= 0 && runDoneCount <= runTotalCount);
}

void SendQueue::promise(qint64 bytes)
{
    if (runDoneCount >= runTotalCount)
        runDoneCount = runTotalCount = 0; // a new run
    runTotalCount += bytes;
    check();
}

void SendQueue::unpromise(qint64 bytes)
{
    runTotalCount = qMax(runDoneCount, runTotalCount - bytes);
    check();
}

void SendQueue::hand(const char *data, qint64 size, bool promised)
{
    if (size <= 0)
        return;
    if (!promised)
        promise(size);
    pending.append(data, size);
    handedCount += size;
    check();
}

QByteArray SendQueue::give(qint64 maxBytes)
{
    const qint64 n = qBound<qint64>(0, maxBytes, staged());
    const QByteArray out = pending.mid(head + (givenCount - writtenCount), n);
    givenCount += n;
    check();
    return out;
}

QByteArray SendQueue::written(qint64 bytes)
{
    const qint64 n = qBound<qint64>(0, bytes, atPort());
    const QByteArray out = pending.mid(head, n);
    head += n;
    writtenCount += n;
    runDoneCount = qMin(runTotalCount, runDoneCount + n);
    if (keptBytes.size() < keepLimit)
        keptBytes.append(out.left(keepLimit - keptBytes.size()));
    // Dropping the front only once it is most of the queue keeps a long write linear.
    if (head == pending.size()) {
        pending.clear();
        head = 0;
    } else if (head >= (1 << 20) && head * 2 >= pending.size()) {
        pending.remove(0, head);
        head = 0;
    }
    check();
    return out;
}

std::pair<qint64, qint64> SendQueue::dropStaged()
{
    const std::pair<qint64, qint64> result{runDoneCount + atPort(), runTotalCount};
    pending.truncate(head + atPort());
    handedCount = givenCount;
    // What the port holds still goes out: the run's tail, a run of its own.
    runDoneCount = 0;
    runTotalCount = atPort();
    check();
    return result;
}

QByteArray SendQueue::close(qint64 givenToSystem)
{
    const QByteArray out = written(givenToSystem);
    pending.clear();
    head = 0;
    handedCount = givenCount = writtenCount;
    runDoneCount = runTotalCount = 0;
    check();
    return out;
}
