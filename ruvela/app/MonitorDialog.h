#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Serial → Monitor a Host Application…: where the host application finds the tool in place of
// the controller (a link to a pseudo-terminal, a TCP port, or both), and Start and Stop. The
// window does the monitoring; the dialog only asks and shows.
class MonitorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MonitorDialog(QWidget *parent = nullptr);
    QString linkPath() const;
    QString tcpPort() const;
    void showRunning(bool running, const QString &state);

signals:
    void startAsked();
    void stopAsked();

private:
    QLineEdit *link;
    QLineEdit *tcp;
    QPushButton *start;
    QPushButton *stop;
    QLabel *state;
};
