#pragma once

#include <QDockWidget>

class MacroBook;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

// The Macros dock: the list of macros, a click on one sending it, a row to add one, the repeat,
// Load… and Save…. What it shows and keeps lives in the book; sending is the window's.
class MacrosDock : public QDockWidget
{
    Q_OBJECT
public:
    MacrosDock(MacroBook *book, QWidget *parent = nullptr);

    // Reads and writes the file the user chose; each says in a box what went wrong.
    void load(const QString &fileName);
    void save(const QString &fileName);
    // Opens the dialog that updates the macro at index in its place.
    void edit(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The dock's parts, top to bottom.
    QWidget *makeList();
    QLayout *makeAddRow();
    QLayout *makeRepeat();
    QLayout *makeRunRow();
    QLayout *makeFileRow();
    void addMacro();
    void showMacros();
    void showRepeat();
    void showRuns();
    MacroBook *book;
    QListWidget *list;
    QLineEdit *name, *text;
    QComboBox *mode;
    QSpinBox *interval, *times;
    QLabel *runs;
    QPushButton *stop;
};
