#include "support/private_tmp.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

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

std::string MountPrivateServiceDatabase() {
  const char *folder = "/var/lib/biometric-auth";
  if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("make / private: ") + std::strerror(errno);
  struct stat st;
  if (stat(folder, &st) != 0) {
    // No folder to mount over: hide /var/lib in this namespace instead.
    if (mount("tmpfs", "/var/lib", "tmpfs", 0, "mode=755") != 0)
      return std::string("mount tmpfs on /var/lib: ") + std::strerror(errno);
    if (mkdir(folder, 0755) != 0) return std::string("mkdir: ") + std::strerror(errno);
    return {};
  }
  if (mount("tmpfs", folder, "tmpfs", 0, "mode=755") != 0)
    return std::string("mount tmpfs: ") + std::strerror(errno);
  return {};
}

}  // namespace testing_support
