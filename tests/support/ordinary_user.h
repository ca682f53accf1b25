#pragma once
// Root writes anywhere; the technician's account does not. For its scope, this thread loses
// root's licence to ignore files' and folders' permissions, so that a test of what they refuse
// means the same under CI (root) as on a desk. Elsewhere than Linux it does nothing.
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace korvane::testing {

class AsOrdinaryUser {
 public:
  AsOrdinaryUser() { mayOverride(false); }
  ~AsOrdinaryUser() { mayOverride(true); }
  AsOrdinaryUser(const AsOrdinaryUser&) = delete;
  AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

 private:
  static void mayOverride([[maybe_unused]] bool may) {
#ifdef __linux__
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    syscall(SYS_capget, &header, caps);
    caps[0].effective = may ? caps[0].permitted : caps[0].effective & ~(1u << CAP_DAC_OVERRIDE);
    syscall(SYS_capset, &header, caps);
#endif
  }
};

}  // namespace korvane::testing
