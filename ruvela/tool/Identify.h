#pragma once

#include "traffic/QueryMatcher.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class SerialLink;

// What is on the line: the controller asked, one query at a time, each waited for until it is
// answered or given up, for its statuses, its firmware text, its printer IDs and its paper
// sensor; then told as a card, in words or as JSON for scripts.
class Identify : public QObject
{
    Q_OBJECT
public:
    explicit Identify(SerialLink &link, QObject *parent = nullptr);
    void start();
    bool isRunning() const { return at >= 0 && at < queries().size(); }
    // The queries asked, in order.
    static const QList<QByteArray> &queries();

    // What was learned; a field is empty when its query went unanswered.
    struct Card
    {
        QString model, modelName, maker, firmware, firmwareVersion;
        int modelId = -1, type = -1, firmwareId = -1, headType = -1, headWidth = -1;
        bool cutter = false;
        QList<std::pair<int, quint8>> statuses; // DLE EOT n's n, and its answer
        int paperSensor = -1; // GS r 1's answer
        QStringList unanswered; // the queries, in hex
        bool anything() const { return unanswered.size() < queries().size(); }
    };
    const Card &card() const { return result; }
    // One "Name: value" line each, in the window's language; runs without a window have none
    // installed and print English.
    QString text() const;
    QByteArray json() const;

signals:
    void done();

private:
    void ask();
    void answered(const Answer &answer);
    void take(const QByteArray &query, const Answer &answer);

    SerialLink &link;
    int at = -1;
    Card result;
};
