#include "app/MonitorDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

MonitorDialog::MonitorDialog(QWidget *parent)
    : QDialog(parent)
    , link(new QLineEdit)
    , tcp(new QLineEdit)
    , start(new QPushButton(tr("Start")))
    , stop(new QPushButton(tr("Stop")))
    , state(new QLabel)
{
    setWindowTitle(tr("Monitor a Host Application"));
    link->setObjectName(QStringLiteral("monitorLink"));
    // A path to start with, so that Return starts at once; the user may type another.
    link->setText(QDir::temp().filePath(QStringLiteral("pos")));
    link->setToolTip(tr("The host application opens this path as its serial port: a link to a pseudo-terminal"));
    tcp->setObjectName(QStringLiteral("monitorTcp"));
    tcp->setPlaceholderText(tr("[address:]port, e.g. 9100"));
    tcp->setToolTip(tr("The host application prints to this TCP port as to a network printer"));
    start->setObjectName(QStringLiteral("monitorStart"));
    stop->setObjectName(QStringLiteral("monitorStop"));
    state->setObjectName(QStringLiteral("monitorState"));
    state->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(tr("Link for the host:"), link);
    form->addRow(tr("TCP port for the host:"), tcp);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(start, QDialogButtonBox::ActionRole);
    buttons->addButton(stop, QDialogButtonBox::ActionRole);
    // Return starts (or, while running, stops), never closes: Close is for Escape and the mouse.
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The tool stands between the host application and the controller it is "
                                    "connected to: every byte goes on unchanged, both ways, and shows in Traffic.")));
    layout->addLayout(form);
    layout->addWidget(state);
    layout->addWidget(buttons);
    connect(start, &QPushButton::clicked, this, &MonitorDialog::startAsked);
    connect(stop, &QPushButton::clicked, this, &MonitorDialog::stopAsked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    showRunning(false, {});
}

QString MonitorDialog::linkPath() const { return link->text().trimmed(); }

QString MonitorDialog::tcpPort() const { return tcp->text().trimmed(); }

void MonitorDialog::showRunning(bool running, const QString &text)
{
    link->setEnabled(!running);
    tcp->setEnabled(!running);
    start->setEnabled(!running);
    stop->setEnabled(running);
    start->setDefault(!running);
    stop->setDefault(running);
    state->setText(text);
}
