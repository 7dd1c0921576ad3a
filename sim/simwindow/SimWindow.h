#pragma once

#include "controller/Interpreter.h"
#include "simulator/LineDriver.h"

#include <QMainWindow>

QT_BEGIN_NAMESPACE
namespace Ui {
class SimWindow;
}
class QLabel;
QT_END_NAMESPACE

namespace sim {

class ElidedLabel;
class LogModel;

// The virtual controller's window: the paper as it prints, the decoded commands, the line's
// state, and the faults a user can cause.
class SimWindow : public QMainWindow
{
    Q_OBJECT
public:
    SimWindow(int headType, const WireSettings &settings, QWidget *parent = nullptr);
    ~SimWindow() override;

    LineDriver &driver() { return *lineDriver; }
    controller::Interpreter &interpreter() { return printer; }
    // Writes the paper as a PNG to a regular file, whole or not at all; a device, a pipe or a
    // folder is refused.
    bool savePaper(const QString &fileName, QString &error) const;
    QString lastReply() const; // "Last reply: ...", whole, however little of it shows
    // The paper rows shown as belonging to the selected command, or (-1, -1).
    std::pair<int, int> highlightedRows() const;
    void refresh(); // brings paper, log and status up to date
    // The tool was started set up for this line (as run.sh does): the window says so instead
    // of how to configure it.
    void setToolSetUp(bool setUp);

private:
    void connectActions();
    void selectEntry(const QModelIndex &index);
    void showPath(const QString &path);

    Ui::SimWindow *ui;
    controller::Interpreter printer;
    LineDriver *lineDriver;
    LogModel *logModel;
    bool toolSetUp = false;
    ElidedLabel *replyLabel;
    QLabel *pathStatus, *tcpStatus, *bytesStatus, *headStatus, *speedStatus, *lineStatus, *unknownStatus;
};

} // namespace sim
