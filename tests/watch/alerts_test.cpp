// Alerts: the balloon and its time of day, the halt step, the sound step through
// libout123's wav output, and the mail loop against a real SMTP server.
#include <gtest/gtest.h>

#include <QTest>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "alert_peers.h"
#include "text/gbk.h"
#include "toolkit/balloon_tip.h"
#include "watch/alerts.h"
#include "watch_fixture.h"

namespace qm::test {
namespace {

TEST(TimeOfDayText, DropsZeroPartsFromTheRight) {
  struct {
    int hour, minute, second;
    const char* expected;
  } cases[] = {
      {0, 0, 0, ""},      {9, 0, 0, "9时"},       {9, 5, 0, "9时5分"}, {9, 5, 7, "9时5分7秒"},
      {12, 0, 0, "12时"}, {0, 0, 7, "0时0分7秒"}, {0, 5, 0, "0时5分"}, {23, 59, 59, "23时59分59秒"},
  };
  for (const auto& c : cases) {
    LocalClock clock{2026, 3, 4, c.hour, c.minute, c.second};
    EXPECT_EQ(gbkToUtf8(timeOfDayText(clock)), c.expected) << c.hour << ":" << c.minute << ":" << c.second;
  }
  EXPECT_EQ(gbkToUtf8(dateTimeText({2026, 3, 4, 9, 5, 7})), "2026年3月4日9时5分7秒");
  EXPECT_EQ(gbkToUtf8(dateTimeText({2026, 12, 31, 0, 0, 0})), "2026年12月31日");
}

// The balloon's text, place and auto-hide, at chosen times of day.
using ThreadsAlertBalloon = WatchFixture;

TEST_F(ThreadsAlertBalloon, ShowsTheKindsTextAtTheLowerRight) {
  tk.setCheckState("选择框有货停止", 0);
  tk.setCheckState("选择框音乐提醒", 0);
  tk.setCheckState("选择框邮件提醒", 0);
  addRow(tk, RowValues{});
  struct {
    AlertKind kind;
    LocalClock clock;
    const char* expected;
  } cases[] = {
      {AlertKind::PriceAlert, {2026, 5, 1, 12, 0, 0}, "【12时】价格变化了！\r\n"},
      {AlertKind::PriceAlert, {2026, 5, 1, 12, 5, 0}, "【12时5分】价格变化了！\r\n"},
      {AlertKind::PriceAlert, {2026, 5, 1, 0, 0, 0}, "【】价格变化了！\r\n"},
      {AlertKind::StockAlert, {2026, 5, 1, 9, 5, 7}, "【9时5分7秒】现货，发货快\r\n"},
  };
  ASSERT_NE(balloon(), nullptr);
  for (const auto& c : cases) {
    runOnWorker([&] { raiseAlert(program, c.kind, 1, g("现货，发货快"), c.clock); });
    EXPECT_EQ(balloon()->text(), QString::fromUtf8(c.expected));
    EXPECT_EQ(balloon()->tailPoint(), QPoint(tk.screenWidth() - 10, tk.screenHeight() - 30));
    EXPECT_TRUE(balloon()->autoHideActive());
    EXPECT_EQ(balloon()->icon(), -1);
  }
}

struct HaltCase {
  const char* name;
  AlertKind kind;
  int haltBox;
};
void PrintTo(const HaltCase& c, std::ostream* os) { *os << c.name; }

class AlertHalt : public WatchFixture, public ::testing::WithParamInterface<HaltCase> {};

// 选择框有货停止 halts for either kind and leaves the button as it is.
TEST_P(AlertHalt, HaltsWhenTicked) {
  const HaltCase& c = GetParam();
  tk.setCheckState("选择框有货停止", c.haltBox);
  tk.setCheckState("选择框音乐提醒", 0);
  tk.setCheckState("选择框邮件提醒", 0);
  tk.setText("编辑框监控间隔", "60");
  clickMonitorButton();  // empty list: monitoring starts, no check runs
  ASSERT_EQ(program.monitor.running.load(), 1);
  ASSERT_EQ(tk.timerPeriod("时钟商品监控"), 60000);

  runOnWorker([&] { raiseAlert(program, c.kind, 1, g("现货")); });

  EXPECT_EQ(program.monitor.running.load(), c.haltBox ? 0 : 1);
  EXPECT_EQ(tk.timerPeriod("时钟商品监控"), c.haltBox ? 0 : 60000);
  EXPECT_EQ(tk.caption("按钮商品监控"), g("停止监控"));
}

INSTANTIATE_TEST_SUITE_P(ThreadsKind, AlertHalt,
                         ::testing::Values(HaltCase{"PriceAlertHalts", AlertKind::PriceAlert, 1},
                                           HaltCase{"StockAlertHalts", AlertKind::StockAlert, 1},
                                           HaltCase{"PriceAlertUnticked", AlertKind::PriceAlert, 0},
                                           HaltCase{"StockAlertUnticked", AlertKind::StockAlert, 0}),
                         [](const ::testing::TestParamInfo<HaltCase>& p) { return p.param.name; });

class AlertSound : public WatchFixture, public ::testing::WithParamInterface<int> {};

// The sound step plays the alert sound file once, whole, through the wav output.
TEST_P(AlertSound, PlaysTheAlertSoundOnceWhenTicked) {
  const int soundBox = GetParam();
  AlertPeers peers(program, runDir);
  tk.setCheckState("选择框邮件提醒", 0);
  tk.setCheckState("选择框音乐提醒", soundBox);
  addRow(tk, RowValues{});
  runOnWorker([&] { raiseAlert(program, AlertKind::StockAlert, 1, g("现货")); });
  if (!soundBox) {
    pumpFor(300);
    EXPECT_FALSE(peers.soundPlayed());
    return;
  }
  ASSERT_TRUE(peers.waitForSound());
  // One play of the whole file: exactly its decoded length, not twice that.
  EXPECT_EQ(peers.playedFrames(), peers.alertSoundFrames());
}

INSTANTIATE_TEST_SUITE_P(ThreadsBox, AlertSound, ::testing::Values(1, 0),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return std::string(p.param ? "Ticked" : "Unticked");
                         });

struct MailCase {
  const char* name;
  bool requireLogin;
};
void PrintTo(const MailCase& c, std::ostream* os) { *os << c.name; }

class AlertMailSent : public WatchFixture, public ::testing::WithParamInterface<MailCase> {};

// The first attempt succeeds; the mail reads as sent; later alerts of the run mail
// nothing; a new run (stop and start) mails again.
TEST_P(AlertMailSent, OneMailPerMonitoringRun) {
  AlertPeers peers(program, runDir, GetParam().requireLogin ? SmtpMode::RequireLogin : SmtpMode::Accept);
  shop.setDefault(inStock(g("无货"), "99.00"));  // the passes of the start clicks alert nothing
  tk.setCheckState("选择框有货停止", 0);
  tk.setCheckState("选择框音乐提醒", 0);
  RowValues row;
  row.productId = "7654321";
  row.wished = "1";
  addRow(tk, row);
  program.endpoints.homePage = "http://127.0.0.1:9/home.html";

  clickMonitorButton();
  ASSERT_TRUE(waitForCheckWorkers());
  runOnWorker([&] { raiseAlert(program, AlertKind::PriceAlert, 1, g("现货")); });

  std::vector<ReceivedMail> mails = peers.smtp.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, g("Vantroke，提醒你，价格变化啦！"));
  EXPECT_EQ(mails[0].body, g("Vantroke，提醒你，价格变化啦！\r\n7654321\r\nhttp://127.0.0.1:9/home.html"));
  EXPECT_EQ(mails[0].envelopeFrom, peers.account);
  EXPECT_EQ(mails[0].envelopeTo, std::vector<std::string>{peers.recipient});
  EXPECT_TRUE(mails[0].defects.empty());
  if (GetParam().requireLogin) {
    std::vector<SmtpLogin> logins = peers.smtp.logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, peers.account);
    EXPECT_TRUE(logins[0].accepted);
  }
  EXPECT_EQ(program.monitor.mailDone.load(), 1);
  EXPECT_EQ(program.monitor.mailAttempts.load(), 1);

  // Later alerts of the same run, of either kind, skip the mail step.
  runOnWorker([&] { raiseAlert(program, AlertKind::StockAlert, 1, g("现货")); });
  runOnWorker([&] { raiseAlert(program, AlertKind::PriceAlert, 1, g("现货")); });
  EXPECT_EQ(peers.smtp.mails().size(), 1u);

  clickMonitorButton();  // stop: MailDone stays
  EXPECT_EQ(program.monitor.mailDone.load(), 1);
  clickMonitorButton();  // start: a new run
  ASSERT_TRUE(waitForCheckWorkers());
  EXPECT_EQ(program.monitor.mailDone.load(), 0);
  EXPECT_EQ(program.monitor.mailAttempts.load(), 0);
  runOnWorker([&] { raiseAlert(program, AlertKind::StockAlert, 1, g("现货")); });
  mails = peers.smtp.mails();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[1].subject, g("Vantroke，提醒你，有货啦！"));
  EXPECT_EQ(mails[1].body, g("Vantroke，提醒你，有货啦！\r\n7654321\r\nhttp://127.0.0.1:9/home.html"));
}

