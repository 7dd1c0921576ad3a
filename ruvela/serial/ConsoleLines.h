#pragma once

#include <QString>

// Limits that keep the console quick and its memory bounded under a flood of replies. A line of
// the console is laid out whole on every insert, so an endless line would slow each arrival
// more than the last; longer lines are broken for display, and the oldest lines go first.
namespace console {

constexpr int maxLineLength = 1024;
constexpr int maxLines = 5000;

// Returns text with a line break wherever a line, counting the lineSoFar characters already on
// the console's current line, would pass maxLength.
QString breakLongLines(const QString &text, int lineSoFar, int maxLength = maxLineLength);

} // namespace console
