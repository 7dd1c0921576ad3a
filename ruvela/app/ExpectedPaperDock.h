#pragma once

#include <QDockWidget>

class ExpectedPrinter;
class PaperView;
class QLabel;
class QTimer;
struct TrafficRow;

// The Expected Paper dock: what the bytes sent since Connect, or since its Clear, should print,
// drawn by the controller model, with zoom, the tint of the command chosen in Traffic, and Save
// as PNG.
class ExpectedPaperDock : public QDockWidget
{
    Q_OBJECT
public:
    ExpectedPaperDock(ExpectedPrinter &printer, QWidget *parent = nullptr);

    // Writes the paper as a PNG to the file the user chose; says in a box what went wrong.
    void save(const QString &fileName);
    const PaperView *view() const { return paperView; }

public slots:
    void paperGrew(); // redrawn soon, not at every slice that leaves the port
    void redraw(); // at once: also when the printer made a new paper
    void showCommand(const TrafficRow &row);
    void clear();

private:
    ExpectedPrinter &printer;
    PaperView *paperView;
    QLabel *info;
    QTimer *redrawSoon;
};
