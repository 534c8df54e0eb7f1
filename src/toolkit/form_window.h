#pragma once

#include <QWidget>

namespace qm {

// A top-level window of the program's forms: Esc closes it, as its close box does,
// unless the focused control takes the key itself (key events a control ignores
// travel up to the window).
class FormWindow : public QWidget {
  Q_OBJECT

 public:
  explicit FormWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Window);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The QR window: 200 x 200, no border, no title, owned by `owner` (so it stays above
// it), centred on the primary screen; it holds the picture box "图片框二维码" and is
// destroyed when closed.
FormWindow* createQrWindow(QWidget* owner);

}  // namespace qm
