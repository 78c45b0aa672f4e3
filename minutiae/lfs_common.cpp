#include "minutiae/lfs_common.h"

#include <cstdio>
#include <cstdlib>

namespace {

int g_ok_left = -1;  // allocations that may still succeed; negative: all
int g_refused = 0;

// True when the next allocation is to fail.
bool Refuse() {
  if (g_ok_left == 0) {
    ++g_refused;
    return true;
  }
  if (g_ok_left > 0) --g_ok_left;
  return false;
}

}  // namespace

extern "C" void *lfs_malloc(size_t size) {
  if (Refuse()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

extern "C" void *lfs_calloc(size_t count, size_t size) {
  if (Refuse()) return nullptr;
  return std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
}

extern "C" void *lfs_realloc(void *block, size_t size) {
  if (Refuse()) return nullptr;
  return std::realloc(block, size == 0 ? 1 : size);
}

extern "C" int lfs_fail(const char *text, int code) {
  std::fputs(text, stderr);
  return code;
}

extern "C" void LfsFailAllocationsAfterForTest(int ok) {
  g_ok_left = ok;
  g_refused = 0;
}

extern "C" int LfsRefusedAllocationsForTest(void) { return g_refused; }
