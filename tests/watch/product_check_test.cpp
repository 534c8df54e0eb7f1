// The check of one row against a loopback shop: the cells it writes, the alerts it
// raises (seen on the real balloon, in MonitorState, at a real SMTP server and in the
// sound player's output) and the exact requests it sends.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "alert_peers.h"
#include "watch/product_check.h"
#include "watch_fixture.h"

namespace qm::test {
namespace {

struct CheckCase {
  const char* name;
  ShopReplies replies;                     // GBK
  std::string wished;                      // the row's WishedPrice
  bool priceRule;                          // 选择框降价提醒
  bool stockBox;                           // 选择框有货提醒
  std::string pc, mobile, weChat, status;  // the cells afterwards, UTF-8
  bool priceAlert, stockAlert;
};
void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

const char* kOld = "旧";  // what the price cells held before the check

ShopReplies withStock(ShopReplies r, const std::string& stock) {
  r.stock = stock;
  return r;
}
ShopReplies withPrice(ShopReplies r, const std::string& price) {
  r.price = price;
  return r;
}
ShopReplies withPromotion(ShopReplies r, const std::string& promotion) {
  r.promotion = promotion;
  return r;
}
ShopReplies withWeChat(ShopReplies r, const std::string& weChat) {
  r.weChat = weChat;
  return r;
}

std::vector<CheckCase> checkCases() {
  const ShopReplies soldOut = inStock(g("无货"), "20.00");
  return {
      {"InStockNoPromotionPrice", inStock(g("现货"), "5999.00"), "1000", true, true, "5999.00", "5999.00",
       "5999.00", "现货", false, true},
      {"EscapedStockState",
       withStock(inStock(g("现货"), "5999.00"),
                 R"(getStockCallback({"stock":{"StockStateName":"\u73b0\u8d27","rn":-1}}))"),
       "1000", true, true, "5999.00", "5999.00", "5999.00", "现货", false, true},
      {"EscapedStateThatAlertsNothing",
       withStock(soldOut, R"(getStockCallback({"stock":{"StockStateName":"\u65e0\u8d27","rn":-1}}))"), "1",
       true, true, "20.00", "20.00", "20.00", "无货", false, false},
      {"MissingStockStateName", withStock(soldOut, R"(getStockCallback({"stock":{"StockState":34}}))"),
       "1000", true, true, kOld, kOld, kOld, "正在监控", false, false},
      {"EmptyStockStateName",
       withStock(soldOut, R"(getStockCallback({"stock":{"StockStateName":"","x":1}}))"), "1000", true, true,
       kOld, kOld, kOld, "正在监控", false, false},
      {"QuotedMptFollowedByComma",
       withPromotion(soldOut, R"(Promotions.set({"prom":{"mpt":"12.50","tags":[]}});)"), "12.5", true, true,
       "20.00", "12.50\"", "20.00", "无货", true, false},
      {"MptMarkerNeedsItsQuote", withPromotion(soldOut, R"(Promotions.set({"prom":{"mpt":19,"x":2}}))"), "1",
       true, true, "20.00", "20.00", "20.00", "无货", false, false},
      {"EmptyPcPriceMeetsWishedZero", withPrice(withWeChat(soldOut, R"([{"p":"10.00","m":"1"}])"), "cnp([])"),
       "0", true, true, "", "", "10.00", "无货", true, false},
      {"SlashInPcPrice", withPrice(soldOut, R"(cnp([{"p":"1/2","m":"3"}]))"), "0.5", true, true, "1", "2",
       "20.00", "无货", false, false},
      {"SlashInMobilePrice", withPromotion(soldOut, R"({"mpt":"3/4.5","x":1})"), "5", true, true, "20.00",
       "4.5\"", "20.00", "无货", true, false},
      {"WeChatPriceMeets", withWeChat(soldOut, R"([{"p":"4.99","m":"1"}])"), "5", true, true, "20.00",
       "20.00", "4.99", "无货", true, false},
      {"EmptyWeChatPriceDoesNotMeet", withWeChat(soldOut, "singlePrice([])"), "5", true, true, "20.00",
       "20.00", "", "无货", false, false},
      {"SameDecimalTextMeets", inStock(g("无货"), "0.1"), "0.1", true, true, "0.1", "0.1", "0.1", "无货",
       true, false},
      {"PriceRuleOff", inStock(g("无货"), "5.00"), "1000", false, true, "5.00", "5.00", "5.00", "无货", false,
       false},
      {"PreorderWithoutStockBox", inStock(g("预订，预计3天后发货"), "20.00"), "1", true, false, "20.00",
       "20.00", "20.00", "预订，预计3天后发货", false, true},
      {"InStockNeedsStockBox", inStock(g("现货"), "20.00"), "1", true, false, "20.00", "20.00", "20.00",
       "现货", false, false},
      {"BothAlertsPriceFirst", inStock(g("现货"), "9.90"), "10", true, true, "9.90", "9.90", "9.90", "现货",
       true, true},
  };
}

class ProductCheckReplies : public WatchFixture, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ProductCheckReplies, WritesCellsAndRaisesAlerts) {
  const CheckCase& c = GetParam();
  shop.setDefault(c.replies);
  AlertPeers peers(program, runDir);  // SMTP server, mail sender, wav sound player

  RowValues row;
  row.wished = c.wished;
  int number = addRow(tk, row);
  for (int column : {WatchColumn::PcPrice, WatchColumn::MobilePrice, WatchColumn::WeChatPrice})
    tk.setCell(kWatchList, number - 1, column, g(kOld));
  tk.setCheckState("选择框降价提醒", c.priceRule ? 1 : 0);
  tk.setCheckState("选择框有货提醒", c.stockBox ? 1 : 0);
  program.monitor.running = 1;

