#include "tool/ButtonJobs.h"

#include "config/ConfigJobs.h"
#include "serial/Settings.h"

#include <QFile>
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
    {"pushButtonFont", "quick-test", [](const Checked &) { return jobs::quickTest(); }},
    {"pushButtonAttributes", "attributes", [](const Checked &) { return jobs::attributes(); }},
    {"pushButtonLanguage", "language", [](const Checked &) { return jobs::language(); }},
    {"pushButtonDensity", "density", [](const Checked &) { return jobs::density(); }},
    {"pushButtonBitmap", "qr-bitmap", [](const Checked &) { return jobs::qrSample(); }},
    {"pushButtonFormatting", "formatting", [](const Checked &) { return jobs::formatting(); }},
    {"pushButtonTabs", "alignment", [](const Checked &) { return jobs::alignment(); }},
    {"pushButtonReset", "reset", [](const Checked &) { return jobs::reset(); }},
    {"pushButtonClear", "clear-buffer-line-feed", [](const Checked &) { return jobs::clearBuffer(); }},
    {"pushButtonReceipt", "receipt", [](const Checked &) { return jobs::receipt(Cut::None); }},
    {"pushButtonVersion", "version", [](const Checked &) { return jobs::version(); }},
    {"pushButtonStatus", "status", [](const Checked &) { return jobs::status(); }},
    {"pushButtonPowerManagment", "power-managment", [](const Checked &) { return jobs::sleep(); }},
    // "Bar Codes" tab; the margin box is read at the moment of the press.
    {"pushButtonBarcodeUPCA", "upc-a", [](const Checked &c) { return barcodeJob(c, cmd::UpcA); }},
    {"pushButtonBarcodeUPCE", "upc-e", [](const Checked &c) { return barcodeJob(c, cmd::UpcE); }},
    {"pushButtonBarcodeEAN13", "ean-13", [](const Checked &c) { return barcodeJob(c, cmd::Ean13); }},
    {"pushButtonBarcodeEAN8", "ean-8", [](const Checked &c) { return barcodeJob(c, cmd::Ean8); }},
    {"pushButtonBarcodeCODE39", "code-39", [](const Checked &c) { return barcodeJob(c, cmd::Code39); }},
    {"pushButtonBarcodeITF25", "itf-2-5", [](const Checked &c) { return barcodeJob(c, cmd::Itf); }},
    {"pushButtonBarcodeCODABAR", "coda-bar", [](const Checked &c) { return barcodeJob(c, cmd::Codabar); }},
    {"pushButtonBarcodeCODE93", "code-93", [](const Checked &c) { return barcodeJob(c, cmd::Code93); }},
    {"pushButtonBarcodeCODE128A", "code-128-a", [](const Checked &c) { return barcodeJob(c, cmd::Code128); }},
    {"pushButtonYesText", "bar-code-with-text", [](const Checked &) { return jobs::barcodeText(true); }},
    {"pushButtonNoText", "bar-code-without-text", [](const Checked &) { return jobs::barcodeText(false); }},
    // "Bitmaps" tab; the loaded picture is printed by the window alone.
    {"pushButton_LineFeed", "line-feed", [](const Checked &) { return jobs::lineFeed(); }},
    // "Cutter" tab.
    {"pushButtonFullCut", "full-cut", [](const Checked &) { return jobs::fullCut(); }},
    {"pushButtonPartialCut", "partial-cut", [](const Checked &) { return jobs::partialCut(); }},
    {"pushButtonReceiptFullCut", "receipt-with-full-cut", [](const Checked &) { return jobs::receipt(Cut::Full); }},
    {"pushButtonReceiptPartialCut", "receipt-with-partial-cut", [](const Checked &) { return jobs::receipt(Cut::Partial); }},
    // "Controller" tab.
    {"pushButtonApply", "apply", [](const Checked &c) { return uartJob(c); }},
    {"pushButtonFTP628", "58mm-ftp628mcl101-type", [](const Checked &) { return jobs::printHead(0); }},
    {"pushButtonFTP638", "80mm-ftp638mcl101-type", [](const Checked &) { return jobs::printHead(1); }},
    {"pushButtonLTP0213", "58mm-ltp02-245-13-type", [](const Checked &) { return jobs::printHead(2); }},
    {"pushButtonLTP02C1", "58mm-ltp02-245-c1-type", [](const Checked &) { return jobs::printHead(3); }},
    {"pushButton58_384", "58mm-384-dots-cutter-type", [](const Checked &) { return jobs::printHead(4); }},
    {"pushButton80_576", "80mm-576-dots-cutter-type", [](const Checked &) { return jobs::printHead(5); }},
    {"pushButtonM23_H69", "58mm-m23-dh-h69-type", [](const Checked &) { return jobs::printHead(6); }},
    {"pushButtonM23_SX", "58mm-m23-sx-type", [](const Checked &) { return jobs::printHead(7); }},
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

const ButtonJob *findByName(const QString &name)
{
    for (const ButtonJob &b : table) {
        if (name == QLatin1String(b.name))
            return &b;
    }
    return nullptr;
}

QStringList jobNames()
{
    QStringList names;
    for (const ButtonJob &b : table)
        names << QLatin1String(b.name);
    return names;
}

} // namespace buttons
