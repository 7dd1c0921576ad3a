#pragma once

#include "serial/PortDetails.h"

#include <QDialog>
#include <QList>
#include <QSerialPort>
#include <QString>

QT_BEGIN_NAMESPACE
namespace Ui {
class SettingsDialog;
}
class QIntValidator;
QT_END_NAMESPACE

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

class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    Settings settings() const;

private slots:
    void showPortInfo(int idx);
    void apply();
    void checkCustomBaudRatePolicy(int idx);
    void checkCustomDevicePathPolicy(int idx);

private:
    void fillParameterBoxes();
    void fillPortList();
    void fillPortList(const QList<PortFacts> &ports);
    void collectSettings();

    friend class SettingsDialogTest; // fills the port list with ports a test invents

    Ui::SettingsDialog *ui = nullptr;
    Settings currentSettings;
    QIntValidator *baudRateValidator = nullptr;
};
