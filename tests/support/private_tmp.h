// Gives the calling test process its own /tmp, so tests never touch the
// machine's /tmp/dump or other shared paths.
#ifndef TESTS_SUPPORT_PRIVATE_TMP_H_
#define TESTS_SUPPORT_PRIVATE_TMP_H_

#include <string>

namespace testing_support {

// Moves the process into a private mount namespace and mounts an empty tmpfs
// on `path` (default /tmp). Returns an empty string on success, else the
// reason (for example, not running as root). Call once per test process.
std::string MountPrivateTmpfs(const char *path = "/tmp");

// Moves the process into a private mount namespace and gives it an empty,
// writable copy of the service's feature-database folder
// /var/lib/biometric-auth (a tmpfs over it, or over /var/lib with the folder
// made inside when the machine has none). Returns an empty string on
// success, else the reason. Call once per test process.
std::string MountPrivateServiceDatabase();

}  // namespace testing_support

// Skips the current test when a private /tmp cannot be had.
#define REQUIRE_PRIVATE_TMP()                                                    \
  do {                                                                           \
    std::string why_ = ::testing_support::MountPrivateTmpfs();                   \
    if (!why_.empty()) GTEST_SKIP() << "needs a private /tmp: " << why_;         \
  } while (0)

// Skips the current test when the service's database folder cannot be made
// private.
#define REQUIRE_PRIVATE_SERVICE_DATABASE()                                       \
  do {                                                                           \
    std::string why_ = ::testing_support::MountPrivateServiceDatabase();         \
    if (!why_.empty()) GTEST_SKIP() << "needs a private database folder: " << why_; \
  } while (0)

#endif  // TESTS_SUPPORT_PRIVATE_TMP_H_
