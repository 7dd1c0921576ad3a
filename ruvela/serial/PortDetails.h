#pragma once

#include <QString>
#include <QStringList>

// What the settings dialog knows of one serial port, as the host enumerated it.
struct PortFacts
{
    QString portName;
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString systemLocation;
    quint16 vendorId = 0; // 0 when the host does not know it
    quint16 productId = 0;
};

// The seven strings the port box keeps as an entry's item data: name, description,
// manufacturer, serial number, location, vendor id and product id (lowercase hex, no prefix).
QStringList portDetails(const PortFacts &port);
