#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "text/gbk.h"

namespace qm::test {

// A fresh, empty temporary run directory, removed with everything in it at the end.
class RunDir {
 public:
  RunDir();
  ~RunDir();
  RunDir(const RunDir&) = delete;
  RunDir& operator=(const RunDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // A path inside it from a UTF-8 name.
  std::filesystem::path operator/(std::string_view utf8Name) const;

 private:
  std::filesystem::path path_;
};

// A GBK text from UTF-8 test source.
inline std::string g(std::string_view utf8) { return ::qm::utf8ToGbk(utf8); }

}  // namespace qm::test
