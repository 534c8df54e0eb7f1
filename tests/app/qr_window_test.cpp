// The QR window and its picture file: re-encoding replies as JPEG, and the window
// opened by real double clicks on the watch list's QR cells, served by a loopback
// QR service.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <string>

#include "app/qr_window.h"
#include "platform/file_access.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "support/window_fixture.h"
#include "toolkit/picture_box.h"

namespace qm {
namespace {

using test::g;

Bytes pictureBytes(int width, int height, const char* format, QColor colour = Qt::darkGreen) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return Bytes(data.constData(), static_cast<size_t>(data.size()));
}

QImage decoded(const Bytes& bytes) {
  return QImage::fromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool isJpeg(const Bytes& bytes) { return bytes.size() > 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0; }

class QrWindow : public test::WindowFixture {
 protected:
  QrWindow() {
    Endpoints& e = program.endpoints;
    e.qrHost = service.host();
    e.mobilePageHost = "m.shop.test";
    e.weChatPageHost = "wq.shop.test";
    // The colours as the start-up sequence leaves them.
    for (const char* bar : {"背景颜色", "前景颜色", "渐变颜色", "定位点颜色外", "定位点颜色内"})
      tk.setBarMaximum(bar, 16777215);
    tk.setBarValue("背景颜色", 16777215);
    const int row = tk.appendRow(kWatchList);
    tk.setCell(kWatchList, row, WatchColumn::ProductId, "1743535");
    tk.setCell(kWatchList, row, WatchColumn::ProductName, g("鼠标"));
    tk.setCell(kWatchList, row, WatchColumn::MobileQr, g("二维码"));
    tk.setCell(kWatchList, row, WatchColumn::WeChatQr, g("二维码"));
  }

  void serve(const Bytes& reply) { service.route("/api.php", test::Reply(reply, 200, "image/png")); }
  QWidget* qrWindow() { return tk.qrWindow(); }
  PictureBox* pictureBox() {
    return qrWindow() ? qrWindow()->findChild<PictureBox*>("图片框二维码") : nullptr;
  }
  Bytes storedFile() { return readWholeFile(qrImageFile(program.runDir)).value_or("<missing>"); }
  static QPoint screenCentre() { return QGuiApplication::primaryScreen()->geometry().center(); }
  void expectCentred() {
    ASSERT_NE(qrWindow(), nullptr);
    EXPECT_NEAR(qrWindow()->frameGeometry().center().x(), screenCentre().x(), 1);
    EXPECT_NEAR(qrWindow()->frameGeometry().center().y(), screenCentre().y(), 1);
  }

  test::LoopbackServer service;
};

TEST_F(QrWindow, MobileAndWeChatCodesAreAskedForInTheProgramColours) {
  serve(pictureBytes(120, 80, "PNG"));
  const std::string query = "/api.php?&bg=FFFFFF&fg=1E&gc=1E&el=2&w=200&m=10&pt=1E&inpt=1E&logo=&text=";

  doubleClickCell(0, WatchColumn::MobileQr);
  ASSERT_EQ(service.requestCount(), 1u);
  EXPECT_EQ(service.requests()[0].requestLine,
            "GET " + query + "http://m.shop.test/product/1743535.html HTTP/1.0");

  doubleClickCell(0, WatchColumn::WeChatQr);
  ASSERT_EQ(service.requestCount(), 2u);
  // The page address goes in unescaped, its "?" and "=" included.
  EXPECT_EQ(service.requests()[1].target, query + "http://wq.shop.test/item/view?sku=1743535");
}

TEST_F(QrWindow, PictureReplyIsStoredAsJpegAndShownInACentredWindow) {
  serve(pictureBytes(120, 80, "PNG"));
  doubleClickCell(0, WatchColumn::MobileQr);

  const Bytes file = storedFile();
  EXPECT_TRUE(isJpeg(file));
  EXPECT_EQ(decoded(file).size(), QSize(120, 80));
  ASSERT_NE(qrWindow(), nullptr);
  EXPECT_TRUE(qrWindow()->isVisible());
  EXPECT_EQ(qrWindow()->size(), QSize(200, 200));
  expectCentred();
  ASSERT_NE(pictureBox(), nullptr);
  EXPECT_EQ(pictureBox()->picture().size(), QSize(120, 80));
}

TEST_F(QrWindow, SecondRequestKeepsTheWindowInPlaceAndReplacesItsPicture) {
  serve(pictureBytes(120, 80, "PNG"));
  doubleClickCell(0, WatchColumn::MobileQr);
  ASSERT_NE(qrWindow(), nullptr);
  QWidget* first = qrWindow();
  first->move(10, 20);
  const QPoint moved = first->pos();

  serve(pictureBytes(150, 150, "PNG", Qt::blue));
  doubleClickCell(0, WatchColumn::WeChatQr);
  EXPECT_EQ(qrWindow(), first);
  EXPECT_EQ(qrWindow()->pos(), moved);
  EXPECT_EQ(pictureBox()->picture().size(), QSize(150, 150));
  EXPECT_EQ(decoded(storedFile()).size(), QSize(150, 150));
}

TEST_F(QrWindow, FailedRepliesShowThePreviousCode) {
  serve(pictureBytes(120, 80, "PNG"));
  doubleClickCell(0, WatchColumn::MobileQr);
  const Bytes previous = storedFile();
  ASSERT_TRUE(isJpeg(previous));

  test::LoopbackServer gone;
  const std::string goneHost = gone.host();
  gone.stop();
  struct Case {
    const char* what;
    std::string host;
    Bytes reply;
  };
  for (const Case& c :
       {Case{"3-byte non-picture", service.host(), "abc"},
        Case{"error page", service.host(), "<html>503</html>"}, Case{"refused connection", goneHost, ""}}) {
    SCOPED_TRACE(c.what);
    // Closed first, so the window has to come up again for the failed request.
    QTest::mouseDClick(pictureBox(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return qrWindow() == nullptr; }, 5000));
    program.endpoints.qrHost = c.host;
    serve(c.reply);
    doubleClickCell(0, WatchColumn::MobileQr);
    EXPECT_EQ(storedFile(), previous);
    ASSERT_NE(qrWindow(), nullptr);
    EXPECT_TRUE(qrWindow()->isVisible());
    EXPECT_EQ(pictureBox()->picture().size(), QSize(120, 80));
  }
}

TEST_F(QrWindow, WithoutAnyStoredCodeTheWindowOpensEmpty) {
  program.endpoints.qrHost = "127.0.0.1:1";
  doubleClickCell(0, WatchColumn::MobileQr);
  EXPECT_FALSE(nameExists(qrImageFile(program.runDir)));
  ASSERT_NE(pictureBox(), nullptr);
  EXPECT_TRUE(pictureBox()->picture().isNull());
}

TEST_F(QrWindow, DoubleClickOnThePictureClosesItAndTheNextRequestCentresItAgain) {
  serve(pictureBytes(120, 80, "PNG"));
  doubleClickCell(0, WatchColumn::MobileQr);
  ASSERT_NE(qrWindow(), nullptr);
  qrWindow()->move(5, 5);

  QTest::mouseDClick(pictureBox(), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([this] { return qrWindow() == nullptr; }, 5000));

  doubleClickCell(0, WatchColumn::MobileQr);
  ASSERT_NE(qrWindow(), nullptr);
  EXPECT_TRUE(qrWindow()->isVisible());
  expectCentred();
  EXPECT_EQ(pictureBox()->picture().size(), QSize(120, 80));
}

}  // namespace
}  // namespace qm
