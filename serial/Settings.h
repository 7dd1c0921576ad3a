#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// The line parameters chosen in the settings dialog. The numbers go to the port unchanged;
// the texts only make up the status message.
struct Settings
{
    QString portName;
    qint32 baudRate = 0;
    QString baudRateText;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QString dataBitsText;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QString parityText;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QString stopBitsText;
    QSerialPort::FlowControl flowControl = QSerialPort::SoftwareControl;
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
