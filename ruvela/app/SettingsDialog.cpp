#include "app/SettingsDialog.h"

#include "ui_SettingsDialog.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QSerialPortInfo>

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog)
    , baudRateValidator(new QIntValidator(0, 4000000, this))
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);

    // Connected before filling, so that filling already shows the first port's details.
    connect(ui->applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    connect(ui->refreshButton, &QPushButton::clicked, this, &SettingsDialog::refreshPorts);
    connect(ui->serialPortInfoListBox, &QComboBox::currentIndexChanged, this, &SettingsDialog::showPortInfo);
    connect(ui->baudRateBox, &QComboBox::currentIndexChanged, this, &SettingsDialog::checkCustomBaudRatePolicy);
    connect(
        ui->serialPortInfoListBox, &QComboBox::currentIndexChanged, this, &SettingsDialog::checkCustomDevicePathPolicy);

    fillParameterBoxes();
    // The port list is filled when it is first needed (shown, chosen or connected): listing
    // ports, and the editable Custom entry an empty list would select, cost the start-up.
    collectSettings();
}

void SettingsDialog::listPorts()
{
    if (portsListed)
        return;
    portsListed = true;
    fillPortList();
    collectSettings(); // the first port, as if it had been listed from the start
}

void SettingsDialog::showEvent(QShowEvent *event)
{
    listPorts();
    QDialog::showEvent(event);
}

SettingsDialog::~SettingsDialog() { delete ui; }

Settings SettingsDialog::settings() const { return currentSettings; }

void SettingsDialog::choose(const SettingsChoice &choice)
{
    if (choice.port) // found among the listed ports, or else Custom
        listPorts();
    auto select = [](QComboBox *box, const auto &value) {
        if (value)
            box->setCurrentIndex(qMax(0, box->findData(int(*value))));
    };
    select(ui->baudRateBox, choice.baudRate);
    select(ui->dataBitsBox, choice.dataBits);
    select(ui->parityBox, choice.parity);
    select(ui->stopBitsBox, choice.stopBits);
    select(ui->flowControlBox, choice.flowControl);
    if (choice.port) {
        const int listed = ui->serialPortInfoListBox->findText(*choice.port);
        const int custom = ui->serialPortInfoListBox->count() - 1;
        ui->serialPortInfoListBox->setCurrentIndex(listed >= 0 && listed != custom ? listed : custom);
        if (listed < 0 || listed == custom)
            ui->serialPortInfoListBox->setEditText(*choice.port);
    }
    collectSettings();
}

void SettingsDialog::refreshPorts()
{
    portsListed = true;
    // An adapter plugged in after start-up: list the ports again, keeping the choice where the
    // port is still there.
    const QString chosen = ui->serialPortInfoListBox->currentText();
    const bool wasCustom = !ui->serialPortInfoListBox->currentData().isValid();
    fillPortList();
    const int listed = ui->serialPortInfoListBox->findText(chosen);
    const int custom = ui->serialPortInfoListBox->count() - 1;
    ui->serialPortInfoListBox->setCurrentIndex(!wasCustom && listed >= 0 ? listed : wasCustom ? custom : 0);
    if (wasCustom)
        ui->serialPortInfoListBox->setEditText(chosen);
}

void SettingsDialog::showPortInfo(int idx)
{
    if (idx == -1)
        return;
    const QStringList list = ui->serialPortInfoListBox->itemData(idx).toStringList();
    const QString na = tr("N/A");
    auto field = [&](int k) { return list.size() > k ? list.at(k) : na; };
    ui->descriptionLabel->setText(tr("Description: %1").arg(field(1)));
    ui->manufacturerLabel->setText(tr("Manufacturer: %1").arg(field(2)));
    ui->serialNumberLabel->setText(tr("Serial number: %1").arg(field(3)));
    ui->locationLabel->setText(tr("Location: %1").arg(field(4)));
    ui->vidLabel->setText(tr("Vendor Identifier: %1").arg(field(5)));
    ui->pidLabel->setText(tr("Product Identifier: %1").arg(field(6)));
}

void SettingsDialog::apply()
{
    collectSettings();
    hide();
}