  runOnWorker([&] { ProductCheck(program, number); });

  EXPECT_EQ(tk.cell(kWatchList, number - 1, WatchColumn::PcPrice), g(c.pc));
  EXPECT_EQ(tk.cell(kWatchList, number - 1, WatchColumn::MobilePrice), g(c.mobile));
  EXPECT_EQ(tk.cell(kWatchList, number - 1, WatchColumn::WeChatPrice), g(c.weChat));
  EXPECT_EQ(tk.cell(kWatchList, number - 1, WatchColumn::Status), g(c.status));

  bool anyAlert = c.priceAlert || c.stockAlert;
  // 选择框有货停止 is ticked by default: any alert halts.
  EXPECT_EQ(program.monitor.running.load(), anyAlert ? 0 : 1);
  // The first alert mails; the balloon shows the last one.
  std::vector<ReceivedMail> mails = peers.smtp.mails();
  if (!anyAlert) {
    EXPECT_TRUE(mails.empty());
    EXPECT_TRUE(balloon()->text().isEmpty());
    EXPECT_FALSE(peers.soundPlayed());
    return;
  }
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject,
            g(c.priceAlert ? "Vantroke，提醒你，价格变化啦！" : "Vantroke，提醒你，有货啦！"));
  QString shown = balloon()->text();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("【"))) << shown.toStdString();
  QString ending = c.stockAlert ? QStringLiteral("】") + QString::fromUtf8(c.status) + QStringLiteral("\r\n")
                                : QStringLiteral("】价格变化了！\r\n");
  EXPECT_TRUE(shown.endsWith(ending)) << shown.toStdString();
  EXPECT_TRUE(peers.waitForSound());
}

INSTANTIATE_TEST_SUITE_P(ThreadsTable, ProductCheckReplies, ::testing::ValuesIn(checkCases()),
                         [](const ::testing::TestParamInfo<CheckCase>& p) { return p.param.name; });

struct RequestCase {
  const char* name;
  const char* region;  // UTF-8 RegionText
  const char* code;    // the RegionCode in the queries
};
void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class ProductCheckRequests : public WatchFixture, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(ProductCheckRequests, SendsTheFourQueriesInOrder) {
  const RequestCase& c = GetParam();
  shop.setDefault(inStock(g("无货"), "20.00"));
  RowValues row;
  row.region = g(c.region);
  int number = addRow(tk, row);
  program.monitor.running = 1;

  runOnWorker([&] { ProductCheck(program, number); });

  std::string code = c.code;
  std::vector<std::string> expected = {
      "GET /stock?skuId=100012043978&venderId=1000000127&cat=9987,653,655&area=" + code +
          "_0&buyNum=1&extraParam={%22originid%22:%221%22}&ch=1&callback=getStockCallback HTTP/1.1",
      "GET /prices/get?skuid=J_100012043978&type=1&area=" + code + "&callback=cnp HTTP/1.1",
      "GET /promoinfo/get?id=100012043978&area=" + code + "_0&origin=1&callback=Promotions.set HTTP/1.1",
      "GET /prices/pcpmgets?skuids=100012043978&origin=4&source=wxsq&area=" + code +
          "&callback=singlePrice&g_ty=ls HTTP/1.1",
  };
  std::vector<std::string> received;
  for (const auto& r : shop.server.requests()) received.push_back(r.requestLine);
  EXPECT_EQ(received, expected);
}

INSTANTIATE_TEST_SUITE_P(ThreadsRegion, ProductCheckRequests,
                         ::testing::Values(RequestCase{"ThreeLevels", "北京-1#朝阳区-72+三环以内-2799",
                                                       "1_72_2799"},
                                           RequestCase{"WithoutMarkers", "没有标记", "__"}),
                         [](const ::testing::TestParamInfo<RequestCase>& p) { return p.param.name; });

using ThreadsProductCheckGate = WatchFixture;

TEST_F(ThreadsProductCheckGate, RunningZeroLeavesTheRowUntouched) {
  shop.setDefault(inStock(g("现货"), "1.00"));
  int number = addRow(tk, RowValues{});
  tk.setCell(kWatchList, number - 1, WatchColumn::Status, g("导入记录"));
  std::vector<Text> before;
  for (int column = 0; column < kWatchColumnCount; ++column) before.push_back(tk.cell(kWatchList, 0, column));

  program.monitor.running = 0;
  runOnWorker([&] { ProductCheck(program, number); });

  std::vector<Text> after;
  for (int column = 0; column < kWatchColumnCount; ++column) after.push_back(tk.cell(kWatchList, 0, column));
  EXPECT_EQ(after, before);
  EXPECT_EQ(shop.server.requestCount(), 0u);
}

TEST_F(ThreadsProductCheckGate, RowPastTheEndWritesNothing) {
  shop.setDefault(inStock(g("无货"), "1.00"));
  addRow(tk, RowValues{});
  program.monitor.running = 1;
  runOnWorker([&] { ProductCheck(program, 5); });
  EXPECT_EQ(tk.rowCount(kWatchList), 1);
  EXPECT_EQ(tk.cell(kWatchList, 0, WatchColumn::Status), "");
  EXPECT_EQ(tk.cell(kWatchList, 0, WatchColumn::PcPrice), "");
}

}  // namespace
}  // namespace qm::test
