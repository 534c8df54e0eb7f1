#pragma once

#include "config/program.h"
#include "toolkit/qt_toolkit.h"

namespace qm {

// Binds every handled event of the main window and the QR window to its handler.
void bindEventTable(Program& program, QtToolkit& toolkit);

}  // namespace qm
