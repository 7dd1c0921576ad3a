#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes as the whole new content of the regular file at path, or leaves everything as it
// was. The bytes go to a new file in a private folder beside the target, are flushed to the
// disk, and only then take the target's place, so that a full disk or an I/O error never leaves
// an empty or partial file. A link is followed to the file it names; a device, a pipe or any
// other special file is refused. With Existing::Refuse, a file that is already there, or comes
// there meanwhile, is left as it is and nothing is written. Returns an empty string, or why
// nothing was written.
enum class Existing { Replace, Refuse };
QString writeWholeFile(const QString &path, const QByteArray &bytes, Existing existing = Existing::Replace);
