#include "app/list_commands.h"

#include "app/link_actions.h"
#include "app/qr_window.h"
#include "records/record_file.h"
#include "records/watch_columns.h"
#include "text/gbk.h"

namespace qm {

void showListMenu(Program& program) {
  const int chosen = program.tk.popupMenu({QM_GBK("全部删除"), QM_GBK("删除选中")}, 3, 3);
  if (chosen == 0) deleteAllRows(program);
  if (chosen == 1) deleteCheckedRows(program);
}

void deleteAllRows(Program& program) {
  program.tk.deleteAllRows(kWatchList);
  rewriteRecordFile(program);
}

void deleteCheckedRows(Program& program) {
  WindowToolkit& tk = program.tk;
  // From the last row to the first, so the rows still to be visited keep their indexes.
  const int n = tk.rowCount(kWatchList);
  for (int r = n - 1; r >= 0; --r) {
    if (tk.rowChecked(kWatchList, r) == 1) tk.deleteRow(kWatchList, r);
  }
  rewriteRecordFile(program);
}

void listDoubleClicked(Program& program, int x, int y) {
  WindowToolkit& tk = program.tk;
  const HitTest hit = tk.hitTest(kWatchList, x, y);
  const Text id = hit.row == -1 ? Text{} : tk.cell(kWatchList, hit.row, WatchColumn::ProductId);
  const Endpoints& e = program.endpoints;

  Text address;
  if (hit.column == WatchColumn::MobileQr) {
    address = "http://" + e.mobilePageHost + "/product/" + id + ".html";
    showQrCode(program, address);
  } else if (hit.column == WatchColumn::WeChatQr) {
    address = "http://" + e.weChatPageHost + "/item/view?sku=" + id;
    showQrCode(program, address);
  } else {
    address = "http://" + e.productPageHost + "/" + id + ".html";
    openInBrowser(program, address);
  }
  // The page's address, not the QR service's request; only once the window shows.
  tk.setClipboardText(address);
}

}  // namespace qm
