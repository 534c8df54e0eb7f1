#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "toolkit/form_window.h"
#include "toolkit/gui_hand_off.h"
#include "toolkit/window_toolkit.h"

class QSystemTrayIcon;
class QWidget;

namespace qm {

// The window events the program binds handlers to.
enum class UiEvent { Created, Clicked, ItemChosen, TimerElapsed, RightClicked, DoubleClicked, LeftReleased };

// The WindowToolkit over Qt Widgets: controls are the objects named by their control
// name (objectName) under the main window and the QR window. Calls from workers run
// on the GUI thread through a GuiHandOff; calls on the GUI thread run directly.
class QtToolkit : public QObject, public WindowToolkit {
  Q_OBJECT

 public:
  // Created on the GUI thread over the main window (which it does not own).
  explicit QtToolkit(QWidget* mainWindow);
  ~QtToolkit() override;

  // Binds the handler of one event of one control (replacing an earlier one). x, y:
  // the event's point in the control's client (viewport) coordinates, 0 where none.
  // Controls of the QR window may be bound before it exists.
  void bind(ControlName control, UiEvent event, std::function<void(int x, int y)> handler);
  // Runs the handler bound to the event, if any (the program raises Created itself).
  void fire(ControlName control, UiEvent event, int x = 0, int y = 0);

  // Ends the service: from now on worker calls return empty at once, and queued ones
  // are dropped. Called when the event loop has ended; also done when the main
  // window is destroyed. GUI-thread calls still reach controls that exist.
  void shutdown();
  bool isShutDown() const { return handOff_.closed(); }

  QWidget* mainWindow() const { return mainWindow_; }
  QWidget* qrWindow() const;

  Text text(ControlName control) override;
  void setText(ControlName control, const Text& value) override;
  int checkState(ControlName control) override;
  void setCheckState(ControlName control, int state) override;
  void addComboItem(ControlName control, const Text& item) override;
  int comboIndex(ControlName control) override;
  int comboCount(ControlName control) override;
  Text comboItem(ControlName control, int index) override;
  Text caption(ControlName control) override;
  void setCaption(ControlName control, const Text& value) override;
  void setButtonFace(ControlName control, const Bytes& png) override;
  void setTimerPeriod(ControlName control, int32_t milliseconds) override;
  int32_t timerPeriod(ControlName control) override;
  void setPicture(ControlName control, const Bytes& image) override;
  void setBarMaximum(ControlName control, int32_t maximum) override;
  void setBarValue(ControlName control, int32_t value) override;
  int32_t barValue(ControlName control) override;
  int appendRow(ControlName list) override;
  Text cell(ControlName list, int row, int column) override;
  void setCell(ControlName list, int row, int column, const Text& value) override;
  int rowCount(ControlName list) override;
  void deleteRow(ControlName list, int row) override;
  void deleteAllRows(ControlName list) override;
  int rowChecked(ControlName list, int row) override;
  HitTest hitTest(ControlName list, int x, int y) override;
  void showBalloon(ControlName balloon, int x, int y, const Text& text, int icon, bool autoHide) override;
  void setTrayIcon(const Bytes& icon, const Text& tip) override;
  int popupMenu(const std::vector<Text>& items, int dx, int dy) override;
  void messageBox(const Text& text, const Text& title) override;
  bool loadQrWindow() override;
  void closeQrWindow() override;
  void setClipboardText(const Text& text) override;
  int screenWidth() override;
  int screenHeight() override;
  void handlePendingEvents() override;
  void pauseWithEvents(int64_t milliseconds) override;
  void openAddress(const Text& address) override;

  QSystemTrayIcon* trayIcon() const { return tray_; }
  // The control of that name (GUI thread only): an object of the main window or of
  // the open QR window; nullptr when there is none.
  QObject* control(ControlName name) { return findControl(name); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs `work` on the GUI thread and gives its result; an empty result when the
  // service has ended or the main window is gone.
  template <class R, class F>
  R onGui(F&& work) {
    if (handOff_.onGuiThread()) {
      if (mainWindow_.isNull()) return R{};
      return work();
    }
    if constexpr (std::is_void_v<R>) {
      handOff_.run([&] {
        if (!mainWindow_.isNull()) work();
      });
    } else {
      R result{};
      handOff_.run([&] {
        if (!mainWindow_.isNull()) result = work();
      });
      return result;
    }
  }

  QObject* findControl(ControlName control);
  template <class T>
  T* find(ControlName control) {
    return qobject_cast<T*>(findControl(control));
  }
  void hook(QObject* control, const std::string& name, UiEvent event);
  void hookQrWindowControls();

  GuiHandOff handOff_;
  QPointer<QWidget> mainWindow_;
  QPointer<FormWindow> qrWindow_;
  QSystemTrayIcon* tray_ = nullptr;
  int typedTextGuard_ = 0;  // > 0 while a combo box takes over its typed text
  std::map<std::pair<std::string, UiEvent>, std::function<void(int, int)>> handlers_;
  std::unordered_map<std::string, QPointer<QObject>> controls_;  // lookup cache
};

}  // namespace qm
