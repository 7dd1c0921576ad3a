#include "app/WholeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

} // namespace

QString writeWholeFile(const QString &path, const QByteArray &bytes)
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
        if (!failure && ::rename(fresh.constData(), targetName.constData()) != 0)
            failure = errno;
        if (failure)
            ::unlink(fresh.constData()); // ours, made above
    }
    ::rmdir(folder.constData());
    return failure ? systemError(failure) : QString();
}
