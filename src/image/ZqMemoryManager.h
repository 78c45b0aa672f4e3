// Memory of the algorithm libraries: the counted, 16-byte-aligned heap
// allocator and the stack-like pool that can stand in for it.
#ifndef SRC_ZQMEMORYMANAGER_H_
#define SRC_ZQMEMORYMANAGER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Number of live ZqSafeAlloc blocks (plain counter, no lock).
extern int32_t gMallocCnts;

// Returns a zeroed block of len bytes aligned to 16 and counts it, or NULL
// when len is negative or the system allocation fails (logged).
void *ZqSafeAlloc(int32_t len);

// Frees a ZqSafeAlloc block and uncounts it; NULL is ignored.
void ZqSafeFree(void *ptr);

// Frees old (when not NULL) and returns ZqSafeAlloc(len); the old contents
// are not kept.
void *ZqSafeRealloc(void *old, int32_t len);

// Returns gMallocCnts.
int32_t ZqGetMallocCnts(void);

// Raises ptr to the next multiple of 16; NULL is logged and gives NULL.
uint8_t *alignPtr64(const void *ptr);

// Stores the low byte of en as the pool switch (0 off, else on).
void ZqSetMemoryPoolEn(int32_t en);

// With the switch on, (re)creates a zeroed pool of size bytes, releasing
// an earlier one: 0, or -1 when size < 4 or the allocation fails. With the
// switch off does nothing and returns 0.
int32_t ZqInitMemBlock(int32_t size);

// With the switch on, releases the pool; with it off does nothing.
void ZqDestroyMemBlock(void);

// Returns len zeroed bytes from the pool, granted only when the remaining
// room is strictly more than len + 4; else logs
// "ZqAllocInMemBlock...memory pool NOT enough!" and returns NULL.
void *ZqAllocInMemBlock(int32_t len);

// Releases the most recent pool block. NULL, and a block that is not the
// most recent live one, are logged and ignored.
void ZqFreeInMemBlock(void *block);

// Switch on: a pool block of size + 24 bytes, aligned to 16, not counted;
// NULL when the pool is short (logged, no heap fallback). Switch off:
// ZqSafeAlloc(size).
void *ZqSafeAllocInMemBlock(int32_t size);

// Releases a ZqSafeAllocInMemBlock block under the same switch; NULL is
// ignored.
void ZqSafeFreeInMemBlock(void *ptr);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQMEMORYMANAGER_H_
