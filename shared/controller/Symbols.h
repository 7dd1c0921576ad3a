#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace controller {

// A linear barcode as the controller draws it: which modules are dark, left to right, and the
// human-readable text zint puts under it (check digits included).
struct LinearSymbol
{
    QList<bool> modules;
    QString text;
    QString error; // set when the symbology rejects the data
};

// system is the barcode number of GS k: 0 UPC-A, 1 UPC-E, 2 EAN-13, 3 EAN-8, 4 CODE 39, 5 ITF,
// 6 CODABAR, 7 CODE 93, 8 CODE 128, and beyond the controller's own, 9 GS1-128, 10 to 13 GS1
// DataBar omnidirectional, truncated, limited and expanded, 14 CODE 128 with automatic code sets.
// CODE 128 data that begins with a code set selector ({A, {B or {C) is encoded in the sets it
// selects; other data in the sets zint sees fit.
LinearSymbol encodeLinear(int system, const QByteArray &data);
LinearSymbol encodeCode128Sets(const QByteArray &data);

// A two-dimensional symbol as rows of modules, `width` a row.
struct MatrixSymbol
{
    int width = 0;
    QList<bool> modules;
    QString error;
};

// PDF417 with that many data columns (0: as zint sees fit) and error level (-1: as zint sees fit).
MatrixSymbol encodePdf417(const QByteArray &data, int columns, int errorLevel);

// A QR code as rows of modules, or empty when the data does not fit.
struct QrSymbol
{
    int size = 0;
    QList<bool> modules; // size * size, row by row
};

QrSymbol encodeQr(const QByteArray &data, int errorCorrection);

} // namespace controller
