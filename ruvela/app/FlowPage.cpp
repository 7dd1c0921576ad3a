#include "app/FlowPage.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QSet>

#include <algorithm>
#include <tuple>

FlowPage::FlowPage(QWidget *page, QWidget *parent)
    : QWidget(parent)
    , page(page)
{
    page->setParent(this);
    page->move(0, 0);
    page->show(); // the tabs hid it when it was not theirs to show
    record(page);
    QRect extent;
    for (const QWidget *widget : placed(page))
        extent |= designed.value(widget);
    // As much room again to the right and below as the form left at the left and the top.
    designedSize = QSize(extent.right() + 1 + extent.left(), extent.bottom() + 1 + extent.top());
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void FlowPage::record(QWidget *box)
{
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        QList<Cell> cells;
        for (int i = 0; i < grid->count(); ++i) {
            int row, column, rows, columns;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            if (QWidget *widget = grid->itemAt(i)->widget())
                cells.append({widget, row, column});
        }
        std::sort(cells.begin(), cells.end(),
            [](const Cell &a, const Cell &b) { return std::tie(a.row, a.column) < std::tie(b.row, b.column); });
        designedCells.insert(grid, cells);
        shownColumns.insert(grid, 0);
        return;
    }
    if (box->layout())
        return; // a column of buttons keeps its own order
    for (QWidget *child : box->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        designed.insert(child, child->geometry());
        if (isBox(child))
            record(child);
    }
}

bool FlowPage::isBox(const QWidget *widget) const
{
    // Boxes the form fills; anything else (a button, a line, a picture's scroll area) is whole.
    return widget == page || widget->layout() || qobject_cast<const QGroupBox *>(widget)
        || widget->metaObject() == &QWidget::staticMetaObject;
}

QList<QWidget *> FlowPage::placed(const QWidget *box) const
{
    QList<QWidget *> widgets;
    for (QWidget *child : box->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (designed.contains(child) && !child->isHidden())
            widgets.append(child);
    }
    return widgets;
}

QRect FlowPage::designedRect(const QWidget *box) const
{
    return box == page ? QRect(QPoint(), designedSize) : designed.value(box);
}

int FlowPage::rightMargin(const QWidget *box) const
{
    int left = designedRect(box).width(), right = 0;
    for (const QWidget *widget : placed(box)) {
        left = qMin(left, designed.value(widget).left());
        right = qMax(right, designed.value(widget).right() + 1);
    }
    return box == page ? left : qMax(0, designedRect(box).width() - right);
}

int FlowPage::narrowest(const QWidget *widget) const
{
    if (auto *grid = qobject_cast<const QGridLayout *>(widget->layout()))
        return gridWidth(grid, 1);
    if (widget->layout())
        return widget->minimumSizeHint().width();
    if (isBox(widget)) {
        int left = designedRect(widget).width(), widest = 0;
        for (const QWidget *child : placed(widget)) {
            left = qMin(left, designed.value(child).left());
            widest = qMax(widest, narrowest(child));
        }
        const int own = qobject_cast<const QGroupBox *>(widget) ? widget->minimumSizeHint().width() : 0;
        return qMax(own, left + widest + rightMargin(widget));
    }
    // A button narrower than it asks to be clips its caption.
    if (qobject_cast<const QAbstractButton *>(widget))
        return qMax(widget->sizeHint().width(), widget->minimumWidth());
    const bool shrinks = widget->sizePolicy().horizontalPolicy() & QSizePolicy::ShrinkFlag;
    return qMax(shrinks ? widget->minimumSizeHint().width() : widget->sizeHint().width(), widget->minimumWidth());
}

int FlowPage::gridWidth(const QGridLayout *grid, int columns) const
{
    QHash<int, int> widths; // of each column
    const QList<Cell> cells = designedCells.value(grid);
    for (int i = 0; i < cells.size(); ++i) {
        const int column = columns == 0 ? cells[i].column : i % columns;
        widths[column] = qMax(widths.value(column), narrowest(cells[i].widget));
    }
    int width = grid->contentsMargins().left() + grid->contentsMargins().right();
    for (int column : widths)
        width += column;
    return width + qMax(0, int(widths.size()) - 1) * grid->horizontalSpacing();
}

int FlowPage::flowGrid(QWidget *box, QGridLayout *grid, int width, Plan &plan) const
{
    const QList<Cell> cells = designedCells.value(grid);
    QSet<int> rows, columns;
    for (const Cell &cell : cells) {
        rows.insert(cell.row);
        columns.insert(cell.column);
    }
    int fewer = 0; // as designed
    if (gridWidth(grid, 0) > width) {
        fewer = qMax(1, int(columns.size()) - 1);
        while (fewer > 1 && gridWidth(grid, fewer) > width)
            --fewer;
    }
    plan.columns.insert(grid, fewer);
    const int height = designed.value(box).height();
    if (fewer == 0 || rows.isEmpty())
        return height;
    // Each row as high as the form made its rows.
    const QMargins margins = grid->contentsMargins();
    const int spacing = grid->verticalSpacing(), designedRows = int(rows.size());
    const int rowHeight = (height - margins.top() - margins.bottom() - (designedRows - 1) * spacing) / designedRows;
    const int flowed = (int(cells.size()) + fewer - 1) / fewer;
    return margins.top() + margins.bottom() + flowed * rowHeight + (flowed - 1) * spacing;
}

