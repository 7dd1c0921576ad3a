#pragma once

#include <QDockWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;
class TrafficFilter;
class TrafficLog;
struct TrafficRow;

// The Traffic dock: the exchange with the controller row by row, a filter by direction and
// text, Clear, Save As…, and the switch for polling the controller's status. The rows live in
// the log; the window does the sending.
class TrafficDock : public QDockWidget
{
    Q_OBJECT
public:
    TrafficDock(TrafficLog *log, QWidget *parent = nullptr);

    // Writes the rows as text to the file the user chose; says in a box what went wrong.
    void save(const QString &fileName);
    bool pollsStatus() const;
    int pollSeconds() const;
    QSize sizeHint() const override; // a dozen rows, every column readable

signals:
    void rowSelected(const TrafficRow &row);
    void pollingChanged(bool on, int seconds);

private:
    void showDropped(qint64 dropped);
    void followBottom();
    TrafficLog *log;
    TrafficFilter *filter;
    QTableView *view;
    QComboBox *direction;
    QLineEdit *text;
    QLabel *dropped;
    QCheckBox *poll;
    QSpinBox *pollInterval;
    bool following = false; // a scroll to the last row is on its way
    bool dropping = false; // rows are being removed
};
