#include "paperview/PaperView.h"

#include "controller/Paper.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <cstring>

// Draws the visible part of the roll; everything it draws comes from its view.
class PaperView::Canvas : public QWidget
{
public:
    explicit Canvas(const PaperView &view)
        : view(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void updateSize()
    {
        const int zoom = view.scale;
        const QSize wanted
            = view.shown ? QSize(view.shown->width() * zoom, qMax(1, view.shown->rows()) * zoom) : QSize(zoom, zoom);
        if (size() != wanted)
            resize(wanted);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const QRect r = event->rect();
        painter.fillRect(r, Qt::white);
        const int zoom = view.scale;
        if (const controller::Paper *p = view.shown) {
            const int y0 = qMax(0, r.top() / zoom), y1 = qMin(p->rows(), r.bottom() / zoom + 1);
            if (y1 > y0) {
                QImage band(p->width(), y1 - y0, QImage::Format_Grayscale8);
                for (int y = y0; y < y1; ++y)
                    std::memcpy(band.scanLine(y - y0), p->row(y), size_t(p->width()));
                painter.drawImage(QRect(0, y0 * zoom, p->width() * zoom, (y1 - y0) * zoom), band);
            }
        }
        const int first = view.tintFirst, last = view.tintLast;
        if (first >= 0 && last >= first)
            painter.fillRect(QRect(0, first * zoom, width(), (last - first + 1) * zoom), QColor(255, 170, 0, 90));
    }

private:
    const PaperView &view;
};

PaperView::PaperView(QWidget *parent)
    : QScrollArea(parent)
    , canvas(new Canvas(*this))
{
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    setWidget(canvas);
    canvas->updateSize();
}

void PaperView::setPaper(const controller::Paper *paper)
{
    // The roll shown before may be gone already: only its width, kept here, is compared.
    const bool wider = paper && paper->width() != shownWidth;
    shown = paper;
    shownWidth = paper ? paper->width() : 0;
    refresh();
    if (wider)
        updateGeometry();
}

QSize PaperView::sizeHint() const
{
    const int dots = shown ? shown->width() : 384;
    return {
        dots * scale + 2 * frameWidth() + verticalScrollBar()->sizeHint().width(), QScrollArea::sizeHint().height()};
}

void PaperView::refresh()
{
    QScrollBar *bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum() - 4;
    canvas->updateSize();
    canvas->update();
    if (following || atBottom)
        bar->setValue(bar->maximum());
}

void PaperView::setZoom(int zoom)
{
    const int bounded = qBound(minZoom, zoom, maxZoom);
    if (bounded == scale)
        return;
    scale = bounded;
    refresh();
    updateGeometry();
}

void PaperView::zoomBy(int step) { setZoom(scale + step); }

void PaperView::setTint(int firstRow, int lastRow)
{
    tintFirst = firstRow;
    tintLast = lastRow;
    canvas->update();
}

void PaperView::showRow(int row)
{
    if (row >= 0)
        ensureVisible(0, row * scale, 0, 40);
}

void PaperView::setFollow(bool on)
{
    following = on;
    if (on)
        refresh();
}
