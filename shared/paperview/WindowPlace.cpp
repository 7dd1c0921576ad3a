#include "paperview/WindowPlace.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <QtGlobal>

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

bool canShowWindows()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

namespace {
QString &lastDialogFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString dialogStart(const QString &name)
{
    QString folder = lastDialogFolder();
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QDir(folder).exists())
            folder = QDir::homePath();
    }
    return name.isEmpty() ? folder : QDir(folder).filePath(name);
}

void dialogChosen(const QString &path)
{
    if (!path.isEmpty())
        lastDialogFolder() = QFileInfo(path).absolutePath();
}
