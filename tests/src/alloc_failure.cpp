#include "alloc_failure.h"

#include "src/ZqMemoryManager.h"

namespace {
long g_allowed = -1;  // -1: no limit
long g_count = 0;
}  // namespace

extern "C" void *__real_bq_malloc(unsigned size);

extern "C" void *__wrap_bq_malloc(unsigned size) {
  ++g_count;
  if (g_allowed == 0) return nullptr;
  if (g_allowed > 0) --g_allowed;
  return __real_bq_malloc(size);
}

namespace testing_support {

FailHeapAfter::FailHeapAfter(int n) { g_allowed = n; }
FailHeapAfter::~FailHeapAfter() { g_allowed = -1; }

long HeapAllocations() { return g_count; }

SmallPool::SmallPool(int size) {
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(size);
}

SmallPool::~SmallPool() {
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}

}  // namespace testing_support
