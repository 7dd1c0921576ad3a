#pragma once

#include "simulator/core/Interpreter.h"

#include <QByteArray>

namespace sim {

// How the virtual controller's end of the line behaves.
struct LineSettings
{
    static constexpr int maxBuffer = 64 << 20; // the line's arithmetic stays in int below this

    int baud = 0; // bit/s the wire carries with 8N1 framing; 0 for no pacing
    int bufferSize = 4096; // receive buffer in bytes
    double speedMmPerS = 80; // how fast the mechanism prints, 8 dot rows a mm
    bool xonXoff = true; // software flow control, else bytes that do not fit are lost
};

// The controller's receive buffer and print mechanism between the wire and the interpreter.
// Time is passed in explicitly, so that the model is pure and tests can run it at any pace.
// Real-time queries (DLE EOT, DLE ENQ) are answered as they arrive, even while printing waits,
// as a real controller does; the interpreter's own answers are not sent again.
class Line
{
public:
    Line(Interpreter &interpreter, const LineSettings &settings);

    // How many bytes may be read from the wire now: the pacing's credit and, under XON/XOFF,
    // the room in the buffer. -1 when nothing limits it.
    qsizetype readAllowance() const;
    // Bytes read from the wire; returns what goes straight back (replies, XOFF).
    QByteArray receive(const QByteArray &bytes);
    // Time passes: the wire earns credit and the mechanism prints. Returns what goes back (XON).
    QByteArray advance(double seconds);

    const LineSettings &settings() const { return config; }
    qsizetype bufferFill() const { return buffer.size() - head; }
    qint64 droppedBytes() const { return dropped; }
    qint64 receivedBytes() const { return received; }
    int xoffCount() const { return xoffs; }
    bool isHeld() const { return xoffSent; } // XOFF in force
    void setPaperOut(bool out);
    void setCoverOpen(bool open);
    bool isPaused() const { return paperOut || coverOpen; }

private:
    QByteArray flowControl();

    Interpreter &interpreter;
    LineSettings config;
    QByteArray buffer;
    qsizetype head = 0; // bytes of buffer already printed
    double credit = 0; // bytes the paced wire may still carry
    double rowBudget = 0;
    qint64 dropped = 0, received = 0;
    int xoffs = 0;
    bool xoffSent = false;
    bool paperOut = false, coverOpen = false;
    char lastByte = 0; // a query split between two reads
    bool heldStatus = false; // a DLE EOT ended the last read: its n may follow
};

} // namespace sim
