#pragma once

#include <QSerialPort>
#include <QString>

#include <array>
#include <optional>

// The seven rates the controller's UART takes, in the order of its speed codes: every list of
// rates (the settings dialog, --baud, the Controller tab's buttons) is made from this one.
inline constexpr std::array<qint32, 7> baudRates{9600, 19200, 38400, 57600, 115200, 256000, 375000};

// The settings dialog's defaults, the controller's own at power-on: 115200, 8, None, 1, XON/XOFF.
namespace lineDefaults {
inline constexpr int baudIndex = 4;
inline constexpr qint32 baudRate = baudRates[baudIndex];
inline constexpr QSerialPort::DataBits dataBits = QSerialPort::Data8;
inline constexpr QSerialPort::Parity parity = QSerialPort::NoParity;
inline constexpr QSerialPort::StopBits stopBits = QSerialPort::OneStop;
inline constexpr QSerialPort::FlowControl flowControl = QSerialPort::SoftwareControl;
} // namespace lineDefaults

// The line parameters chosen in the settings dialog. The numbers go to the port unchanged;
// the texts only make up the status message.
struct Settings
{
    QString portName;
    qint32 baudRate = 0;
    QString baudRateText;
    QSerialPort::DataBits dataBits = lineDefaults::dataBits;
    QString dataBitsText;
    QSerialPort::Parity parity = lineDefaults::parity;
    QString parityText;
    QSerialPort::StopBits stopBits = lineDefaults::stopBits;
    QString stopBitsText;
    QSerialPort::FlowControl flowControl = lineDefaults::flowControl;
    QString flowControlText;
};

// Values to preselect in the settings dialog, from the command line; what is not set keeps the
// dialog's own choice.
struct SettingsChoice
{
    std::optional<QString> port;
    std::optional<qint32> baudRate;
    std::optional<QSerialPort::DataBits> dataBits;
    std::optional<QSerialPort::Parity> parity;
    std::optional<QSerialPort::StopBits> stopBits;
    std::optional<QSerialPort::FlowControl> flowControl;
};
