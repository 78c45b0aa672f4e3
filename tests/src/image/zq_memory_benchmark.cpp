// Counted heap and pool allocator against plain malloc, for the block sizes
// the algorithms use (small records, 96 x 96 and enlarged working images).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "src/image/ZqMemoryManager.h"

namespace {

void Sizes(benchmark::internal::Benchmark *b) {
  for (int size : {40, 1024, 9216, 41472, 65536}) b->Arg(size);
}

// Plain malloc plus the zeroing the other allocators do.
void BM_Malloc(benchmark::State &state) {
  const size_t len = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    void *p = std::malloc(len);
    std::memset(p, 0, len);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}
BENCHMARK(BM_Malloc)->Apply(Sizes);

void BM_ZqSafeAlloc(benchmark::State &state) {
  const int32_t len = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    void *p = ZqSafeAlloc(len);
    benchmark::DoNotOptimize(p);
    ZqSafeFree(p);
  }
}
BENCHMARK(BM_ZqSafeAlloc)->Apply(Sizes);

void BM_PoolAlloc(benchmark::State &state) {
  const int32_t len = static_cast<int32_t>(state.range(0));
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(0x80000);
  for (auto _ : state) {
    void *p = ZqSafeAllocInMemBlock(len);
    benchmark::DoNotOptimize(p);
    ZqSafeFreeInMemBlock(p);
  }
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}
BENCHMARK(BM_PoolAlloc)->Apply(Sizes);

// Three nested working buffers released in reverse, as a filter does.
void BM_NestedMalloc(benchmark::State &state) {
  const size_t len = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    void *a = std::malloc(len), *b = std::malloc(len), *c = std::malloc(len);
    std::memset(a, 0, len);
    std::memset(b, 0, len);
    std::memset(c, 0, len);
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    benchmark::DoNotOptimize(c);
    std::free(c);
    std::free(b);
    std::free(a);
  }
}
BENCHMARK(BM_NestedMalloc)->Apply(Sizes);

void BM_NestedPool(benchmark::State &state) {
  const int32_t len = static_cast<int32_t>(state.range(0));
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(0x80000);
  for (auto _ : state) {
    void *a = ZqSafeAllocInMemBlock(len), *b = ZqSafeAllocInMemBlock(len),
         *c = ZqSafeAllocInMemBlock(len);
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    benchmark::DoNotOptimize(c);
    ZqSafeFreeInMemBlock(c);
    ZqSafeFreeInMemBlock(b);
    ZqSafeFreeInMemBlock(a);
  }
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
}
BENCHMARK(BM_NestedPool)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
