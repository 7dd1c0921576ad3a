#pragma once

#include <QtGlobal>

// True when the far end of the line behind this open descriptor has gone: a pseudo-terminal
// whose other side closed, or an adapter that was pulled out. Asks the system without waiting.
bool lineHungUp(qintptr handle);
