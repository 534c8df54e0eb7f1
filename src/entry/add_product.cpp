#include "entry/add_product.h"

#include "records/record_file.h"
#include "records/watch_columns.h"
#include "text/gbk.h"
#include "web/page_fetch.h"

namespace qm {

namespace {

constexpr ControlName kNumberBox = "编辑框商品编号";
constexpr ControlName kProvinceBox = "组合框省份";
constexpr ControlName kCityBox = "组合框城市";
constexpr ControlName kAreaBox = "组合框地区";
constexpr ControlName kPriceBox = "编辑框价格监控";
constexpr ControlName kVenderIdBox = "venderId";
constexpr ControlName kCatBox = "cat";

}  // namespace

void addProduct(Program& program) {
  WindowToolkit& tk = program.tk;

  const Text number = tk.text(kNumberBox);
  // The area box is looked at only once a number is there.
  if (number.empty() || tk.text(kAreaBox).empty()) {
    tk.messageBox(QM_GBK("请输入完整商品信息！"), QM_GBK("错误"));
    return;
  }

  const Text page = fetchPageText("http://" + program.endpoints.productPageHost + "/" + number + ".html");
  tk.setText(kVenderIdBox, trimSpaces(textBetween(page, "venderId:", ",")));
  tk.setText(kCatBox, trimSpaces(textBetween(page, "cat: [", "],")));
  // The alternative text of the main product picture; kept as it stands.
  const Text name = textBetween(textBetween(page, "product-intro", "</div>"), "\" alt=\"", "\"/>");

  const int row = tk.appendRow(kWatchList);
  tk.setCell(kWatchList, row, WatchColumn::ProductId, tk.text(kNumberBox));
  tk.setCell(kWatchList, row, WatchColumn::ProductName, name);
  tk.setCell(kWatchList, row, WatchColumn::MobileQr, QM_GBK("二维码"));
  tk.setCell(kWatchList, row, WatchColumn::WeChatQr, QM_GBK("二维码"));
  tk.setCell(kWatchList, row, WatchColumn::Region,
             tk.text(kProvinceBox) + "#" + tk.text(kCityBox) + "+" + tk.text(kAreaBox));
  tk.setCell(kWatchList, row, WatchColumn::WishedPrice, tk.text(kPriceBox));
  tk.setCell(kWatchList, row, WatchColumn::VenderId, tk.text(kVenderIdBox));
  tk.setCell(kWatchList, row, WatchColumn::Cat, tk.text(kCatBox));

  rewriteRecordFile(program);
}

}  // namespace qm
