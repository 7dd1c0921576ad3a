#pragma once

#include "StepScript.h"
#include "TestSupport.h"

class MainWindow;

// A window's session on the line, step by step: each step acts as a user or the far end does,
// or checks what the window shows and what reached the far end. Its operations are the table in
// WindowSteps.cpp; a suite adds its own to ops, and names to names. "box TITLE: TEXT" arms for
// one box that the step after it must show.
class WindowSession
{
public:
    WindowSession(MainWindow &window, FarEnd &far);
    // False at the first step that does not hold; the running test fails there.
    bool run(const QList<steps::Line> &steps);

    MainWindow &w;
    FarEnd &peer;
    QTemporaryDir dir; // DIR in a step
    steps::Ops ops;
    steps::Names names; // LINE the far end's path, DIR a private folder

private:
    QString checkBox();
    ModalCloser box;
    QString boxTitle, boxText; // the box the next step must show: its title, and a text it holds
    QString counted; // the count the last pattern caught
};

// A _data() function's rows from a data file of window scripts, and the current row run on that
// window and far end, or on a fresh window and far end of its own.
void addScriptRows(const QString &file);
void runScriptRow(MainWindow *window = nullptr, FarEnd *far = nullptr);
