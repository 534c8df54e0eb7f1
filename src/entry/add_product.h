#pragma once

// The add button of the entry bar: one new row at the end of the watch list from the
// product number, the region and the wished price, with the product's name and the
// shop's venderId and cat read from its page; the record file is rewritten at once.

#include "config/program.h"

namespace qm {

void addProduct(Program& program);

}  // namespace qm
