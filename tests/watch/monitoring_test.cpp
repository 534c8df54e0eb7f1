// Monitoring control driven by real clicks on the start/stop button of the offscreen
// main window: the two branches, the timer passes, a halt and the clicks after it,
// rows that join later passes and a stop click inside the first pass.
#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "alert_peers.h"
#include "platform/embedded_assets.h"
#include "toolkit/picture_button.h"
#include "watch/monitoring.h"
#include "watch_fixture.h"

namespace qm::test {
namespace {

QImage assetImage(const char* name) {
  Bytes png = embeddedAsset(name);
  return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MonitorPeriod, ConvertsTheIntervalText) {
  struct {
    const char* text;
    int32_t period;
  } cases[] = {
      {"60", 60000},
      {"0.5", 500},
      {"0", 0},
      {"", 0},
      {"abc", 0},
      {"-3", -3000},
      {"0.0004", 0},                // truncated toward zero
      {"-0.0009", 0},               //
      {"1.9999", 1999},             //
      {"2147484", -2147483296},     // 2147484000 ms: the low 32 bits, read as signed
      {"4294968", 704},             // 2^32 + 704 ms wraps
      {"1e300", 0},                 // beyond 64 bits
      {"-1e300", 0},                //
      {"9223372036854775.807", 0},  // 2^63 ms after rounding to a double: out of range
  };
  for (const auto& c : cases) EXPECT_EQ(monitorPeriod(c.text), c.period) << c.text;
}

class ThreadsMonitorWindow : public WatchFixture {
 protected:
  ThreadsMonitorWindow() { shop.setDefault(inStock(g("无货"), "99.00")); }
  PictureButton* button() { return monitorButton(); }
};

// Starting and stopping with an empty list: the state switches, the settings are
// saved, no check runs.
TEST_F(ThreadsMonitorWindow, StartAndStopWithAnEmptyList) {
  program.monitor.mailDone = 1;
  program.monitor.mailAttempts = 4;
  tk.setText("编辑框发邮件账号", g("账号甲"));

  clickMonitorButton();
  EXPECT_EQ(tk.caption("按钮商品监控"), g("停止监控"));
  EXPECT_EQ(button()->face(), assetImage("button_running.png"));
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 60000);
  EXPECT_EQ(program.monitor.running.load(), 1);
  EXPECT_EQ(program.monitor.mailDone.load(), 0);
  EXPECT_EQ(program.monitor.mailAttempts.load(), 0);
  std::string settings = readFile(runDir.path() / "god.xin");
  EXPECT_NE(settings.find(g("[商品监控]")), std::string::npos);
  EXPECT_NE(settings.find(g("发邮件账号=账号甲")), std::string::npos);

  program.monitor.mailDone = 1;
  program.monitor.mailAttempts = 2;
  tk.setText("编辑框发邮件账号", g("账号乙"));
  clickMonitorButton();
  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
  EXPECT_EQ(button()->face(), assetImage("button_idle.png"));
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 0);
  EXPECT_EQ(program.monitor.running.load(), 0);
  EXPECT_EQ(program.monitor.mailDone.load(), 1);  // only a start resets the mail state
  EXPECT_EQ(program.monitor.mailAttempts.load(), 2);
  EXPECT_NE(readFile(runDir.path() / "god.xin").find(g("发邮件账号=账号乙")), std::string::npos);
  EXPECT_EQ(shop.server.requestCount(), 0u);
}

// Interval 0 runs the first pass only; 0.5 s gives a pass every 500 ms.
TEST_F(ThreadsMonitorWindow, IntervalZeroAndHalfASecond) {
  addRow(tk, RowValues{});
  tk.setText("编辑框监控间隔", "0");
  clickMonitorButton();
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 0);
  pumpFor(1300);
  EXPECT_EQ(shop.stockRequestsFor("100012043978"), 1);
  clickMonitorButton();
  ASSERT_TRUE(waitForCheckWorkers());

  shop.server.clearRequests();
  tk.setText("编辑框监控间隔", "0.5");
  clickMonitorButton();
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 500);
  pumpFor(2300);  // the first pass and ticks at about 0.5, 1.0, 1.5 and 2.0 s
  clickMonitorButton();
  int checks = shop.stockRequestsFor("100012043978");
  EXPECT_GE(checks, 3);
  EXPECT_LE(checks, 6);
}

