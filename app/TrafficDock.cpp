#include "app/TrafficDock.h"

#include "files/WholeFile.h"
#include "traffic/TrafficLog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

TrafficDock::TrafficDock(TrafficLog *log, QWidget *parent)
    : QDockWidget(tr("Traffic"), parent)
    , log(log)
    , filter(new TrafficFilter(this))
{
    setObjectName(QStringLiteral("trafficDock"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);

    auto *controls = new QHBoxLayout;
    direction = new QComboBox;
    direction->setObjectName(QStringLiteral("trafficDirection"));
    direction->addItem(tr("All"), -1);
    direction->addItem(tr("Sent"), int(TrafficRow::Direction::Sent));
    direction->addItem(tr("Received"), int(TrafficRow::Direction::Received));
    direction->addItem(tr("Events"), int(TrafficRow::Direction::Event));
    text = new QLineEdit;
    text->setObjectName(QStringLiteral("trafficFilter"));
    text->setPlaceholderText(tr("Filter"));
    text->setClearButtonEnabled(true);
    auto *clear = new QPushButton(tr("Clear"));
    clear->setObjectName(QStringLiteral("trafficClear"));
    auto *saveAs = new QPushButton(tr("Save As…"));
    saveAs->setObjectName(QStringLiteral("trafficSaveAs"));
    controls->addWidget(direction);
    controls->addWidget(text, 1);
    controls->addWidget(clear);
    controls->addWidget(saveAs);
    layout->addLayout(controls);

    filter->setSourceModel(log);
    view = new QTableView;
    view->setObjectName(QStringLiteral("trafficView"));
    view->setModel(filter);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(true);
    // Sizes to the contents would measure every row at each insertion: fixed widths instead.
    const int digit = view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    view->setColumnWidth(TrafficLog::Time, digit * 14);
    view->setColumnWidth(TrafficLog::Direction, digit * 10);
    view->setColumnWidth(TrafficLog::Offset, digit * 9);
    view->setColumnWidth(TrafficLog::What, digit * 22);
    view->setColumnWidth(TrafficLog::Detail, digit * 22);
    layout->addWidget(view, 1);

    auto *footer = new QHBoxLayout;
    poll = new QCheckBox(tr("Poll status every"));
    poll->setObjectName(QStringLiteral("trafficPoll"));
    pollInterval = new QSpinBox;
    pollInterval->setObjectName(QStringLiteral("trafficPollSeconds"));
    pollInterval->setRange(1, 3600);
    pollInterval->setValue(5);
    pollInterval->setSuffix(tr(" s"));
    dropped = new QLabel;
    dropped->setObjectName(QStringLiteral("trafficDropped"));
    footer->addWidget(poll);
    footer->addWidget(pollInterval);
    footer->addStretch(1);
    footer->addWidget(dropped);
    layout->addLayout(footer);
    setWidget(body);

    connect(direction, &QComboBox::currentIndexChanged, this,
        [this] { filter->setDirection(direction->currentData().toInt()); });
    // Filtering a full pane takes a while: once the typing pauses, not at every key.
    auto *typed = new QTimer(this);
    typed->setSingleShot(true);
    typed->setInterval(200);
    connect(text, &QLineEdit::textChanged, typed, qOverload<>(&QTimer::start));
    connect(typed, &QTimer::timeout, this, [this] { filter->setText(text->text()); });
    connect(clear, &QPushButton::clicked, log, &TrafficLog::clear);
    connect(saveAs, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(this, tr("Save Traffic"), QStringLiteral("traffic.txt"));
        if (!name.isEmpty())
            save(name);
    });
    connect(log, &TrafficLog::droppedChanged, this, &TrafficDock::showDropped);
    // A view at its last row follows the rows that come, once for a burst of them.
    connect(filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = view->verticalScrollBar();
        if (!following && bar->value() >= bar->maximum() - 2) {
            following = true;
            QTimer::singleShot(0, this, &TrafficDock::followBottom);
        }
    });
    // Old rows dropped under the chosen one move the choice; that is not the user choosing.
    connect(filter, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { dropping = true; });
    connect(filter, &QAbstractItemModel::rowsRemoved, this, [this] { dropping = false; });
    connect(filter, &QAbstractItemModel::modelAboutToBeReset, this, [this] { dropping = true; });
    connect(filter, &QAbstractItemModel::modelReset, this, [this] { dropping = false; });
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (dropping)
            return;
        const QModelIndex source = filter->mapToSource(current);
        if (source.isValid())
            emit rowSelected(this->log->row(source.row()));
    });
    auto pollChanged = [this] {
        pollInterval->setEnabled(poll->isChecked());
        emit pollingChanged(poll->isChecked(), pollInterval->value());
    };
    connect(poll, &QCheckBox::toggled, this, pollChanged);
    connect(pollInterval, &QSpinBox::valueChanged, this, pollChanged);
    pollInterval->setEnabled(false);
    showDropped(0);
}

void TrafficDock::save(const QString &fileName)
{
    const QString failure = writeWholeFile(fileName, log->text());
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Save Traffic"), tr("%1 was not written: %2.").arg(fileName, failure));
}

QSize TrafficDock::sizeHint() const
{
    int columns = 0;
    for (int c = 0; c < TrafficLog::ColumnCount - 1; ++c)
        columns += view->columnWidth(c);
    const int rows = 12 * view->verticalHeader()->defaultSectionSize();
    return QDockWidget::sizeHint().expandedTo(QSize(columns + 30 * fontMetrics().horizontalAdvance(QLatin1Char('0')),
        rows + view->horizontalHeader()->sizeHint().height() + 3 * fontMetrics().height() + 24));
}

bool TrafficDock::pollsStatus() const { return poll->isChecked(); }

int TrafficDock::pollSeconds() const { return pollInterval->value(); }

void TrafficDock::showDropped(qint64 count)
{
    dropped->setText(
        count > 0 ? tr("%1 older rows dropped: the pane keeps the last %2").arg(count).arg(log->maxRows()) : QString());
}

void TrafficDock::followBottom()
{
    following = false;
    view->scrollToBottom();
}
