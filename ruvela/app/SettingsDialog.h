#pragma once

#include "serial/PortDetails.h"
#include "serial/Settings.h"

#include <QDialog>
#include <QList>

QT_BEGIN_NAMESPACE
namespace Ui {
class SettingsDialog;
}
class QIntValidator;
QT_END_NAMESPACE

class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    Settings settings() const;
    // Selects these values, a port not in the list as Custom, and takes them as applied. The
    // ports are listed only for a chosen port, to look it up.
    void choose(const SettingsChoice &choice);
    // Lists the host's serial ports, once: asking the system costs more than the rest of
    // start-up, so it waits until the ports are first needed.
    void listPorts();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void showPortInfo(int idx);
    void apply();
    void checkCustomBaudRatePolicy(int idx);
    void checkCustomDevicePathPolicy(int idx);

private:
    void refreshPorts();
    void fillParameterBoxes();
    void fillPortList();
    void fillPortList(const QList<PortFacts> &ports);
    void collectSettings();

    Ui::SettingsDialog *ui = nullptr;
    Settings currentSettings;
    QIntValidator *baudRateValidator = nullptr;
    bool portsListed = false;
};