// A stock alert halts: the button still reads "停止监控"; the next click stops, the
// one after starts a new run whose alert mails again.
TEST_F(ThreadsMonitorWindow, HaltByStockAlertAndTheTwoClicksAfterIt) {
  AlertPeers peers(program, runDir);
  shop.setDefault(inStock(g("现货"), "99.00"));
  addRow(tk, RowValues{});

  clickMonitorButton();
  ASSERT_TRUE(waitForCheckWorkers());
  EXPECT_EQ(program.monitor.running.load(), 0);
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), 0);
  EXPECT_EQ(tk.caption("按钮商品监控"), g("停止监控"));
  EXPECT_EQ(button()->face(), assetImage("button_running.png"));
  EXPECT_EQ(peers.smtp.mails().size(), 1u);
  EXPECT_EQ(program.monitor.mailDone.load(), 1);

  clickMonitorButton();  // the stop branch
  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
  EXPECT_EQ(button()->face(), assetImage("button_idle.png"));
  EXPECT_EQ(program.monitor.mailDone.load(), 1);
  EXPECT_EQ(shop.stockRequestsFor("100012043978"), 1);

  clickMonitorButton();  // a new run
  EXPECT_EQ(tk.caption("按钮商品监控"), g("停止监控"));
  ASSERT_TRUE(waitForCheckWorkers());
  EXPECT_EQ(shop.stockRequestsFor("100012043978"), 2);
  ASSERT_EQ(peers.smtp.mails().size(), 2u);
  EXPECT_EQ(program.monitor.running.load(), 0);  // halted again
}

// Each pass reads the row count afresh: a row added while monitoring runs is checked
// from the next pass on.
TEST_F(ThreadsMonitorWindow, RowsAddedDuringMonitoringJoinTheNextPass) {
  addRow(tk, RowValues{});
  tk.setText("编辑框监控间隔", "0.5");
  clickMonitorButton();
  RowValues later;
  later.productId = "200000000002";
  addRow(tk, later);
  EXPECT_TRUE(pumpUntil([&] { return shop.stockRequestsFor("200000000002") >= 1; }, 5000));
  clickMonitorButton();
  ASSERT_TRUE(waitForCheckWorkers());
  EXPECT_EQ(tk.cell(kWatchList, 1, WatchColumn::Status), g("无货"));
  EXPECT_EQ(tk.cell(kWatchList, 1, WatchColumn::PcPrice), "99.00");
}

// A stop click inside the first pass: the rest of the pass still starts its workers,
// which find Running 0 and do nothing; the list is renumbered.
TEST_F(ThreadsMonitorWindow, StopClickInsideTheFirstPass) {
  for (int i = 0; i < 6; ++i) {
    RowValues row;
    row.productId = "30000000000" + std::to_string(i + 1);
    addRow(tk, row);
    tk.setCell(kWatchList, i, WatchColumn::Index, "x");
  }
  QTimer::singleShot(250, [&] { clickMonitorButton(); });
  clickMonitorButton();  // returns when the first pass (6 x 100 ms) is done
  ASSERT_TRUE(waitForCheckWorkers());

  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
  EXPECT_EQ(program.monitor.running.load(), 0);
  EXPECT_EQ(shop.stockRequestsFor("300000000001"), 1);
  EXPECT_EQ(tk.cell(kWatchList, 0, WatchColumn::Status), g("无货"));
  EXPECT_EQ(shop.stockRequestsFor("300000000006"), 0);
  EXPECT_EQ(tk.cell(kWatchList, 5, WatchColumn::Status), "");
  for (int i = 0; i < 6; ++i) EXPECT_EQ(tk.cell(kWatchList, i, WatchColumn::Index), std::to_string(i + 1));
}

}  // namespace
}  // namespace qm::test
