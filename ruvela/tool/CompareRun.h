#pragma once

struct Launch;

// Compares the two recordings the command line names, with no controller and no window: prints
// what differs and, asked for, writes both papers side by side. Needs a QGuiApplication for the
// paper's fonts. Returns 0 when the runs match, 1 when they differ (or the picture could not be
// written), 2 when a file cannot be read as a recording.
int runCompare(const Launch &launch);
