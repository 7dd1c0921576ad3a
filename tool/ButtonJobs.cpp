#include "tool/ButtonJobs.h"

#include "config/ConfigJobs.h"
#include "serial/Settings.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

// The form's description is compiled into this library (mainform.qrc), so that runs without a
// window read the captions without the window's library; a static library needs it named.
static void initFormResource() { Q_INIT_RESOURCE(mainform); }

namespace buttons {

namespace {

using jobs::Cut;
using jobs::Job;

Job barcodeJob(const Checked &checked, cmd::BarcodeSystem system)
{
    return jobs::barcode(system, checked("checkBoxBarCodeMargin"));
}

Job uartJob(const Checked &checked)
{
    // The first checked button of each group in tab order gives the code; none checked falls
    // back to the controller's defaults, 115200 and XON/XOFF. A speed's button is named by its rate.
    QList<QByteArray> speeds;
    for (const qint32 rate : baudRates)
        speeds << "radioButton" + QByteArray::number(rate);
    const QList<QByteArray> flows{"radioButtonNoFlow", "radioButtonSoftFlow", "radioButtonHardFlow"};
    auto firstChecked = [&](const QList<QByteArray> &names, quint8 fallback) {
        for (quint8 i = 0; i < names.size(); ++i) {
            if (checked(names[i].constData()))
                return i;
        }
        return fallback;
    };
    return jobs::uartMode(firstChecked(speeds, quint8(lineDefaults::baudIndex)), firstChecked(flows, 1));
}

// clang-format off
const QList<ButtonJob> table = {
    // "General" tab.
    {"pushButtonFont", [](const Checked &) { return jobs::quickTest(); }},
    {"pushButtonAttributes", [](const Checked &) { return jobs::attributes(); }},
    {"pushButtonLanguage", [](const Checked &) { return jobs::language(); }},
    {"pushButtonDensity", [](const Checked &) { return jobs::density(); }},
    {"pushButtonBitmap", [](const Checked &) { return jobs::qrSample(); }},
    {"pushButtonFormatting", [](const Checked &) { return jobs::formatting(); }},
    {"pushButtonTabs", [](const Checked &) { return jobs::alignment(); }},
    {"pushButtonReset", [](const Checked &) { return jobs::reset(); }},
    {"pushButtonClear", [](const Checked &) { return jobs::clearBuffer(); }},
    {"pushButtonReceipt", [](const Checked &) { return jobs::receipt(Cut::None); }},
    {"pushButtonVersion", [](const Checked &) { return jobs::version(); }},
    {"pushButtonStatus", [](const Checked &) { return jobs::status(); }},
    {"pushButtonPowerManagment", [](const Checked &) { return jobs::sleep(); }},
    // "Bar Codes" tab; the margin box is read at the moment of the press.
    {"pushButtonBarcodeUPCA", [](const Checked &c) { return barcodeJob(c, cmd::UpcA); }},
    {"pushButtonBarcodeUPCE", [](const Checked &c) { return barcodeJob(c, cmd::UpcE); }},
    {"pushButtonBarcodeEAN13", [](const Checked &c) { return barcodeJob(c, cmd::Ean13); }},
    {"pushButtonBarcodeEAN8", [](const Checked &c) { return barcodeJob(c, cmd::Ean8); }},
    {"pushButtonBarcodeCODE39", [](const Checked &c) { return barcodeJob(c, cmd::Code39); }},
    {"pushButtonBarcodeITF25", [](const Checked &c) { return barcodeJob(c, cmd::Itf); }},
    {"pushButtonBarcodeCODABAR", [](const Checked &c) { return barcodeJob(c, cmd::Codabar); }},
    {"pushButtonBarcodeCODE93", [](const Checked &c) { return barcodeJob(c, cmd::Code93); }},
    {"pushButtonBarcodeCODE128A", [](const Checked &c) { return barcodeJob(c, cmd::Code128); }},
    {"pushButtonYesText", [](const Checked &) { return jobs::barcodeText(true); }},
    {"pushButtonNoText", [](const Checked &) { return jobs::barcodeText(false); }},
    // "Bitmaps" tab; the loaded picture is printed by the window alone.
    {"pushButton_LineFeed", [](const Checked &) { return jobs::lineFeed(); }},
    // "Cutter" tab.
    {"pushButtonFullCut", [](const Checked &) { return jobs::fullCut(); }},
    {"pushButtonPartialCut", [](const Checked &) { return jobs::partialCut(); }},
    {"pushButtonReceiptFullCut", [](const Checked &) { return jobs::receipt(Cut::Full); }},
    {"pushButtonReceiptPartialCut", [](const Checked &) { return jobs::receipt(Cut::Partial); }},
    // "Controller" tab.
    {"pushButtonApply", [](const Checked &c) { return uartJob(c); }},
    {"pushButtonFTP628", [](const Checked &) { return jobs::printHead(0); }},
    {"pushButtonFTP638", [](const Checked &) { return jobs::printHead(1); }},
    {"pushButtonLTP0213", [](const Checked &) { return jobs::printHead(2); }},
    {"pushButtonLTP02C1", [](const Checked &) { return jobs::printHead(3); }},
    {"pushButton58_384", [](const Checked &) { return jobs::printHead(4); }},
    {"pushButton80_576", [](const Checked &) { return jobs::printHead(5); }},
    {"pushButtonM23_H69", [](const Checked &) { return jobs::printHead(6); }},
    {"pushButtonM23_SX", [](const Checked &) { return jobs::printHead(7); }},
};
// clang-format on

Form readForm()
{
    initFormResource();
    Form form;
    QFile file(QStringLiteral(":/form/MainWindow.ui"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("The form's description is not compiled in");
    // <widget name="..."> holds <property name="text"><string>...</string> and
    // <property name="checked"><bool>true</bool>; nested widgets close their own.
    QXmlStreamReader xml(&file);
    QStringList widgets;
    QString property;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("widget"))
                widgets << xml.attributes().value(QLatin1String("name")).toString();
            else if (name == QLatin1String("property"))
                property = xml.attributes().value(QLatin1String("name")).toString();
            else if (!widgets.isEmpty() && property == QLatin1String("text") && name == QLatin1String("string"))
                form.captions[widgets.last()] = xml.readElementText();
            else if (!widgets.isEmpty() && property == QLatin1String("checked") && name == QLatin1String("bool"))
                form.checked[widgets.last()] = xml.readElementText() == QLatin1String("true");
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("widget"))
                widgets.removeLast();
            else if (xml.name() == QLatin1String("property"))
                property.clear();
        }
    }
    if (xml.hasError())
        qFatal("The form's description does not read: %s", qPrintable(xml.errorString()));
    return form;
}

} // namespace

const QList<ButtonJob> &all() { return table; }

const ButtonJob *find(const QString &button)
{
    for (const ButtonJob &b : table) {
        if (button == QLatin1String(b.button))
            return &b;
    }
    return nullptr;
}

const Form &designedForm()
{
    static const Form form = readForm();
    return form;
}

QString jobName(const QString &caption)
{
    static const QRegularExpression notWord(QStringLiteral("[^a-z0-9]+"));
    return caption.toLower().split(notWord, Qt::SkipEmptyParts).join(QLatin1Char('-'));
}

const ButtonJob *findByName(const QString &name)
{
    for (const ButtonJob &b : table) {
        if (jobName(designedForm().captions.value(QLatin1String(b.button))) == name)
            return &b;
    }
    return nullptr;
}

QStringList jobNames()
{
    QStringList names;
    for (const ButtonJob &b : table)
        names << jobName(designedForm().captions.value(QLatin1String(b.button)));
    return names;
}

} // namespace buttons
