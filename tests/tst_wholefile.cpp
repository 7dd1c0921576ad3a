// Files written whole or not at all: what reaches the disk before it takes a name, a flush or a
// rename that fails leaving what was there, and a save through a symbolic link.
#include "TestSupport.h"

#include "app/MacrosDock.h"
#include "files/WholeFile.h"
#include "tool/MacroBook.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Stat = struct stat;

// What the steps saw: the files flushed (device and inode, with the size they had then), those
// that took a name without a flush, and the errno each step is to fail with (0: it works).
struct Seen
{
    QSet<QPair<dev_t, ino_t>> flushed;
    qint64 flushedSize = -1;
    QStringList namedUnflushed;
    int flushFails = 0, renameFails = 0;
    WholeFileSteps system{};
} seen;

int watchedFlush(int fd)
{
    if (seen.flushFails) {
        errno = seen.flushFails;
        return -1;
    }
    Stat st{};
    if (::fstat(fd, &st) == 0) {
        seen.flushed.insert({st.st_dev, st.st_ino});
        seen.flushedSize = st.st_size;
    }
    return seen.system.flush(fd);
}

int watchedRename(const char *from, const char *to, unsigned int flags)
{
    if (seen.renameFails) {
        errno = seen.renameFails;
        return -1;
    }
    Stat st{};
    if (::stat(from, &st) != 0 || !seen.flushed.contains({st.st_dev, st.st_ino}))
        seen.namedUnflushed << QString::fromLocal8Bit(to);
    return seen.system.rename(from, to, flags);
}

void watchSteps(int flushFails = 0, int renameFails = 0)
{
    seen = Seen{};
    seen.system = wholeFileSteps();
    seen.flushFails = flushFails;
    seen.renameFails = renameFails;
    wholeFileSteps() = {watchedFlush, watchedRename};
}

// Writes bytes to name with the writer the row names; empty, or why not.
QString writeWith(const QString &writer, const QString &name, const QByteArray &bytes)
{
    if (writer == QLatin1String("whole"))
        return writeWholeFile(name, bytes);
    NewFile file;
    QString failure = file.open(name);
    if (failure.isEmpty())
        failure = file.append(bytes.left(5));
    if (failure.isEmpty())
        failure = file.append(bytes.mid(5));
    return failure.isEmpty() ? file.commit() : failure;
}

} // namespace

class TestWholeFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { system = wholeFileSteps(); }
    void cleanup() { wholeFileSteps() = system; }
    void wholeOnDiskOrWhatWasThereStays_data() { addTableRows(QStringLiteral("wholefile.txt")); }
    void wholeOnDiskOrWhatWasThereStays()
    {
        // The bytes reach the disk, all of them, before the file takes its name: a crash in between
        // must not leave a named file whose content the disk never got. A step that fails leaves
        // the file that was there as it was, nothing of ours beside it, and the failure is returned,
        // or shown in a box naming the file.
        QFETCH(QStringList, row);
        const QString writer = row[1];
        const int flushFails = row[2] == QLatin1String("flush") ? EIO : 0;
        const int renameFails = row[2] == QLatin1String("rename") ? EROFS : 0;
        QTemporaryDir dir;
        const QString mine = dir.filePath(QStringLiteral("mine.json"));
        const QByteArray old("the user's"), bytes("\x1B\x40Receipt\n", 10);
        QVERIFY(writeFile(mine, old));
        const QString why = QString::fromLocal8Bit(std::strerror(flushFails ? flushFails : renameFails));
        const QString target = writer == QLatin1String("new") ? dir.filePath(QStringLiteral("new.txt")) : mine;
        watchSteps(flushFails, renameFails);
        if (writer == QLatin1String("macros")) {
            MacroBook book;
            QVERIFY(book.add({"status", "10 04", SendMode::Hex}).isEmpty());
            MacrosDock dock(&book);
            ModalCloser closer;
            closer.arm();
            dock.save(mine);
            QTRY_VERIFY(closer.done());
            QCOMPARE(closer.title, QStringLiteral("Save Macros"));
            QVERIFY2(closer.text.contains(mine) && closer.text.contains(why), qPrintable(closer.text));
        } else if (flushFails || renameFails) {
            const QString failure = writeWith(writer, target, bytes);
            QVERIFY2(failure.contains(why), qPrintable(failure));
        } else {
            QCOMPARE(writeWith(writer, target, bytes), QString());
            QCOMPARE(readFile(target), bytes);
            QVERIFY2(seen.namedUnflushed.isEmpty(), qPrintable(seen.namedUnflushed.join(QLatin1Char(' '))));
            QCOMPARE(seen.flushedSize, bytes.size());
            QCOMPARE(entriesOf(dir.path()).size(), target == mine ? 1 : 2);
            return;
        }
        QCOMPARE(readFile(mine), old);
        QCOMPARE(entriesOf(dir.path()), QStringList({"mine.json"}));
    }
    void saveThroughALink_data() { addTableRows(QStringLiteral("savelink.txt")); }
    void saveThroughALink()
    {
        // The link is the user's and stays as it is; the file it leads to takes the bytes. A link
        // that leads to no file, or to anything but a regular file, is refused with the reason.
        QFETCH(QStringList, row);
        const QString kind = row[1], why = row.value(2);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("elsewhere")));
        const QString link = dir.filePath(QStringLiteral("sent.bin"));
        QString target = dir.filePath(QStringLiteral("target.bin"));
        QString pointsTo = QStringLiteral("target.bin"); // relative, as links often are
        if (kind == QLatin1String("folder")) {
            target = dir.filePath(QStringLiteral("elsewhere/target.bin"));
            pointsTo = target;
        } else if (kind == QLatin1String("chain")) {
            pointsTo = QStringLiteral("middle.bin");
            QCOMPARE(::symlink("target.bin", QFile::encodeName(dir.filePath(pointsTo)).constData()), 0);
        } else if (kind == QLatin1String("dangling")) {
            target = dir.filePath(QStringLiteral("missing.bin"));
            pointsTo = QStringLiteral("missing.bin");
        } else if (kind == QLatin1String("fifo")) {
            target = dir.filePath(QStringLiteral("pipe"));
            pointsTo = QStringLiteral("pipe");
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        }
        if (kind != QLatin1String("dangling") && kind != QLatin1String("fifo"))
            QVERIFY(writeFile(target, "old"));
        if (kind == QLatin1String("owner")
            && ::chown(QFile::encodeName(target).constData(), ::geteuid() + 1, gid_t(-1)))
            QSKIP("only the superuser can give a file to another user");
        QCOMPARE(::symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(link).constData()), 0);
        const QStringList before = entriesOf(dir.path());

        const QString failure = writeWholeFile(link, "new bytes");
        const QString linkedTo = QDir(dir.path()).absoluteFilePath(pointsTo);
        QCOMPARE(QFileInfo(link).symLinkTarget(), linkedTo);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(entriesOf(dir.path()), before);
        if (why.isEmpty()) {
            QCOMPARE(failure, QString());
            QCOMPARE(readFile(target), QByteArray("new bytes"));
        } else {
            QVERIFY2(failure.contains(link) && failure.contains(why), qPrintable(failure));
            QVERIFY(kind != QLatin1String("dangling") || !QFileInfo::exists(target));
            QVERIFY(kind != QLatin1String("owner") || readFile(target) == "old");
        }
    }
    void newFilesNeverTakeAnothersPlace()
    {
        // A name that is taken, by a file or a link, or a folder that is not there, is refused; a
        // file never committed leaves nothing; the name comes only when the file is whole.
        QTemporaryDir dir;
        auto at = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
        QVERIFY(writeFile(at("mine.txt"), "the user's"));
        QVERIFY(QFile::link(at("nowhere.txt"), at("link.txt")));
        for (const char *taken : {"mine.txt", "link.txt"})
            QVERIFY(NewFile().open(at(taken)).contains(QStringLiteral("exists already")));
        QVERIFY(NewFile().open(at("missing/traffic.txt")).contains(QStringLiteral("No such file or directory")));
        {
            NewFile left;
            QCOMPARE(left.open(at("left.txt")), QString());
            QCOMPARE(left.append("half"), QString());
        }
        QCOMPARE(entriesOf(dir.path()), QStringList({"link.txt", "mine.txt"}));
        NewFile fresh;
        QCOMPARE(fresh.open(at("new.txt")), QString());
        QCOMPARE(fresh.append("traf"), QString());
        QCOMPARE(fresh.append("fic"), QString());
        QVERIFY(!QFileInfo::exists(at("new.txt")));
        QCOMPARE(fresh.commit(), QString());
        QCOMPARE(readFile(at("new.txt")), QByteArray("traffic"));
        // The name taken while the file was being written: theirs stays, ours goes.
        NewFile late;
        QCOMPARE(late.open(at("race.txt")), QString());
        QCOMPARE(late.append("ours"), QString());
        QVERIFY(writeFile(at("race.txt"), "theirs"));
        QVERIFY(late.commit().contains(QStringLiteral("exists already")));
        QCOMPARE(readFile(at("race.txt")), QByteArray("theirs"));
        QCOMPARE(readFile(at("mine.txt")), QByteArray("the user's"));
        QCOMPARE(entriesOf(dir.path()), QStringList({"link.txt", "mine.txt", "new.txt", "race.txt"}));
    }

private:
    WholeFileSteps system{};
};

QTEST_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
