#include "config/ConfigJobs.h"

namespace jobs {

Job printHead(quint8 index)
{
    static const char *const names[] = {"0 - 58mm FTP628MCL101 or compatible", "1 - 80mm FTP638MCL101 or compatible",
        "2 - 58mm Seiko LTP02-245-13 or compatible", "3 - 58mm Seiko LTP02-245-C1 or compatible",
        "4 - 58mm 384 dots with cutter 7.2V/24V", "5 - 80mm 576 dots with cutter 7.2V/24V",
        "6 - 58mm M23-DH-H69 or compatible", "7 - 58mm M23-SX or compatible"};
    Q_ASSERT(index < proto::headTypes);
    const bool cutterModel = proto::headHasCutter(index);
    Job job(QStringLiteral("Setting Print Head to Type: ") + QLatin1String(names[index]),
        {cutterModel ? "Updating ZPC34 controller flash..." : "Updating ZPC3x controller flash..."});
    return job << cmd::setPrinterHead(index);
}

Job uartMode(quint8 speedCode, quint8 flowCode)
{
    Job job("Setting UART com speed and flow control. Startup default settings are 115200bps and XON/XOFF",
        {"After issuing this command you must adjust your host UART settings as well by diconnecting "
         "and connectin with the right settings"});
    return job << cmd::setComMode(speedCode, flowCode);
}

} // namespace jobs
