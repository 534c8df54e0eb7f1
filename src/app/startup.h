#pragma once

// Start-up and exit of the program, both on the GUI thread.

#include "config/program.h"

namespace qm {

// The main window's created handler: AlertLock, the QR colour bars, the banner,
// the tray icon, the alert sound file, the saved settings and the saved watch
// list, in that order.
void onMainWindowCreated(Program& program);

// The last step before the process ends. Check workers may still be running and
// holding AlertLock, so nothing they can touch is destroyed here (see
// startup.cpp).
void exitCleanup(Program& program);

}  // namespace qm
