#pragma once

#include "demos/Jobs.h"

// The jobs of the "Controller" tab: they change the controller's own configuration. The host
// port keeps its settings; the user reconnects to match.
namespace jobs {

Job printHead(quint8 index); // 0 to 7, stored in the controller's flash
Job uartMode(quint8 speedCode, quint8 flowCode); // codes 0-6 and 0-2, as the radio buttons give them

} // namespace jobs
