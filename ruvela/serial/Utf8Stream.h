#pragma once

#include <QByteArray>
#include <QString>

// Decodes the controller's replies as one UTF-8 stream across arrivals. A character split
// between two arrivals waits until its last byte comes, so it is not shown as
// replacement characters; invalid bytes still become U+FFFD and nothing is dropped.
class Utf8Stream
{
public:
    QString decode(const QByteArray &arrival);
    void reset() { pending.clear(); }

private:
    QByteArray pending;
};
