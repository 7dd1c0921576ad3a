#include "paperview/WindowPlace.h"

#include <QScreen>
#include <QWidget>

QRect screenHalf(const QScreen &screen, bool right)
{
    const QRect free = screen.availableGeometry();
    const int half = free.width() / 2;
    return {free.left() + (right ? half : 0), free.top(), half, free.height()};
}

void placeOnHalf(QWidget &window, bool right)
{
    if (!window.screen())
        return;
    const QRect half = screenHalf(*window.screen(), right);
    const int frame = 16; // room for the window system's frame
    window.resize(qMin(window.width(), half.width() - frame), window.height());
    window.move(half.topLeft());
}
