#pragma once

#include <QDockWidget>

#include <functional>

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
// text, Follow, Clear, Save As…, and the switch for polling the controller's status. The rows
// live in the log; the window does the sending.
class TrafficDock : public QDockWidget
{
    Q_OBJECT
public:
    TrafficDock(TrafficLog *log, QWidget *parent = nullptr);

    // Writes the rows shown as text to the file the user chose, saying in the file when a filter
    // hides some; says in a box what went wrong.
    void save(const QString &fileName);
    // Empty when every row shows, else what the filter lets through: "sent, with "paper"", in the
    // window's language for the dialog, in English for the file's header line.
    QString filterSummary(bool english = false) const;
    bool pollsStatus() const;
    int pollSeconds() const;
    QSize sizeHint() const override; // a dozen rows, every column readable

signals:
    void rowSelected(const TrafficRow &row);
    void pollingChanged(bool on, int seconds);

protected:
    // The pane opens on the newest rows, as Follow says, however many came before it was shown.
    void showEvent(QShowEvent *event) override;

private:
    QLayout *makeControls();
    QLayout *makeFooter();
    void makeView();
    void connectFilter();
    // Filters anew; the row the user chose stays chosen, or nothing is while it is hidden.
    void refilter(const std::function<void()> &change);
    void showChoice();
    void rowsComing();
    void userScrolled();
    void showDropped(qint64 dropped);
    void followBottom();
    TrafficLog *log;
    TrafficFilter *filter;
    QTableView *view = nullptr;
    QComboBox *direction = nullptr;
    QLineEdit *text = nullptr;
    QCheckBox *follow = nullptr;
    QLabel *dropped = nullptr;
    QCheckBox *poll = nullptr;
    QSpinBox *pollInterval = nullptr;
    qint64 chosen = -1; // the row the user chose, numbered from the first row ever listed
    bool following = false; // a scroll to the last row is on its way
    int selfMoves = 0; // the choice moves by itself (rows dropped, filtered): not the user
};
