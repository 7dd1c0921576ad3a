#include "tool/CompareRun.h"

#include "files/WholeFile.h"
#include "tool/Launch.h"
#include "traffic/Compare.h"

#include <QBuffer>
#include <QImageWriter>

#include <cstdio>

namespace {

void say(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

// The picture into a new file only: one that is there is the user's.
QString writePng(const QImage &picture, const QString &path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture))
        return writer.errorString();
    GrowingFile file;
    if (QString why = file.open(path); !why.isEmpty())
        return why;
    if (!file.append(png) || !file.close()) {
        const QString why = file.failure();
        file.discard();
        return why;
    }
    return {};
}

} // namespace

int runCompare(const Launch &launch)
{
    const QString program = QStringLiteral("printer-ruvela");
    RecordingDigest digests[2];
    const QStringList why = RecordingDigest::readAll({&digests[0], &digests[1]}, launch.compareFiles);
    for (int i = 0; i < 2; ++i) {
        if (!why.at(i).isEmpty()) {
            say(stderr,
                QStringLiteral("%1: cannot compare %2: %3\n").arg(program, launch.compareFiles.at(i), why.at(i)));
            return 2;
        }
    }
    const Comparison c = compareRecordings(digests[0], digests[1]);
    say(stdout, describeComparison(c, digests[0], digests[1]));
    int code = c.same() ? 0 : 1;
    if (!launch.diffPng.isEmpty()) {
        const QImage picture = paperDifference(digests[0], digests[1], c);
        if (picture.isNull() && c.firstPaperRow < 0) {
            say(stdout, QStringLiteral("the papers are the same: %1 not written\n").arg(launch.diffPng));
        } else if (const QString why
                   = picture.isNull() ? QStringLiteral("no memory for the picture") : writePng(picture, launch.diffPng);
                   !why.isEmpty()) {
            say(stderr, QStringLiteral("%1: cannot write %2: %3\n").arg(program, launch.diffPng, why));
            code = 1;
        }
    }
    return code;
}
