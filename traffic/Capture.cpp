#include "traffic/Capture.h"

#include <QtEndian>

#include <chrono>

namespace {

// Blocks are written in the machine's byte order; the section header's magic tells readers which.
template <typename T> void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

void putBigEndian32(QByteArray &out, quint32 value) { put(out, qToBigEndian(value)); }

void pad(QByteArray &out)
{
    while (out.size() % 4)
        out.append('\0');
}

void option(QByteArray &out, quint16 code, const QByteArray &value)
{
    put(out, code);
    put(out, quint16(value.size()));
    out += value;
    pad(out);
}

// type, total length, body, total length again.
QByteArray block(quint32 type, const QByteArray &body)
{
    QByteArray out;
    const auto length = quint32(12 + body.size());
    put(out, type);
    put(out, length);
    out += body;
    put(out, length);
    return out;
}

constexpr quint32 sectionHeaderType = 0x0A0D0D0A, interfaceType = 1, enhancedPacketType = 6;
constexpr quint16 endOfOptions = 0, commentOption = 1, userApplicationOption = 4, interfaceNameOption = 2,
                  flagsOption = 2;
constexpr quint32 inbound = 0x1, outbound = 0x2; // epb_flags, bits 0 and 1

} // namespace

QByteArray CaptureFile::sectionHeader()
{
    QByteArray body;
    put(body, quint32(0x1A2B3C4D)); // byte-order magic
    put(body, quint16(1));
    put(body, quint16(0));
    put(body, qint64(-1)); // section length not given: written as it goes
    option(body, userApplicationOption, QByteArrayLiteral("printer-ruvela"));
    put(body, quint32(endOfOptions));
    return block(sectionHeaderType, body);
}

QByteArray CaptureFile::interfaceDescription(const QString &name)
{
    QByteArray body;
    put(body, linkType);
    put(body, quint16(0));
    put(body, quint32(0)); // no snapshot length: every byte is kept
    if (!name.isEmpty())
        option(body, interfaceNameOption, name.toUtf8());
    put(body, quint32(endOfOptions)); // times in microseconds, the default
    return block(interfaceType, body);
}

QByteArray CaptureFile::packet(qint64 timeUs, Side side, const char *data, qsizetype size, const QString &comment)
{
    // The RTAC serial header: seconds and microseconds big-endian, the event type, the control
    // lines (none known) and a footer.
    QByteArray frame;
    putBigEndian32(frame, quint32(timeUs / 1000000));
    putBigEndian32(frame, quint32(timeUs % 1000000));
    frame.append(char(side));
    frame.append('\0');
    frame.append(2, '\0');
    frame.append(data, size);

    QByteArray body;
    put(body, quint32(0)); // the one interface
    put(body, quint32(quint64(timeUs) >> 32));
    put(body, quint32(quint64(timeUs) & 0xFFFFFFFFu));
    put(body, quint32(frame.size()));
    put(body, quint32(frame.size()));
    body += frame;
    pad(body);
    if (side != Side::Event) {
        QByteArray flags;
        put(flags, side == Side::ToController ? outbound : inbound);
        option(body, flagsOption, flags);
    }
    if (!comment.isEmpty())
        option(body, commentOption, comment.toUtf8());
    if (side != Side::Event || !comment.isEmpty())
        put(body, quint32(endOfOptions));
    return block(enhancedPacketType, body);
}

qint64 CaptureFile::nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

QString CaptureFile::open(const QString &path, const QString &interfaceName)
{
    if (QString why = file.open(path); !why.isEmpty())
        return why;
    file.append(sectionHeader() + interfaceDescription(interfaceName));
    if (!file.flush())
        return file.failure();
    return {};
}

bool CaptureFile::bytes(qint64 timeUs, Side side, const QByteArray &data)
{
    bool ok = true;
    for (qsizetype at = 0; at < data.size() && ok; at += maxChunk)
        ok = file.append(packet(timeUs, side, data.constData() + at, qMin(maxChunk, data.size() - at)));
    return ok;
}

bool CaptureFile::event(qint64 timeUs, const QString &text)
{
    return file.append(packet(timeUs, Side::Event, nullptr, 0, text));
}
