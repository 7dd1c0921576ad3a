#include "pty/PtyEndpoint.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
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
    t.c_iflag |= IXON; // as a serial port starts: XOFF holds the host back until it says otherwise
    ::tcsetattr(master, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveHold, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PtyEndpoint::close()
{
    removeLink();
    if (slaveHold >= 0)
        ::close(slaveHold);
    if (master >= 0)
        ::close(master);
    master = slaveHold = -1;
}

namespace {

// Where the symbolic link at path points, or an empty string when path is no symbolic link.
QByteArray linkTarget(const QByteArray &path)
{
    char target[4096];
    const ssize_t n = ::readlink(path.constData(), target, sizeof target);
    return n > 0 ? QByteArray(target, n) : QByteArray();
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Why a link was not made, in English for consoles and runs without a window; a window shows it
// translated (language::shown with PtyEndpoint::reasonSources()).
constexpr const char *notOurLink
    = QT_TRANSLATE_NOOP("PtyEndpoint", "%1 exists and is not a link to a pseudo-terminal; not replacing it");
constexpr const char *cannotLinkIn = QT_TRANSLATE_NOOP("PtyEndpoint", "cannot make a link in %1: %2");
constexpr const char *cannotLink = QT_TRANSLATE_NOOP("PtyEndpoint", "cannot make the link %1: %2");
constexpr const char *noFreeName = QT_TRANSLATE_NOOP("PtyEndpoint", "cannot find a free temporary name in %1");
constexpr const char *linkInUse = QT_TRANSLATE_NOOP(
    "PtyEndpoint", "%1 leads to %2, which another program still serves; stop that one first, or choose another path");

QString english(const char *source) { return QString::fromUtf8(source); }

// Whether a link in directory `dir` with this target leads to a pseudo-terminal: a terminal's
// number in the directory that resolves to /dev/pts. The text alone proves nothing
// ("/dev/pts/../../etc/hostname"), and the terminal of a stale link need not exist any more.
bool leadsToPseudoTerminal(const QByteArray &dir, const QByteArray &target)
{
    const QByteArray full = target.startsWith('/') ? target : dir + '/' + target;
    const qsizetype slash = full.lastIndexOf('/');
    const QByteArray parent = slash > 0 ? full.left(slash) : QByteArray("/"), name = full.mid(slash + 1);
    char resolved[PATH_MAX];
    return !name.isEmpty() && std::all_of(name.cbegin(), name.cend(), [](char c) { return c >= '0' && c <= '9'; })
        && ::realpath(parent.constData(), resolved) && qstrcmp(resolved, "/dev/pts") == 0;
}

} // namespace

bool PtyEndpoint::link(const QString &linkPath)
{
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat st
    {
    };
    const QByteArray dir = QFile::encodeName(QFileInfo(linkPath).absolutePath());
    refused = true;
    if (::lstat(path.constData(), &st) == 0 && !(S_ISLNK(st.st_mode) && leadsToPseudoTerminal(dir, linkTarget(path)))) {
        error = english(notOurLink).arg(linkPath);
        return false;
    }
    // A pseudo-terminal's node lives only while a program holds its other side: a link to one that
    // is still there is another program's line, in use; only a link left behind is replaced.
    if (struct stat served{};
        S_ISLNK(st.st_mode) && ::stat(path.constData(), &served) == 0 && S_ISCHR(served.st_mode)) {
        error = english(linkInUse).arg(linkPath, QFile::decodeName(linkTarget(path)));
        return false;
    }
    refused = false;
    const QByteArray target = QFile::encodeName(slavePath);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temporary
            = dir + "/.zpc3x-link-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        if (::symlink(target.constData(), temporary.constData()) != 0) {
            if (errno == EEXIST)
                continue;
            error = english(cannotLinkIn).arg(QString::fromLocal8Bit(dir), systemError());
            return false;
        }
        if (::rename(temporary.constData(), path.constData()) != 0) {
            error = english(cannotLink).arg(linkPath, systemError());
            ::unlink(temporary.constData());
            return false;
        }
        madeLink = linkPath;
        return true;
    }
    error = english(noFreeName).arg(QString::fromLocal8Bit(dir));
    return false;
}

void PtyEndpoint::removeLink()
{
    // Only our own link: a later run may have put its own there meanwhile.
    const QByteArray path = QFile::encodeName(madeLink);
    if (!madeLink.isEmpty() && linkTarget(path) == QFile::encodeName(slavePath))
        ::unlink(path.constData());
    madeLink.clear();
}

bool PtyEndpoint::hostHonoursXoff() const
{
    // The master's settings are the slave's: the host's line discipline stops its output on XOFF.
    termios t{};
    return master >= 0 && ::tcgetattr(master, &t) == 0 && (t.c_iflag & IXON);
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

const QList<const char *> &PtyEndpoint::reasonSources()
{
    static const QList<const char *> all{notOurLink, cannotLinkIn, cannotLink, noFreeName, linkInUse};
    return all;
}

} // namespace sim
