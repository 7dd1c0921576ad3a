#pragma once

#include "files/WholeFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <limits>

// The exchange on the line as pcapng, which packet analysers (Wireshark, tshark) read: one
// interface of link type 250 (RTAC serial), each chunk of bytes an Enhanced Packet Block with a
// microsecond time, its direction in the RTAC serial header's event type and in epb_flags
// (outbound toward the controller), and the tool's own events as blocks without payload that
// carry their text as a comment. It is written as it goes: the file is whole up to its last
// flush.
class CaptureFile
{
public:
    enum class Side : quint8 { Event = 0x00, ToController = 0x01, FromController = 0x02 };
    static constexpr quint16 linkType = 250;
    static constexpr qsizetype maxChunk = 16 * 1024; // payload of one block; longer chunks are split

    // Empty, or why the file cannot be made; interfaceName names the line ("/dev/ttyUSB0").
    QString open(const QString &path, const QString &interfaceName);
    bool isOpen() const { return file.isOpen(); }
    // False once the writing has failed; failure() says why.
    bool bytes(qint64 timeUs, Side side, const QByteArray &data);
    bool event(qint64 timeUs, const QString &text);
    bool flush() { return file.flush(); }
    bool close() { return file.close(); }
    void discard() { file.discard(); }
    QString failure() const { return file.failure(); }
    qint64 written() const { return file.written(); }

    // The blocks, for the writer and for the tests that read them back.
    static QByteArray sectionHeader();
    static QByteArray interfaceDescription(const QString &name);
    static QByteArray packet(qint64 timeUs, Side side, const char *data, qsizetype size, const QString &comment = {});
    static qint64 nowUs(); // microseconds since the epoch

private:
    GrowingFile file;
};

// Reads a recording of the line back, a block at a time, so that a capture of any length costs
// no more than its longest block: pcapng as CaptureFile writes it or any tool that writes RTAC
// serial frames does (sections in either byte order, Enhanced and Simple Packet Blocks, other
// blocks passed over), or a raw byte file, which holds what the host sent and nothing else.
class CaptureReader
{
public:
    using Side = CaptureFile::Side;
    static constexpr quint32 maxBlock = 64 * 1024 * 1024; // a longer block is a broken file

    struct Record
    {
        qint64 timeUs = 0; // 0 throughout a raw file
        Side side = Side::Event;
        QByteArray data; // the bytes, without the RTAC serial header
        QString comment; // an event's text
    };

    // Empty, or why the file is not a recording that can be read: it cannot be opened, is
    // empty, or is pcapng of another link type. A name ending .bin is read as raw bytes.
    QString open(const QString &path);
    // The next record, or false at the end of the file or at a fault, which failure() then names.
    bool next(Record &record);
    QString failure() const { return why; }
    bool isRaw() const { return raw; }
    qint64 position() const { return file.pos(); }
    qint64 size() const { return file.size(); }
    // The microseconds from one record's time to another's: a file's times can be anything, and
    // a span beyond what 64 bits hold stands at their end.
    static qint64 microsBetween(qint64 fromUs, qint64 toUs)
    {
        qint64 span = 0;
        if (__builtin_sub_overflow(toUs, fromUs, &span))
            return toUs < fromUs ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        return span;
    }
    // Where the reading stands between two records, to come back to in the same file.
    struct Place
    {
        qint64 position = 0;
        bool swapped = false;
        QList<quint16> interfaces;
        QList<qint64> unitsPerSecond;
    };
    Place place() const { return {file.pos(), swapped, interfaces, unitsPerSecond}; }
    bool seek(const Place &place);

private:
    bool readBlock(quint32 &type, QByteArray &body);
    bool takeSection(const QByteArray &body);
    bool takeInterface(const QByteArray &body);
    bool takePacket(quint32 type, const QByteArray &body, Record &record);
    quint32 number(const char *at) const;
    quint16 number16(const char *at) const;
    bool fail(const QString &text);

    QFile file;
    QString why;
    bool raw = false, swapped = false;
    QList<quint16> interfaces; // the link type of each interface of the section
    QList<qint64> unitsPerSecond; // each interface's time resolution
};
