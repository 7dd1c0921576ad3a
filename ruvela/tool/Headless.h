#pragma once

struct Launch;

// Sends the job or the file the command line names down its port without a window or a
// display: the job's console text goes to stdout, each answer in hex with its meaning, and
// progress to stderr when that is a terminal; with a traffic file, the decoded exchange goes
// there at the end. Needs a QCoreApplication, a QGuiApplication for the traffic, and runs its
// event loop. Returns the exit status: 0 when every byte left the port, 1 when the port would not
// open, the line was lost or the file could not be read on, 2 when the file cannot be read.
int runHeadless(const Launch &launch);
