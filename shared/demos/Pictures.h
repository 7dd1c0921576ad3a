#pragma once

#include <QByteArray>

namespace pictures {

// A constant one-bit picture in the controller's raster layout: rows top to bottom, whole
// bytes per row, most significant bit the leftmost dot, a set bit a printed dot.
struct Picture
{
    int width; // dots
    int height; // rows
    int bytesPerRow; // width rounded up to whole bytes
    const unsigned char *data;

    int size() const { return bytesPerRow * height; }
    QByteArray bytes() const { return QByteArray::fromRawData(reinterpret_cast<const char *>(data), size()); }
};

// The pictures the demonstration jobs carry; drawn by demos/pictures/DrawPictures.cpp.
extern const Picture header; // 384 x 94, quick test: wordmark with an emblem
extern const Picture arrows; // 256 x 20, quick test: arrow pictograms
extern const Picture digits; // 72 x 20, quick test: circled digits 1 to 4
extern const Picture lettering; // 256 x 256, quick test: four lines of large lettering
extern const Picture receipt_logo; // 384 x 256, receipts: letterhead
extern const Picture qr_sample; // 232 x 232, a version 2 QR code, 8 x 8 dots a module

} // namespace pictures
