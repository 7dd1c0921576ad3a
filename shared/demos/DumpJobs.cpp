// Writes the byte stream of every demonstration job into a folder, one file per job: the
// captures zpc3x-sim --render reads, and seeds for fuzzing the interpreter. A file already there
// with the same bytes is left alone, so that a folder can be filled again; anything else in the
// way is refused, never replaced.
#include "demos/Jobs.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    const QByteArray argument = argc == 2 ? QByteArray(argv[1]) : QByteArray();
    if (argument == "-h" || argument == "--help") {
        std::printf("usage: %s OUTPUT_DIR\n", argv[0]);
        return 0;
    }
    if (argc != 2 || argument.isEmpty() || argument.startsWith('-')) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argument));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make the folder %s\n", argument.constData());
        return 1;
    }
    const QList<std::pair<const char *, jobs::Job>> all = {
        {"quick-test", jobs::quickTest()},
        {"attributes", jobs::attributes()},
        {"density", jobs::density()},
        {"formatting", jobs::formatting()},
        {"alignment", jobs::alignment()},
        {"receipt", jobs::receipt(jobs::Cut::None)},
        {"receipt-full-cut", jobs::receipt(jobs::Cut::Full)},
        {"receipt-partial-cut", jobs::receipt(jobs::Cut::Partial)},
        {"language", jobs::language()},
        {"qr-bitmap", jobs::qrSample()},
        {"barcode-upca", jobs::barcode(cmd::UpcA, false)},
        {"barcode-upce", jobs::barcode(cmd::UpcE, false)},
        {"barcode-ean13", jobs::barcode(cmd::Ean13, false)},
        {"barcode-ean8", jobs::barcode(cmd::Ean8, false)},
        {"barcode-code39", jobs::barcode(cmd::Code39, true)},
        {"barcode-itf", jobs::barcode(cmd::Itf, false)},
        {"barcode-codabar", jobs::barcode(cmd::Codabar, false)},
        {"barcode-code93", jobs::barcode(cmd::Code93, false)},
        {"barcode-code128", jobs::barcode(cmd::Code128, true)},
    };
    for (const auto &[name, job] : all) {
        QFile file(out.filePath(QString::fromLatin1(name) + QStringLiteral(".bin")));
        if (file.exists()) {
            if (file.open(QIODevice::ReadOnly) && file.size() == job.stream().size() && file.readAll() == job.stream())
                continue;
            std::fprintf(stderr, "%s is in the way; not replacing it\n", qPrintable(file.fileName()));
            return 1;
        }
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(job.stream()) != job.stream().size()
            || !file.flush()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(file.fileName()), qPrintable(file.errorString()));
            return 1;
        }
    }
    return 0;
}
