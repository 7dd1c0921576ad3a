#include "commands/Charsets.h"

#include <QList>

Charset::Charset(const char *name)
    : encoder(name, QStringConverter::Flag::Stateless)
    , decoder(name, QStringConverter::Flag::Stateless)
{ }

QByteArray Charset::encode(const QString &text) { return encoder.encode(text); }

QString Charset::decode(const QByteArray &bytes) { return decoder.decode(bytes); }

char32_t Charset::decodeOne(Charset &charset, const QByteArray &bytes)
{
    const QList<uint> decoded = charset.decode(bytes).toUcs4();
    return decoded.size() == 1 ? char32_t(decoded.first()) : char32_t(0xFFFD);
}
