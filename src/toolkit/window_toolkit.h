#pragma once

// The GUI operations the logic uses. Controls are addressed by their control name
// (UTF-8, as the form names them); texts passed in and out are GBK. Rows, columns
// and items count from 0; a row or column past the end reads as empty text and a
// write there changes nothing.
//
// Every operation may be called from any thread: a call from a worker is carried
// out whole on the GUI thread and returns its result before the worker goes on.
// Once the main window is gone, calls from workers return empty at once.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/text.h"

namespace qm {

using ControlName = std::string_view;  // UTF-8 control name (the Qt objectName)

struct HitTest {
  int row = -1;     // -1 when no row lies under the point
  int column = -1;  // -1 when no column lies under the point
};

class WindowToolkit {
 public:
  virtual ~WindowToolkit() = default;

  // Edit boxes and the edit field of combo boxes.
  virtual Text text(ControlName control) = 0;
  virtual void setText(ControlName control, const Text& value) = 0;

  // Check boxes: 1 when ticked, 0 when not.
  virtual int checkState(ControlName control) = 0;
  virtual void setCheckState(ControlName control, int state) = 0;

  // Combo box items.
  virtual void addComboItem(ControlName control, const Text& item) = 0;
  virtual int comboIndex(ControlName control) = 0;  // -1 when none is selected
  virtual int comboCount(ControlName control) = 0;
  virtual Text comboItem(ControlName control, int index) = 0;

  // Buttons: the caption (not drawn on picture buttons) and the face picture.
  virtual Text caption(ControlName control) = 0;
  virtual void setCaption(ControlName control, const Text& value) = 0;
  virtual void setButtonFace(ControlName control, const Bytes& png) = 0;

  // Timers: 0 or less stops the timer; writing the current value changes nothing.
  virtual void setTimerPeriod(ControlName control, int32_t milliseconds) = 0;
  virtual int32_t timerPeriod(ControlName control) = 0;

  // Picture boxes: image bytes of any format Qt reads; empty bytes clear the picture.
  virtual void setPicture(ControlName control, const Bytes& image) = 0;

  // ValueBars.
  virtual void setBarMaximum(ControlName control, int32_t maximum) = 0;
  virtual void setBarValue(ControlName control, int32_t value) = 0;
  virtual int32_t barValue(ControlName control) = 0;

  // The WatchList (a report-style list view with a check box on each row).
  virtual int appendRow(ControlName list) = 0;  // gives the new row's index
  virtual Text cell(ControlName list, int row, int column) = 0;
  virtual void setCell(ControlName list, int row, int column, const Text& value) = 0;
  virtual int rowCount(ControlName list) = 0;
  virtual void deleteRow(ControlName list, int row) = 0;
  virtual void deleteAllRows(ControlName list) = 0;
  virtual int rowChecked(ControlName list, int row) = 0;  // 1 ticked, 0 not (or no such row)
  // Point in the list's client (viewport) coordinates.
  virtual HitTest hitTest(ControlName list, int x, int y) = 0;

  // A balloon tip at a screen point; replaces the one on screen. icon -1: none.
  virtual void showBalloon(ControlName balloon, int x, int y, const Text& text, int icon, bool autoHide) = 0;

  // The tray icon of the main window (icon file bytes) with its tip text.
  virtual void setTrayIcon(const Bytes& icon, const Text& tip) = 0;

  // Pops up the items of a menu at the mouse pointer moved by (dx, dy); returns the
  // chosen item's index, or -1 when the menu closed without a choice.
  virtual int popupMenu(const std::vector<Text>& items, int dx, int dy) = 0;

  // A modal message box with an error icon and one OK button; returns when closed.
  virtual void messageBox(const Text& text, const Text& title) = 0;

  // The QR window, owned by the main window. Gives true when it was created now
  // (its created event is the caller's to run), false when an open one was brought
  // to the front (and restored when minimised).
  virtual bool loadQrWindow() = 0;
  virtual void closeQrWindow() = 0;

  virtual void setClipboardText(const Text& text) = 0;

  virtual int screenWidth() = 0;
  virtual int screenHeight() = 0;

  // Handles the calling thread's pending window events (none on a worker).
  virtual void handlePendingEvents() = 0;
  // Handles the calling thread's events until the time has passed; a plain wait on a
  // worker; 0 or less returns at once.
  virtual void pauseWithEvents(int64_t milliseconds) = 0;

  // Hands an address to the desktop with the action "open".
  virtual void openAddress(const Text& address) = 0;
};

}  // namespace qm
