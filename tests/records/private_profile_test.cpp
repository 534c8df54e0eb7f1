// The private-profile reading and writing rules over a file's bytes.
#include "records/private_profile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/run_dir.h"

namespace qm {
namespace {

using test::g;

struct ReadCase {
  const char* what;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;  // read with the default "DEF"
};

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, GivesTheValueOrTheDefault) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(readProfileString(c.file, c.section, c.key, "DEF"), c.expected) << c.what;
}

const std::string kLong(kProfileValueLimit + 5, 'x');
const std::string kLimit(kProfileValueLimit, 'y');

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileRead,
    ::testing::Values(
        ReadCase{"plain", "[s]\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"GBK names and value", g("[商品监控]\r\n商品编号=北京-1\r\n"), g("商品监控"), g("商品编号"),
                 g("北京-1")},
        ReadCase{"missing file contents", "", "s", "k", "DEF"},
        ReadCase{"missing section", "[t]\r\nk=v\r\n", "s", "k", "DEF"},
        ReadCase{"missing key", "[s]\r\nj=v\r\n", "s", "k", "DEF"},
        ReadCase{"key of another section", "[s]\r\nj=1\r\n[t]\r\nk=2\r\n", "s", "k", "DEF"},
        ReadCase{"key before any section", "k=0\r\n[s]\r\n", "s", "k", "DEF"},
        ReadCase{"empty value is not the default", "[s]\r\nk=\r\n", "s", "k", ""},
        ReadCase{"key line without =", "[s]\r\nk\r\n", "s", "k", "DEF"},
        ReadCase{"spaces and tabs trimmed", "[s]\r\nk = \t a b \t \r\n", "s", "k", "a b"},
        ReadCase{"vertical tab and form feed trimmed too", "[s]\r\nk\v=\f v\v\r\n", "s", "k", "v"},
        ReadCase{"ideographic spaces kept", "[s]\r\nk=" + g("　a　") + "\r\n", "s", "k", g("　a　")},
        ReadCase{"key with spaces around it", "[s]\r\n  \tk \t=v\r\n", "s", "k", "v"},
        ReadCase{"double quotes removed", "[s]\r\nk=\"  pass word \"\r\n", "s", "k", "  pass word "},
        ReadCase{"single quotes removed", "[s]\r\nk='x'\r\n", "s", "k", "x"},
        ReadCase{"only one pair removed", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k", "\"x\""},
        ReadCase{"mixed quotes kept", "[s]\r\nk=\"x'\r\n", "s", "k", "\"x'"},
        ReadCase{"lone quote kept", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        ReadCase{"empty quotes give empty", "[s]\r\nk=\"\"\r\n", "s", "k", ""},
        ReadCase{"quotes inside the value kept", "[s]\r\nk=a\"b\"\r\n", "s", "k", "a\"b\""},
        ReadCase{"first = splits", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        ReadCase{"first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "1"},
        ReadCase{"first of duplicate sections", "[s]\r\nj=1\r\n[s]\r\nk=2\r\n", "s", "k", "DEF"},
        ReadCase{"section case ignored", "[SeCt]\r\nk=v\r\n", "sEcT", "k", "v"},
        ReadCase{"key case ignored", "[s]\r\nKeY=v\r\n", "s", "kEy", "v"},
        ReadCase{"second byte of a GBK character is no letter", std::string("[s]\r\n\x81", 6) + "a=v\r\n",
                 "s", std::string("\x81", 1) + "A", "DEF"},
        ReadCase{"spaces inside the brackets trimmed", "[  s \t]\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"section line without ] is no section", "[s\r\nk=v\r\n", "s", "k", "DEF"},
        ReadCase{"last ] closes the name", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
        ReadCase{"names given with spaces", "[s]\r\nk=v\r\n", " s\t", "  k ", "v"},
        ReadCase{"empty key name", "[s]\r\n=v\r\n", "s", "", "v"},
        ReadCase{"spaces around the brackets", "  [s]  \r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"text after ] ignored", "[s] ; note\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"LF line ends", "[s]\nj=1\nk=v\n", "s", "k", "v"},
        ReadCase{"CR line ends", "[s]\rj=1\rk=v\r", "s", "k", "v"},
        ReadCase{"last line without line end", "[s]\r\nk=v", "s", "k", "v"},
        ReadCase{"comments and blank lines pass", ";c=1\r\n\r\n[s]\r\n; k=no\r\n\r\nk=v\r\n", "s", "k", "v"},
        ReadCase{"value cut at a zero byte", std::string("[s]\r\nk=ab\0cd\r\n", 14), "s", "k", "ab"},
        ReadCase{"value at the limit", "[s]\r\nk=" + kLimit + "\r\n", "s", "k", kLimit},
        ReadCase{"value over the limit cut", "[s]\r\nk=" + kLong + "\r\n", "s", "k",
                 kLong.substr(0, kProfileValueLimit)},
        ReadCase{"the cut never splits a two-byte character",
                 "[s]\r\nk=" + std::string(kProfileValueLimit - 1, 'z') + g("中") + "\r\n", "s", "k",
                 std::string(kProfileValueLimit - 1, 'z')},
        ReadCase{"quoted value at the limit", "[s]\r\nk=\"" + kLimit + "\"\r\n", "s", "k", kLimit},
        ReadCase{"quoted value over the limit", "[s]\r\nk=\"" + kLong + "\"\r\n", "s", "k",
                 kLong.substr(0, kProfileValueLimit)},
        ReadCase{"bytes that are no GBK pass",
                 "[s]\r\nk=a\x80"
                 "b\xff\r\n",
                 "s", "k",
                 "a\x80"
                 "b\xff"}));

TEST(ProfileReadDefault, TrailingSpacesOfTheDefaultRemoved) {
  EXPECT_EQ(readProfileString("", "s", "k", "  d  "), "  d");
  EXPECT_EQ(readProfileString("", "s", "k", ""), "");
}

struct WriteCase {
  const char* what;
  std::string file;
  std::string section;
  std::string key;
  std::string value;
  std::string expected;
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheKeyLine) {
  const WriteCase& c = GetParam();
  const std::string out = writeProfileString(c.file, c.section, c.key, c.value);
  EXPECT_EQ(out, c.expected) << c.what;
  EXPECT_EQ(readProfileString(out, c.section, c.key, "DEF"), c.value) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileWrite,
    ::testing::Values(
        WriteCase{"new file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"section appended after a last line end", "[t]\r\na=1\r\n", "s", "k", "v",
                  "[t]\r\na=1\r\n[s]\r\nk=v\r\n"},
        WriteCase{"section appended after a last line without end", "[t]\r\na=1", "s", "k", "v",
                  "[t]\r\na=1\r\n[s]\r\nk=v\r\n"},
        WriteCase{"section appended after an LF end", "[t]\na=1\n", "s", "k", "v",
                  "[t]\na=1\n[s]\r\nk=v\r\n"},
        WriteCase{"key replaced in place", "[s]\r\na=1\r\nk=old\r\nb=2\r\n", "s", "k", "new",
                  "[s]\r\na=1\r\nk=new\r\nb=2\r\n"},
        WriteCase{"spaced key line rewritten", "[s]\r\n  K = old \r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"LF key line rewritten with CR LF", "[s]\nk=old\nb=2\n", "s", "k", "v",
                  "[s]\nk=v\r\nb=2\n"},
        WriteCase{"last key line without end", "[s]\r\nk=old", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"first of duplicate keys replaced", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3",
                  "[s]\r\nk=3\r\nk=2\r\n"},
        WriteCase{"key without = replaced", "[s]\r\nk\r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"key added after the last non-blank line", "[s]\r\na=1\r\n\r\n  \r\n[t]\r\nk=9\r\n", "s",
                  "k", "v", "[s]\r\na=1\r\nk=v\r\n\r\n  \r\n[t]\r\nk=9\r\n"},
        WriteCase{"key added to an empty section", "[s]\r\n\r\n[t]\r\n", "s", "k", "v",
                  "[s]\r\nk=v\r\n\r\n[t]\r\n"},
        WriteCase{"key added after a section ending the file", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"key added after a last line without end", "[s]\r\na=1", "s", "k", "v",
                  "[s]\r\na=1\r\nk=v\r\n"},
        WriteCase{"key added to the first of duplicate sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", "s", "k",
                  "v", "[s]\r\na=1\r\nk=v\r\n[s]\r\nb=2\r\n"},
        WriteCase{"section and key case ignored", "[SECT]\r\nKEY=1\r\n", "sect", "key", "2",
                  "[SECT]\r\nkey=2\r\n"},
        WriteCase{"comments and other sections untouched",
                  "; top\r\n[t]\r\nk=1 ; x\r\n[s]\r\n;k=c\r\nk=2\r\n", "s", "k", "3",
                  "; top\r\n[t]\r\nk=1 ; x\r\n[s]\r\n;k=c\r\nk=3\r\n"},
        WriteCase{"empty value keeps the key", "[s]\r\nk=v\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
        WriteCase{"GBK names", g("[商品监控]\r\n省份=北京-1\r\n"), g("商品监控"), g("城市"), g("朝阳区-72"),
                  g("[商品监控]\r\n省份=北京-1\r\n城市=朝阳区-72\r\n")}));

// Values with spaces or quotes at their ends read back differently, as Windows does.
TEST(ProfileWriteThenRead, EndsOfTheValueFollowTheReadingRules) {
  const struct {
    std::string value, reads;
  } cases[] = {{"  account  ", "account"}, {"\"secret\"", "secret"}, {"'x'", "x"}, {"\t", ""}};
  for (const auto& c : cases) {
    const std::string file = writeProfileString("", "s", "k", c.value);
    EXPECT_EQ(file, "[s]\r\nk=" + c.value + "\r\n") << "written as it stands";
    EXPECT_EQ(readProfileString(file, "s", "k", "DEF"), c.reads) << c.value;
  }
}

}  // namespace
}  // namespace qm
