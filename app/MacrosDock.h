#pragma once

#include <QDockWidget>

class MacroBook;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

// The Macros dock: a button per macro, a row to add one, the repeat, Load… and Save…. What it
// shows and keeps lives in the book; sending is the window's.
class MacrosDock : public QDockWidget
{
    Q_OBJECT
public:
    MacrosDock(MacroBook *book, QWidget *parent = nullptr);

    // Reads and writes the file the user chose; each says in a box what went wrong.
    void load(const QString &fileName);
    void save(const QString &fileName);

private:
    void addMacro();
    void showMacros();
    void showRuns();
    MacroBook *book;
    QVBoxLayout *buttons;
    QLineEdit *name, *text;
    QComboBox *mode;
    QSpinBox *interval, *times;
    QLabel *runs;
    QPushButton *stop;
};
