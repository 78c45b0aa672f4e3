// The net memory pool: one heap block handed out as a stack to the tensors
// of the CNN classifiers. Process-wide, absent at load.
#ifndef SRC_NETMODEL_ZQNETMEMORYMANGER_H_
#define SRC_NETMODEL_ZQNETMEMORYMANGER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Creates an empty pool of size bytes: 0; -1 when a pool exists; -2 when
// the block cannot be allocated.
int32_t ZqNetInitMemroyPool(int32_t size);

// Releases the pool (live tensor records are not touched); none: nothing.
void ZqNetFreeMemroyPool(void);

// Makes the pool hold at least size bytes: 0 when it already does or size
// is negative; -1 while blocks are live; else ZqNetInitMemroyPool's result
// (a failure leaves no pool).
int32_t ZqNetRecallMemroyPool(int32_t size);

// Pushes a block of n bytes and writes its depth (1 first) to *slot; NULL
// when there is no pool, it is too small, it is damaged, n < 0 or slot is
// NULL.
void *ZqNetSafeAlloc(int32_t n, int32_t *slot);

// Pops the top block p of n bytes at depth slot: 0; 0 for NULL p and
// (logged) for n < 0 or slot < 1; -1 when p is not the top block.
int32_t ZqNetFreeAlloc(const void *p, int32_t n, int32_t slot);

// The pool's state, for tests.
typedef struct ZqNetPoolState {
  const void *base;  // NULL when there is no pool
  const void *top;   // first free byte
  int32_t capacity;  // bytes
  int32_t count;     // live blocks
  int32_t used;      // bytes handed out
  int32_t peak;      // largest `used` since the last reset or creation
} ZqNetPoolState;

// Reads the pool's state (test hook).
void ZqNetPoolStateForTest(ZqNetPoolState *state);

// Releases the pool and clears the peak (test hook).
void ZqNetPoolResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_ZQNETMEMORYMANGER_H_
