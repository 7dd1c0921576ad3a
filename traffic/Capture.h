#pragma once

#include "files/WholeFile.h"

#include <QByteArray>
#include <QString>

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
