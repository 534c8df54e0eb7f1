#include "records/settings.h"

#include <array>
#include <string_view>

#include "platform/file_access.h"
#include "records/private_profile.h"
#include "text/gbk.h"

namespace qm {

namespace {

struct SettingKey {
  std::string_view key;           // UTF-8; GBK in the file
  ControlName control;            //
  bool defaultIsKeyName = false;  // the mail keys default to their own name, the others to empty text
};

// In the order they are read and written.
constexpr std::array<SettingKey, 7> kSettingKeys{{
    {"商品编号", "编辑框商品编号"},
    {"省份", "组合框省份"},
    {"城市", "组合框城市"},
    {"地区", "组合框地区"},
    {"发邮件账号", "编辑框发邮件账号", true},
    {"发邮件密码", "编辑框发邮件密码", true},
    {"收邮件地址", "编辑框收邮件地址", true},
}};

const Text& sectionName() { return QM_GBK("商品监控"); }

}  // namespace

std::filesystem::path settingsFilePath(const std::filesystem::path& runDir) { return runDir / "god.xin"; }

void loadSettings(Program& program) {
  const auto path = settingsFilePath(program.runDir);
  for (const SettingKey& s : kSettingKeys) {
    const Text key = utf8ToGbk(s.key);
    // A missing or unreadable file (or a directory of that name) reads as empty.
    const Bytes contents = readWholeFile(path).value_or(Bytes{});
    program.tk.setText(s.control,
                       readProfileString(contents, sectionName(), key, s.defaultIsKeyName ? key : Text{}));
  }
}

void saveSettings(Program& program) {
  const auto path = settingsFilePath(program.runDir);
  auto contents = readWholeFile(path);
  // Something of that name that cannot be read is left alone rather than replaced
  // by a file that has lost its other lines.
  if (!contents && nameExists(path)) return;
  Bytes bytes = contents.value_or(Bytes{});
  for (const SettingKey& s : kSettingKeys)
    bytes = writeProfileString(bytes, sectionName(), utf8ToGbk(s.key), program.tk.text(s.control));
  replaceFileAtomically(path, bytes, /*ownerOnly=*/true);
}

}  // namespace qm
