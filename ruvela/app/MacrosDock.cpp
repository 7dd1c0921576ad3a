#include "app/MacrosDock.h"
#include "paperview/WindowPlace.h"

#include "files/WholeFile.h"
#include "tool/MacroBook.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qint64 maxFileSize = 1 << 20; // far more than any list of macros a user writes

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QObject::tr("a folder");
    if (S_ISFIFO(mode))
        return QObject::tr("a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QObject::tr("a device");
    if (S_ISSOCK(mode))
        return QObject::tr("a socket");
    return QObject::tr("a special file");
}

// Why the file cannot be a list of macros before it is opened: opening a pipe waits for a writer
// and a device may never end, either of which would hold the window. Empty for a regular file.
QString notRegular(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink() && !info.exists())
        return QObject::tr("it is a link to %1, which does not exist").arg(info.symLinkTarget());
    if (!info.exists())
        return QObject::tr("it does not exist");
    if (info.isFile())
        return {};
    struct stat st
    {
    };
    const mode_t mode = ::stat(QFile::encodeName(fileName).constData(), &st) == 0 ? st.st_mode : mode_t(0);
    return QObject::tr("it is %1, not a regular file").arg(kindOf(mode));
}

// Opens a regular file for reading without ever waiting, should it have been swapped for a pipe
// since it was looked at. Empty, or why not.
QString openRegular(QFile &file)
{
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QObject::tr("it is %1, not a regular file").arg(kindOf(st.st_mode));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return {};
}

} // namespace
MacrosDock::MacrosDock(MacroBook *book, QWidget *parent)
    : QDockWidget(tr("Macros"), parent)
    , book(book)
{
    setObjectName(QStringLiteral("macrosDock"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->addWidget(makeList(), 1);
    layout->addLayout(makeAddRow());
    layout->addWidget(text);
    layout->addLayout(makeRepeat());
    layout->addLayout(makeRunRow());
    layout->addLayout(makeFileRow());
    setWidget(body);
    connect(book, &MacroBook::progressed, this, &MacrosDock::showRuns);
    showMacros();
    showRepeat();
    showRuns();
}

QWidget *MacrosDock::makeList()
{
    // One list, not a button a macro, so that a file of thousands loads at once.
    list = new QListWidget;
    list->setObjectName(QStringLiteral("macroList"));
    list->setUniformItemSizes(true);
    list->setToolTip(tr("Click a macro to send it; right-click to edit or remove it"));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->installEventFilter(this); // Return sends the current macro, as a click does
    connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { book->start(list->row(item)); });
    connect(list, &QListWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        const int row = list->row(list->itemAt(at));
        if (row < 0)
            return;
        QMenu menu;
        menu.addAction(tr("Edit…"), this, [this, row] { edit(row); });
        menu.addAction(tr("Remove"), this, [this, row] {
            book->remove(row);
            QMetaObject::invokeMethod(this, &MacrosDock::showMacros, Qt::QueuedConnection);
        });
        menu.exec(list->viewport()->mapToGlobal(at));
    });
    return list;
}

QLayout *MacrosDock::makeAddRow()
{
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
    return addRow; // the text goes on a row of its own below
}

QLayout *MacrosDock::makeRepeat()
{
    interval = new QSpinBox;
    interval->setObjectName(QStringLiteral("macroInterval"));
    interval->setRange(MacroBook::minEveryMs, MacroBook::maxEveryMs);
    interval->setSuffix(tr(" ms"));
    times = new QSpinBox;
    times->setObjectName(QStringLiteral("macroTimes"));
    times->setRange(0, MacroBook::maxTimes);
    times->setSpecialValueText(tr("until stopped"));
    // Kept by the book, so that Save writes them and Load brings them back.
    for (QSpinBox *box : {interval, times})
        connect(box, &QSpinBox::valueChanged, this, [this] { book->setRepeat(interval->value(), times->value()); });
    auto *repeat = new QFormLayout;
    repeat->addRow(tr("Every"), interval);
    repeat->addRow(tr("Times"), times);
    return repeat;
}

QLayout *MacrosDock::makeRunRow()
{
    runs = new QLabel;
    runs->setObjectName(QStringLiteral("macroRuns"));
    stop = new QPushButton(tr("Stop"));
    stop->setObjectName(QStringLiteral("macroStop"));
    connect(stop, &QPushButton::clicked, book, &MacroBook::stop);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(runs, 1);
    runRow->addWidget(stop);
    return runRow;
}

