// Writes the byte stream of every demonstration job into a folder, one file per job: the
// captures zpc3x-sim --render reads, and seeds for fuzzing the interpreter.
#include "demos/Jobs.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;
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
        if (!file.open(QIODevice::WriteOnly) || file.write(job.stream()) != job.stream().size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
