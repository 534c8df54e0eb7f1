#pragma once

// Monitoring control: the start/stop button, the monitoring timer and the passes that
// start one product check per watched row, each on a detached worker thread.

#include <cstdint>

#include "config/program.h"
#include "text/text.h"

namespace qm {

// Handler of the click on the start/stop button (GUI thread).
void toggleMonitoring(Program& program);
// Handler of the monitoring timer's tick (GUI thread).
void monitorTimerTick(Program& program);
// Starts a worker per row, spaced by spacingMs while window events go on (GUI thread).
void startCheckPass(Program& program, int64_t spacingMs);

// The timer period for an interval text in seconds: its number times 1000, truncated
// toward zero to 64 bits, of which the low 32 bits are taken as a signed value. A
// product outside the 64-bit range, or not a number, gives 0 (the timer stays stopped).
int32_t monitorPeriod(const Text& intervalSeconds);

// Check workers still running in this process. Nothing in the program waits for them;
// a host that tears its Program down (a test) waits for this to reach 0 first.
int activeCheckWorkers();

}  // namespace qm
