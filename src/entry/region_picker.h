#pragma once

// The three region boxes of the entry bar: a province chosen from the list fills the
// city box, a city chosen fills the area box, from the region endpoint's reply.

#include "config/program.h"

namespace qm {

// Appends the child places of the item chosen in `source` to `target` as items of
// the form name "-" id. The placeholder item at position 0 fetches nothing.
void fillChildRegions(Program& program, ControlName source, ControlName target);

}  // namespace qm
