#pragma once

#include <QtGlobal>

// While alive, the calling thread lacks the rights to override file permissions, so that a
// read-only file refuses writing and an unreadable one reading even to root, as they do to the
// operator. Windows has no such override: a read-only file refuses every writer there, and this
// does nothing.

#ifdef __linux__
#include <grp.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Ids that no account on a test machine is expected to have: a user, the group of its own, a
// group it is a member of, and another user and group.
inline constexpr uid_t kTestUser = 64321, kOtherUser = 64322;
inline constexpr gid_t kTestUsersGroup = 64331, kSharedGroup = 64332, kForeignGroup = 64333;

// Makes the calling process (a child: there is no way back) kTestUser, in kTestUsersGroup and
// a member of kSharedGroup. Root only; false when it could not.
inline bool BecomeTestUser() {
  const gid_t groups[] = {kTestUsersGroup, kSharedGroup};
  return ::setgroups(2, groups) == 0 && ::setgid(kTestUsersGroup) == 0 && ::setuid(kTestUser) == 0;
}

class WithoutPermissionOverride {
 public:
  WithoutPermissionOverride() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    restore_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~WithoutPermissionOverride() {
    if (restore_) syscall(SYS_capset, &header_, saved_);
  }
  Q_DISABLE_COPY_MOVE(WithoutPermissionOverride)

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool restore_ = false;
};
#else
class WithoutPermissionOverride {
 public:
  WithoutPermissionOverride() {}  // user-provided: a guard is not an unused variable
  Q_DISABLE_COPY_MOVE(WithoutPermissionOverride)
};
#endif
