#include "serial/PortDetails.h"

namespace {

const QString notAvailable = QStringLiteral("N/A");

QString orNotAvailable(const QString &s) { return s.isEmpty() ? notAvailable : s; }

QString hexOrNotAvailable(quint16 id) { return id ? QString::number(id, 16) : notAvailable; }

} // namespace

QStringList portDetails(const PortFacts &port)
{
    return {port.portName, orNotAvailable(port.description), orNotAvailable(port.manufacturer),
        orNotAvailable(port.serialNumber),
        port.systemLocation, // an empty location stays empty
        hexOrNotAvailable(port.vendorId), hexOrNotAvailable(port.productId)};
}
