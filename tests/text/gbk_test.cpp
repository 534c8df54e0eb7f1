// The GBK conversion: round trips, "?" for what has no form, the user-defined areas.
#include <gtest/gtest.h>

#include <string>

#include "text/gbk.h"

namespace qm {
namespace {

TEST(Gbk, Utf8Table) {
  struct Case {
    const char* name;
    std::string utf8, gbk;
  };
  const Case cases[] = {
      {"ASCII", "abc 123", "abc 123"},
      {"empty", "", ""},
      {"Chinese", "中文", "\xD6\xD0\xCE\xC4"},
      {"mixed", "价格:12元", "\xBC\xDB\xB8\xF1:12\xD4\xAA"},
      {"ideographic space", "\xE3\x80\x80", "\xA1\xA1"},
      {"full-width digit", "１", "\xA3\xB1"},
      {"euro sign is 0x80", "\xE2\x82\xAC", "\x80"},
      {"first user-defined unit", "\xEE\x80\x80", "\xAA\xA1"},
      {"last of rows AA-AF", "\xEE\x88\xB3", "\xAF\xFE"},
      {"first of rows F8-FE", "\xEE\x88\xB4", "\xF8\xA1"},
      {"last of rows F8-FE", "\xEE\x93\x85", "\xFE\xFE"},
      {"first of rows A1-A7", "\xEE\x93\x86", "\xA1\x40"},
      {"before the gap at 7F", "\xEE\x94\x84", "\xA1\x7E"},
      {"after the gap at 7F", "\xEE\x94\x85", "\xA1\x80"},
      {"last of rows A1-A7", "\xEE\x9D\xA5", "\xA7\xA0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.name;
    EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8) << c.name;
  }
}

TEST(Gbk, NoFormGivesQuestionMark) {
  struct Case {
    const char* name;
    std::string utf8, gbk;
  };
  const Case cases[] = {
      {"superscript two is no best fit", "x\xC2\xB2y", "x?y"},
      {"cent sign", "\xC2\xA2", "?"},
      {"emoji is one question mark",
       "a\xF0\x9F\x98\x80"
       "b",
       "a?b"},
      {"private use past the user areas", "\xEE\x9D\xA6", "?"},
      {"invalid UTF-8 byte",
       "a\xFF"
       "b",
       "a?b"},
      {"truncated UTF-8", "a\xE4\xB8", "a?"},
      {"several in a row", "\xC2\xB2\xC2\xB3", "??"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.name;

  EXPECT_EQ(utf16ToGbk(std::u16string{u'a', char16_t(0xD800), u'b'}), "a?b") << "lone surrogate";
  EXPECT_EQ(utf16ToGbk(std::u16string{char16_t(0xDC00)}), "?") << "lone low surrogate";
}

TEST(Gbk, InvalidSequencesGiveQuestionMarkAndGoOn) {
  struct Case {
    const char* name;
    std::string gbk;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"lead byte at the end", "ab\xD6", u"ab?"},
      {"lead byte then ASCII control", "\xD6\x20x", u"? x"},
      {"lead byte then 0x7F", "\xD6\x7Fx", u"?\x7Fx"},
      {"0xFF", "a\xFFz", u"a?z"},
      {"valid after invalid",
       "\xD6"
       "\x0A\xD6\xD0",
       u"?\n\u4E2D"},
      {"undefined pair", "\xA2\xABz", u"?z"},
      {"0x80 is the euro sign", "\x80", u"\u20AC"},
      {"0x80 between characters", "\xD6\xD0\x80\xCE\xC4", u"\u4E2D\u20AC\u6587"},
  };
  for (const auto& c : cases) EXPECT_EQ(gbkToUtf16(c.gbk), c.utf16) << c.name;
}

TEST(Gbk, EveryTwoByteCodeRoundTripsOrGivesOneQuestionMark) {
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string u = gbkToUtf16(code);
      ASSERT_EQ(u.size(), 1u) << std::hex << lead << " " << trail;
      if (u == u"?") continue;
      ++mapped;
      EXPECT_EQ(utf16ToGbk(u), code) << std::hex << lead << " " << trail;
    }
  // GBK's 21,886 characters and the 1,894 user-defined codes.
  EXPECT_GT(mapped, 21886 + 1894 - 100);
}

TEST(Gbk, MacroConvertsOnce) {
  const std::string& a = QM_GBK("京东");
  EXPECT_EQ(a, "\xBE\xA9\xB6\xAB");
}

}  // namespace
}  // namespace qm
