// Table tests of the text primitives: positions, character stepping, pieces.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/run_dir.h"
#include "text/text.h"

namespace qm {
namespace {

using test::g;

// Raw GBK bytes used throughout: B0 41 is one two-byte character whose second byte
// is the letter "A"; D6 D0 is 中; A1 A1 is the ideographic space.
const std::string kTrailA = "\xB0\x41";
const std::string kZhong = "\xD6\xD0";
const std::string kIdeoSpace = "\xA1\xA1";

struct FindCase {
  const char* name;
  std::string t;
  std::string s;
  std::optional<int64_t> start;
  bool ignoreCase;
  int64_t expected;
};

TEST(TextFind, FirstOccurrence) {
  const FindCase cases[] = {
      {"whole text", "abcabc", "bc", std::nullopt, false, 2},
      {"start zero searches all", "abcabc", "bc", 0, false, 2},
      {"negative start searches all", "abcabc", "bc", -5, false, 2},
      {"start one", "abcabc", "a", 1, false, 1},
      {"start skips first", "abcabc", "bc", 3, false, 5},
      {"start at last byte", "abcabc", "c", 6, false, 6},
      {"start past end", "abcabc", "c", 7, false, -1},
      {"start far past end", "abc", "a", 1000, false, -1},
      {"not found", "abcabc", "x", std::nullopt, false, -1},
      {"sought longer than text", "ab", "abc", std::nullopt, false, -1},
      {"match ending the text", "abc", "bc", std::nullopt, false, 2},
      {"empty text", "", "a", std::nullopt, false, -1},
      {"case differs", "ABC", "b", std::nullopt, false, -1},
      {"ignore case", "ABC", "b", std::nullopt, true, 2},
      {"ignore case mixed", "xHeLLo", "hello", std::nullopt, true, 2},
      {"ignore case leaves high bytes", "\xC1\xE1", "\xC1\xC1", std::nullopt, true, -1},
      {"match on second byte never found", kTrailA + "B", "AB", std::nullopt, false, -1},
      {"match on second byte, later real one", kTrailA + "BAB", "AB", std::nullopt, false, 4},
      {"ignore case on second byte", kTrailA + "b", "ab", std::nullopt, true, -1},
      {"two-byte match", "x" + kZhong + "y", kZhong, std::nullopt, false, 2},
      {"start inside two-byte char is a char start", kTrailA + "B", "AB", 2, false, 2},
      {"start inside char shifts stepping",
       "\xB0\xB0\x41"
       "B",
       "AB", 2, false, -1},
      {"lead byte last ends scan", "a\xB0", "\xB0", std::nullopt, false, 2},
      {"lone lead at end", "\xB0", "x", std::nullopt, false, -1},
      {"dense GBK", kZhong + kZhong + "\xD0\xD6", "\xD0\xD6", std::nullopt, false, 5},
      {"dense GBK misaligned", kZhong + kZhong, "\xD0\xD6", std::nullopt, false, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(findText(c.t, c.s, c.start, c.ignoreCase), c.expected) << c.name;
}

TEST(TextFind, LastOccurrence) {
  const FindCase cases[] = {
      {"whole text", "abcabc", "bc", std::nullopt, false, 5},
      {"overlapping run", "aaa", "aa", std::nullopt, false, 2},
      {"overlapping run of four", "aaaa", "aa", std::nullopt, false, 3},
      {"start zero sees nothing", "abcabc", "a", 0, false, -1},
      {"start one sees nothing", "abcabc", "a", 1, false, -1},
      {"negative start sees nothing", "abcabc", "a", -3, false, -1},
      {"occurrence ending on start byte not seen", "abcabc", "bc", 6, false, 2},
      {"occurrence ending before start seen", "abcabc", "bc", 7, false, 5},
      {"start far past end", "abcabc", "bc", 100, false, 5},
      {"none", "abc", "x", std::nullopt, false, -1},
      {"second byte never found", "AB" + kTrailA + "B", "AB", std::nullopt, false, 1},
      {"ignore case", "aBcAbC", "ABC", std::nullopt, true, 4},
      {"ignore case overlapping", "AaA", "aa", std::nullopt, true, 2},
      {"two-byte sought", kZhong + "x" + kZhong, kZhong, std::nullopt, false, 4},
      {"lead byte last", "\xB0\x41\xB0", "\xB0", std::nullopt, false, 3},
  };
  for (const auto& c : cases) EXPECT_EQ(findLastText(c.t, c.s, c.start, c.ignoreCase), c.expected) << c.name;
}

TEST(TextFind, EmptySoughtFindsNothing) {
  EXPECT_EQ(findText("abc", ""), -1);
  EXPECT_EQ(findLastText("abc", ""), -1);
}

std::string repeat(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// Long inputs where the byte search keeps finding the sought bytes on second bytes
// or in overlapping runs, so that the search changes method part way.
TEST(TextFind, LongRunsAndManyFalseCandidates) {
  const std::string misaligned = repeat(
      "\xB0"
      "AB",
      60);  // "AB" only after a lead byte
  const std::string as = std::string(200, 'a');
  EXPECT_EQ(findText(misaligned, "AB"), -1);
  EXPECT_EQ(findText(misaligned + "AB", "AB"), 181);
  EXPECT_EQ(findText(misaligned + "ab", "AB", std::nullopt, true), 181);
  EXPECT_EQ(findText(misaligned + "AB", "AB", 2), 2);
  EXPECT_EQ(findLastText(misaligned, "AB"), -1);
  EXPECT_EQ(findLastText("AB" + misaligned, "AB"), 1);
  EXPECT_EQ(findLastText(as, "aaa"), 198);
  EXPECT_EQ(findLastText(as, "AAA", std::nullopt, true), 198);
  EXPECT_EQ(findLastText(as, "aaa", 101), 98);
  EXPECT_EQ(findLastText(repeat("\xB0\xB0", 100), "\xB0\xB0\xB0"), 197);
  const std::string pairs = repeat(
      "\xB0"
      "A",
      100);  // "A\xB0A\xB0..." only misaligned
  EXPECT_EQ(findText(pairs,
                     "A\xB0"
                     "A\xB0"
                     "A\xB0"),
            -1);
  EXPECT_EQ(findText(pairs + "xA\xB0"
                             "A\xB0"
                             "A\xB0",
                     "A\xB0"
                     "A\xB0"
                     "A\xB0"),
            202);
  EXPECT_EQ(findText(pairs + "xa\xB0"
                             "A\xB0"
                             "a\xB0",
                     "A\xB0"
                     "a\xB0"
                     "A\xB0",
                     std::nullopt, true),
            202);
  EXPECT_EQ(findLastText("A\xB0"
                         "A\xB0"
                         "A\xB0"
                         "x" +
                             pairs,
                         "A\xB0"
                         "A\xB0"
                         "A\xB0"),
            1);
  EXPECT_EQ(findText(repeat("\xB0\xB0", 100) + "x", "\xB0x"), -1);
  EXPECT_EQ(findText(repeat("\xB0\xB0", 100) + "\xB0x", "\xB0x"), 201);
  EXPECT_EQ(replaceText(misaligned + "AB", "AB", "x"), misaligned + "x");
  EXPECT_EQ(replaceText(as, "aa", "b"), std::string(100, 'b'));
  EXPECT_EQ(replaceText(as + "a", "AA", "b", 1, std::nullopt, true), std::string(100, 'b') + "a");
  EXPECT_EQ(replaceText(as, "aa", "b", 1, 7), std::string(7, 'b') + std::string(186, 'a'));
  EXPECT_EQ(splitText(misaligned + "AB" + "x", "AB"), (TextList{misaligned, "x"}));
  EXPECT_EQ(splitText(as, "aa").size(), 100u);
}

TEST(TextCut, LeftRightMid) {
  struct Case {
    const char* name;
    std::string got;
    std::string expected;
  };
  const std::string t = "ab" + kZhong + "cd";  // 6 bytes
  const Case cases[] = {
      {"left 0", leftText(t, 0), ""},
      {"left negative", leftText(t, -1), ""},
      {"left 3 cuts a char", leftText(t, 3), "ab\xD6"},
      {"left all", leftText(t, 6), t},
      {"left past end", leftText(t, 99), t},
      {"right 0", rightText(t, 0), ""},
      {"right negative", rightText(t, -2), ""},
      {"right 3 cuts a char", rightText(t, 3),
       "\xD0"
       "cd"},
      {"right past end", rightText(t, 99), t},
      {"mid start 0", midText(t, 0, 3), ""},
      {"mid start 1", midText(t, 1, 2), "ab"},
      {"mid last byte", midText(t, 6, 1), "d"},
      {"mid past end", midText(t, 7, 1), ""},
      {"mid count 0", midText(t, 2, 0), ""},
      {"mid count negative", midText(t, 2, -1), ""},
      {"mid count past end", midText(t, 4, 100),
       "\xD0"
       "cd"},
      {"mid of empty", midText("", 1, 1), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
  EXPECT_EQ(textLength(t), 6);
  EXPECT_EQ(textLength(""), 0);
}

TEST(TextReplace, Table) {
  struct Case {
    const char* name;
    std::string t, oldText, newText;
    int64_t start;
    std::optional<int64_t> count;
    bool ignoreCase;
    std::string expected;
  };
  const Case cases[] = {
      {"all", "a-b-c", "-", "+", 1, std::nullopt, false, "a+b+c"},
      {"remove", "a-b-c", "-", "", 1, std::nullopt, false, "abc"},
      {"count one", "a-b-c", "-", "+", 1, 1, false, "a+b-c"},
      {"count zero", "a-b-c", "-", "+", 1, 0, false, "a-b-c"},
      {"negative count is all", "a-b-c", "-", "+", 1, -1, false, "a+b+c"},
      {"start skips", "a-b-c", "-", "+", 3, std::nullopt, false, "a-b+c"},
      {"start on occurrence", "a-b-c", "-", "+", 2, std::nullopt, false, "a+b+c"},
      {"start 0", "-a", "-", "+", 0, std::nullopt, false, "+a"},
      {"start past end", "a-b", "-", "+", 4, std::nullopt, false, "a-b"},
      {"empty text", "", "-", "+", 1, std::nullopt, false, ""},
      {"empty old", "abc", "", "+", 1, std::nullopt, false, "abc"},
      {"no overlap", "aaaa", "aa", "b", 1, std::nullopt, false, "bb"},
      {"odd run", "aaa", "aa", "b", 1, std::nullopt, false, "ba"},
      {"replacement not searched again", "ab", "a", "aa", 1, std::nullopt, false, "aab"},
      {"ignore case", "xAx", "a", "b", 1, std::nullopt, true, "xbx"},
      {"case sensitive", "xAx", "a", "b", 1, std::nullopt, false, "xAx"},
      {"second byte kept", kTrailA + "A", "A", "z", 1, std::nullopt, false, kTrailA + "z"},
      {"start inside char", kTrailA + "A", "A", "z", 2, std::nullopt, false, "\xB0zz"},
      {"lone lead at end", "A\xB0", "A", "z", 1, std::nullopt, false, "z\xB0"},
      {"GBK", g("价格：12"), g("："), ":", 1, std::nullopt, false, g("价格:12")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(replaceText(c.t, c.oldText, c.newText, c.start, c.count, c.ignoreCase), c.expected) << c.name;
}

TEST(TextSplit, Table) {
  struct Case {
    const char* name;
    std::string t, sep;
    TextList expected;
  };
  const Case cases[] = {
      {"empty", "", ",", {}},
      {"no sep", "abc", ",", {"abc"}},
      {"pieces", "a,b,c", ",", {"a", "b", "c"}},
      {"trailing sep gives no empty piece", "a,b,", ",", {"a", "b"}},
      {"record lines", "l1\r\nl2\r\n", "\r\n", {"l1", "l2"}},
      {"blank line in the middle", "l1\r\n\r\nl3\r\n", "\r\n", {"l1", "", "l3"}},
      {"just the separator", "\r\n", "\r\n", {""}},
      {"two separators", ",,", ",", {"", ""}},
      {"leading sep", ",a", ",", {"", "a"}},
      {"sep on second byte ignored", kTrailA + "A", "A", {kTrailA}},
      {"GBK separator", "a" + kZhong + "b", kZhong, {"a", "b"}},
      {"multi-byte sep, no overlap", "aaa", "aa", {"", "a"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitText(c.t, c.sep), c.expected) << c.name;
}

TEST(TextTrim, Table) {
  struct Case {
    const char* name;
    std::string t, expected;
  };
  const Case cases[] = {
      {"nothing", "abc", "abc"},
      {"spaces", "  abc  ", "abc"},
      {"ideographic spaces", kIdeoSpace + "abc" + kIdeoSpace + kIdeoSpace, "abc"},
      {"mixed", " " + kIdeoSpace + " a b " + kIdeoSpace, "a b"},
      {"tab stays", "\tabc\t", "\tabc\t"},
      {"tab inside spaces", " \t a \t ", "\t a \t"},
      {"CR LF stay", "\r\nabc\r\n", "\r\nabc\r\n"},
      {"only spaces", "  " + kIdeoSpace, ""},
      {"empty", "", ""},
      {"char ending in A1 before space", "\xB0\xA1" + kIdeoSpace, "\xB0\xA1"},
      {"char ending in A1, lone lead", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      {"space as second byte stays", "x\x81 ", "x\x81 "},
      {"inner ideographic space", "a" + kIdeoSpace + "b", "a" + kIdeoSpace + "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(trimSpaces(c.t), c.expected) << c.name;
}

TEST(TextCase, UpperLower) {
  EXPECT_EQ(toUpperText("abc-XYZ-09"), "ABC-XYZ-09");
  EXPECT_EQ(toLowerText("abc-XYZ-09"), "abc-xyz-09");
  // Second bytes that spell letters stay as they are.
  EXPECT_EQ(toUpperText("\xB0\x61"
                        "a"),
            "\xB0\x61"
            "A");
  EXPECT_EQ(toLowerText("\xB0\x41"
                        "A"),
            "\xB0\x41"
            "a");
  EXPECT_EQ(toUpperText("a\xB0"), "A\xB0");
  EXPECT_EQ(toUpperText(""), "");
}

TEST(TextBytes, ToTextAndIntegers) {
  EXPECT_EQ(bytesToText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(bytesToText(std::string("\0ab", 3)), "");
  EXPECT_EQ(bytesToText("abc"), "abc");
  EXPECT_EQ(bytesToText(""), "");
  EXPECT_EQ(integerToText(0), "0");
  EXPECT_EQ(integerToText(42), "42");
  EXPECT_EQ(integerToText(-7), "-7");
  EXPECT_EQ(integerToText(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(integerToText(INT64_MAX), "9223372036854775807");
}

}  // namespace
}  // namespace qm
