#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes as the whole new content of the regular file at path, or leaves everything as it
// was. The bytes go to a new file in a private folder beside the target, are flushed to the
// disk, and only then take the target's place, so that a full disk or an I/O error never leaves
// an empty or partial file. A symbolic link stays and the file at the end of its chain is
// written; a link that leads nowhere, to anything but a regular file or to a file of another
// user is refused, as are a
// device, a pipe or any other special file. Returns an empty string, or why nothing was written.
QString writeWholeFile(const QString &path, const QByteArray &bytes);

// The two steps that make a written file last, as the system calls they stand for: flushing it to
// the disk (fsync) and giving it the target's name (renameat2; flags 0 replaces the target,
// RENAME_NOREPLACE only takes a free name). Each returns 0, or -1 with errno set. Tests put their
// own here to make a step fail or to see that it was taken.
struct WholeFileSteps
{
    int (*flush)(int fd);
    int (*rename)(const char *from, const char *to, unsigned int flags);
};
WholeFileSteps &wholeFileSteps();

// A new file written in pieces, which takes its name only when it is complete: the pieces go to a
// file in a private folder beside the target, and commit() flushes it to the disk and gives it the
// name only if nothing has that name by then. Until then, and on any failure, nothing is left.
class NewFile
{
public:
    NewFile() = default;
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;
    ~NewFile(); // leaves nothing of what was not committed

    // Empty, or why the file cannot be made: the name is taken, the folder is missing or not ours
    // to write in.
    QString open(const QString &path);
    // Empty, or why the bytes were not written; after a failure every later call fails with it.
    QString append(const QByteArray &bytes);
    QString commit();
    // Gives up the file: nothing of it is left, and it takes no name.
    void discard() { abandon(); }

private:
    void abandon();
    QString path;
    QByteArray folder, fresh, target;
    int fd = -1;
    QString failure;
};

// A new file written as a run goes on, so that it is a readable record of the run so far
// whenever the run ends, by a crash or a power cut too: it takes its name at once (only a name
// that is free; a link is never followed), appended bytes wait in memory at most bufferBytes or
// until flush(), which hands them to the system and then to the disk. The first failure stops
// the writing; the bytes appended after it are counted, not kept.
class GrowingFile
{
public:
    static constexpr qsizetype bufferBytes = 64 * 1024;

    GrowingFile() = default;
    GrowingFile(const GrowingFile &) = delete;
    GrowingFile &operator=(const GrowingFile &) = delete;
    ~GrowingFile() { close(); }

    // Empty, or why the file cannot be made: the name is taken, or the folder cannot be written.
    QString open(const QString &path);
    // False once the writing has failed; failure() says why.
    bool append(const QByteArray &bytes);
    bool flush();
    // Flushes and closes; false when that failed.
    bool close();
    // Closes and removes the file, if the name still holds the one this made: for a run that
    // ended before it had anything to record.
    void discard();
    bool isOpen() const { return fd >= 0; }
    QString failure() const { return why; }
    qint64 written() const { return done; } // bytes the file holds
    qint64 lost() const { return dropped; } // bytes appended after a failure

private:
    bool fail(int code);
    bool writeOut();
    int fd = -1;
    QByteArray name, waiting;
    QString why;
    qint64 done = 0, dropped = 0;
};
