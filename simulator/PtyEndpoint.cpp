#include "simulator/PtyEndpoint.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

PtyEndpoint::PtyEndpoint(QObject *parent)
    : QObject(parent)
{ }

PtyEndpoint::~PtyEndpoint() { close(); }

bool PtyEndpoint::open()
{
    close();
    char name[256] = {};
    if (::openpty(&master, &slaveHold, name, nullptr, nullptr) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        master = slaveHold = -1;
        return false;
    }
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveHold, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PtyEndpoint::close()
{
    if (slaveHold >= 0)
        ::close(slaveHold);
    if (master >= 0)
        ::close(master);
    master = slaveHold = -1;
}

bool PtyEndpoint::link(const QString &linkPath)
{
    QFile::remove(linkPath);
    return QFile::link(slavePath, linkPath);
}

qsizetype PtyEndpoint::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR)
            break;
    }
    return done;
}

QByteArray PtyEndpoint::read(qsizetype max)
{
    QByteArray out;
    char buf[65536];
    while (master >= 0 && (max < 0 || out.size() < max)) {
        const size_t want = max < 0 ? sizeof buf : size_t(qMin<qsizetype>(sizeof buf, max - out.size()));
        const ssize_t n = ::read(master, buf, want);
        if (n > 0)
            out.append(buf, n);
        else if (!(n < 0 && errno == EINTR))
            break;
    }
    return out;
}

} // namespace sim
