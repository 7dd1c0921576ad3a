#include "commands/Charsets.h"

Charset::Charset(const char *name)
    : encoder(name, QStringConverter::Flag::Stateless)
    , decoder(name, QStringConverter::Flag::Stateless)
{ }

QByteArray Charset::encode(const QString &text) { return encoder.encode(text); }

QString Charset::decode(const QByteArray &bytes) { return decoder.decode(bytes); }