QLayout *MacrosDock::makeFileRow()
{
    auto *load = new QPushButton(tr("Load…"));
    auto *save = new QPushButton(tr("Save…"));
    load->setObjectName(QStringLiteral("macroLoad"));
    save->setObjectName(QStringLiteral("macroSave"));
    connect(load, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, tr("Load Macros"), dialogStart(), tr("Macros (*.json);;All files (*)"));
        dialogChosen(file);
        if (!file.isEmpty())
            this->load(file);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getSaveFileName(
            this, tr("Save Macros"), dialogStart(QStringLiteral("macros.json")), tr("Macros (*.json);;All files (*)"));
        dialogChosen(file);
        if (!file.isEmpty())
            this->save(file);
    });
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(load);
    fileRow->addWidget(save);
    return fileRow;
}

bool MacrosDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list->currentRow() >= 0) {
            book->start(list->currentRow());
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
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
    list->clear();
    const QList<Macro> &macros = book->macros();
    for (const Macro &m : macros) {
        auto *item = new QListWidgetItem(m.name);
        item->setToolTip(QStringLiteral("%1: %2").arg(m.mode == SendMode::Hex ? tr("Hex") : tr("Text"), m.text));
        list->addItem(item);
    }
}

void MacrosDock::showRepeat()
{
    const QSignalBlocker holdInterval(interval), holdTimes(times);
    interval->setValue(book->everyMs());
    times->setValue(book->times());
}

void MacrosDock::edit(int index)
{
    if (index < 0 || index >= book->macros().size())
        return;
    const Macro was = book->macros().at(index);
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("macroEditDialog"));
    dialog.setWindowTitle(tr("Update Macro \"%1\"").arg(was.name));
    auto *editName = new QLineEdit(was.name);
    editName->setObjectName(QStringLiteral("macroEditName"));
    auto *editMode = new QComboBox;
    editMode->setObjectName(QStringLiteral("macroEditMode"));
    editMode->addItems({tr("Hex"), tr("Text")});
    editMode->setCurrentIndex(was.mode == SendMode::Hex ? 0 : 1);
    auto *editText = new QLineEdit(was.text);
    editText->setObjectName(QStringLiteral("macroEditText"));
    auto *form = new QFormLayout(&dialog);
    form->addRow(tr("Name"), editName);
    form->addRow(tr("Mode"), editMode);
    form->addRow(tr("Bytes"), editText);
    auto *buttonBox = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton *update = buttonBox->addButton(tr("Update"), QDialogButtonBox::AcceptRole);
    update->setObjectName(QStringLiteral("macroUpdate"));
    update->setDefault(true);
    form->addRow(buttonBox);
    connect(buttonBox, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttonBox, &QDialogButtonBox::accepted, &dialog, [&] {
        const Macro macro{editName->text().trimmed(), editText->text(),
            editMode->currentIndex() == 0 ? SendMode::Hex : SendMode::Text};
        const QString fault = book->update(index, macro);
        if (!fault.isEmpty()) {
            QMessageBox::warning(&dialog, tr("Update Macro"), tr("Not updated: %1.").arg(fault));
            return;
        }
        dialog.accept();
    });
    if (dialog.exec() == QDialog::Accepted)
        showMacros();
}

void MacrosDock::showRuns()
{
    runs->setText(book->runsSkipped() > 0 ? tr("Runs: %1, skipped: %2 (the line had not taken the last run yet)")
                                                .arg(book->runsDone())
                                                .arg(book->runsSkipped())
                                          : tr("Runs: %1").arg(book->runsDone()));
    stop->setEnabled(book->running());
}

void MacrosDock::load(const QString &fileName)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    QFile file(fileName);
    QString fault = notRegular(fileName);
    if (fault.isEmpty())
        fault = openRegular(file);
    if (fault.isEmpty() && file.size() > maxFileSize)
        fault = tr("it is larger than %1 KiB, too large for a list of macros").arg(maxFileSize >> 10);
    if (fault.isEmpty()) {
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
    showRepeat();
    showRuns();
}

void MacrosDock::save(const QString &fileName)
{
    const QString failure = writeWholeFile(fileName, book->toJson());
    if (!failure.isEmpty())
        QMessageBox::warning(
            this, tr("Save Macros"), tr("Cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), failure));
}
