#include "alloc_fault.h"

extern "C" void *__real_bq_malloc(unsigned size);
extern "C" void *__wrap_bq_malloc(unsigned size);

namespace {

int g_ok_left = -1;
int g_refused = 0;

}  // namespace

extern "C" void *__wrap_bq_malloc(unsigned size) {
  if (g_ok_left == 0) {
    ++g_refused;
    return nullptr;
  }
  if (g_ok_left > 0) --g_ok_left;
  return __real_bq_malloc(size);
}

namespace testing_support {

void FailAllocationsAfter(int ok) {
  g_ok_left = ok;
  g_refused = 0;
}

void StopAllocFailures() { g_ok_left = -1; }

int RefusedAllocations() { return g_refused; }

}  // namespace testing_support
