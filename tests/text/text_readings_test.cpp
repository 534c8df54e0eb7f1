// Table tests of the number readings and the extraction helpers.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "support/run_dir.h"
#include "text/text.h"

namespace qm {
namespace {

using test::g;

TEST(TextReadings, Integer) {
  struct Case {
    const char* name;
    std::string t;
    int32_t expected;
  };
  const Case cases[] = {
      {"plain", "123", 123},
      {"sign minus", "-45", -45},
      {"sign plus", "+45", 45},
      {"leading white space", " \t\r\n\v\f12", 12},
      {"trailing garbage", "12abc", 12},
      {"stops at point", "12.9", 12},
      {"no digits", "abc", 0},
      {"empty", "", 0},
      {"sign only", "-", 0},
      {"space after sign", "- 3", 0},
      {"full-width digits", g("１２３"), 123},
      {"full-width sign", g("－７"), -7},
      {"ideographic space skipped", g("\xe3\x80\x80") + "5", 5},
      {"GBK char stops", g("中") + "5", 0},
      {"digits then GBK", "5" + g("元"), 5},
      {"saturates high", "99999999999", INT32_MAX},
      {"saturates low", "-99999999999", INT32_MIN},
      {"int32 min", "-2147483648", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(textToInteger(c.t), c.expected) << c.name;
}

struct NumberCase {
  const char* name;
  std::string t;
  double expected;
};

const NumberCase kNumberCases[] = {
    {"half", "0.5", 0.5},
    {"exponent", "1e3", 1000.0},
    {"exponent upper signed", "2.5E-2", 0.025},
    {"exponent plus", "1e+2", 100.0},
    {"exponent without digits", "1e", 1.0},
    {"exponent sign without digits", "1e+", 1.0},
    {"empty", "", 0.0},
    {"price then quote", "12.50\"", 12.5},
    {"trailing garbage", "3.25abc", 3.25},
    {"two points", "1.2.3", 1.2},
    {"point without fraction", "7.", 7.0},
    {"point first", ".5", 0.5},
    {"point alone", ".", 0.0},
    {"negative", "-8.75", -8.75},
    {"plus", "+8.75", 8.75},
    {"leading white space", "\t 42", 42.0},
    {"letters first", "abc1", 0.0},
    {"hex is not read", "0x10", 0.0},
    {"inf is not read", "inf", 0.0},
    {"nan is not read", "nan", 0.0},
    {"comma is no point", "1,5", 1.0},
    {"full-width", g("１２．５"), 12.5},
    {"full-width exponent", g("１ｅ２"), 100.0},
    {"huge", "1e400", HUGE_VAL},
    {"tiny", "1e-400", 0.0},
    {"negative huge", "-1e400", -HUGE_VAL},
    {"long mantissa", "123456789012345678901234567890", 1.2345678901234568e29},
};

TEST(TextReadings, Number) {
  for (const auto& c : kNumberCases) EXPECT_EQ(textToNumber(c.t), c.expected) << c.name;
}

TEST(TextReadings, NumberIgnoresTheLocale) {
  // A locale whose decimal point is a comma must not change the reading.
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      chosen = name;
      break;
    }
  if (chosen == nullptr) {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "no locale with a comma decimal point is installed";
  }
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  for (const auto& c : kNumberCases) EXPECT_EQ(textToNumber(c.t), c.expected) << c.name << " in " << chosen;
  std::setlocale(LC_NUMERIC, "C");
}

TEST(TextReadings, Hex) {
  struct Case {
    const char* name;
    std::string t;
    int64_t expected;
  };
  const Case cases[] = {
      {"FFFFFF", "FFFFFF", 16777215},
      {"ffffff", "ffffff", 16777215},
      {"mixed case", "aBcD", 0xABCD},
      {"two digits", "7f", 127},
      {"zero", "00", 0},
      {"empty", "", 0},
      {"other ASCII counts -2", "G", -2},
      {"-2 inside", "1G", 14},
      {"space", " 1", -31},
      {"non-ASCII byte counts -2", "\xB0", -2},
      {"digits", "0123456789", 0x123456789},
  };
  for (const auto& c : cases) EXPECT_EQ(hexValue(c.t), c.expected) << c.name;
}

TEST(TextExtract, BeforeAfterBetween) {
  struct Case {
    const char* name;
    std::string got, expected;
  };
  const std::string q = g("#引号");
  const Case cases[] = {
      {"before", textBefore("key=value", "="), "key"},
      {"before, text begins with marker", textBefore("=value", "="), ""},
      {"before, no marker", textBefore("value", "="), ""},
      {"before, first of two", textBefore("a=b=c", "="), "a"},
      {"before, marker on second byte", textBefore("\xB0=x=", "="), "\xB0=x"},
      {"after last", textAfterLast("a/b/c", "/"), "c"},
      {"after last, ends with marker", textAfterLast("a/b/", "/"), ""},
      {"after last, no marker", textAfterLast("abc", "/"), ""},
      {"after last, overlapping", textAfterLast("xaaay", "aa"), "y"},
      {"between", textBetween("[\"p\":\"12.50\"]", "\"p\":\"", "\""), "12.50"},
      {"between, quote rule", textBetween("{\"p\":\"12.50\"}", q + "p" + q + ":" + q, q), "12.50"},
      {"between, quote rule twice", textBetween("a\"\"b\"\"c", q + q, q + q), "b"},
      {"between, adjacent markers", textBetween("ab", "a", "b"), ""},
      {"between, left marker last", textBetween("xxab", "ab", "x"), ""},
      {"between, right only before left", textBetween("]x[y", "[", "]"), ""},
      {"between, no left", textBetween("abc", "[", "]"), ""},
      {"between, no right", textBetween("[abc", "[", "]"), ""},
      {"between, first left", textBetween("[a][b]", "[", "]"), "a"},
      {"between, case sensitive", textBetween("<A>x</a>", "<a>", "</a>"), ""},
      {"between, GBK", textBetween(g("名称：京东】"), g("："), g("】")), g("京东")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
}

TEST(TextExtract, AllTextsBetween) {
  struct Case {
    const char* name;
    std::string t, left, right;
    TextList expected;
    int passes;  // passes that found both markers
  };
  const Case cases[] = {
      {"in order", "<a>1</a><a>2</a>", "<a>", "</a>", {"1", "2"}, 2},
      {"empty pieces dropped", "<a></a><a> </a><a>x</a>", "<a>", "</a>", {"x"}, 3},
      {"ideographic spaces trimmed",
       "[\xA1\xA1"
       "a\xA1\xA1]",
       "[",
       "]",
       {"a"},
       1},
      {"ignore case", "<A>1</A><a>2</a>", "<a>", "</a>", {"1", "2"}, 2},
      {"none", "abc", "<", ">", {}, 0},
      {"no right", "<abc", "<", ">", {}, 0},
      {"left marker ends text", "x<", "<", ">", {}, 0},
      {"next left may begin in right marker", "|a|b|", "|", "|", {"a", "b"}, 2},
      {"pieces keep inner spaces", "( a b )", "(", ")", {"a b"}, 1},
      {"piece may hold a left marker", "(  (x)", "(", ")", {"(x"}, 1},
      {"region reply",
       "{\"id\":\"1\",\"name\":\"" + g("北京") + "\"},{\"id\":\"2\",\"name\":\"" + g("上海") + "\"}",
       "\"name\":\"",
       "\"",
       {g("北京"), g("上海")},
       2},
  };
  for (const auto& c : cases) {
    TextList list{"stale"};
    int calls = 0;
    const int64_t n = allTextsBetween(c.t, c.left, c.right, list, [&] { ++calls; });
    EXPECT_EQ(list, c.expected) << c.name;
    EXPECT_EQ(n, static_cast<int64_t>(c.expected.size())) << c.name;
    EXPECT_EQ(calls, 3 * c.passes) << c.name;
  }
}

TEST(TextExtract, AllTextsBetweenWithoutHandler) {
  TextList list;
  EXPECT_EQ(allTextsBetween("[a][b]", "[", "]", list), 2);
  EXPECT_EQ(list, (TextList{"a", "b"}));
}

}  // namespace
}  // namespace qm
