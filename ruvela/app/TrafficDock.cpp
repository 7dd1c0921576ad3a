#include "app/TrafficDock.h"
#include "paperview/WindowPlace.h"

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

// The direction box's choices after "All", in the order of its items.
static const char *const directionNames[] = {QT_TRANSLATE_NOOP("TrafficDock", "Sent"),
    QT_TRANSLATE_NOOP("TrafficDock", "Received"), QT_TRANSLATE_NOOP("TrafficDock", "Events")};

TrafficDock::TrafficDock(TrafficLog *log, QWidget *parent)
    : QDockWidget(tr("Traffic"), parent)
    , log(log)
    , filter(new TrafficFilter(this))
{
    setObjectName(QStringLiteral("trafficDock"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->addLayout(makeControls());
    makeView();
    layout->addWidget(view, 1);
    layout->addLayout(makeFooter());
    setWidget(body);
    connectFilter();
    showDropped(0);
}

void TrafficDock::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    if (follow->isChecked() && !following) {
        following = true;
        QTimer::singleShot(0, this, &TrafficDock::followBottom); // once the view has its size
    }
}

QLayout *TrafficDock::makeControls()
{
    auto *controls = new QHBoxLayout;
    direction = new QComboBox;
    direction->setObjectName(QStringLiteral("trafficDirection"));
    direction->addItem(tr("All"), -1);
    direction->addItem(tr(directionNames[0]), int(TrafficRow::Direction::Sent));
    direction->addItem(tr(directionNames[1]), int(TrafficRow::Direction::Received));
    direction->addItem(tr(directionNames[2]), int(TrafficRow::Direction::Event));
    text = new QLineEdit;
    text->setObjectName(QStringLiteral("trafficFilter"));
    text->setPlaceholderText(tr("Filter"));
    text->setClearButtonEnabled(true);
    follow = new QCheckBox(tr("Follow"));
    follow->setObjectName(QStringLiteral("trafficFollow"));
    follow->setToolTip(tr("Keep the newest row in view"));
    follow->setChecked(true);
    auto *clear = new QPushButton(tr("Clear"));
    clear->setObjectName(QStringLiteral("trafficClear"));
    auto *saveAs = new QPushButton(tr("Save As…"));
    saveAs->setObjectName(QStringLiteral("trafficSaveAs"));
    controls->addWidget(direction);
    controls->addWidget(text, 1);
    controls->addWidget(follow);
    controls->addWidget(clear);
    controls->addWidget(saveAs);

    connect(follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            view->scrollToBottom();
    });
    connect(clear, &QPushButton::clicked, log, &TrafficLog::clear);
    connect(saveAs, &QPushButton::clicked, this, [this] {
        // Only the rows shown are written: the title says so while the filter hides some.
        const QString shown = filterSummary();
        const QString title = shown.isEmpty() ? tr("Save Traffic")
                                              : tr("Save Traffic: the filter is on (%1), only the %2 of %3 rows shown")
                                                    .arg(shown)
                                                    .arg(filter->rowCount())
                                                    .arg(log->rowCount());
        const QString name = QFileDialog::getSaveFileName(this, title, dialogStart(QStringLiteral("traffic.txt")));
        dialogChosen(name);
        if (!name.isEmpty())
            save(name);
    });
    return controls;
}

void TrafficDock::makeView()
{
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
    // Sizes to the contents would measure every row at each insertion: fixed widths instead,
    // each wide enough for what its column can hold.
    const QFontMetrics &font = view->fontMetrics();
    const int digit = font.horizontalAdvance(QLatin1Char('0'));
    auto wide = [&](const QString &sample) { return font.horizontalAdvance(sample) + 2 * digit; };
    view->setColumnWidth(TrafficLog::Time, wide(QStringLiteral("00:00:00.000")));
    // Wide enough for a monitored exchange's sides, the longest a row shows.
    view->setColumnWidth(TrafficLog::Direction, wide(QStringLiteral("controller → host")));
    view->setColumnWidth(TrafficLog::Offset, wide(QStringLiteral("0000000000")));
    view->setColumnWidth(TrafficLog::What, digit * 22);
    view->setColumnWidth(TrafficLog::Detail, digit * 22);
    view->setColumnWidth(TrafficLog::Length, wide(QStringLiteral("0000000000")));
    // The bytes whole, the first of them and the length after: "1D 76 30 … (12296 bytes)".
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    view->setColumnWidth(TrafficLog::Bytes,
        QFontMetrics(mono).horizontalAdvance(
            QString(3 * TrafficLog::maxShownBytes, QLatin1Char('0')) + QStringLiteral(" … (0000000000 bytes)"))
            + 2 * digit);
    view->horizontalScrollBar()->setSingleStep(digit * 4);
}

