#pragma once

#include <QSerialPort>
#include <QString>

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
