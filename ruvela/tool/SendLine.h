#pragma once

#include <QByteArray>
#include <QString>

// How the send line's text is read: hexadecimal pairs ("1B 40 0A", blanks optional between
// pairs), or text with C escapes ("Hello\n", "\x1B@"), each character one byte of Latin-1.
enum class SendMode { Hex, Text };

// What the send line holds, as bytes. A blank line holds nothing and is no fault.
struct SendLine
{
    QByteArray bytes;
    int errorAt = -1; // position of the first fault, or -1
    QString error;
};

SendLine parseSendLine(const QString &text, SendMode mode);
