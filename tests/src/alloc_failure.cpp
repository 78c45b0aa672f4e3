#include "alloc_failure.h"

namespace {

int g_countdown = -1;  // allocations to let through before the failure; -1 none
bool g_fired = false;

}  // namespace

extern "C" void *__real_bq_malloc(unsigned size);

extern "C" void *__wrap_bq_malloc(unsigned size) {
  if (g_countdown == 0) {
    g_countdown = -1;
    g_fired = true;
    return nullptr;
  }
  if (g_countdown > 0) --g_countdown;
  return __real_bq_malloc(size);
}

namespace testing_support {

AllocFailure::AllocFailure(int nth) {
  g_countdown = nth;
  g_fired = false;
}

AllocFailure::~AllocFailure() { g_countdown = -1; }

bool AllocFailure::Fired() const { return g_fired; }

}  // namespace testing_support
