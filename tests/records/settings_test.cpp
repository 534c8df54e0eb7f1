// The seven form fields kept in "god.xin" on the real main window.
#include "records/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <fstream>
#include <iterator>

#include "support/scratch_mount.h"
#include "support/window_fixture.h"

namespace qm {
namespace {

using test::g;

constexpr std::array<const char*, 7> kControls = {"编辑框商品编号",  "组合框省份",       "组合框城市",
                                                  "组合框地区",      "编辑框发邮件账号", "编辑框发邮件密码",
                                                  "编辑框收邮件地址"};
using Fields = std::array<std::string, 7>;  // UTF-8, in the order of kControls

std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void putFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// The file saveSettings writes for these fields into an empty file.
std::string savedFile(const Fields& f) {
  const char* keys[] = {"商品编号", "省份", "城市", "地区", "发邮件账号", "发邮件密码", "收邮件地址"};
  std::string out = "[商品监控]\r\n";
  for (std::size_t i = 0; i < 7; ++i) out += std::string(keys[i]) + "=" + f[i] + "\r\n";
  return g(out);
}

class Settings : public test::WindowFixture {
 protected:
  std::filesystem::path settingsPath() const { return settingsFilePath(program.runDir); }

  Fields fields() {
    Fields f;
    for (std::size_t i = 0; i < 7; ++i) f[i] = gbkToUtf8(tk.text(kControls[i]));
    return f;
  }
  void setFields(const Fields& f) {
    for (std::size_t i = 0; i < 7; ++i) tk.setText(kControls[i], g(f[i]));
  }
};

const Fields kDesignDefaults = {"1743535", "", "", "", "发邮件设置", "发邮件设置", "收邮件设置"};
const Fields kKeyDefaults = {"", "", "", "", "发邮件账号", "发邮件密码", "收邮件地址"};

TEST_F(Settings, LoadSetsEachFieldFromItsKeyOrItsDefault) {
  const struct {
    const char* what;
    std::optional<std::string> file;  // UTF-8; nothing: a directory of that name
    Fields expected;
  } cases[] = {
      {"all seven keys",
       "[商品监控]\r\n商品编号=100012043978\r\n省份=北京-1\r\n城市=朝阳区-"
       "72\r\n地区=三环以内-2799\r\n"
       "发邮件账号=me@example.com\r\n发邮件密码=secret\r\n收邮件地址=you@"
       "example.com\r\n",
       {"100012043978", "北京-1", "朝阳区-72", "三环以内-2799", "me@example.com", "secret",
        "you@example.com"}},
      {"no 商品编号 empties the box and mail keys show their names",
       "[商品监控]\r\n省份=上海-2\r\n",
       {"", "上海-2", "", "", "发邮件账号", "发邮件密码", "收邮件地址"}},
      {"spaces around the account and quotes around the password",
       "[商品监控]\r\n发邮件账号=  me@example.com \t\r\n发邮件密码=\" pass "
       "\"\r\n",
       {"", "", "", "", "me@example.com", " pass ", "收邮件地址"}},
      {"an empty recipient is not the default",
       "[商品监控]\r\n收邮件地址=\r\n",
       {"", "", "", "", "发邮件账号", "发邮件密码", ""}},
      {"keys of another section do not count", "[其他]\r\n商品编号=1\r\n[商品监控]\r\n", kKeyDefaults},
      {"empty file", "", kKeyDefaults},
      {"directory of that name reads as empty", std::nullopt, kKeyDefaults},
  };
  for (const auto& c : cases) {
    setFields(kDesignDefaults);
    std::error_code ec;
    std::filesystem::remove_all(settingsPath(), ec);
    if (c.file)
      putFile(settingsPath(), g(*c.file));
    else
      std::filesystem::create_directory(settingsPath());
    loadSettings(program);
    EXPECT_EQ(fields(), c.expected) << c.what;
  }
}

TEST_F(Settings, FirstSaveWritesTheSevenKeysInOrder) {
  saveSettings(program);
  EXPECT_EQ(fileBytes(settingsPath()), savedFile(kDesignDefaults));
  struct stat st {};
  ASSERT_EQ(::stat(settingsPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the password file is the owner's only";
}

TEST_F(Settings, SaveThenLoadRestoresTheFields) {
  const Fields typed = {"42", "北京-1", "朝阳区-72", "三环以内-2799", "  me@example.com  ", "\"pw\"", ""};
  setFields(typed);
  saveSettings(program);
  EXPECT_EQ(fileBytes(settingsPath()), savedFile(typed));
  setFields(kDesignDefaults);
  loadSettings(program);
  EXPECT_EQ(fields(), (Fields{"42", "北京-1", "朝阳区-72", "三环以内-2799", "me@example.com", "pw", ""}));
}

TEST_F(Settings, SaveKeepsEveryOtherLine) {
  const std::string before =
      g("; written by "
        "hand\r\n[窗口]\r\n商品编号=7\r\n\r\n[商品监控]"
        "\r\n收邮件地址=old\r\n; note\r\n额外=1\r\n\r\n"
        "[尾]\r\nx=y");
  putFile(settingsPath(), before);
  setFields(kDesignDefaults);
  saveSettings(program);
  EXPECT_EQ(fileBytes(settingsPath()), g("; written by "
                                         "hand\r\n[窗口]\r\n商品编号=7\r\n\r\n[商品监控]\r\n收邮件地址="
                                         "收邮件设置\r\n; note\r\n额外=1\r\n"
                                         "商品编号=1743535\r\n省份=\r\n城市=\r\n地区=\r\n发邮件账号="
                                         "发邮件设置\r\n发邮件密码=发邮件设置\r\n\r\n"
                                         "[尾]\r\nx=y"));
}

TEST_F(Settings, SaveOverADirectoryOfThatNameChangesNothing) {
  std::filesystem::create_directory(settingsPath());
  saveSettings(program);
  EXPECT_TRUE(std::filesystem::is_directory(settingsPath()));
}

TEST_F(Settings, SaveIntoAReadOnlyDirectoryChangesNothing) {
  test::ScratchMount disk(runDir.path() / "ro", 64 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  program.runDir = disk.path();
  const std::string old = g("[商品监控]\r\n商品编号=1\r\n");
  putFile(settingsPath(), old);
  if (!disk.makeReadOnly()) GTEST_SKIP() << "cannot remount read-only";
  setFields(kDesignDefaults);
  saveSettings(program);
  EXPECT_EQ(fileBytes(settingsPath()), old);
  loadSettings(program);
  EXPECT_EQ(fields()[0], "1");
}

}  // namespace
}  // namespace qm
