#include "support/scratch_mount.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace qm::test {

namespace {

// A private mount namespace for this thread, once: mounts made in it vanish with the
// process and never reach the rest of the system.
bool privateNamespace() {
  static const bool done = [] {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return done;
}

}  // namespace

ScratchMount::ScratchMount(const std::filesystem::path& directory, std::size_t bytes)
    : path_(directory), options_("size=" + std::to_string(bytes) + ",mode=0755") {
  std::error_code ec;
  std::filesystem::create_directories(path_, ec);
  privateNamespace();
  if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options_.c_str()) != 0) {
    failure_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

ScratchMount::~ScratchMount() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

bool ScratchMount::makeReadOnly() {
  return mounted_ && ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, options_.c_str()) == 0;
}

}  // namespace qm::test
