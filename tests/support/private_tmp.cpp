#include "support/private_tmp.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

std::string MountPrivateTmpfs(const char *path) {
  if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("make / private: ") + std::strerror(errno);
  if (mount("tmpfs", path, "tmpfs", 0, "mode=1777") != 0)
    return std::string("mount tmpfs: ") + std::strerror(errno);
  return {};
}

}  // namespace testing_support
