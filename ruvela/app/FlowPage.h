#pragma once

#include <QHash>
#include <QList>
#include <QRect>
#include <QWidget>

class QGridLayout;

// A tab page of the form whose widgets stand where the form put them, as long as the page has
// the width they were laid out in. Narrower, they flow: what no longer fits beside the widget
// before it goes on below, a box narrows as far as what it holds allows, and a grid of buttons
// takes fewer columns. The page then grows downwards, as far as the flow needs. Given the width
// back, every widget returns to its place.
class FlowPage : public QWidget
{
public:
    explicit FlowPage(QWidget *page, QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override { return designedSize; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Where each widget stands, and how many columns each grid has (0: as designed), at a width.
    struct Plan
    {
        QHash<QWidget *, QRect> places;
        QHash<QGridLayout *, int> columns;
    };
    struct Cell
    {
        QWidget *widget;
        int row, column;
    };

    void record(QWidget *box);
    bool isBox(const QWidget *widget) const;
    QList<QWidget *> placed(const QWidget *box) const; // the widgets the form put in the box
    QRect designedRect(const QWidget *box) const;
    int rightMargin(const QWidget *box) const;
    // The width the widget cannot do with less of.
    int narrowest(const QWidget *widget) const;
    // The width the grid's buttons take in that many columns (0: as designed).
    int gridWidth(const QGridLayout *grid, int columns) const;
    // The widgets beside one another in the form, row by row from the top.
    QList<QList<QWidget *>> rowsOf(QList<QWidget *> widgets) const;
    // The height the box takes at that width, its widgets placed in the plan.
    int flow(QWidget *box, int width, Plan &plan) const;
    int flowGrid(QWidget *box, QGridLayout *grid, int width, Plan &plan) const;
    void apply(const Plan &plan);

    QWidget *page;
    QSize designedSize;
    QHash<const QWidget *, QRect> designed; // every widget the form gave a place
    QHash<const QGridLayout *, QList<Cell>> designedCells; // in reading order
    QHash<QGridLayout *, int> shownColumns;
};
