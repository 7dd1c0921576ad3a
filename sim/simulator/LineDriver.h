#pragma once

#include "controller/Interpreter.h"
#include "pty/PtyEndpoint.h"
#include "simulator/TcpEndpoint.h"
#include "simulator/WireModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace sim {

// Runs the virtual controller in real time: reads the pseudo-terminal, and the TCP client when
// there is one, as fast as the line allows, lets the paper move, and sends each answer back on
// the endpoint whose bytes asked; flow control goes to the pseudo-terminal, as TCP has its own.
class LineDriver : public QObject
{
    Q_OBJECT
public:
    LineDriver(controller::Interpreter &interpreter, const WireSettings &settings, QObject *parent = nullptr);

    bool plugIn(); // opens a new pseudo-terminal and its link; false when either failed
    // Serves raw TCP beside (or without) the pseudo-terminal; false when it cannot listen.
    bool serveTcp(const QString &where, double idleSeconds = 5);
    QString tcpAddress() const { return tcp ? tcp->address() : QString(); }
    QString tcpClient() const { return tcp ? tcp->client() : QString(); }
    void unplug(); // closes it, as if the cable were pulled
    bool isPluggedIn() const { return endpoint.isOpen(); }
    QString path() const { return endpoint.path(); }
    bool linkRefused() const { return endpoint.linkRefused(); }
    QString errorString() const { return tcpError.isEmpty() ? endpoint.errorString() : tcpError; }
    void setLinkPath(const QString &path) { linkPath = path; }
    // The path to type into the tool: the link when there is one, else the pseudo-terminal.
    QString pathToType() const { return linkPath.isEmpty() || path().isEmpty() ? path() : linkPath; }

    WireModel &wire() { return model; }
    const WireModel &wire() const { return model; }

signals:
    void pathChanged(const QString &path);
    void tcpClientChanged(const QString &client);
    void answered(const QByteArray &answer); // what went back, flow control left out
    void progressed(); // bytes arrived or rows were printed
    void notice(const QString &line); // overruns and TCP clients dropped or not reading, as logged

private:
    void tick();
    void sendBack(WireModel::Port port, const QByteArray &bytes);

    controller::Interpreter &interpreter;
    WireModel model;
    PtyEndpoint endpoint;
    TcpEndpoint *tcp = nullptr;
    QString tcpError;
    QTimer timer;
    QElapsedTimer clock;
    QString linkPath;
    qint64 unreadAnswers = 0; // dropped since the host on the pseudo-terminal last took them all
};

} // namespace sim
