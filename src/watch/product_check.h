#pragma once

// One check of one watched product: four shop queries, the row's stock state and
// prices, and the price and stock rules that raise alerts.

#include "config/program.h"

namespace qm {

// rowNumber is 1-based; every cell access uses rowNumber - 1. Runs on a worker.
void ProductCheck(Program& program, int rowNumber);

}  // namespace qm
