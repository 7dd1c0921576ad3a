#pragma once

#include "commands/Protocol.h"
#include "controller/Decoder.h"
#include "controller/Printhead.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace controller {

// One decoded command of the stream, as the encoder names it.
struct LogEntry
{
    qint64 offset = 0;
    QString name; // "printStr", "setLeftMargin", ... ; "unknown" or "truncated" for bad input
    QString args;
    int firstRow = -1; // paper rows this command produced, or -1
    int lastRow = -1;
    qint64 size = 0; // bytes of the stream it took, its data included; 0 for the controller's own lines
};

// The virtual ZPC3x controller: the decoder sorts the bytes into commands, the printhead
// applies them, and the log records each one. Bytes go in, in chunks of any size; paper,
// replies and the log come out, the same for any chunking. It draws text through Glyphs, so it
// needs a QGuiApplication for the fonts.
class Interpreter : private DecoderSink, private PrintedRows
{
public:
    using StatusBit = proto::StatusBit;
    static constexpr StatusBit Fixed = proto::StatusFixed, CoverOpen = proto::StatusCoverOpen,
                               Sleeping = proto::StatusSleeping, PaperOut = proto::StatusPaperOut,
                               LinePending = proto::StatusLinePending, HasCutter = proto::StatusHasCutter;
    // The log keeps the newest entries: at this many, the oldest tenth goes, and rolledOff() counts
    // what went before.
    static constexpr qsizetype maxLogEntries = 50000;
    static constexpr int maxTextArgs = 120; // characters one printStr entry shows

    explicit Interpreter(int headType = 0);

    void feed(const QByteArray &chunk);
    void feed(const char *data, qsizetype size);
    // The stream ended: logs a command cut short, and drops text left without a line feed (it is
    // never printed: nothing prints before its line feed), saying so in the log.
    void finish();

    // A controller with a receive buffer: bytes are received as they come, which answers the
    // real-time queries among them at once, and processed later, in order.
    void receive(const char *data, qsizetype size) { decoder.arrive(data, size, *this); }
    void process(const char *data, qsizetype size);
    // Nothing more came for now; with streamEnded, the next bytes start another stream.
    void settle(bool streamEnded = false) { decoder.settle(*this, streamEnded); }
    // The bytes processed so far end inside a command: the rest of it is still to come.
    bool inCommand() const { return decoder.inCommand(); }
    // The processing reached the end of a stream that receive() ended.
    void finishStream();
    // A line of the controller's own in the log, at the offset bytes have arrived to.
    void note(const QString &name, const QString &args);

    // What the controller sends back, in order.
    QByteArray takeReplies();

    const Paper &paper() const { return head.paper(); }
    const QList<LogEntry> &log() const { return entries; }
    // Called with each entry once it is complete, in order: a run of text once another command
    // follows it or the stream ends, any other entry once its command has been carried out. A
    // reader that lists every command takes them here, however long the log rolls on.
    void setLogListener(std::function<void(const LogEntry &)> listener) { listen = std::move(listener); }
    qint64 rolledOff() const { return rolled; } // entries the log let go of as it rolled on
    // A reader that has taken the log so far lets it go, so that a long stream is listed on
    // without the log filling up; the entries after it are numbered on from logBase().
    void forgetLog();
    qint64 logBase() const { return base; }
    qint64 bytesReceived() const { return received; }
    qint64 bytesDecoded() const { return decoder.offset(); } // every byte before it has been taken
    int unknownCount() const { return unknown; }
    int truncatedCount() const { return truncated; }
    int linesNotPrinted() const { return unprinted; } // left without a line feed at a stream's end
    int placeholderCount() const { return head.placeholderCount(); } // characters no font could draw
    int drawerKicks() const { return head.drawerKicks(); }
    const QList<int> &cutRows() const { return head.cutRows(); } // where each cut's mark starts
    int headType() const { return head.headType(); }
    void setHeadType(int type) { head.setHead(type); } // as a controller found to have that head
    int paperWidth() const { return head.headWidth(); }
    bool isSleeping() const { return head.isSleeping(); }
    quint8 status() const { return head.status(); }
    quint8 realTimeStatus(int which) const { return head.realTimeStatus(which); }
    // Which status the last status byte sent back answered, for its words.
    proto::StatusKind lastStatusKind() const { return statusKind; }
    // The window's switches. With the call-back on, a change of status is sent at once.
    void setPaperOut(bool out);
    void setCoverOpen(bool open);
    // Tears off the printed paper and forgets its log; modes and stored bitmaps stay.
    void clearPaper();

    static int widthForHead(int headType) { return proto::headWidth(headType); }
    static uchar inkFor(int level) { return Printhead::inkFor(level); }

private:
    void command(const Command &command) override;
    void bulk(const char *data, qsizetype size) override;
    void printed(int entry, int first, int last) override;
    int begin(qint64 offset, const QString &name, const QString &args = {});
    void afterSwitch(quint8 before);
    void end(bool arrivals);
    void noteLimits(qint64 offset);
    void announce(); // hands the complete entries not handed yet to the listener

    Decoder decoder;
    Printhead head;
    proto::StatusKind statusKind = proto::StatusKind::Status;
    QList<LogEntry> entries;
    int base = 0; // the number of the first entry in entries; the printhead knows entries by number
    qint64 rolled = 0;
    qint64 announced = 0; // the number of the first entry not handed to the listener
    std::function<void(const LogEntry &)> listen;
    QByteArray replies;
    const char *lastName = nullptr; // the last command's table name, and as the log shows it
    QString lastNameText;
    QByteArray lastReply; // the last answer, and as the log shows it
    QString lastReplyText;
    qint64 received = 0;
    int unknown = 0, truncated = 0, unprinted = 0;
    int textEntry = -1; // the number of the printStr entry that collects consecutive text
    bool rollFullLogged = false;
    int linesCutShortLogged = 0;
};

} // namespace controller
