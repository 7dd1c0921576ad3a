#include "app/WholeFile.h"

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

namespace {

QString tr(const char *text) { return QCoreApplication::translate("MainWindow", text); }
QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Writes all of bytes to fd and flushes them to the disk; the errno of the first failure, or 0.
int writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
}

// Gives the file at fresh the name target only if nothing has that name: 0, or the errno.
int placeAsNew(const QByteArray &fresh, const QByteArray &target)
{
    if (::renameat2(AT_FDCWD, fresh.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
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

QString writeWholeFile(const QString &path, const QByteArray &bytes, Existing whenExisting)
{
    QString target = path;
    const QFileInfo asked(path);
    if (asked.isSymLink()) {
        target = asked.canonicalFilePath(); // the file the link names, which may not exist yet
        if (target.isEmpty())
            target = asked.symLinkTarget();
    }
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing
    {
    };
    const bool replacing = ::stat(targetName.constData(), &existing) == 0;
    if ((replacing || asked.isSymLink()) && whenExisting == Existing::Refuse)
        return tr("%1 exists already; only a new file is written").arg(path);
    if (replacing && !S_ISREG(existing.st_mode))
        return tr("%1 is not a regular file (a device, a pipe or a folder); only regular files are written")
            .arg(target);

    const QFileInfo targetInfo(target);
    QByteArray folder = QFile::encodeName(targetInfo.absolutePath()) + "/.ruvela-save-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return tr("cannot write in %1: %2").arg(targetInfo.absolutePath(), systemError(errno));
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
        if (!failure && whenExisting == Existing::Refuse)
            failure = placeAsNew(fresh, targetName);
        else if (!failure && ::rename(fresh.constData(), targetName.constData()) != 0)
            failure = errno;
        if (failure)
            ::unlink(fresh.constData()); // ours, made above
    }
    ::rmdir(folder.constData());
    if (failure == EEXIST && whenExisting == Existing::Refuse) // it came there while we wrote
        return tr("%1 exists already; only a new file is written").arg(path);
    return failure ? systemError(failure) : QString();
}
