#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLineEdit;

// Up and Down in the send line walk back and forth through what was sent before.
class SendHistory : public QObject
{
    Q_OBJECT
public:
    explicit SendHistory(QLineEdit *edit);
    void add(const QString &line);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *edit;
    QStringList lines;
    qsizetype at = 0; // lines.size() is the line being typed
    QString typing;
};
