#pragma once

#include "controller/HeadTiming.h"
#include "controller/Interpreter.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <chrono>
#include <functional>

namespace sim {

// How the virtual controller's end of the line behaves.
struct WireSettings
{
    static constexpr int maxBuffer = 64 << 20; // the line's arithmetic stays in int below this

    int baud = 0; // bit/s the wire carries with 8N1 framing; 0 for no pacing
    int bufferSize = 4096; // receive buffer in bytes
    double speedMmPerS = 80; // the motor's top speed, 8 dot rows a mm; 0 for as fast as possible
    bool xonXoff = true; // software flow control, else bytes that do not fit are lost
    int dotsPerStrobe = controller::HeadTiming::defaultDotsPerStrobe;
    double heatMs = 0; // one strobe's heating; 0 for half the motor's step
    bool flatTiming = false; // every row at the motor's speed, however dark

    controller::HeadTiming timing() const
    {
        return controller::HeadTiming::forSpeed(speedMmPerS, dotsPerStrobe, heatMs / 1000.0, flatTiming);
    }
};

// The controller's receive buffer and print mechanism between its ports and the interpreter.
// Time is passed in: advance() says how much passed, and a clock passed to the constructor tells
// how long interpreting took (to bound the work one call does), so that tests can run the model
// at any pace and on a clock of their own. Bytes are received as they come: the interpreter
// answers the real-time queries among them at once, even while printing waits, as a real
// controller does. They are processed as the paper moves. Every answer goes back on the port
// whose bytes asked; flow control goes to the serial port, as TCP has its own.
//
// One port's job at a time, as on a controller with two interfaces: while the port that sent
// last is in a job (a command not ended, or bytes within the last switchSeconds, or bytes still
// in the buffer), the other port's bytes wait where they are; a port whose stream ended (a TCP
// client that closed) gives way at once.
class WireModel
{
public:
    enum Port { Serial, Network };
    using WorkClock = std::function<std::chrono::nanoseconds()>;
    static constexpr double switchSeconds = 0.5;

    static std::chrono::nanoseconds steadyClock();
    WireModel(controller::Interpreter &interpreter, const WireSettings &settings, WorkClock clock = steadyClock);

    // How many bytes may be read from the port now: none while the other port is in a job; on the
    // serial port the pacing's credit and, from a host that honours XOFF, the room in the buffer;
    // on the network port the room, as TCP holds the client back. -1 when nothing limits it.
    qsizetype readAllowance(Port port = Serial) const;
    // Bytes read from a port; what does not fit the buffer is lost. Returns what goes back on
    // the serial port now (answers, XOFF); take() gives the other port's.
    QByteArray receive(const QByteArray &bytes, Port port = Serial);
    // Time passes: the wire earns credit and the paper moves. Returns what goes back on the
    // serial port (answers, XON).
    QByteArray advance(double seconds);
    QByteArray take(Port port); // what goes back on the port, taken
    // The port's stream ended (a TCP client left): the bytes after it start a new job.
    void endStream(Port port);
    // True once for each ended stream of the port whose bytes have all been processed: its
    // answers are all in take(port) now.
    bool takeStreamFinished(Port port);
    // Whether the port may send now: it has the controller, or the other port's job is over.
    bool mayRead(Port port) const;
    // Whether the host on the serial port stops sending on XOFF: a host that does not loses what
    // does not fit.
    void setHostHonoursXoff(bool on) { hostHonoursXoff = on; }
    QStringList takeNotices(); // lines the log got, for the console too

    const WireSettings &settings() const { return config; }
    qsizetype bufferFill() const { return buffer.size() - head; }
    qint64 droppedBytes() const { return dropped; } // lost in overruns
    qint64 receivedBytes() const { return received; }
    int xoffCount() const { return xoffs; }
    bool isHeld() const { return xoffSent; } // XOFF in force
    void setPaperOut(bool out);
    void setCoverOpen(bool open);
    bool isPaused() const { return paperOut || coverOpen; }
    // How fast the paper moved over the last rows, in mm/s: slower than the motor's speed while
    // dark rows take their strobes; 0 while nothing prints.
    double printSpeed() const { return speedNow; }

private:
    struct Segment
    {
        qint64 end; // stream position after the segment's last byte
        Port port;
        bool endsStream;
    };
    void flowControl();
    void route(Port port);
    void process();
    qint64 printedRows() const;

    controller::Interpreter &interpreter;
    WireSettings config;
    QByteArray buffer;
    qsizetype head = 0; // bytes of buffer already processed
    qint64 kept = 0, processed = 0; // bytes that went into the buffer, and out of it
    QList<Segment> segments; // whose bytes the buffer holds, in order
    QByteArray outbox[2];
    QStringList notices;
    double credit = 0; // bytes the paced wire may still carry
    controller::HeadTiming timing;
    double timeBudget = 0; // seconds the mechanism may still print; below 0 while it catches up
    double windowRows = 0, windowSeconds = 0, idleSeconds = 0, rowsAtTick = 0; // for printSpeed()
    double speedNow = 0;
    qsizetype slice = 256; // bytes processed at a time, fitted to how long they take
    std::chrono::nanoseconds worked{}; // interpreting since time last passed
    qint64 dropped = 0, received = 0, overrun = 0;
    bool lostSinceTick = false;
    int xoffs = 0;
    bool xoffSent = false;
    bool hostHonoursXoff = true;
    bool paperOut = false, coverOpen = false;
    Port lastPort = Serial;
    WorkClock clock;
    double quiet = switchSeconds; // seconds since lastPort's last bytes
    bool lastPortEnded = true; // lastPort's stream ended and was processed
    int finished[2] = {0, 0}; // streams processed to their end, not yet taken
};

} // namespace sim
