#pragma once

// The fixture of GUI tests: a fresh run directory, the main window shown on the
// offscreen platform, the QtToolkit over it, a Program whose endpoints point at
// unreachable loopback addresses (tests overwrite the ones they serve), and the
// event table bound. Derive test suites from it (TEST_F or a subclass).

#include <gtest/gtest.h>

#include <QPoint>
#include <QWidget>
#include <memory>
#include <string_view>

#include "config/program.h"
#include "support/run_dir.h"
#include "toolkit/qt_toolkit.h"

class QTableWidget;

namespace qm::test {

// Endpoints on which nothing listens: a request fails at once.
Endpoints unreachableEndpoints();

class WindowFixture : public ::testing::Test {
 protected:
  WindowFixture();
  ~WindowFixture() override;

  // A control of the main window (or the QR window while it is open) by its name.
  template <class T = QWidget>
  T* find(std::string_view utf8Name) const {
    return qobject_cast<T*>(findObject(utf8Name));
  }
  QObject* findObject(std::string_view utf8Name) const;

  QWidget* window() const { return window_.get(); }
  QTableWidget* watchList() const;

  // The centre of a cell of the WatchList in its viewport's coordinates (the cell is
  // scrolled into view first), and real mouse input there.
  QPoint cellCentre(int row, int column) const;
  void clickCell(int row, int column, Qt::MouseButton button = Qt::LeftButton);
  void doubleClickCell(int row, int column);
  void rightClickCell(int row, int column);
  // Input at a viewport point, for points outside any cell.
  void clickListAt(QPoint viewportPoint, Qt::MouseButton button = Qt::LeftButton);
  void doubleClickListAt(QPoint viewportPoint);

  // Destroys the main window now, as when the program's window goes away.
  void destroyWindow();

  // Handles window events for a while (0: what is pending).
  void processEvents(int milliseconds = 0);

  RunDir runDir;

 private:
  std::unique_ptr<QWidget> window_;

 protected:
  std::unique_ptr<QtToolkit> toolkit;
  QtToolkit& tk;
  Program program;
};

}  // namespace qm::test
