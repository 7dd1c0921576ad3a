#pragma once

#include "simulator/PtyEndpoint.h"
#include "simulator/core/Interpreter.h"
#include "simulator/core/Line.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace sim {

// Runs the virtual controller in real time: reads the pseudo-terminal as fast as the line
// allows, lets the mechanism print, and sends answers and flow control back.
class LineDriver : public QObject
{
    Q_OBJECT
public:
    LineDriver(Interpreter &interpreter, const LineSettings &settings, QObject *parent = nullptr);

    bool plugIn(); // opens a new pseudo-terminal and its link; false when either failed
    void unplug(); // closes it, as if the cable were pulled
    bool isPluggedIn() const { return endpoint.isOpen(); }
    QString path() const { return endpoint.path(); }
    QString errorString() const { return endpoint.errorString(); }
    void setLinkPath(const QString &path) { linkPath = path; }
    // The path to type into the tool: the link when there is one, else the pseudo-terminal.
    QString pathToType() const { return linkPath.isEmpty() || path().isEmpty() ? path() : linkPath; }

    Line &line() { return model; }
    const Line &line() const { return model; }

signals:
    void pathChanged(const QString &path);
    void progressed(); // bytes arrived or rows were printed

private:
    void tick();

    Interpreter &interpreter;
    Line model;
    PtyEndpoint endpoint;
    QTimer timer;
    QElapsedTimer clock;
    QString linkPath;
};

} // namespace sim
