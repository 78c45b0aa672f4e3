#include "src/image/ZqMemoryManager.h"

#include <cstring>

#include "base/bq_util.h"
#include "src/image/ZqCommon.h"

int32_t gMallocCnts = 0;

namespace {

// Bytes added to every aligned block: room for the stored raw address and
// for raising the user pointer to 16.
constexpr int32_t kAlignedExtra = 24;
// Pool length word in front of every pool block.
constexpr int32_t kWordSize = 4;

struct Pool {
  uint8_t enabled = 0;
  uint8_t *base = nullptr;
  uint8_t *cursor = nullptr;
  int32_t size = 0;
  int32_t remaining = 0;
};

Pool g_pool;

// Stores `raw` in the 8 bytes in front of the 16-aligned user pointer.
void StoreRaw(uint8_t *user, void *raw) { std::memcpy(user - sizeof raw, &raw, sizeof raw); }

void *LoadRaw(const void *user) {
  void *raw;
  std::memcpy(&raw, static_cast<const uint8_t *>(user) - sizeof raw, sizeof raw);
  return raw;
}

int32_t ReadWord(const uint8_t *block) {
  int32_t word;
  std::memcpy(&word, block - kWordSize, sizeof word);
  return word;
}

}  // namespace

extern "C" uint8_t *alignPtr64(const void *ptr) {
  if (ptr == nullptr) {
    ZQ_LOG_FAIL("alignPtr64", "ptr == NULL");
    return nullptr;
  }
  uintptr_t p = (reinterpret_cast<uintptr_t>(ptr) + 15) & ~static_cast<uintptr_t>(15);
  return reinterpret_cast<uint8_t *>(p);
}

extern "C" void *ZqSafeAlloc(int32_t len) {
  void *raw = len < 0 ? nullptr : bq_malloc(static_cast<unsigned>(len) + kAlignedExtra);
  if (raw == nullptr) {
    QUORV_LOGE("ZqSafeAlloc...udata == NULL, size = %d", len);
    return nullptr;
  }
  uint8_t *user = alignPtr64(static_cast<uint8_t *>(raw) + 8);
  StoreRaw(user, raw);
  std::memset(user, 0, static_cast<size_t>(len));
  ++gMallocCnts;
  return user;
}

extern "C" void ZqSafeFree(void *ptr) {
  if (ptr == nullptr) return;
  bq_free(LoadRaw(ptr));
  --gMallocCnts;
}

extern "C" void *ZqSafeRealloc(void *old, int32_t len) {
  if (old != nullptr) ZqSafeFree(old);
  return ZqSafeAlloc(len);
}

extern "C" int32_t ZqGetMallocCnts(void) { return gMallocCnts; }

extern "C" void ZqSetMemoryPoolEn(int32_t en) { g_pool.enabled = static_cast<uint8_t>(en); }

extern "C" int32_t ZqInitMemBlock(int32_t size) {
  if (!g_pool.enabled) return 0;
  // A second initialisation replaces the pool instead of leaking it.
  bq_free(g_pool.base);
  g_pool = Pool{g_pool.enabled};
  if (size < kWordSize) return -1;
  g_pool.base = static_cast<uint8_t *>(bq_malloc(static_cast<unsigned>(size)));
  if (g_pool.base == nullptr) return -1;
  std::memset(g_pool.base, 0, static_cast<size_t>(size));
  g_pool.size = size;
  g_pool.cursor = g_pool.base + kWordSize;
  g_pool.remaining = size - kWordSize;
  return 0;
}

extern "C" void ZqDestroyMemBlock(void) {
  if (!g_pool.enabled) return;
  bq_free(g_pool.base);
  g_pool = Pool{g_pool.enabled};
}

extern "C" void *ZqAllocInMemBlock(int32_t len) {
  if (len < 0 || g_pool.base == nullptr ||
      static_cast<int64_t>(g_pool.remaining) <= static_cast<int64_t>(len) + kWordSize) {
    QUORV_LOGE("%s...memory pool NOT enough!", "ZqAllocInMemBlock");
    return nullptr;
  }
  uint8_t *block = g_pool.cursor;
  int32_t word = len + kWordSize;
  std::memset(block, 0, static_cast<size_t>(len));
  std::memcpy(block - kWordSize, &word, sizeof word);
  g_pool.cursor += word;
  g_pool.remaining -= word;
  return block;
}

extern "C" void ZqFreeInMemBlock(void *block) {
  ZQ_CHECK_VOID(block == NULL);
  uint8_t *p = static_cast<uint8_t *>(block);
  // Only the most recent block may go back: anything else would rewind the
  // cursor into live blocks.
  bool inside = g_pool.base != nullptr && p >= g_pool.base + kWordSize && p < g_pool.cursor;
  if (!inside || ReadWord(p) < kWordSize || ReadWord(p) != g_pool.cursor - p) {
    ZQ_LOG_FAIL("ZqFreeInMemBlock", "block is not the last pool block");
    return;
  }
  int32_t word = ReadWord(p);
  g_pool.cursor -= word;
  g_pool.remaining += word;
}

extern "C" void *ZqSafeAllocInMemBlock(int32_t size) {
  if (!g_pool.enabled) return ZqSafeAlloc(size);
  void *block = nullptr;
  if (size >= 0 && size <= INT32_MAX - kAlignedExtra) block = ZqAllocInMemBlock(size + kAlignedExtra);
  if (block == nullptr) {
    QUORV_LOGE("ZqSafeAllocInMemBlock...udata == NULL, size = %d", size);
    return nullptr;
  }
  uint8_t *user = alignPtr64(static_cast<uint8_t *>(block) + 8);
  StoreRaw(user, block);
  return user;
}

extern "C" void ZqSafeFreeInMemBlock(void *ptr) {
  if (ptr == nullptr) return;
  if (g_pool.enabled) {
    ZqFreeInMemBlock(LoadRaw(ptr));
  } else {
    ZqSafeFree(ptr);
  }
}
