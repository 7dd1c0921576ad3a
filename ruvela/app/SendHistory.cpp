#include "app/SendHistory.h"

#include <QKeyEvent>
#include <QLineEdit>

SendHistory::SendHistory(QLineEdit *edit)
    : QObject(edit)
    , edit(edit)
{
    edit->installEventFilter(this);
}

void SendHistory::add(const QString &line)
{
    if (lines.isEmpty() || lines.last() != line)
        lines << line;
    at = lines.size();
    typing.clear();
}

bool SendHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != edit || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    if (at == lines.size())
        typing = edit->text(); // what was being typed comes back below the newest
    at = qBound<qsizetype>(0, at + (key == Qt::Key_Up ? -1 : 1), lines.size());
    edit->setText(at == lines.size() ? typing : lines.at(at));
    return true;
}
