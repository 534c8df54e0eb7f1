#pragma once

// Root ignores file permissions, so tests of "read-only" and "unreadable" would
// prove nothing when run as root. While an ObeyPermissions lives, the calling
// thread gives up the capabilities that override permission bits (Linux keeps them
// permitted, so they come back at the end), and permissions apply as to any user.

namespace qm::test {

class ObeyPermissions {
 public:
  ObeyPermissions();
  ~ObeyPermissions();
  ObeyPermissions(const ObeyPermissions&) = delete;
  ObeyPermissions& operator=(const ObeyPermissions&) = delete;
  // Whether permission bits now bind this thread.
  bool active() const { return active_; }

 private:
  bool active_ = false;
  bool restore_ = false;
  unsigned saved_[2] = {0, 0};
};

}  // namespace qm::test
