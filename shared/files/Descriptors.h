#pragma once

// Opens /dev/null on whichever of standard input, output and error is closed, so that the next
// file, port or lock the program opens cannot take its number and receive what the program
// prints. Call it first thing in main, before anything else is opened.
void openClosedStandardDescriptors();

// Keeps stderr for what the program has to say: Qt's note that the session has no runtime
// folder (common under ssh, cron and containers) says nothing the user can act on, and goes
// unprinted. Every other message passes as before.
void filterSessionNotes();
