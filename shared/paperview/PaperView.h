#pragma once

#include <QScrollArea>

#include <utility>

namespace controller {
class Paper;
}

// A scrolling view of a paper roll at a whole-number zoom, with a run of rows tinted. It shows
// whatever roll it is pointed at and never owns it: the owner points it elsewhere (or at
// nothing) before the roll goes away, and calls refresh() when the roll has grown.
class PaperView : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int minZoom = 1;
    static constexpr int maxZoom = 6;

    explicit PaperView(QWidget *parent = nullptr);

    void setPaper(const controller::Paper *paper);
    const controller::Paper *paper() const { return shown; }
    // Brings the view up to the roll's size and repaints; keeps the newest row in view when
    // following, or when the view was already at the bottom.
    void refresh();

    void setZoom(int zoom); // bounded to minZoom..maxZoom
    int zoom() const { return scale; }
    void zoomBy(int step);

    // Tints rows [firstRow, lastRow]; (-1, -1) for none.
    void setTint(int firstRow, int lastRow);
    std::pair<int, int> tint() const { return {tintFirst, tintLast}; }
    void showRow(int row); // scrolls the row into view

    void setFollow(bool on);
    bool follows() const { return following; }

    // As wide as the roll at the zoom shown, with room for the scroll bar.
    QSize sizeHint() const override;

private:
    class Canvas;

    Canvas *canvas;
    const controller::Paper *shown = nullptr;
    int shownWidth = 0;
    int scale = 1;
    int tintFirst = -1, tintLast = -1;
    bool following = false;
};
