#pragma once

#include "TestSupport.h"

#include <unistd.h>

// Writes bytes to a non-blocking descriptor while the event loop runs, until all went or the
// time is up; returns how many went. With a controller given, what reaches it meanwhile is read
// into arrived, as both ends would run at once.
inline qsizetype writeFor(
    int fd, const QByteArray &bytes, int timeoutMs = 20000, FarEnd *controller = nullptr, QByteArray *arrived = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size() && clock.elapsed() < timeoutMs) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(qMin<qsizetype>(bytes.size() - done, 4096)));
        done += qMax<ssize_t>(n, 0);
        if (controller)
            *arrived += controller->read(1 << 20, 20, 1);
        else if (n <= 0)
            QTest::qWait(2);
    }
    return done;
}
