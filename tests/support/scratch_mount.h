#pragma once

// A small tmpfs mounted on a fresh directory, for tests of a full disk (its size is
// the limit, whatever the caller's rights) and of a read-only directory (remounted
// read-only, which binds root too). Mounted in a mount namespace of the test's own
// when the system allows one, so nothing outlives the test process.

#include <filesystem>
#include <string>

namespace qm::test {

class ScratchMount {
 public:
  ScratchMount(const std::filesystem::path& directory, std::size_t bytes);
  ~ScratchMount();
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  // Whether the tmpfs is mounted; when not, why (for a skip message).
  bool mounted() const { return mounted_; }
  const std::string& failure() const { return failure_; }
  const std::filesystem::path& path() const { return path_; }

  // Makes the file system read-only; false when that fails.
  bool makeReadOnly();

 private:
  std::filesystem::path path_;
  std::string options_;
  bool mounted_ = false;
  std::string failure_;
};

}  // namespace qm::test
