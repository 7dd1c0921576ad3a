// libFuzzer target: any file as a recording. What the capture reader accepts is read to its end
// and its answers matched, as --replay and --compare read a file before anything is sent.
#include "traffic/Capture.h"
#include "traffic/Compare.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {
QTemporaryDir *folder = nullptr; // private to this process, removed with it
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv); // lives until the process ends
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = folder->filePath(QStringLiteral("input.pcapng"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();
    CaptureReader reader;
    if (reader.open(path).isEmpty()) {
        CaptureReader::Record record;
        while (reader.next(record)) { }
    }
    QList<Answer> answers;
    recordedAnswers(path, answers);
    return 0;
}
