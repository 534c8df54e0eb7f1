#pragma once

#include <QWidget>

#include "toolkit/form_window.h"

namespace qm {

// The object name of the main window itself.
inline constexpr char kMainWindowName[] = "主窗口";

// The outer size of the main window, frame and title bar included, and the client
// size used where the platform reports no frame (a typical 3-pixel fixed border and
// a 25-pixel title bar taken off).
inline constexpr int kMainWindowOuterWidth = 1164;
inline constexpr int kMainWindowOuterHeight = 628;
inline constexpr int kMainWindowDefaultClientWidth = 1158;
inline constexpr int kMainWindowDefaultClientHeight = 600;

// The main window: a fixed-size window whose outer size stays 1164 x 628 once the
// window system reports its frame, centred on the primary screen.
class MainWindow : public FormWindow {
  Q_OBJECT

 public:
  MainWindow();

 protected:
  bool event(QEvent* event) override;

 private:
  void fitToFrame();
  void centre();
  bool fitted_ = false;
};

// Builds the main window with every control of its form, not yet shown.
QWidget* createMainWindow();

}  // namespace qm
