// The GBK conversion: round trips, "?" for what has no form, the user-defined areas.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <cstdio>
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
      {"first unassigned symbol code", "\xEE\x9D\xA6", "\xA2\xAB"},
      {"unassigned code in row D7", "\xEE\xA0\x90", "\xD7\xFA"},
      {"last unassigned symbol code", "\xEE\xA1\xA4", "\xFE\xA0"},
      {"byte FF", "\xEF\xA3\xB5", "\xFF"},
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
      {"each unit of a surrogate pair",
       "a\xF0\x9F\x98\x80"
       "b",
       "a??b"},
      {"private use past the mapped ones", "\xEE\xA1\xA5", "?"},
      {"private use far past", "\xEF\xA3\xB4", "?"},
      {"katakana middle dot is no best fit", "\xE3\x83\xBB", "?"},
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
  // A lead byte takes the byte after it, whatever it is, as code page 936 does.
  const Case cases[] = {
      {"lead byte at the end", "ab\xD6", u"ab?"},
      {"lead byte takes a space", "\xD6\x20x", u"?x"},
      {"lead byte takes 0x7F", "\xD6\x7Fx", u"?x"},
      {"lead byte takes 0xFF", "\xD6\xFFx", u"?x"},
      {"lead byte takes a lead byte", "\xD6\xD6\xD0", u"\u79CD?"},
      {"lead byte before a zero byte", std::string("\xD6\0x", 3), std::u16string(u"?\0x", 3)},
      {"valid after invalid", std::string("\xD6\x0A\xD6\xD0"), u"?\u4E2D"},
      {"0xFF alone", "a\xFFz", u"a\uF8F5z"},
      {"0xFF does not take the next byte", "\xFF\x41", u"\uF8F5A"},
      {"unassigned code maps to private use", "\xA2\xABz", u"\uE766z"},
      {"0x80 is the euro sign", "\x80", u"\u20AC"},
      {"0x80 does not take the next byte", "\x80\x41",
       u"\u20AC"
       "A"},
      {"0x80 between characters", "\xD6\xD0\x80\xCE\xC4", u"\u4E2D\u20AC\u6587"},
  };
  for (const auto& c : cases) EXPECT_EQ(gbkToUtf16(c.gbk), c.utf16) << c.name;
}

TEST(Gbk, EveryTwoByteCodeRoundTrips) {
  // Code page 936 maps every code of the two-byte space: the characters, and the
  // user-defined areas and the unassigned codes to private use; each comes back.
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string u = gbkToUtf16(code);
      ASSERT_EQ(u.size(), 1u) << std::hex << lead << " " << trail;
      EXPECT_NE(u, u"?") << std::hex << lead << " " << trail;
      EXPECT_EQ(utf16ToGbk(u), code) << std::hex << lead << " " << trail;
    }
}

// Our conversion of every single byte, every two-byte sequence from a byte of 0x80
// or more, and every UTF-16 unit outside the surrogates, in the form of the dump that
// tests/text/oracle/cp936_dump.c writes with the Windows functions under Wine. The
// digest is that dump's; dump_windows_cp936.sh makes it again, to compare by line.
TEST(Gbk, MatchesWindowsCodePage936) {
  std::string dump;
  char buf[16];
  auto units = [&](const std::u16string& u) {
    for (const char16_t c : u) {
      std::snprintf(buf, sizeof buf, " %04X", static_cast<unsigned>(c));
      dump += buf;
    }
    dump += '\n';
  };
  for (int b = 0; b < 256; ++b) {
    std::snprintf(buf, sizeof buf, "S %02X", b);
    dump += buf;
    units(gbkToUtf16(std::string(1, static_cast<char>(b))));
  }
  for (int lead = 0x80; lead < 256; ++lead)
    for (int trail = 1; trail < 256; ++trail) {
      std::snprintf(buf, sizeof buf, "P %02X%02X", lead, trail);
      dump += buf;
      units(gbkToUtf16(std::string{static_cast<char>(lead), static_cast<char>(trail)}));
    }
  for (int u = 1; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    std::snprintf(buf, sizeof buf, "U %04X", u);
    dump += buf;
    for (const char c : utf16ToGbk(std::u16string(1, static_cast<char16_t>(u)))) {
      std::snprintf(buf, sizeof buf, " %02X", static_cast<unsigned char>(c));
      dump += buf;
    }
    dump += '\n';
  }
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray(dump.data(), static_cast<qsizetype>(dump.size())),
                               QCryptographicHash::Sha256)
          .toHex();
  EXPECT_EQ(digest.toStdString(), "f8266eca1c953b978dcc62a6ffc99cafe6bce30ba8ff57134a77d763c60b2cd1");
}

TEST(Gbk, MacroConvertsOnce) {
  const std::string& a = QM_GBK("京东");
  EXPECT_EQ(a, "\xBE\xA9\xB6\xAB");
}

}  // namespace
}  // namespace qm
