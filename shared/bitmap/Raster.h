#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace raster {

constexpr int maxWidth = 384; // dots the tool prints, whatever the head type
constexpr int maxHeight = 65535; // rows the raster command's 16-bit field can express

// The complete raster command for a one-bit picture: header, then each stored row of the
// picture (its bytes per line, a multiple of four) with the most significant bit leftmost and
// a set bit wherever the picture is dark. Bits beyond the width are sent as 0, whatever the
// picture's memory kept there. The caller has checked width and height.
QByteArray printFrame(const QImage &mono);

// Why a loaded picture cannot be printed: the console line and the text of the box that tell
// the user. None when it can.
struct Refusal
{
    QString consoleLine;
    QString boxText;
};
std::optional<Refusal> refusal(const QImage &mono);

// Why a picture of this size and format, which the reader would not read, was refused: its
// size against the reader's allocation limit when that is what stopped it, else readerError.
QString readFailure(QSize size, QImage::Format format, const QString &readerError);

// The console's description of a loaded picture, ending in a line break.
QString description(const QString &fileName, const QImage &picture);

} // namespace raster
