#pragma once

// The WatchList: the thirteen-column list control that is the only store of the
// watched products. Rows count from 0; a row number is the index + 1.

#include "toolkit/window_toolkit.h"

namespace qm {

inline constexpr ControlName kWatchList = "超级列表框监控";

enum WatchColumn : int {
  Index = 0,    // the row's 1-based number
  ProductId,    // the shop's SKU number
  ProductName,  //
  PcPrice,      //
  MobilePrice,  //
  WeChatPrice,  //
  MobileQr,     // "二维码", the label of the mobile-page QR code
  WeChatQr,     // "二维码", the label of the WeChat-page QR code
  Status,       // "导入记录", "正在监控" or the stock state name
  Region,       // the RegionText
  WishedPrice,  // as typed
  VenderId,     // the shop's venderId
  Cat,          // the shop's cat
};

inline constexpr int kWatchColumnCount = 13;

}  // namespace qm
