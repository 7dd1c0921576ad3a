// Files written whole or not at all: what reaches the disk before it takes a name, a flush or a
// rename that fails leaving what was there, and a save through a symbolic link.
#include "TestSupport.h"

#include "app/MacrosDock.h"
#include "files/WholeFile.h"
#include "tool/MacroBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

class TestWholeFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { system = wholeFileSteps(); }
    void cleanup() { wholeFileSteps() = system; }
    void flushedBeforeItTakesTheName_data();
    void flushedBeforeItTakesTheName();
    void aFailingStepLeavesWhatWasThere_data();
    void aFailingStepLeavesWhatWasThere();
    void saveThroughALink_data();
    void saveThroughALink();

private:
    WholeFileSteps system{};
};

namespace {

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
    struct stat st
    {
    };
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
    struct stat st
    {
    };
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

QByteArray contentOf(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList everything(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
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

void TestWholeFile::flushedBeforeItTakesTheName_data()
{
    QTest::addColumn<QString>("writer");
    QTest::newRow("a file replaced whole") << "whole";
    QTest::newRow("a new file in pieces") << "new";
}

void TestWholeFile::flushedBeforeItTakesTheName()
{
    // The bytes reach the disk, all of them, before the file takes its name: a crash in between
    // must not leave a named file whose content the disk never got.
    QFETCH(QString, writer);
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("sent.bin"));
    const QByteArray bytes("\x1B\x40Receipt\n", 10);
    watchSteps();
    QCOMPARE(writeWith(writer, name, bytes), QString());
    QCOMPARE(contentOf(name), bytes);
    QVERIFY2(seen.namedUnflushed.isEmpty(), qPrintable(seen.namedUnflushed.join(QLatin1Char(' '))));
    QCOMPARE(seen.flushedSize, bytes.size());
    QCOMPARE(everything(dir), QStringList({"sent.bin"}));
}

void TestWholeFile::aFailingStepLeavesWhatWasThere_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<int>("flushFails");
    QTest::addColumn<int>("renameFails");
    QTest::newRow("replacing, the flush fails") << "whole" << EIO << 0;
    QTest::newRow("replacing, the rename fails") << "whole" << 0 << EROFS;
    QTest::newRow("a new file, the flush fails") << "new" << EIO << 0;
    QTest::newRow("a new file, the rename fails") << "new" << 0 << EROFS;
    QTest::newRow("Save Macros, the flush fails") << "macros" << EIO << 0;
    QTest::newRow("Save Macros, the rename fails") << "macros" << 0 << EROFS;
}

void TestWholeFile::aFailingStepLeavesWhatWasThere()
{
    // The file that was there stays as it was, nothing of ours is left beside it, and the
    // failure is returned, or shown in a box naming the file.
    QFETCH(QString, writer);
    QFETCH(int, flushFails);
    QFETCH(int, renameFails);
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.json"));
    const QByteArray old("the user's");
    {
        QFile out(mine);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(old) == old.size());
    }
    const QString why = QString::fromLocal8Bit(std::strerror(flushFails ? flushFails : renameFails));
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
    } else {
        const QString target = writer == QLatin1String("whole") ? mine : dir.filePath(QStringLiteral("new.txt"));
        const QString failure = writeWith(writer, target, "new content");
        QVERIFY2(failure.contains(why), qPrintable(failure));
    }
    QCOMPARE(contentOf(mine), old);
    QCOMPARE(everything(dir), QStringList({"mine.json"}));
}

void TestWholeFile::saveThroughALink_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why"); // empty: the save goes through
    QTest::newRow("a link to a file") << "file" << QString();
    QTest::newRow("a link to a link to a file") << "chain" << QString();
    QTest::newRow("a link into another folder") << "folder" << QString();
    QTest::newRow("a link that leads nowhere") << "dangling"
                                               << "which leads to no file";
    QTest::newRow("a link to a pipe") << "fifo"
                                      << "which is not a regular file";
}

void TestWholeFile::saveThroughALink()
{
    // The link is the user's and stays as it is; the file it leads to takes the bytes. A link
    // that leads to no file, or to anything but a regular file, is refused with the reason.
    QFETCH(QString, kind);
    QFETCH(QString, why);
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
    if (kind != QLatin1String("dangling") && kind != QLatin1String("fifo")) {
        QFile out(target);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write("old") == 3);
    }
    QCOMPARE(::symlink(QFile::encodeName(pointsTo).constData(), QFile::encodeName(link).constData()), 0);
    const QStringList before = everything(dir);

    const QString failure = writeWholeFile(link, "new bytes");
    const QString linkedTo = QDir(dir.path()).absoluteFilePath(pointsTo);
    QCOMPARE(QFileInfo(link).symLinkTarget(), linkedTo);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(everything(dir), before);
    if (why.isEmpty()) {
        QCOMPARE(failure, QString());
        QCOMPARE(contentOf(target), QByteArray("new bytes"));
    } else {
        QVERIFY2(failure.contains(link) && failure.contains(why), qPrintable(failure));
        QVERIFY(kind != QLatin1String("dangling") || !QFileInfo::exists(target));
    }
}

QTEST_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
