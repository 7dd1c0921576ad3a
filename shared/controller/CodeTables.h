#pragma once

#include <QByteArray>
#include <QString>

namespace controller {

// ESC t: what the controller prints for the bytes 0x80 to 0xFF of a code table.
struct CodeTable
{
    const char32_t *upper = nullptr; // the 128 characters from 0x80 on
    const char *codec = ""; // the character set the table is read with
    bool builtIn = false; // false: not built in; its bytes print from the nearest table the controller has
};

CodeTable codeTable(int number);
// Bytes as code table `number` prints them: below 0x80 ASCII, above from the table.
QString decodeCodeTable(int number, const QByteArray &bytes);

} // namespace controller
