#pragma once

#include "commands/Commands.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The fixed demonstration jobs, built as data: what the console shows and what goes down the
// line, write by write. The window runs a job after its connect-first guard.
namespace jobs {

struct Job
{
    explicit Job(QString heading = {}, QStringList lines = {})
        : heading(std::move(heading))
        , lines(std::move(lines))
    { }

    enum class Console {
        Replace, // clear, insert the heading, append each line as its own paragraph
        ClearOnly, // clear and leave it to the controller's reply
        Untouched, // leave whatever the console holds
    };
    Console console = Console::Replace;
    QString heading;
    QStringList lines;
    QList<QByteArray> writes;
    bool readBack = false; // pick up what has already arrived once the writes are queued

    Job &operator<<(const QByteArray &write)
    {
        writes.append(write);
        return *this;
    }
    QByteArray stream() const; // all writes, in order, as the controller receives them
};

// Text features.
Job quickTest();
Job attributes();
Job density();
Job formatting();
Job alignment();

// Receipt, cutter and utilities.
enum class Cut { None, Full, Partial };
Job receipt(Cut cut);
Job fullCut();
Job partialCut();
Job reset();
Job clearBuffer();
Job lineFeed();
Job sleep();
Job version();
Job status();

// Character sets, and the QR code carried as a raster picture.
Job language();
Job qrSample();

// Barcodes. leftMargin is the "Add Left Margin Formatting" box at the moment of the press.
Job barcode(cmd::BarcodeSystem system, bool leftMargin);
Job barcodeText(bool withText);

} // namespace jobs
