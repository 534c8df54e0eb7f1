#pragma once

// What the watch tests share: a loopback shop that answers the four endpoints of a
// product check, rows put into the real watch list, and waits that keep the GUI
// thread handling events (workers' window calls are carried out there).

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "config/program.h"
#include "records/watch_columns.h"
#include "support/loopback_server.h"
#include "support/run_dir.h"
#include "support/window_fixture.h"
#include "toolkit/balloon_tip.h"
#include "toolkit/picture_button.h"
#include "watch/monitoring.h"

namespace qm::test {

// The four replies one product gets, GBK.
struct ShopReplies {
  std::string stock;
  std::string price;
  std::string promotion;
  std::string weChat;
  int delayMs = 0;  // each reply waits this long
};

// A shop reply set for a product in stock at `price` (GBK state name).
inline ShopReplies inStock(const std::string& state, const std::string& price) {
  return {"getStockCallback({\"stock\":{\"StockState\":33,\"StockStateName\":\"" + state + "\",\"rn\":-1}})",
          "cnp([{\"id\":\"J_1\",\"p\":\"" + price + "\",\"m\":\"9999.00\"}]);",
          "Promotions.set({\"skuCoupon\":[],\"prom\":{}});",
          "singlePrice([{\"id\":\"1\",\"p\":\"" + price + "\",\"m\":\"9999.00\"}])"};
}

// Serves the stock, price, promotion and WeChat price paths of one LoopbackServer.
// Replies are chosen by the product id in the query; `defaults` answers the rest.
class ShopPeer {
 public:
  ShopPeer() {
    route("/stock", &ShopReplies::stock, "skuId=");
    route("/prices/get", &ShopReplies::price, "skuid=J_");
    route("/promoinfo/get", &ShopReplies::promotion, "id=");
    route("/prices/pcpmgets", &ShopReplies::weChat, "skuids=");
  }

  void set(const std::string& productId, ShopReplies replies) {
    std::lock_guard lock(mutex_);
    replies_[productId] = std::move(replies);
  }
  void setDefault(ShopReplies replies) {
    std::lock_guard lock(mutex_);
    defaults_ = std::move(replies);
  }

  // Points the program's four shop hosts at this server.
  void serve(Program& program) const {
    program.endpoints.stockHost = server.host();
    program.endpoints.priceHost = server.host();
    program.endpoints.promotionHost = server.host();
    program.endpoints.weChatPriceHost = server.host();
  }

  // Stock requests received for a product id.
  int stockRequestsFor(const std::string& productId) const {
    int n = 0;
    for (const auto& r : server.requests())
      if (r.path() == "/stock" && idIn(r.target, "skuId=") == productId) ++n;
    return n;
  }

  LoopbackServer server;

 private:
  static std::string idIn(const std::string& target, const std::string& key) {
    auto at = target.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    return target.substr(at, target.find('&', at) - at);
  }

  void route(const std::string& path, std::string ShopReplies::*member, std::string key) {
    server.route(path, [this, member, key](const ReceivedRequest& r) {
      ShopReplies replies;
      {
        std::lock_guard lock(mutex_);
        auto it = replies_.find(idIn(r.target, key));
        replies = it != replies_.end() ? it->second : defaults_;
      }
      Reply reply;
      reply.body = replies.*member;
      reply.delayMs = replies.delayMs;
      reply.contentType = "text/html;charset=GBK";
      return reply;
    });
  }

  mutable std::mutex mutex_;
  std::map<std::string, ShopReplies> replies_;
  ShopReplies defaults_;
};

// Keeps handling the GUI thread's events until `done` holds or the time is up.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

inline void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

// A worker thread, as a check runs on; whoever ends it (its destructor included)
// keeps handling the GUI thread's events until it has finished, since its window
// calls are carried out there.
class Worker {
 public:
  explicit Worker(std::function<void()> work)
      : thread_([this, work = std::move(work)] {
          work();
          finished_ = true;
        }) {}
  ~Worker() { join(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  bool finished() const { return finished_.load(); }
  void join() {
    if (!thread_.joinable()) return;
    pumpUntil([this] { return finished(); }, 600000);
    thread_.join();
  }

 private:
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// Runs `work` on a worker thread and returns when it has ended.
inline void runOnWorker(std::function<void()> work) { Worker(std::move(work)).join(); }

// Waits for every check worker started by the passes to end.
inline bool waitForCheckWorkers(int timeoutMs = 60000) {
  return pumpUntil([] { return activeCheckWorkers() == 0; }, timeoutMs);
}

struct RowValues {
  std::string productId = "100012043978";
  std::string region;        // GBK RegionText
  std::string wished = "1";  // below every price the shop peers quote: no price alert
  std::string venderId = "1000000127";
  std::string cat = "9987,653,655";
};

// Appends a watched row as adding a product leaves it; gives its row number.
inline int addRow(WindowToolkit& tk, const RowValues& v) {
  int row = tk.appendRow(kWatchList);
  tk.setCell(kWatchList, row, WatchColumn::Index, std::to_string(row + 1));
  tk.setCell(kWatchList, row, WatchColumn::ProductId, v.productId);
  tk.setCell(kWatchList, row, WatchColumn::ProductName, g("测试商品"));
  tk.setCell(kWatchList, row, WatchColumn::MobileQr, g("二维码"));
  tk.setCell(kWatchList, row, WatchColumn::WeChatQr, g("二维码"));
  tk.setCell(kWatchList, row, WatchColumn::Region,
             v.region.empty() ? g("北京-1#朝阳区-72+三环以内-2799") : v.region);
  tk.setCell(kWatchList, row, WatchColumn::WishedPrice, v.wished);
  tk.setCell(kWatchList, row, WatchColumn::VenderId, v.venderId);
  tk.setCell(kWatchList, row, WatchColumn::Cat, v.cat);
  return row + 1;
}

// The window fixture of the watch tests, with the loopback shop serving the four
// shop hosts. It waits for the check workers before the window goes.
class WatchFixture : public WindowFixture {
 protected:
  WatchFixture() { shop.serve(program); }
  ~WatchFixture() override { EXPECT_TRUE(waitForCheckWorkers()); }

  // A real left click on the start/stop button; returns when its handler has returned.
  void clickMonitorButton() {
    auto* button = find<QAbstractButton>("按钮商品监控");
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  PictureButton* monitorButton() { return find<PictureButton>("按钮商品监控"); }
  BalloonTip* balloon() { return find<BalloonTip>("气球提示框"); }

  ShopPeer shop;
};

}  // namespace qm::test