QList<QList<QWidget *>> FlowPage::rowsOf(QList<QWidget *> widgets) const
{
    std::sort(widgets.begin(), widgets.end(), [this](const QWidget *a, const QWidget *b) {
        const QRect ra = designed.value(a), rb = designed.value(b);
        return std::make_pair(ra.top(), ra.left()) < std::make_pair(rb.top(), rb.left());
    });
    QList<QList<QWidget *>> rows;
    int rowBottom = 0;
    for (QWidget *widget : widgets) {
        const QRect place = designed.value(widget);
        if (rows.isEmpty() || place.top() > rowBottom) {
            rows.append(QList<QWidget *>());
            rowBottom = place.bottom();
        }
        rows.last().append(widget);
        rowBottom = qMax(rowBottom, place.bottom());
    }
    return rows;
}

int FlowPage::flow(QWidget *box, int width, Plan &plan) const
{
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
        return flowGrid(box, grid, width, plan);
    const QRect own = designedRect(box);
    QList<QWidget *> widgets = placed(box);
    if (box->layout() || widgets.isEmpty())
        return own.height();
    if (width >= own.width()) { // the room it was laid out in
        for (QWidget *widget : widgets) {
            plan.places.insert(widget, designed.value(widget));
            if (isBox(widget))
                flow(widget, designed.value(widget).width(), plan);
        }
        return own.height();
    }
    QList<QList<QWidget *>> rows = rowsOf(widgets);
    int left = own.width();
    for (const QWidget *widget : widgets)
        left = qMin(left, designed.value(widget).left());
    const int end = width - rightMargin(box), gap = qBound(6, left, 20);
    int shift = 0; // how much lower than in the form the rows so far have pushed the next one
    for (QList<QWidget *> &row : rows) {
        std::sort(row.begin(), row.end(),
            [this](const QWidget *a, const QWidget *b) { return designed.value(a).left() < designed.value(b).left(); });
        QList<int> widths, least;
        bool asDesigned = true;
        int designedBottom = 0, rightmost = 0, wanted = -gap, needed = -gap;
        for (QWidget *widget : row) {
            const QRect place = designed.value(widget);
            least.append(narrowest(widget));
            widths.append(qMax(least.last(), qMin(place.width(), end - left)));
            asDesigned = asDesigned && place.left() >= rightmost && place.left() + widths.last() <= end;
            rightmost = place.left() + widths.last();
            designedBottom = qMax(designedBottom, place.bottom() + 1);
            wanted += widths.last() + gap;
            needed += least.last() + gap;
        }
        // A row that fits once its widgets give up what they can spare stays one row, the
        // leftmost giving first; else what does not fit goes on below.
        if (!asDesigned && needed <= end - left) {
            for (int i = 0; i < widths.size() && wanted > end - left; ++i) {
                const int spare = qMin(widths[i] - least[i], wanted - (end - left));
                widths[i] -= spare;
                wanted -= spare;
            }
        }
        QList<QSize> sizes;
        for (int i = 0; i < row.size(); ++i)
            sizes.append({widths[i], isBox(row[i]) ? flow(row[i], widths[i], plan) : designed.value(row[i]).height()});
        int x = left, lineTop = 0, bottom = 0;
        bool firstLine = true;
        for (int i = 0; i < row.size(); ++i) {
            const QRect place = designed.value(row[i]);
            QRect now;
            if (asDesigned) {
                now = QRect(QPoint(place.left(), place.top() + shift), sizes[i]);
            } else {
                if (x > left && x + sizes[i].width() > end) { // on below
                    firstLine = false;
                    lineTop = bottom + gap;
                    x = left;
                }
                now = QRect(QPoint(x, firstLine ? place.top() + shift : lineTop), sizes[i]);
                x += sizes[i].width() + gap;
            }
            bottom = qMax(bottom, now.bottom() + 1);
            plan.places.insert(row[i], now);
        }
        shift = qMax(shift, bottom - designedBottom);
    }
    return own.height() + shift;
}

int FlowPage::heightForWidth(int width) const
{
    Plan plan;
    return flow(page, width, plan);
}

QSize FlowPage::minimumSizeHint() const { return {narrowest(page), 0}; }

void FlowPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    page->resize(size());
    Plan plan;
    flow(page, width(), plan);
    apply(plan);
}

void FlowPage::apply(const Plan &plan)
{
    for (auto grid = plan.columns.begin(); grid != plan.columns.end(); ++grid) {
        if (shownColumns.value(grid.key()) == grid.value())
            continue;
        shownColumns.insert(grid.key(), grid.value());
        const QList<Cell> cells = designedCells.value(grid.key());
        for (const Cell &cell : cells)
            grid.key()->removeWidget(cell.widget);
        for (int i = 0; i < cells.size(); ++i) {
            if (grid.value() == 0)
                grid.key()->addWidget(cells[i].widget, cells[i].row, cells[i].column);
            else
                grid.key()->addWidget(cells[i].widget, i / grid.value(), i % grid.value());
        }
    }
    for (auto place = plan.places.begin(); place != plan.places.end(); ++place)
        place.key()->setGeometry(place.value());
}
