#include "app/MacrosDock.h"

#include "app/MacroBook.h"
#include "files/WholeFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr qint64 maxFileSize = 1 << 20; // far more than any list of macros a user writes
}

MacrosDock::MacrosDock(MacroBook *book, QWidget *parent)
    : QDockWidget(tr("Macros"), parent)
    , book(book)
{
    setObjectName(QStringLiteral("macrosDock"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);

    auto *list = new QWidget;
    buttons = new QVBoxLayout(list);
    buttons->addStretch();
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);

    name = new QLineEdit;
    name->setObjectName(QStringLiteral("macroName"));
    name->setPlaceholderText(tr("Name"));
    text = new QLineEdit;
    text->setObjectName(QStringLiteral("macroText"));
    text->setPlaceholderText(tr("Bytes: 1B 40 0A"));
    mode = new QComboBox;
    mode->setObjectName(QStringLiteral("macroMode"));
    mode->addItems({tr("Hex"), tr("Text")});
    connect(mode, &QComboBox::currentIndexChanged, this, [this](int m) {
        text->setPlaceholderText(m == 0 ? tr("Bytes: 1B 40 0A") : tr("Text, with C escapes: Hello\\n"));
    });
    auto *add = new QPushButton(tr("Add"));
    add->setObjectName(QStringLiteral("macroAdd"));
    add->setToolTip(tr("Adds the macro, or replaces the one of the same name"));
    connect(add, &QPushButton::clicked, this, &MacrosDock::addMacro);
    connect(text, &QLineEdit::returnPressed, this, &MacrosDock::addMacro);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(name, 1);
    addRow->addWidget(mode);
    addRow->addWidget(add);
    layout->addLayout(addRow);
    layout->addWidget(text);

    interval = new QSpinBox;
    interval->setObjectName(QStringLiteral("macroInterval"));
    interval->setRange(1, 3600000);
    interval->setValue(1000);
    interval->setSuffix(tr(" ms"));
    times = new QSpinBox;
    times->setObjectName(QStringLiteral("macroTimes"));
    times->setRange(0, 1000000);
    times->setValue(1);
    times->setSpecialValueText(tr("until stopped"));
    auto *repeat = new QFormLayout;
    repeat->addRow(tr("Every"), interval);
    repeat->addRow(tr("Times"), times);
    layout->addLayout(repeat);

    runs = new QLabel;
    runs->setObjectName(QStringLiteral("macroRuns"));
    stop = new QPushButton(tr("Stop"));
    stop->setObjectName(QStringLiteral("macroStop"));
    connect(stop, &QPushButton::clicked, book, &MacroBook::stop);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(runs, 1);
    runRow->addWidget(stop);
    layout->addLayout(runRow);

    auto *load = new QPushButton(tr("Load…"));
    auto *save = new QPushButton(tr("Save…"));
    load->setObjectName(QStringLiteral("macroLoad"));
    save->setObjectName(QStringLiteral("macroSave"));
    connect(load, &QPushButton::clicked, this, [this] {
        const QString file
            = QFileDialog::getOpenFileName(this, tr("Load Macros"), {}, tr("Macros (*.json);;All files (*)"));
        if (!file.isEmpty())
            this->load(file);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(
            this, tr("Save Macros"), QStringLiteral("macros.json"), tr("Macros (*.json);;All files (*)"));
        if (!file.isEmpty())
            this->save(file);
    });
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(load);
    fileRow->addWidget(save);
    layout->addLayout(fileRow);

    setWidget(body);
    connect(book, &MacroBook::progressed, this, &MacrosDock::showRuns);
    showMacros();
    showRuns();
}

void MacrosDock::addMacro()
{
    const Macro macro{name->text().trimmed(), text->text(), mode->currentIndex() == 0 ? SendMode::Hex : SendMode::Text};
    const QString fault = book->add(macro);
    if (!fault.isEmpty()) {
        QMessageBox::warning(this, tr("Macros"), tr("Not added: %1.").arg(fault));
        return;
    }
    name->clear();
    text->clear();
    showMacros();
}

void MacrosDock::showMacros()
{
    while (buttons->count() > 1) { // the stretch at the end stays
        QLayoutItem *item = buttons->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QList<Macro> &macros = book->macros();
    for (qsizetype i = 0; i < macros.size(); ++i) {
        auto *button = new QPushButton(macros[i].name);
        button->setObjectName(QStringLiteral("macro%1").arg(i));
        button->setToolTip(macros[i].text);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::clicked, this, [this, i] { book->start(i, interval->value(), times->value()); });
        connect(button, &QPushButton::customContextMenuRequested, this, [this, i, button](const QPoint &at) {
            QMenu menu;
            menu.addAction(tr("Edit"), this, [this, i] {
                const Macro &m = book->macros().at(i);
                name->setText(m.name);
                text->setText(m.text);
                mode->setCurrentIndex(m.mode == SendMode::Hex ? 0 : 1);
            });
            menu.addAction(tr("Remove"), this, [this, i] {
                book->remove(i);
                QMetaObject::invokeMethod(this, &MacrosDock::showMacros, Qt::QueuedConnection);
            });
            menu.exec(button->mapToGlobal(at));
        });
        buttons->insertWidget(buttons->count() - 1, button);
    }
}

void MacrosDock::showRuns()
{
    runs->setText(tr("Runs: %1").arg(book->runsDone()));
    stop->setEnabled(book->running());
}

void MacrosDock::load(const QString &fileName)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    QFile file(fileName);
    QString fault;
    if (!file.open(QIODevice::ReadOnly))
        fault = file.errorString();
    else if (file.size() > maxFileSize)
        fault = tr("it is larger than %1 KiB, too large for a list of macros").arg(maxFileSize >> 10);
    else {
        const QByteArray content = file.read(maxFileSize + 1);
        fault = file.error() != QFile::NoError ? file.errorString()
            : content.size() > maxFileSize
            ? tr("it is larger than %1 KiB, too large for a list of macros").arg(maxFileSize >> 10)
            : book->fromJson(content);
    }
    if (!fault.isEmpty()) {
        QMessageBox::warning(this, tr("Load Macros"), tr("Cannot load %1: %2.").arg(shown, fault));
        return;
    }
    showMacros();
    showRuns();
}

void MacrosDock::save(const QString &fileName)
{
    const QString failure = writeWholeFile(fileName, book->toJson());
    if (!failure.isEmpty())
        QMessageBox::warning(
            this, tr("Save Macros"), tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), failure));
}
