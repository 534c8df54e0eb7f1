#include "watch/product_check.h"

#include <cfloat>
#include <cmath>

#include "records/watch_columns.h"
#include "text/gbk.h"
#include "watch/alerts.h"
#include "watch/watch_controls.h"
#include "web/escape_decoding.h"
#include "web/page_fetch.h"

namespace qm {

namespace {

// RegionText "province-id#city-id+area-id" -> "provinceId_cityId_areaId".
Text regionCode(const Text& r) {
  Text province = textAfterLast(textBefore(r, "#"), "-");
  Text city = textAfterLast(textBetween(r, "#", "+"), "-");
  Text area = textAfterLast(textAfterLast(r, "+"), "-");
  return province + "_" + city + "_" + area;
}

// The price rule compares 32-bit floats. Values beyond the float range narrow to an
// infinity, as IEEE 754 rounding gives, without relying on an out-of-range cast.
float narrowToFloat(double d) {
  if (std::isnan(d)) return NAN;
  if (d > FLT_MAX) return INFINITY;
  if (d < -FLT_MAX) return -INFINITY;
  return static_cast<float>(d);
}

float priceValue(const Text& t) { return narrowToFloat(textToNumber(t)); }

bool meetsWishedPrice(float wished, const Text& price) {
  return static_cast<double>(wished) - static_cast<double>(priceValue(price)) >= -0.0000001;
}

}  // namespace

void ProductCheck(Program& program, int rowNumber) {
  if (program.monitor.running == 0) return;
  WindowToolkit& tk = program.tk;
  const Endpoints& ends = program.endpoints;
  const int row = rowNumber - 1;
  auto cell = [&](int column) { return tk.cell(kWatchList, row, column); };
  auto setCell = [&](int column, const Text& value) { tk.setCell(kWatchList, row, column, value); };

  setCell(WatchColumn::Status, QM_GBK("正在监控"));
  Text id = cell(WatchColumn::ProductId);
  Text code = regionCode(cell(WatchColumn::Region));
  Text vender = cell(WatchColumn::VenderId);
  Text cat = cell(WatchColumn::Cat);

  Text stockAddress = "http://" + ends.stockHost + "/stock?skuId=" + id + "&venderId=" + vender +
                      "&cat=" + cat + "&area=" + code +
                      "_0&buyNum=1&extraParam={%22originid%22:%221%22}&ch=1&callback=getStockCallback";
  Text priceAddress =
      "http://" + ends.priceHost + "/prices/get?skuid=J_" + id + "&type=1&area=" + code + "&callback=cnp";
  Text promotionAddress = "http://" + ends.promotionHost + "/promoinfo/get?id=" + id + "&area=" + code +
                          "_0&origin=1&callback=Promotions.set";
  Text weChatAddress = "http://" + ends.weChatPriceHost + "/prices/pcpmgets?skuids=" + id +
                       "&origin=4&source=wxsq&area=" + code + "&callback=singlePrice&g_ty=ls";

  Text stockText = fetchPageText(stockAddress);
  Text priceText = fetchPageText(priceAddress);
  Text promotionText = fetchPageText(promotionAddress);
  Text weChatText = fetchPageText(weChatAddress);
  stockText = decodeEscapedText(stockText, [&tk] { tk.handlePendingEvents(); });

  Text stockStateName = textBetween(stockText, "StockStateName\":\"", "\",");
  if (stockStateName.empty()) return;

  const Text& priceMarker = QM_GBK(" |当前价格：");
  Text pc = textBetween(priceText, "\"p\":\"", "\",");
  Text second = findText(promotionText, "\"mpt\":\"") != -1 ? textBetween(promotionText, "\"mpt\":\"", ",")
                                                            : textBetween(priceText, "\"p\":\"", "\",");
  Text statusLine = stockStateName + priceMarker + pc + "/" + second;

  Text pcPrice = textBefore(textAfterLast(statusLine, priceMarker), "/");
  setCell(WatchColumn::PcPrice, pcPrice);
  Text mobilePrice = textAfterLast(textAfterLast(statusLine, priceMarker), "/");
  setCell(WatchColumn::MobilePrice, mobilePrice);
  Text weChatPrice = textBetween(weChatText, "\"p\":\"", "\",");
  setCell(WatchColumn::WeChatPrice, weChatPrice);
  setCell(WatchColumn::Status, textBefore(statusLine, priceMarker));

  if (tk.checkState(controls::PriceAlertBox) == 1) {
    float wished = priceValue(cell(WatchColumn::WishedPrice));
    bool due = meetsWishedPrice(wished, pcPrice) || meetsWishedPrice(wished, mobilePrice) ||
               (meetsWishedPrice(wished, weChatPrice) && !weChatPrice.empty() && !pcPrice.empty());
    if (due) raiseAlert(program, AlertKind::PriceAlert, rowNumber, stockStateName);
  }

  bool stockBox = tk.checkState(controls::StockAlertBox) == 1;
  if ((stockBox && findText(statusLine, QM_GBK("现货")) != -1) || findText(statusLine, QM_GBK("预订")) != -1)
    raiseAlert(program, AlertKind::StockAlert, rowNumber, stockStateName);
}

}  // namespace qm
