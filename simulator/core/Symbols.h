#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace sim {

// A linear barcode as the controller draws it: which modules are dark, left to right, and the
// human-readable text zint puts under it (check digits included).
struct LinearSymbol
{
    QList<bool> modules;
    QString text;
    QString error; // set when the symbology rejects the data
};

// system is the barcode number of GS k (0 UPC-A ... 8 CODE 128).
LinearSymbol encodeLinear(int system, const QByteArray &data);

// A QR code as rows of modules, or empty when the data does not fit.
struct QrSymbol
{
    int size = 0;
    QList<bool> modules; // size * size, row by row
};

QrSymbol encodeQr(const QByteArray &data, int errorCorrection);

} // namespace sim
