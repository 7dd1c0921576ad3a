#pragma once

#include "serial/Settings.h"
#include "traffic/QueryMatcher.h"

#include <QObject>

class ExpectedPrinter;
class SerialLink;
class TrafficLog;

// Listens to the serial link and writes the exchange into the traffic log: the sent bytes through
// the controller model that also draws the expected paper, the answers cut and explained, and
// the line's own events.
class TrafficRecorder : public QObject
{
    Q_OBJECT
public:
    TrafficRecorder(SerialLink &link, ExpectedPrinter &expected, TrafficLog &log, QObject *parent = nullptr);

    // The line opened with these settings: the expected controller starts afresh.
    void opened(const Settings &settings);
    // Takes what is pending as an answer now, as a pause on the line would.
    void flushAnswers();
    // An event of the tool's own, such as the monitor's.
    void note(const QString &text) { event(text); }

signals:
    void sentDecoded(); // the expected paper may have grown
    void restarted(); // the expected controller is a new one: its paper is another

private:
    void sent(qint64 offset, const QByteArray &bytes);
    void received(const Answer &answer);
    void held(bool held, qint64 ms);
    void event(const QString &text);
    static qint64 now();

    SerialLink &link;
    ExpectedPrinter &expected;
    TrafficLog &log;
    QString holdCause; // "XOFF" or "CTS", as the line's flow control has it
};