void SettingsDialog::checkCustomBaudRatePolicy(int idx)
{
    const bool isCustom = !ui->baudRateBox->itemData(idx).isValid();
    ui->baudRateBox->setEditable(isCustom);
    if (isCustom) {
        ui->baudRateBox->clearEditText();
        ui->baudRateBox->lineEdit()->setValidator(baudRateValidator);
    }
}

void SettingsDialog::checkCustomDevicePathPolicy(int idx)
{
    const bool isCustom = !ui->serialPortInfoListBox->itemData(idx).isValid();
    ui->serialPortInfoListBox->setEditable(isCustom);
    if (isCustom) {
        ui->serialPortInfoListBox->clearEditText();
        ui->serialPortInfoListBox->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    }
}

void SettingsDialog::fillParameterBoxes()
{
    for (const qint32 rate : baudRates)
        ui->baudRateBox->addItem(QString::number(rate), rate);
    ui->baudRateBox->setCurrentIndex(lineDefaults::baudIndex);

    for (int bits : {5, 6, 7, 8})
        ui->dataBitsBox->addItem(QString::number(bits), bits);
    ui->dataBitsBox->setCurrentIndex(ui->dataBitsBox->findData(int(lineDefaults::dataBits)));

    ui->parityBox->addItem(tr("None"), QSerialPort::NoParity);
    ui->parityBox->addItem(tr("Even"), QSerialPort::EvenParity);
    ui->parityBox->addItem(tr("Odd"), QSerialPort::OddParity);
    ui->parityBox->addItem(tr("Mark"), QSerialPort::MarkParity);
    ui->parityBox->addItem(tr("Space"), QSerialPort::SpaceParity);

    ui->stopBitsBox->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    ui->stopBitsBox->addItem(tr("1.5"), QSerialPort::OneAndHalfStop);
    ui->stopBitsBox->addItem(QStringLiteral("2"), QSerialPort::TwoStop);

    // Software flow control first: it is the controller's own default.
    ui->flowControlBox->addItem(tr("XON/XOFF"), QSerialPort::SoftwareControl);
    ui->flowControlBox->addItem(tr("None"), QSerialPort::NoFlowControl);
    ui->flowControlBox->addItem(tr("RTS/CTS"), QSerialPort::HardwareControl);
    ui->parityBox->setCurrentIndex(ui->parityBox->findData(int(lineDefaults::parity)));
    ui->stopBitsBox->setCurrentIndex(ui->stopBitsBox->findData(int(lineDefaults::stopBits)));
    ui->flowControlBox->setCurrentIndex(ui->flowControlBox->findData(int(lineDefaults::flowControl)));
}

void SettingsDialog::fillPortList()
{
    QList<PortFacts> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        ports.append({info.portName(), info.description(), info.manufacturer(), info.serialNumber(),
            info.systemLocation(), info.vendorIdentifier(), info.productIdentifier()});
    }
    fillPortList(ports);
}

void SettingsDialog::fillPortList(const QList<PortFacts> &ports)
{
    ui->serialPortInfoListBox->clear();
    for (const PortFacts &port : ports) {
        const QStringList details = portDetails(port);
        ui->serialPortInfoListBox->addItem(details.first(), details);
    }
    ui->serialPortInfoListBox->addItem(tr("Custom"));
}

void SettingsDialog::collectSettings()
{
    currentSettings.portName = ui->serialPortInfoListBox->currentText();

    currentSettings.baudRate = ui->baudRateBox->currentData().toInt();
    currentSettings.baudRateText = QString::number(currentSettings.baudRate);

    currentSettings.dataBits = static_cast<QSerialPort::DataBits>(ui->dataBitsBox->currentData().toInt());
    currentSettings.dataBitsText = ui->dataBitsBox->currentText();

    currentSettings.parity = static_cast<QSerialPort::Parity>(ui->parityBox->currentData().toInt());
    currentSettings.parityText = ui->parityBox->currentText();

    currentSettings.stopBits = static_cast<QSerialPort::StopBits>(ui->stopBitsBox->currentData().toInt());
    currentSettings.stopBitsText = ui->stopBitsBox->currentText();

    currentSettings.flowControl = static_cast<QSerialPort::FlowControl>(ui->flowControlBox->currentData().toInt());
    currentSettings.flowControlText = ui->flowControlBox->currentText();
}
