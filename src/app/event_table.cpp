#include "app/event_table.h"

#include "app/link_actions.h"

namespace qm {

void bindEventTable(Program& program, QtToolkit& toolkit) {
  Program* p = &program;

  // Links to the publisher's pages.
  toolkit.bind("按钮更多优惠", UiEvent::Clicked, [p](int, int) { openHomePage(*p); });
  toolkit.bind("图片框", UiEvent::LeftReleased, [p](int, int) { openHomePage(*p); });
  toolkit.bind("按钮问题反馈", UiEvent::Clicked, [p](int, int) { openFeedbackPage(*p); });
}

}  // namespace qm
