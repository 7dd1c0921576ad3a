#include "traffic/Capture.h"

#include <QtEndian>

#include <cstring>

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

QString CaptureReader::open(const QString &path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (file.size() == 0)
        return QStringLiteral("the file is empty");
    raw = path.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
    if (raw)
        return {};
    // The first block must be a section header: anything else is not pcapng.
    quint32 type = 0;
    QByteArray body;
    const QByteArray start = file.peek(4);
    if (start.size() < 4 || quint8(start[0]) != 0x0A || quint8(start[1]) != 0x0D || quint8(start[2]) != 0x0D
        || quint8(start[3]) != 0x0A)
        return QStringLiteral("not a pcapng capture (a raw byte file needs a name ending .bin)");
    if (!readBlock(type, body) || !takeSection(body))
        return why;
    return {};
}

bool CaptureReader::seek(const Place &place)
{
    swapped = place.swapped;
    interfaces = place.interfaces;
    unitsPerSecond = place.unitsPerSecond;
    return file.seek(place.position) || fail(file.errorString());
}

quint32 CaptureReader::number(const char *at) const
{
    quint32 value;
    std::memcpy(&value, at, 4);
    return swapped ? qbswap(value) : value;
}

quint16 CaptureReader::number16(const char *at) const
{
    quint16 value;
    std::memcpy(&value, at, 2);
    return swapped ? qbswap(value) : value;
}

bool CaptureReader::fail(const QString &text)
{
    if (why.isEmpty())
        why = text;
    return false;
}

bool CaptureReader::readBlock(quint32 &type, QByteArray &body)
{
    const qint64 at = file.pos();
    char head[8];
    const qint64 got = file.read(head, 8);
    if (got == 0)
        return false; // the end
    if (got != 8)
        return fail(QStringLiteral("cut off inside the block at byte %1").arg(at));
    std::memcpy(&type, head, 4);
    if (type == 0x0A0D0D0A) {
        // A section header says its own byte order, after its length.
        const QByteArray magic = file.peek(4);
        if (magic.size() < 4)
            return fail(QStringLiteral("cut off inside the block at byte %1").arg(at));
        quint32 m;
        std::memcpy(&m, magic.constData(), 4);
        if (m != 0x1A2B3C4D && m != 0x4D3C2B1A)
            return fail(QStringLiteral("a section at byte %1 without pcapng's byte-order mark").arg(at));
        swapped = m == 0x4D3C2B1A;
    } else {
        type = number(head);
    }
    const quint32 length = number(head + 4);
    if (length < 12 || length % 4 || length > maxBlock)
        return fail(QStringLiteral("a block at byte %1 of impossible length %2").arg(at).arg(length));
    body = file.read(length - 8);
    if (body.size() != qsizetype(length - 8))
        return fail(QStringLiteral("cut off inside the block at byte %1").arg(at));
    if (number(body.constData() + body.size() - 4) != length)
        return fail(QStringLiteral("the block at byte %1 does not end as it began").arg(at));
    body.chop(4);
    return true;
}

bool CaptureReader::takeSection(const QByteArray &body)
{
    if (body.size() < 16)
        return fail(QStringLiteral("a section header too short"));
    if (number16(body.constData() + 4) != 1)
        return fail(QStringLiteral("pcapng version %1, not 1").arg(number16(body.constData() + 4)));
    interfaces.clear();
    unitsPerSecond.clear();
    return true;
}

bool CaptureReader::takeInterface(const QByteArray &body)
{
    if (body.size() < 8)
        return fail(QStringLiteral("an interface description too short"));
    const quint16 link = number16(body.constData());
    if (link != CaptureFile::linkType)
        return fail(QStringLiteral("link type %1, not RTAC serial (%2)").arg(link).arg(CaptureFile::linkType));
    qint64 units = 1000000;
    for (qsizetype at = 8; at + 4 <= body.size();) { // if_tsresol, where given
        const quint16 code = number16(body.constData() + at), size = number16(body.constData() + at + 2);
        if (code == 0)
            break;
        if (code == 9 && size >= 1 && at + 5 <= body.size()) {
            const quint8 r = quint8(body.at(at + 4));
            units = 1;
            for (int i = 0; i < (r & 0x7F) && units < (qint64(1) << 40); ++i)
                units *= r & 0x80 ? 2 : 10;
        }
        at += 4 + ((size + 3) & ~3);
    }
    interfaces << link;
    unitsPerSecond << units;
    return true;
}

bool CaptureReader::takePacket(quint32 type, const QByteArray &body, Record &record)
{
    qsizetype dataAt = 0;
    quint32 captured = 0;
    int interface = 0;
    qint64 time = 0;
    if (type == 6) { // enhanced
        if (body.size() < 20)
            return fail(QStringLiteral("a packet block too short"));
        interface = int(number(body.constData()));
        time = qint64((quint64(number(body.constData() + 4)) << 32) | number(body.constData() + 8));
        captured = number(body.constData() + 12);
        dataAt = 20;
    } else { // simple: no time
        if (body.size() < 4)
            return fail(QStringLiteral("a packet block too short"));
        captured = number(body.constData());
        dataAt = 4;
    }
    if (interface < 0 || interface >= interfaces.size())
        return fail(QStringLiteral("a packet of interface %1, which the section does not describe").arg(interface));
    if (captured > quint32(body.size() - dataAt) || captured < 12)
        return fail(QStringLiteral("a packet whose frame is shorter than the RTAC serial header"));
    const char *frame = body.constData() + dataAt;
    const qint64 units = unitsPerSecond.at(interface);
    // A time past what microseconds in 64 bits hold stands at their end.
    const double us = double(time) * 1e6 / double(units);
    record.timeUs = units == 1000000 ? time
        : us >= 9.2e18               ? qint64(9.2e18)
        : us <= -9.2e18              ? qint64(-9.2e18)
                                     : qint64(us);
    const quint8 event = quint8(frame[8]);
    record.side = event == 0x01 ? Side::ToController : event == 0x02 ? Side::FromController : Side::Event;
    record.data = QByteArray(frame + 12, captured - 12);
    record.comment.clear();
    // Options: the comment of an event.
    for (qsizetype at = dataAt + ((captured + 3) & ~3u); type == 6 && at + 4 <= body.size();) {
        const quint16 code = number16(body.constData() + at), size = number16(body.constData() + at + 2);
        if (code == 0 || at + 4 + size > body.size())
            break;
        if (code == 1)
            record.comment = QString::fromUtf8(body.constData() + at + 4, size);
        at += 4 + ((size + 3) & ~3);
    }
    return true;
}

bool CaptureReader::next(Record &record)
{
    if (!why.isEmpty())
        return false;
    if (raw) {
        record = Record();
        record.side = Side::ToController;
        record.data = file.read(CaptureFile::maxChunk * 4);
        if (record.data.isEmpty() && !file.atEnd())
            return fail(file.errorString());
        return !record.data.isEmpty();
    }
    quint32 type = 0;
    QByteArray body;
    while (readBlock(type, body)) {
        if (type == 0x0A0D0D0A) {
            if (!takeSection(body))
                return false;
        } else if (type == 1) {
            if (!takeInterface(body))
                return false;
        } else if (type == 6 || type == 3) {
            return takePacket(type, body, record);
        }
        // Other blocks (statistics, name resolution, custom) hold nothing of the line.
    }
    return false;
}
