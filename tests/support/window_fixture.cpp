#include "support/window_fixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTest>

#include "app/event_table.h"
#include "app/main_window_form.h"

namespace qm::test {

Endpoints unreachableEndpoints() {
  Endpoints e;
  const std::string host = "127.0.0.1:1";
  e.stockHost = e.priceHost = e.promotionHost = e.weChatPriceHost = host;
  e.productPageHost = e.mobilePageHost = e.weChatPageHost = host;
  e.regionHost = e.qrHost = host;
  e.smtpServer = "127.0.0.1";
  e.smtpPort = 1;
  e.bannerAddress = "http://127.0.0.1:1/banner.png";
  e.homePage = "http://127.0.0.1:1/home";
  e.feedbackPage = "http://127.0.0.1:1/feedback";
  return e;
}

namespace {
QWidget* shownMainWindow() {
  QWidget* window = createMainWindow();
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) ADD_FAILURE() << "main window not exposed";
  return window;
}
}  // namespace

WindowFixture::WindowFixture()
    : window_(shownMainWindow()),
      toolkit(std::make_unique<QtToolkit>(window_.get())),
      tk(*toolkit),
      program{*toolkit, unreachableEndpoints(),        runDir.path(), nullptr, nullptr,
              {},       std::make_unique<std::mutex>()} {
  bindEventTable(program, *toolkit);
}

WindowFixture::~WindowFixture() {
  // Popups and modal boxes a test left open would outlive the window.
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  toolkit->shutdown();
  toolkit->closeQrWindow();
  window_.reset();
  // Deferred deletions (the QR window) run before the toolkit goes.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  toolkit.reset();
}

QObject* WindowFixture::findObject(std::string_view utf8Name) const {
  return window_ != nullptr ? toolkit->control(utf8Name) : nullptr;
}

QTableWidget* WindowFixture::watchList() const { return find<QTableWidget>("超级列表框监控"); }

QPoint WindowFixture::cellCentre(int row, int column) const {
  QTableWidget* list = watchList();
  const QModelIndex index = list->model()->index(row, column);
  list->scrollTo(index);
  return list->visualRect(index).center();
}

void WindowFixture::clickCell(int row, int column, Qt::MouseButton button) {
  clickListAt(cellCentre(row, column), button);
}

void WindowFixture::doubleClickCell(int row, int column) { doubleClickListAt(cellCentre(row, column)); }

void WindowFixture::rightClickCell(int row, int column) { clickCell(row, column, Qt::RightButton); }

void WindowFixture::clickListAt(QPoint viewportPoint, Qt::MouseButton button) {
  QTest::mouseClick(watchList()->viewport(), button, Qt::NoModifier, viewportPoint);
}

void WindowFixture::doubleClickListAt(QPoint viewportPoint) {
  QWidget* viewport = watchList()->viewport();
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, viewportPoint);
}

void WindowFixture::destroyWindow() { window_.reset(); }

void WindowFixture::processEvents(int milliseconds) {
  if (milliseconds <= 0) {
    QCoreApplication::processEvents();
    return;
  }
  QTest::qWait(milliseconds);
}

}  // namespace qm::test
