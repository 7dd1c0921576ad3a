#pragma once

#include <QByteArray>
#include <QImage>

namespace raster {

constexpr int maxWidth = 384; // dots the tool prints, whatever the head type
constexpr int maxHeight = 65535; // rows the raster command's 16-bit field can express

// The complete raster command for a one-bit picture: header, then each stored row of the
// picture (its bytes per line, a multiple of four) with the most significant bit leftmost and
// a set bit wherever the picture is dark. Bits beyond the width are sent as 0, whatever the
// picture's memory held there. The caller has checked width and height.
QByteArray printFrame(const QImage &mono);

} // namespace raster
