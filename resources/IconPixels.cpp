// Decodes the toolbar's PNG icons when the program is built, into a C++ source of their pixels,
// as the image reader and a pixmap make them: the window then draws them without the image reader,
// which would read every image-format plugin's description and unpack each PNG as it starts.
// Usage: IconPixels OUT.cpp NAME=FILE.png ...
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fputs("usage: IconPixels OUT.cpp NAME=FILE.png ...\n", stderr);
        return 2;
    }
    QByteArray source = "// Made by resources/IconPixels.cpp when the program was built.\n"
                        "#include \"app/Icons.h\"\n\nnamespace {\n";
    QByteArray table = "} // namespace\n\nconst QList<BuiltIcon> &builtIcons()\n{\n"
                       "    static const QList<BuiltIcon> icons{\n";
    for (int i = 2; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        const QByteArray name = argument.left(argument.indexOf('='));
        QImageReader reader(QString::fromLocal8Bit(argument.mid(name.size() + 1)));
        // Premultiplied, as a pixmap holds it, so that making the pixmap converts nothing.
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (name.isEmpty() || image.isNull()) {
            std::fprintf(stderr, "IconPixels: cannot read %s\n", argv[i]);
            return 1;
        }
        const QByteArray array = "pixels" + QByteArray::number(i - 2);
        source += "alignas(4) const uchar " + array + "[] = {";
        const uchar *bits = image.constBits();
        for (qsizetype b = 0; b < image.sizeInBytes(); ++b)
            source += (b % 24 == 0 ? "\n    " : " ") + QByteArray::number(bits[b]) + ',';
        source += "\n};\n";
        table += "        {\"" + name + "\", " + array + ", " + QByteArray::number(image.width()) + ", "
            + QByteArray::number(image.height()) + ", " + QByteArray::number(image.bytesPerLine()) + ", QImage::Format("
            + QByteArray::number(int(image.format())) + ")},\n";
    }
    table += "    };\n    return icons;\n}\n";
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(source + table) < 0) {
        std::fprintf(stderr, "IconPixels: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
