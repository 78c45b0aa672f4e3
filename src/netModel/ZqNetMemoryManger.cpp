#include "src/netModel/ZqNetMemoryManger.h"

#include <cstddef>

#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

struct NetPool {
  uint8_t *base = nullptr;
  uint8_t *top = nullptr;
  int32_t capacity = 0;
  int32_t count = 0;
  int32_t used = 0;
  int32_t peak = 0;
};

NetPool g_net_pool;

}  // namespace

extern "C" int32_t ZqNetInitMemroyPool(int32_t size) {
  NetPool &pool = g_net_pool;
  if (pool.base != nullptr) {
    QUORV_LOGE("%s[%05d]...the net buffer pool is not NULL!\n", __func__, __LINE__);
    return -1;
  }
  QUORV_LOGI("[%s][%d] bufferSize = %d", __func__, __LINE__, size);
  auto *block = static_cast<uint8_t *>(ZqSafeAlloc(size));
  if (block == nullptr) {
    QUORV_LOGE("%s[%05d]...ZqSafeAlloc() failed!\n", __func__, __LINE__);
    return -2;
  }
  pool.base = pool.top = block;
  pool.capacity = size;
  pool.count = 0;
  pool.used = 0;
  pool.peak = 0;
  return 0;
}

extern "C" void ZqNetFreeMemroyPool(void) {
  NetPool &pool = g_net_pool;
  if (pool.base == nullptr) return;
  pool.top = nullptr;
  pool.count = pool.capacity = pool.used = 0;
  ZqSafeFree(pool.base);
  pool.base = nullptr;
}

extern "C" int32_t ZqNetRecallMemroyPool(int32_t size) {
  NetPool &pool = g_net_pool;
  if (pool.capacity >= size || size < 0) return 0;
  if (pool.used != 0 || pool.top != pool.base) {
    QUORV_LOGE("%s[%05d]...the net buffer pool is occupyed!", __func__, __LINE__);
    return -1;
  }
  ZqNetFreeMemroyPool();
  int32_t ret = ZqNetInitMemroyPool(size);
  QUORV_LOGI("[%s][%d] bufferSize = %d", __func__, __LINE__, size);
  return ret;
}

extern "C" void *ZqNetSafeAlloc(int32_t n, int32_t *slot) {
  NetPool &pool = g_net_pool;
  if (n < 0 || slot == nullptr) {
    QUORV_LOGE("%s[%05d]...input is error!\n", __func__, __LINE__);
    return nullptr;
  }
  if (pool.base == nullptr || static_cast<int64_t>(pool.used) + n > pool.capacity) {
    QUORV_LOGE("%s[%05d]...buffersize is not enough!\n", __func__, __LINE__);
    return nullptr;
  }
  if (pool.base + pool.used != pool.top) {
    QUORV_LOGE("%s[%05d]...the Pool is damaged!\n", __func__, __LINE__);
    return nullptr;
  }
  uint8_t *block = pool.base + pool.used;
  pool.used += n;
  pool.top = pool.base + pool.used;
  pool.count += 1;
  if (pool.used > pool.peak) pool.peak = pool.used;
  *slot = pool.count;
  return block;
}

extern "C" int32_t ZqNetFreeAlloc(const void *p, int32_t n, int32_t slot) {
  NetPool &pool = g_net_pool;
  if (p == nullptr) return 0;
  if (n < 0 || slot < 1) {
    QUORV_LOGE("%s[%05d]...input is error!\n", __func__, __LINE__);
    return 0;
  }
  // Compare addresses as integers: p need not lie inside the pool.
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(n);
  if (pool.base == nullptr || end != reinterpret_cast<uintptr_t>(pool.top) ||
      slot != pool.count || n > pool.used) {
    QUORV_LOGE("%s[%05d]...the Pool is damaged!\n", __func__, __LINE__);
    return -1;
  }
  pool.used -= n;
  pool.count = slot - 1;
  pool.top = pool.base + pool.used;
  return 0;
}

extern "C" void ZqNetPoolStateForTest(ZqNetPoolState *state) {
  if (state == nullptr) return;
  const NetPool &pool = g_net_pool;
  state->base = pool.base;
  state->top = pool.top;
  state->capacity = pool.capacity;
  state->count = pool.count;
  state->used = pool.used;
  state->peak = pool.peak;
}

extern "C" void ZqNetPoolResetForTest(void) {
  ZqNetFreeMemroyPool();
  g_net_pool.peak = 0;
}
