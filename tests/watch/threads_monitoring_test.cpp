// Whole monitoring runs with many workers at once (run under ThreadSanitizer too):
// no data race, no crash and no hang when the user stops monitoring in the middle
// of a pass, deletes rows while their checks run, or closes the window meanwhile.
#include <gtest/gtest.h>

#include <QTimer>
#include <string>

#include "watch/monitoring.h"
#include "watch_fixture.h"

namespace qm::test {
namespace {

std::string productIdOf(int i) { return std::to_string(500000000000 + i); }

class ThreadsMonitoringRun : public WatchFixture {
 protected:
  void SetUp() override {
    tk.setCheckState("选择框音乐提醒", 0);
    tk.setCheckState("选择框邮件提醒", 0);
    tk.setCheckState("选择框有货停止", 0);
  }

  // n rows; every third one is in stock (a stock alert per pass), the rest sold out.
  void addRows(int n, int delayMs) {
    for (int i = 0; i < n; ++i) {
      RowValues row;
      row.productId = productIdOf(i);
      addRow(tk, row);
      ShopReplies replies = inStock(g(i % 3 == 0 ? "现货" : "无货"), "99.00");
      replies.delayMs = delayMs;
      shop.set(row.productId, replies);
    }
  }

  // Monitoring on with the timer stopped, so that the test runs the timer passes.
  void startWithoutTimer() {
    tk.setText("编辑框监控间隔", "0");
    int rows = tk.rowCount(kWatchList);
    // The first pass spaces its workers by 100 ms; start on an empty list instead.
    ASSERT_EQ(rows, 0);
    clickMonitorButton();
  }
};

TEST_F(ThreadsMonitoringRun, TwoHundredRowsWithAStopClickInThePass) {
  startWithoutTimer();
  addRows(200, 0);
  // The tick's pass spaces 200 starts by 10 ms; stop about halfway through.
  QTimer::singleShot(1000, [&] { clickMonitorButton(); });
  monitorTimerTick(program);
  ASSERT_TRUE(waitForCheckWorkers());

  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
  int checked = 0;
  for (int i = 0; i < 200; ++i) checked += shop.stockRequestsFor(productIdOf(i));
  EXPECT_GT(checked, 0);
  EXPECT_LT(checked, 200);
  EXPECT_EQ(tk.cell(kWatchList, 0, WatchColumn::Status), g("现货"));
  EXPECT_EQ(tk.cell(kWatchList, 199, WatchColumn::Status), "");
  EXPECT_EQ(tk.rowCount(kWatchList), 200);
}

TEST_F(ThreadsMonitoringRun, RowsDeletedWhileChecksRun) {
  startWithoutTimer();
  addRows(60, 300);
  // Halfway through the pass, delete some rows, then all of them, while checks wait
  // for their replies and then write to indexes that may no longer exist.
  QTimer::singleShot(300, [&] {
    for (int i = 0; i < 20; ++i) tk.deleteRow(kWatchList, 0);
  });
  QTimer::singleShot(500, [&] { tk.deleteAllRows(kWatchList); });
  monitorTimerTick(program);
  ASSERT_TRUE(waitForCheckWorkers());
  EXPECT_EQ(tk.rowCount(kWatchList), 0);
  clickMonitorButton();
  EXPECT_EQ(tk.caption("按钮商品监控"), g("开始监控"));
}

TEST_F(ThreadsMonitoringRun, WindowClosedWhileChecksRun) {
  startWithoutTimer();
  addRows(40, 400);
  monitorTimerTick(program);  // 40 workers waiting for their replies
  ASSERT_GT(activeCheckWorkers(), 0);
  // As the program ends: the window closes, the event loop ends, the toolkit stops.
  window()->close();
  toolkit->shutdown();
  // Every window call of the remaining checks returns empty at once.
  ASSERT_TRUE(waitForCheckWorkers(30000));
}

}  // namespace
}  // namespace qm::test