QLayout *TrafficDock::makeFooter()
{
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
    auto pollChanged = [this] {
        pollInterval->setEnabled(poll->isChecked());
        emit pollingChanged(poll->isChecked(), pollInterval->value());
    };
    connect(poll, &QCheckBox::toggled, this, pollChanged);
    connect(pollInterval, &QSpinBox::valueChanged, this, pollChanged);
    pollInterval->setEnabled(false);
    return footer;
}

void TrafficDock::connectFilter()
{
    connect(direction, &QComboBox::currentIndexChanged, this,
        [this] { refilter([this] { filter->setDirection(direction->currentData().toInt()); }); });
    // Filtering a full pane takes a while: once the typing pauses, not at every key.
    auto *typed = new QTimer(this);
    typed->setSingleShot(true);
    typed->setInterval(200);
    connect(text, &QLineEdit::textChanged, typed, qOverload<>(&QTimer::start));
    connect(typed, &QTimer::timeout, this, [this] { refilter([this] { filter->setText(text->text()); }); });
    connect(log, &TrafficLog::droppedChanged, this, &TrafficDock::showDropped);
    connect(filter, &QAbstractItemModel::rowsAboutToBeInserted, this, &TrafficDock::rowsComing);
    // Old rows dropped under the chosen one move the choice; that is not the user choosing.
    connect(filter, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { ++selfMoves; });
    connect(filter, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (--selfMoves == 0)
            showChoice();
    });
    connect(filter, &QAbstractItemModel::modelAboutToBeReset, this, [this] { ++selfMoves; });
    connect(filter, &QAbstractItemModel::modelReset, this, [this] {
        --selfMoves;
        chosen = -1;
    });
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &current) {
        if (selfMoves > 0)
            return;
        const QModelIndex source = filter->mapToSource(current);
        if (!source.isValid())
            return;
        chosen = this->log->droppedRows() + source.row();
        follow->setChecked(false); // the user looks at this row now
        emit rowSelected(this->log->row(source.row()));
    });
    // Scrolling up by hand leaves the newest rows to come: Follow goes off, as in the controller's list.
    connect(view->verticalScrollBar(), &QScrollBar::actionTriggered, this, &TrafficDock::userScrolled);
}

void TrafficDock::refilter(const std::function<void()> &change)
{
    ++selfMoves;
    change();
    --selfMoves;
    showChoice();
    if (follow->isChecked())
        view->scrollToBottom();
}

void TrafficDock::showChoice()
{
    const qint64 at = chosen - log->droppedRows();
    const QModelIndex shown = chosen >= 0 && at >= 0 && at < log->rowCount()
        ? filter->mapFromSource(log->index(int(at), 0))
        : QModelIndex();
    QItemSelectionModel *selection = view->selectionModel();
    if (selection->currentIndex().row() == shown.row() && selection->currentIndex().isValid() == shown.isValid())
        return;
    ++selfMoves;
    if (shown.isValid())
        selection->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        selection->clear();
    --selfMoves;
}

void TrafficDock::rowsComing()
{
    // Following, the view shows the rows that come, once for a burst of them.
    if (follow->isChecked() && !following) {
        following = true;
        QTimer::singleShot(0, this, &TrafficDock::followBottom);
    }
}

void TrafficDock::userScrolled()
{
    const QScrollBar *bar = view->verticalScrollBar();
    if (bar->sliderPosition() < bar->maximum())
        follow->setChecked(false);
}

QString TrafficDock::filterSummary(bool english) const
{
    if (filter->rowCount() == log->rowCount())
        return {};
    QStringList what;
    if (direction->currentIndex() > 0) {
        const char *name = directionNames[direction->currentIndex() - 1];
        what << (english ? QString::fromLatin1(name) : tr(name)).toLower();
    }
    if (!text->text().trimmed().isEmpty())
        what << (english ? QStringLiteral("with \"%1\"") : tr("with \"%1\"")).arg(text->text().trimmed());
    return what.join(english ? QStringLiteral(", ") : tr(", "));
}

void TrafficDock::save(const QString &fileName)
{
    QByteArray content;
    // The file's header line is part of its format: English whatever the window speaks.
    const QString summary = filterSummary(true);
    if (summary.isEmpty()) {
        content = log->text();
    } else {
        QList<int> shown;
        shown.reserve(filter->rowCount());
        for (int i = 0; i < filter->rowCount(); ++i)
            shown << filter->mapToSource(filter->index(i, 0)).row();
        content = log->text(&shown, QStringLiteral("the filter is on (%1)").arg(summary));
    }
    const QString failure = writeWholeFile(fileName, content);
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Save Traffic"), tr("%1 was not written: %2.").arg(fileName, failure));
}

QSize TrafficDock::sizeHint() const
{
    int columns = 0;
    for (int c = 0; c < TrafficLog::Bytes; ++c)
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
    if (follow->isChecked())
        view->scrollToBottom();
}
