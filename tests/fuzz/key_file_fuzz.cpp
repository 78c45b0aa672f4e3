// libFuzzer target: random bytes as the plug-in's key file. Whatever the
// reader returns is NULL or a non-empty text of at most COMMUNITY_KEY_MAX
// bytes taken from the start of the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/community_key_file.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// One scratch file per process, rewritten for every input and removed at
// exit.
struct ScratchFile {
  std::string path;
  ScratchFile() {
    char name[] = "/tmp/key_file_fuzz.XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    path = name;
  }
  ~ScratchFile() { unlink(path.c_str()); }
};

const std::string &KeyPath() {
  static const ScratchFile file;
  return file.path;
}

}  // namespace

// The service prints nothing below its error level.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("BIO_PRINT_LEVEL", "3", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string &path = KeyPath();
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  char *key = community_internal_read_key_file(path.c_str());
  if (key != nullptr) {
    const size_t n = std::strlen(key);
    Check(n >= 1 && n <= COMMUNITY_KEY_MAX && n <= size);
    Check(std::memcmp(key, data, n) == 0);
    std::free(key);
  }
  return 0;
}
