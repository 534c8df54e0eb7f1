// The pure helpers and the GBK conversion from many threads at once: every thread
// must get exactly what one thread alone gets.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/run_dir.h"
#include "text/gbk.h"
#include "text/text.h"

namespace qm {
namespace {

using test::g;

// One product check's worth of parsing over a reply, folded into one text.
std::string parseReply(const std::string& reply) {
  std::string r;
  r += textBetween(reply, "\"p\":\"", "\"") + "|";
  r += textBetween(reply, g("#引号StockStateName#引号:#引号"), g("#引号")) + "|";
  r += integerToText(findText(reply, "\"m\"")) + "|";
  r += integerToText(findLastText(reply, "\"")) + "|";
  r += textBefore(reply, "(") + "|" + textAfterLast(reply, ")") + "|";
  r += replaceText(reply, "\"", "'", 1, std::nullopt, true) + "|";
  for (const auto& piece : splitText(reply, ",")) r += trimSpaces(piece) + ";";
  r += toUpperText(reply) + toLowerText(reply);
  r += integerToText(textToInteger(textBetween(reply, "\"id\":", ","))) + "|";
  r += std::to_string(textToNumber(textBetween(reply, "\"p\":\"", "\""))) + "|";
  r += integerToText(hexValue("FF80c0"));
  r += utf8ToGbk(gbkToUtf8(reply));
  r += utf16ToGbk(gbkToUtf16(reply + "\x80\xAA\xA1\xFF"));
  return r;
}

TEST(ThreadsText, HelpersGiveTheSameResultsOnEveryThread) {
  std::vector<std::string> replies;
  for (int i = 0; i < 8; ++i) {
    replies.push_back("jQuery" + std::to_string(i) + "([{\"id\":" + std::to_string(1000 + i) + ",\"p\":\"" +
                      std::to_string(10 + i) + ".50\",\"m\":\"20.00\"," +
                      g("\"StockStateName\":\"现货\", \"name\":\"京东　商品\"") + "}])");
  }
  std::vector<std::string> expected;
  for (const auto& r : replies) expected.push_back(parseReply(r));

  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const size_t k = static_cast<size_t>(t + round) % replies.size();
        if (parseReply(replies[k]) != expected[k]) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(textBetween(replies[3], "\"p\":\"", "\""), "13.50");
  EXPECT_EQ(textBetween(replies[3], g("#引号StockStateName#引号:#引号"), g("#引号")), g("现货"));
}

}  // namespace
}  // namespace qm
