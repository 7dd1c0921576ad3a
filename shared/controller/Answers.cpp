#include "controller/Printhead.h"

#include "commands/Protocol.h"

namespace controller {

QByteArray Printhead::answer(const Command &c, QString &note)
{
    const quint8 n = c.param(0);
    switch (c.op) {
    case Op::Status:
        return QByteArray(1, char(status()));
    case Op::StatusN:
        return QByteArray(1, char(realTimeStatus(n)));
    case Op::Firmware:
        return proto::firmwareReply(head);
    case Op::TransmitStatus:
        // 1 the paper sensor (near end and end), 2 the drawer, which is always closed.
        return QByteArray(1, char((n == 1 || n == 49) && paperOut ? proto::paperSensorOut : 0));
    case Op::PrinterId:
        return printerId(n, note);
    case Op::Sleep:
        sleeping = true;
        break;
    case Op::CallBack:
        callBackMode = n;
        break;
    case Op::ComMode:
        uartSpeed = c.param(0);
        uartFlow = c.param(1);
        break;
    case Op::DrawerKick:
        ++kicks;
        note = QStringLiteral("drawer %1 kicked").arg(n & 1 ? 2 : 1);
        break;
    case Op::Buzzer:
        note = QStringLiteral("buzzer sounds %1 times").arg(qBound(1, int(n), 9));
        break;
    case Op::Skipped:
        note = QStringLiteral("ignored");
        break;
    default:
        break;
    }
    return {};
}

QByteArray Printhead::printerId(quint8 n, QString &note) const
{
    if (n == 1 || n == 49)
        return QByteArray(1, proto::printerIdModel);
    if (n == 2 || n == 50)
        return QByteArray(1, proto::headHasCutter(head) ? proto::printerIdCutter : '\0');
    if (n == 3 || n == 51)
        return QByteArray(1, proto::printerIdFirmware);
    if (n >= 65 && n <= 67)
        return proto::printerIdText(n);
    note = QStringLiteral("no such printer ID %1").arg(n);
    return {};
}

} // namespace controller
