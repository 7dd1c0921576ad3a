#include "monitor/Monitor.h"

#include "monitor/HostEnds.h"
#include "serial/SerialLink.h"

Monitor::Monitor(SerialLink &link, QObject *parent)
    : QObject(parent)
    , link(link)
{
    recheck.setInterval(50);
    connect(&recheck, &QTimer::timeout, this, [this, &link] {
        if (tcp)
            tcp->dropIfIdle(active == tcp.get() && link.queued() > 0);
        settleClient();
        pump();
    });
    connect(&link, &SerialLink::progressed, this, &Monitor::pump);
    connect(&link, &SerialLink::bytesReceived, this, &Monitor::fromController);
    connect(&link, &SerialLink::lost, this, [this](const QString &reason) { lineLost(reason); });
    controllerQuiet.start();
}

Monitor::~Monitor() { stop(); }

QString Monitor::offerPty(const QString &linkPath, qint32 lineBaud)
{
    auto end = std::make_unique<PtyHost>();
    end->setLineBaud(lineBaud);
    const QString why = end->open(linkPath);
    refused = end->linkRefused();
    if (!why.isEmpty())
        return why;
    connect(end.get(), &HostEnd::readable, this, &Monitor::pump);
    connect(end.get(), &HostEnd::note, this, &Monitor::note);
    pty = std::move(end);
    recheck.start();
    return {};
}

QString Monitor::offerTcp(const QString &where, qint64 idleMs)
{
    auto end = std::make_unique<TcpHost>();
    end->setIdleLimit(idleMs);
    if (QString why = end->listen(where); !why.isEmpty())
        return why;
    connect(end.get(), &HostEnd::readable, this, &Monitor::pump);
    connect(end.get(), &HostEnd::note, this, &Monitor::note);
    tcp = std::move(end);
    recheck.start();
    return {};
}

void Monitor::stop()
{
    recheck.stop();
    active = nullptr;
    pty.reset(); // the host's end hangs up and its link goes
    tcp.reset();
}

QString Monitor::hostNames() const
{
    QStringList names;
    if (pty)
        names << pty->name();
    if (tcp)
        names << tcp->name();
    return names.join(QStringLiteral(", "));
}

bool Monitor::mayRead(HostEnd *end) const
{
    // A left client's command being ended with zeros goes on alone, whoever was last.
    if (tcp && tcp->padding() && end != tcp.get())
        return false;
    // The other host's job goes on until that host has been quiet a while, whole commands sent.
    if (!active || active == end)
        return true;
    if (active == tcp.get() && tcp->midCommand())
        return false;
    return activeQuiet.elapsed() >= switchAfterMs;
}

void Monitor::pump()
{
    if (!link.isOpen())
        return;
    for (HostEnd *end : {static_cast<HostEnd *>(pty.get()), static_cast<HostEnd *>(tcp.get())}) {
        if (!end)
            continue;
        const bool room = link.queued() < maxBetween;
        const bool turn = mayRead(end);
        end->setReading(room && turn);
        while (turn && link.queued() < maxBetween) {
            const QByteArray bytes = end->read(maxBetween - link.queued());
            if (bytes.isEmpty())
                break;
            active = end;
            activeQuiet.start();
            link.write(bytes.constData(), bytes.size());
        }
    }
}

void Monitor::fromController(qint64 offset, const QByteArray &bytes)
{
    Q_UNUSED(offset)
    controllerQuiet.start();
    // The answers go to the host whose job is going out; with none yet, to the terminal's.
    HostEnd *to = active ? active : static_cast<HostEnd *>(pty.get());
    if (to)
        to->write(bytes);
}

void Monitor::settleClient()
{
    // A client that finished sending is let go once its bytes have left and its queries are
    // answered or given up, and the controller has paused: a half-closed client still gets its
    // answers.
    // One that left inside a command being ended with zeros goes at once: the next may come in
    // meanwhile and wait its turn.
    const bool padded = tcp && tcp->ended() && tcp->padding();
    if (!padded
        && (!tcp || !tcp->ended() || link.queued() > 0 || link.unansweredQueries() > 0 || tcp->unsent() > 0
            || controllerQuiet.elapsed() < 100))
        return;
    tcp->release();
    if (active == tcp.get())
        activeQuiet.start(); // the next host may come at once
    if (active == tcp.get())
        active = nullptr;
}

void Monitor::lineLost(const QString &reason)
{
    emit note(tr("the controller's line is lost: %1; %2 bytes reached the controller; the host's end hangs up")
                  .arg(reason, link.lostReach().text()));
    stop();
    emit stopped(reason);
}
