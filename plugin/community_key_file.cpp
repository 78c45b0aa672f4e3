#include "plugin/community_key_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "biometric_common.h"
#include "plugin/community_log.h"

namespace {

// Largest key file read at all: a key text with room for comments and line
// ends; anything bigger is no key file.
constexpr off_t kKeyFileMax = 4096;

void warn_default(const char *format, const char *arg) {
  bio_print_warning(community_text(format), arg);
}

}  // namespace

extern "C" char *community_internal_read_key_file(const char *path) {
  if (access(path, R_OK) != 0) {
    warn_default("AES Key File (%s) does not Exist or has no Read Permission, use default key.\n",
                 path);
    return nullptr;
  }
  // Only a regular file of key size: a FIFO, a device or a huge file under
  // the name is refused at once, without blocking and without reading it.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kKeyFileMax)) {
    close(fd);
    fd = -1;
  }
  FILE *file = fd >= 0 ? fdopen(fd, "r") : nullptr;
  if (file == nullptr) {
    if (fd >= 0) close(fd);
    warn_default("Can not open AES Key File: %s, use default key.\n", path);
    return nullptr;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0) {
    warn_default("Can not get the size of AES Key File: %s, use default key.\n", path);
    std::fclose(file);
    return nullptr;
  }
  if (size == 0) {
    bio_print_warning("%s", community_text("AES Key File is Enpty, use default Key.\n"));
    std::fclose(file);
    return nullptr;
  }
  size_t n = static_cast<size_t>(size < COMMUNITY_KEY_MAX ? size : COMMUNITY_KEY_MAX);
  char *key = static_cast<char *>(std::calloc(n + 1, 1));
  if (key == nullptr) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  size_t got = std::fread(key, 1, n, file);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  key[got] = '\0';
  if (failed) {
    warn_default("Can not read AES Key File: %s, use default key.\n", path);
    std::free(key);
    return nullptr;
  }
  if (key[0] == '\0') {
    bio_print_warning("%s", community_text("AES Key is Enpty, use default Key.\n"));
    std::free(key);
    return nullptr;
  }
  return key;
}