INSTANTIATE_TEST_SUITE_P(ThreadsServer, AlertMailSent,
                         ::testing::Values(MailCase{"Open", false}, MailCase{"LoginRequired", true}),
                         [](const ::testing::TestParamInfo<MailCase>& p) { return p.param.name; });

struct RefusedCase {
  const char* name;
  AlertKind kind;
  bool injectedRecipient;  // the recipient box carries CR LF and a second RCPT line
  int attempts;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class AlertMailRefused : public WatchFixture, public ::testing::WithParamInterface<RefusedCase> {};

// Every attempt fails: the loop gives up after its limit, and nothing more is tried
// in the run. A recipient with CR LF never reaches the server as a command.
TEST_P(AlertMailRefused, GivesUpAfterTheLimit) {
  const RefusedCase& c = GetParam();
  AlertPeers peers(program, runDir, c.injectedRecipient ? SmtpMode::Accept : SmtpMode::RejectRecipients);
  tk.setCheckState("选择框有货停止", 0);
  tk.setCheckState("选择框音乐提醒", 0);
  if (c.injectedRecipient)
    tk.setText("编辑框收邮件地址", "user@example.test\r\nRCPT TO:<intruder@example.test>");
  addRow(tk, RowValues{});
  program.monitor.running = 1;

  runOnWorker([&] { raiseAlert(program, c.kind, 1, g("现货")); });

  EXPECT_EQ(program.monitor.mailDone.load(), 1);
  EXPECT_EQ(program.monitor.mailAttempts.load(), c.attempts - 1);
  EXPECT_TRUE(peers.smtp.mails().empty());
  // The injected line never reaches the server: no command carries it.
  for (const SmtpCommand& command : peers.smtp.commands())
    EXPECT_EQ(command.argument.find("intruder"), std::string::npos) << command.verb;
  // Every attempt connects; the injected recipient is refused before any mail
  // transaction starts.
  EXPECT_EQ(peers.smtp.connections(), c.attempts);
  int transactions = peers.mailTransactions();
  EXPECT_EQ(transactions, c.injectedRecipient ? 0 : c.attempts);

  // Given up for the rest of the run.
  runOnWorker([&] { raiseAlert(program, AlertKind::PriceAlert, 1, g("现货")); });
  EXPECT_EQ(peers.smtp.connections(), c.attempts);
  EXPECT_EQ(peers.mailTransactions(), transactions);
}

INSTANTIATE_TEST_SUITE_P(ThreadsServer, AlertMailRefused,
                         ::testing::Values(RefusedCase{"PriceAlert", AlertKind::PriceAlert, false, 6},
                                           RefusedCase{"StockAlert", AlertKind::StockAlert, false, 11},
                                           RefusedCase{"InjectedRecipient", AlertKind::PriceAlert, true, 6}),
                         [](const ::testing::TestParamInfo<RefusedCase>& p) { return p.param.name; });

// Two alerts at once: while the first one's mail loop holds AlertLock, the second
// shows its balloon but its sound waits; its mail step then finds MailDone set.
using ThreadsAlertLock = WatchFixture;

TEST_F(ThreadsAlertLock, SecondAlertWaitsForTheFirstMailLoop) {
  AlertPeers peers(program, runDir, SmtpMode::RejectRecipients);
  tk.setCheckState("选择框有货停止", 0);
  addRow(tk, RowValues{});
  addRow(tk, RowValues{});
  program.monitor.running = 1;

  Worker first([&] { raiseAlert(program, AlertKind::PriceAlert, 1, g("现货")); });
  ASSERT_TRUE(peers.waitForSound());  // the first alert's sound has played
  ASSERT_TRUE(pumpUntil([&] { return peers.mailTransactions() >= 1; }, 10000));
  peers.forgetSound();
  Worker second([&] { raiseAlert(program, AlertKind::StockAlert, 2, g("第二行有货")); });
  EXPECT_TRUE(pumpUntil([&] { return balloon()->text().contains(QStringLiteral("第二行有货")); }, 5000));
  // The second alert's sound starts only once the first loop has made all its
  // attempts (and paused after the last one).
  ASSERT_TRUE(pumpUntil([&] { return peers.soundPlayed(); }, 60000));
  EXPECT_EQ(peers.mailTransactions(), 6);
  EXPECT_TRUE(peers.waitForSound());
  first.join();
  second.join();
  EXPECT_EQ(peers.mailTransactions(), 6);  // the second alert did not mail
}

}  // namespace
}  // namespace qm::test
