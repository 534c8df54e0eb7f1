#include "support/run_dir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace qm::test {

RunDir::RunDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quillmoor-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

RunDir::~RunDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path RunDir::operator/(std::string_view utf8Name) const {
  return path_ / std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
}

}  // namespace qm::test
