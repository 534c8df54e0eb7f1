// Toolkit calls from worker threads: carried out whole on the GUI thread with their
// results, and ended cleanly when the window goes.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/window_fixture.h"
#include "toolkit/balloon_tip.h"

namespace qm {
namespace {

constexpr char kList[] = "超级列表框监控";

class ThreadsToolkit : public test::WindowFixture {
 protected:
  // Handles window events until `done` holds (the workers never wait for long).
  template <class Pred>
  void serveUntil(Pred done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
};

TEST_F(ThreadsToolkit, ManyWorkersWriteAndReadCellsWithoutLoss) {
  constexpr int kWorkers = 8, kRounds = 60;
  for (int r = 0; r < kWorkers; ++r) tk.appendRow(kList);
  std::atomic<int> finished{0};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int round = 0; round < kRounds; ++round) {
        for (int column = 1; column < 13; ++column) {
          const Text value =
              test::g("行") + std::to_string(w) + "-" + std::to_string(round) + "-" + std::to_string(column);
          tk.setCell(kList, w, column, value);
          if (tk.cell(kList, w, column) != value) ++mismatches;
        }
        if (tk.rowCount(kList) != kWorkers) ++mismatches;
        if (tk.text("编辑框商品编号") != "1743535") ++mismatches;
        if (tk.checkState("选择框降价提醒") != 1) ++mismatches;
        if (tk.cell(kList, kWorkers + w, 1) != "") ++mismatches;
      }
      ++finished;
    });
  }
  serveUntil([&] { return finished == kWorkers; });
  for (auto& t : workers) t.join();
  EXPECT_EQ(mismatches, 0);
  for (int w = 0; w < kWorkers; ++w)
    for (int column = 1; column < 13; ++column)
      EXPECT_EQ(tk.cell(kList, w, column), test::g("行") + std::to_string(w) + "-" +
                                               std::to_string(kRounds - 1) + "-" + std::to_string(column));
}

TEST_F(ThreadsToolkit, WorkersAppendRowsEachGettingItsOwnIndex) {
  constexpr int kWorkers = 8, kRows = 25;
  std::atomic<int> finished{0};
  std::vector<std::vector<int>> indices(kWorkers);
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kRows; ++i) {
        const int row = tk.appendRow(kList);
        indices[size_t(w)].push_back(row);
        tk.setCell(kList, row, 1, std::to_string(w * 1000 + i));
      }
      ++finished;
    });
  }
  serveUntil([&] { return finished == kWorkers; });
  for (auto& t : workers) t.join();
  ASSERT_EQ(tk.rowCount(kList), kWorkers * kRows);
  std::vector<bool> seen(size_t(kWorkers * kRows), false);
  for (int w = 0; w < kWorkers; ++w) {
    for (int i = 0; i < kRows; ++i) {
      const int row = indices[size_t(w)][size_t(i)];
      ASSERT_GE(row, 0);
      EXPECT_FALSE(seen[size_t(row)]);
      seen[size_t(row)] = true;
      EXPECT_EQ(tk.cell(kList, row, 1), std::to_string(w * 1000 + i));
    }
  }
}

TEST_F(ThreadsToolkit, WorkerCallsReachEveryKindOfControl) {
  std::atomic<bool> done{false};
  int32_t period = -1;
  int width = 0;
  Text edit;
  std::thread worker([&] {
    tk.setText("venderId", "1000085");
    edit = tk.text("venderId");
    tk.setTimerPeriod("时钟商品监控", 60000);
    period = tk.timerPeriod("时钟商品监控");
    tk.showBalloon("气球提示框", 400, 300, test::g("有货"), 1, true);
    width = tk.screenWidth();
    tk.handlePendingEvents();  // nothing to do on a worker
    done = true;
  });
  serveUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(edit, "1000085");
  EXPECT_EQ(period, 60000);
  EXPECT_EQ(width, tk.screenWidth());
  auto* balloon = find<BalloonTip>("气球提示框");
  EXPECT_TRUE(balloon->isVisible());
  EXPECT_EQ(balloon->text(), QStringLiteral("有货"));
}

TEST_F(ThreadsToolkit, WorkerOpensAndClosesTheQrWindow) {
  std::atomic<bool> done{false};
  bool first = false, second = true;
  std::thread worker([&] {
    first = tk.loadQrWindow();
    second = tk.loadQrWindow();
    tk.closeQrWindow();
    done = true;
  });
  serveUntil([&] { return done.load(); });
  worker.join();
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_EQ(tk.qrWindow(), nullptr);
}

TEST_F(ThreadsToolkit, WorkerWaitsForAModalBoxItOpened) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    tk.messageBox(test::g("请输入完整商品信息！"), test::g("错误"));
    done = true;
  });
  // The box runs its own event loop inside the GUI thread's handling of the call: it
  // is closed from there.
  bool stillWaiting = false;
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    QTest::qWait(30);
    stillWaiting = !done;
    box->button(QMessageBox::Ok)->click();
    closer.stop();
  });
  closer.start();
  serveUntil([&] { return done.load(); });
  worker.join();
  EXPECT_TRUE(stillWaiting);
}

TEST_F(ThreadsToolkit, WorkerPauseIsAPlainWait) {
  std::atomic<bool> done{false};
  int64_t elapsed = 0;
  std::thread worker([&] {
    QElapsedTimer clock;
    clock.start();
    tk.pauseWithEvents(50);
    elapsed = clock.elapsed();
    done = true;
  });
  serveUntil([&] { return done.load(); });
  worker.join();
  EXPECT_GE(elapsed, 50);
}

// Workers that go on calling while the service ends: every call returns, the ones
// after the end empty, and nothing touches the window after it is gone.
class ThreadsToolkitShutdown : public ThreadsToolkit {
 protected:
  void runWorkersThen(const std::function<void()>& end) {
    constexpr int kWorkers = 6;
    tk.appendRow(kList);
    tk.setCell(kList, 0, 2, "name");
    std::atomic<bool> ended{false};
    std::atomic<int> running{kWorkers};
    std::atomic<int> callsBefore{0}, nonEmptyAfter{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
      workers.emplace_back([&] {
        // Keeps calling until well after the end.
        int afterEnd = 0;
        while (afterEnd < 50) {
          const bool wasEnded = ended;
          tk.setCell(kList, 0, 3, "9.90");
          const Text name = tk.cell(kList, 0, 2);
          const int rows = tk.rowCount(kList);
          if (wasEnded) {
            ++afterEnd;
            if (!name.empty() || rows != 0) ++nonEmptyAfter;
          } else {
            ++callsBefore;
          }
          tk.pauseWithEvents(wasEnded ? 0 : 1);
        }
        --running;
      });
    }
    serveUntil([&] { return callsBefore > 200; });
    end();
    ended = true;
    // The GUI thread no longer serves; the workers must finish on their own.
    for (auto& t : workers) t.join();
    EXPECT_EQ(running, 0);
    EXPECT_EQ(nonEmptyAfter, 0);
  }
};

TEST_F(ThreadsToolkitShutdown, ShutdownWhileWorkersCall) {
  runWorkersThen([&] { toolkit->shutdown(); });
}

TEST_F(ThreadsToolkitShutdown, WindowDestroyedWhileWorkersCall) {
  runWorkersThen([&] { destroyWindow(); });
}

}  // namespace
}  // namespace qm
