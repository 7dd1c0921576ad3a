#include "files/WholeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// Said in the window's language; a run without a window has no translator and stays English.
struct Say
{
    Q_DECLARE_TR_FUNCTIONS(WholeFile)
};
QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Writes all of bytes to fd; the errno of the first failure, or 0.
int writeBytes(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

int systemRename(const char *from, const char *to, unsigned int flags)
{
    return flags ? ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags) : ::rename(from, to);
}

int flushToDisk(int fd) { return wholeFileSteps().flush(fd) == 0 || errno == EINVAL ? 0 : errno; }

// Writes all of bytes to fd and flushes them to the disk; the errno of the first failure, or 0.
int writeAll(int fd, const QByteArray &bytes)
{
    const int failed = writeBytes(fd, bytes);
    return failed ? failed : flushToDisk(fd);
}

// Gives the file at fresh the name target only if nothing has that name: 0, or the errno.
int placeAsNew(const QByteArray &fresh, const QByteArray &target)
{
    if (wholeFileSteps().rename(fresh.constData(), target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot rename so: a second link, which fails as well for a name in use.
    if (::link(fresh.constData(), target.constData()) != 0)
        return errno;
    ::unlink(fresh.constData());
    return 0;
}

} // namespace

WholeFileSteps &wholeFileSteps()
{
    static WholeFileSteps steps{::fsync, systemRename};
    return steps;
}

QString writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QString target = path;
    const QFileInfo asked(path);
    if (asked.isSymLink()) {
        // The link is the user's and stays; the file at the end of its chain takes the bytes.
        target = asked.canonicalFilePath();
        if (target.isEmpty())
            return Say::tr(
                "%1 is a link to %2, which leads to no file; a link is written through only to a file that is there")
                .arg(path, asked.symLinkTarget());
    }
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing
    {
    };
    const bool replacing = ::stat(targetName.constData(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode) && target != path)
        return Say::tr("%1 is a link to %2, which is not a regular file; only regular files are written")
            .arg(path, target);
    if (replacing && !S_ISREG(existing.st_mode))
        return Say::tr("%1 is not a regular file (a device, a pipe or a folder); only regular files are written")
            .arg(target);
    // A link may have been laid by someone else, for a program run by another user to replace
    // that user's file: a link is written through only to a file of the user's own.
    if (replacing && target != path && existing.st_uid != ::geteuid())
        return Say::tr("%1 is a link to %2, which belongs to another user; a link is written through only to a file "
                       "of your own")
            .arg(path, target);

    const QFileInfo targetInfo(target);
    QByteArray folder = QFile::encodeName(targetInfo.absolutePath()) + "/.ruvela-save-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return Say::tr("cannot write in %1: %2").arg(targetInfo.absolutePath(), systemError(errno));
    const QByteArray fresh = folder + '/' + QFile::encodeName(targetInfo.fileName());
    const int fd = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    int failure = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0)
            failure = errno; // the replaced file's permissions carry over
        if (!failure)
            failure = writeAll(fd, bytes);
        if (::close(fd) != 0 && !failure)
            failure = errno;
        if (!failure && wholeFileSteps().rename(fresh.constData(), targetName.constData(), 0) != 0)
            failure = errno;
        if (failure)
            ::unlink(fresh.constData()); // ours, made above
    }
    ::rmdir(folder.constData());
    return failure ? systemError(failure) : QString();
}

NewFile::~NewFile() { abandon(); }

void NewFile::abandon()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    if (!fresh.isEmpty())
        ::unlink(fresh.constData()); // ours, made in open()
    if (!folder.isEmpty())
        ::rmdir(folder.constData());
    fresh.clear();
    folder.clear();
}

QString NewFile::open(const QString &name)
{
    path = name;
    const QFileInfo asked(name);
    if (asked.exists() || asked.isSymLink())
        return failure = Say::tr("%1 exists already; only a new file is written").arg(name);
    target = QFile::encodeName(asked.absoluteFilePath());
    folder = QFile::encodeName(asked.absolutePath()) + "/.ruvela-save-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        failure = Say::tr("cannot write in %1: %2").arg(asked.absolutePath(), systemError(errno));
        folder.clear();
        return failure;
    }
    fresh = folder + '/' + QFile::encodeName(asked.fileName());
    fd = ::open(fresh.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure = systemError(errno);
        fresh.clear();
        abandon();
    }
    return failure;
}

QString NewFile::append(const QByteArray &bytes)
{
    if (failure.isEmpty() && fd < 0)
        failure = Say::tr("the file is not open");
    if (failure.isEmpty()) {
        if (const int failed = writeBytes(fd, bytes)) {
            failure = systemError(failed);
            abandon();
        }
    }
    return failure;
}

QString NewFile::commit()
{
    if (!failure.isEmpty() || fd < 0)
        return failure.isEmpty() ? Say::tr("the file is not open") : failure;
    int failed = flushToDisk(fd);
    if (::close(fd) != 0 && !failed)
        failed = errno;
    fd = -1;
    if (!failed)
        failed = placeAsNew(fresh, target);
    if (failed) {
        failure = failed == EEXIST ? Say::tr("%1 exists already; only a new file is written").arg(path)
                                   : systemError(failed);
        abandon();
        return failure;
    }
    fresh.clear(); // it has its name now
    abandon();
    return {};
}

QString GrowingFile::open(const QString &path)
{
    close();
    why.clear();
    done = dropped = 0;
    const QFileInfo asked(path);
    if (asked.exists() || asked.isSymLink())
        return why = Say::tr("%1 exists already; only a new file is written").arg(path);
    name = QFile::encodeName(path);
    fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = errno == EEXIST ? Say::tr("%1 exists already; only a new file is written").arg(path)
                              : Say::tr("cannot write in %1: %2").arg(asked.absolutePath(), systemError(errno));
        return why;
    }
    return {};
}

bool GrowingFile::fail(int code)
{
    why = systemError(code);
    dropped += waiting.size();
    waiting.clear();
    ::close(fd);
    fd = -1;
    return false;
}

bool GrowingFile::append(const QByteArray &bytes)
{
    if (fd < 0) {
        dropped += bytes.size();
        return false;
    }
    waiting += bytes;
    return waiting.size() < bufferBytes || writeOut();
}

bool GrowingFile::writeOut()
{
    // A slice at a time, so that a failure knows how much of it the file took.
    while (!waiting.isEmpty()) {
        const ssize_t n = ::write(fd, waiting.constData(), size_t(waiting.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        done += n;
        waiting.remove(0, n);
    }
    return true;
}

bool GrowingFile::flush()
{
    if (fd < 0)
        return why.isEmpty();
    if (!writeOut())
        return false;
    if (const int failed = flushToDisk(fd))
        return fail(failed);
    return true;
}

bool GrowingFile::close()
{
    if (fd < 0)
        return why.isEmpty();
    const bool flushed = flush();
    if (fd >= 0 && ::close(fd) != 0 && flushed) {
        fd = -1;
        why = systemError(errno);
        return false;
    }
    fd = -1;
    return flushed;
}

void GrowingFile::discard()
{
    if (fd < 0)
        return;
    struct stat made
    {
    }, named{};
    if (::fstat(fd, &made) == 0 && ::lstat(name.constData(), &named) == 0 && made.st_dev == named.st_dev
        && made.st_ino == named.st_ino)
        ::unlink(name.constData());
    ::close(fd);
    fd = -1;
    waiting.clear();
}
