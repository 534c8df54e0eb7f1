#pragma once

// The commands given on the watch list itself: the right-click menu with its two
// deletions, and the double click that opens a product's page or its QR code.

#include "config/program.h"

namespace qm {

// Right click anywhere in the list: "全部删除" / "删除选中" at the pointer.
void showListMenu(Program& program);
void deleteAllRows(Program& program);
// Removes the ticked rows; the others keep their Index cells as they read.
void deleteCheckedRows(Program& program);
// Double click at x, y in the list's client coordinates: the QR code of the mobile
// or WeChat page on those cells, the product page in the browser elsewhere; the
// address goes on the clipboard afterwards.
void listDoubleClicked(Program& program, int x, int y);

}  // namespace qm
