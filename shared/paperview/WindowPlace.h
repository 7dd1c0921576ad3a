#pragma once

#include <QRect>
#include <QString>

class QScreen;
class QWidget;

// The left or right half of the screen's free area, where each program goes with --place.
QRect screenHalf(const QScreen &screen, bool right);

// Puts the window at the start of the left or right half of its screen's free area, narrowed to
// the half where it can be, so that two programs placed on opposite halves never overlap.
void placeOnHalf(QWidget &window, bool right);

// Whether a window can be shown at all: a platform that needs no display, or a display to
// connect to. Without one the platform would abort the program.
bool canShowWindows();

// Where a file dialog starts: the folder a file was last chosen in, or else the user's documents
// folder (home where there is none), never the program's working folder; name is the file it
// suggests. dialogChosen() remembers the folder of what the user chose.
QString dialogStart(const QString &name = {});
void dialogChosen(const QString &path);
