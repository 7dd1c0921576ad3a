#pragma once

#include "TestSupport.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// A process's memory in kB as /proc reports it: field "VmRSS" now, "VmHWM" at its peak; -1 once
// it has gone.
inline qint64 memoryKb(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field) && line.at(qsizetype(qstrlen(field))) == ':')
            return line.mid(qsizetype(qstrlen(field)) + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

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

// waitForFinished() says false for a program that ended while the test did something else.
inline bool finished(QProcess &program, int timeoutMs)
{
    return program.state() == QProcess::NotRunning || program.waitForFinished(timeoutMs);
}

// Opens the path as a host application opens its serial port: raw, and without flow control of
// its own unless it honours XOFF.
inline int openHost(const QString &path, bool honoursXoff = false)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_iflag |= honoursXoff ? IXON : 0;
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// The streams the client libraries write (tests/corpus), made afresh into folder: what each file
// holds, as its manifest says; empty if they could not be made.
inline QJsonArray makeClientStreams(const QString &folder)
{
    QProcess make;
    make.setWorkingDirectory(QStringLiteral(RUVELA_CORPUS_DIR));
    make.start(QStandardPaths::findExecutable(QStringLiteral("node")), {QStringLiteral("make-streams.mjs"), folder});
    if (!make.waitForFinished(60000) || make.exitCode() != 0)
        qWarning("the client streams were not made: %s", make.readAllStandardError().constData());
    return QJsonDocument::fromJson(make.readAllStandardOutput()).array();
}
