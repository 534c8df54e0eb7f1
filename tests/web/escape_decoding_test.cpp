#include "web/escape_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_dir.h"
#include "web/escape_literal.h"

namespace qm {
namespace {

using test::g;

struct Case {
  const char* what;
  std::string input;     // GBK
  std::string expected;  // GBK
};

TEST(EscapeDecoding, RepliesDecodeAsTheRulesSay) {
  const std::vector<Case> cases = {
      {"escapes with CR LF line breaks",
       R"({"a":"\u6709\u8d27"})"
       "\r\n"
       R"({"b":"\u5e7f\u4e1c"})",
       g(R"({"a":"有货"})"
         "\r\n"
         R"({"b":"广东"})")},
      {"leading bare CR is dropped", "\r\\u4eac", g("京")},
      {"leading CR LF is kept", "\r\n\\u4eac", g("\r\n京")},
      {"bare LF: fallback keeps JSON escapes", "a\n\\u6709\\\"\\/", g("a\n有\\\"\\/")},
      {"bare CR inside: fallback", "x\ry\\u4eac", g("x\ry京")},
      {"apostrophe survives", "it's \\u4eac", g("it's 京")},
      {"right quotation mark comes back as apostrophe", g("’x’"), "'x'"},
      {"line break mark comes back as CR LF", "a{$}b", "a\r\nb"},
      {"escape producing the marks", "\\u2019\\u007b$}", "'\r\n"},
      {"%XX on the main path", "%41%62%2f", "Ab/"},
      {"%XX on the fallback", "%41\n%62", "A\nb"},
      {"escaped quote, slash and backslash", R"(\"\/\\ \' \q)", R"("/\ ' q)"},
      {"backslash n is a line feed", "a\\nb\\tc", "a\nb\tc"},
      {"legacy octal and hex escapes", "\\101\\x42\\7\\08", std::string("AB\x07", 3)},
      {"JSON-escaped backslash before u", "\\\\u6709", g("有")},
      {"JSON-escaped backslash before u on the fallback", "\\\\u6709\n", g("\\有\n")},
      {"character without a GBK form", "\\u0e01x", "?x"},
      {"%u escape on the main path", "%u6709%uFFE5%u00e9", g("有￥é")},
      {"%u escapes on the fallback: decimal-led only", "\n%u4eac%uffe5%u00e9%u6709", g("\n京%uffe5%u00e9有")},
      {"upper-case U is no escape", "\\U6709", "U6709"},
      {"odd backslashes at the end: fallback", "\\u6709\\", g("有\\")},
      {"main path cut to nothing at a zero: fallback", "\\0abc", "\\0abc"},
      {"invalid hex escape: fallback", "\\xZZ%41", "\\xZZA"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decodeEscapedText(c.input), c.expected);
  }
}

TEST(EscapeDecoding, FallbackReadsPercentEscapes) {
  const std::vector<Case> cases = {
      {"plain text", "abc", "abc"},
      {"digit-led %u", "%u6709%u4eac", g("有京")},
      {"%u whose digits read as decimal zero is copied", "%u00e9%uffe5%u0000", "%u00e9%uffe5%u0000"},
      {"%u whose digits read as a decimal number", "%u0041%u4e00", g("A一")},
      {"%XX", "%41%4a%4A", "AJJ"},
      {"%00 gives nothing", "a%00b", "ab"},
      {"%u with too few characters is read as %XX", "%u12", g("￡???") + "2"},
      {"lone % at the end", "a%", "a%"},
      {"% before one byte", "a%4", "a%4"},
      {"non-hex characters count as -2", "%%%", "????"},
      {"GBK text passes", g("有货%41"), g("有货A")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(decodePercentEscapes(c.input), c.expected);
  }
}

TEST(EscapeDecoding, FallbackHandlesEventsAfterEveryByte) {
  int calls = 0;
  const auto count = [&] { ++calls; };
  EXPECT_EQ(decodePercentEscapes("ab%41%u6709", count), g("abA有"));
  EXPECT_EQ(calls, 4);  // a, b, one %XX, one %u escape

  calls = 0;
  EXPECT_EQ(decodeEscapedText("line\n", count), "line\n");
  EXPECT_EQ(calls, 5);

  calls = 0;
  EXPECT_EQ(decodeEscapedText("\\u6709", count), g("有"));
  EXPECT_EQ(calls, 0);  // the main path scans no bytes one by one
}

TEST(EscapeDecoding, CodeUnitsToGbk) {
  struct CodeCase {
    int64_t value;
    std::string expected;
  };
  const std::vector<CodeCase> cases = {
      {0, ""},
      {0x41, "A"},
      {0x6709, g("有")},
      {0xFFE5, g("￥")},
      {0x0E01, "?"},
      {0x00410042, "BA"},
      {0x0041000000420043LL, "CB"},
      {-31, g("￡???")},
      {-1, "????"},
  };
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(codeToGbkText(c.value), c.expected);
  }
}

TEST(EscapeDecoding, LiteralGrammar) {
  struct LiteralCase {
    std::u16string body;
    std::optional<std::u16string> value;
  };
  const std::vector<LiteralCase> cases = {
      {u"plain", u"plain"},
      {u"\\u{1F600}", u"\U0001F600"},
      {u"\\u{00000041}", u"A"},
      {u"\\u{110000}", std::nullopt},
      {u"\\u{}", std::nullopt},
      {u"\\u{41", std::nullopt},
      {u"\\u004", std::nullopt},
      {u"\\x4", std::nullopt},
      {u"\\377\\400\\1234",
       u"\u00FF\u0020"
       u"0\u0053"
       u"4"},
      {u"\\8\\9", u"89"},
      {u"a\\\nb\\\r\nc\\\rd\\\u2028e", u"abcde"},
      {u"\u2028\u2029", u"\u2028\u2029"},
      {u"a\nb", std::nullopt},
      {u"a\rb", std::nullopt},
      {u"a'b", std::nullopt},
      {u"\\\\", u"\\"},
      {u"\\\\\\", std::nullopt},
  };
  for (const LiteralCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.body.begin(), c.body.end())));
    EXPECT_EQ(web::readQuotedLiteral(c.body), c.value);
  }
  EXPECT_EQ(web::unescapeUnits(u"%u4EAC%u4eac%41%4g%u41%"),
            u"\u4EAC\u4EAC"
            u"A%4g%u41%");
}

}  // namespace
}  // namespace qm
