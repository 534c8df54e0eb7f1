#include "support/permissions.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qm::test {

namespace {

constexpr unsigned dacMask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool capabilities(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return syscall(SYS_capget, &header, data) == 0;
}

bool setCapabilities(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

ObeyPermissions::ObeyPermissions() {
  __user_cap_data_struct data[2] = {};
  if (!capabilities(data)) return;
  saved_[0] = data[0].effective;
  saved_[1] = data[1].effective;
  if ((data[0].effective & dacMask) == 0) {
    active_ = true;  // permissions bind already
    return;
  }
  data[0].effective &= ~dacMask;
  if (setCapabilities(data)) {
    active_ = true;
    restore_ = true;
  }
}

ObeyPermissions::~ObeyPermissions() {
  if (!restore_) return;
  __user_cap_data_struct data[2] = {};
  if (!capabilities(data)) return;
  data[0].effective = saved_[0];
  data[1].effective = saved_[1];
  setCapabilities(data);
}

}  // namespace qm::test
