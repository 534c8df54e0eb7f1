#pragma once

// The controls of the main window that the checks, alerts and monitoring control use.

#include "toolkit/window_toolkit.h"

namespace qm::controls {

inline constexpr ControlName MonitorButton = "按钮商品监控";
inline constexpr ControlName MonitorTimer = "时钟商品监控";
inline constexpr ControlName IntervalBox = "编辑框监控间隔";
inline constexpr ControlName PriceAlertBox = "选择框降价提醒";
inline constexpr ControlName StockAlertBox = "选择框有货提醒";
inline constexpr ControlName HaltOnAlertBox = "选择框有货停止";
inline constexpr ControlName SoundAlertBox = "选择框音乐提醒";
inline constexpr ControlName MailAlertBox = "选择框邮件提醒";
inline constexpr ControlName MailAccountBox = "编辑框发邮件账号";
inline constexpr ControlName MailPasswordBox = "编辑框发邮件密码";
inline constexpr ControlName MailRecipientBox = "编辑框收邮件地址";
inline constexpr ControlName Balloon = "气球提示框";

}  // namespace qm::controls
