#include "app/event_table.h"

#include "app/link_actions.h"
#include "app/list_commands.h"
#include "app/main_window_form.h"
#include "app/qr_window.h"
#include "app/startup.h"
#include "entry/add_product.h"
#include "entry/region_picker.h"
#include "watch/monitoring.h"

namespace qm {

void bindEventTable(Program& program, QtToolkit& toolkit) {
  Program* p = &program;

  // The start-up sequence; the entry raises this event before the loop runs.
  toolkit.bind(kMainWindowName, UiEvent::Created, [p](int, int) { onMainWindowCreated(*p); });

  // Links to the publisher's pages.
  toolkit.bind("按钮更多优惠", UiEvent::Clicked, [p](int, int) { openHomePage(*p); });
  toolkit.bind("图片框", UiEvent::LeftReleased, [p](int, int) { openHomePage(*p); });
  toolkit.bind("按钮问题反馈", UiEvent::Clicked, [p](int, int) { openFeedbackPage(*p); });

  // Product entry: the region boxes fill from a choice in their lists.
  toolkit.bind("按钮商品添加", UiEvent::Clicked, [p](int, int) { addProduct(*p); });
  toolkit.bind("组合框省份", UiEvent::ItemChosen,
               [p](int, int) { fillChildRegions(*p, "组合框省份", "组合框城市"); });
  toolkit.bind("组合框城市", UiEvent::ItemChosen,
               [p](int, int) { fillChildRegions(*p, "组合框城市", "组合框地区"); });

  // The watch list's commands and the QR window.
  toolkit.bind("超级列表框监控", UiEvent::RightClicked, [p](int, int) { showListMenu(*p); });
  toolkit.bind("超级列表框监控", UiEvent::DoubleClicked, [p](int x, int y) { listDoubleClicked(*p, x, y); });
  toolkit.bind("图片框二维码", UiEvent::DoubleClicked, [p](int, int) { closeQrWindow(*p); });

  // Monitoring control.
  toolkit.bind("按钮商品监控", UiEvent::Clicked, [p](int, int) { toggleMonitoring(*p); });
  toolkit.bind("时钟商品监控", UiEvent::TimerElapsed, [p](int, int) { monitorTimerTick(*p); });
}

}  // namespace qm
