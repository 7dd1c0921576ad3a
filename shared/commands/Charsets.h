#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// One legacy character set, by its ICU name ("windows-1252", "GB2312", "EUC-JP", "UTF-16BE"):
// what the Language job encodes its samples with and the virtual controller decodes them with.
// Every call stands alone, so a character cut short never leaks into the next call.
class Charset
{
public:
    explicit Charset(const char *name);

    bool isValid() const { return encoder.isValid() && decoder.isValid(); }
    QByteArray encode(const QString &text);
    QString decode(const QByteArray &bytes);
    // One character, or U+FFFD where the bytes are none in this set.
    static char32_t decodeOne(Charset &charset, const QByteArray &bytes);

private:
    QStringEncoder encoder;
    QStringDecoder decoder;
};
