// Allocation pair of the algorithm core, used by the sensor access layer.
#ifndef SRC_ZQALG_ZQALLOC_H_
#define SRC_ZQALG_ZQALLOC_H_

#ifdef __cplusplus
extern "C" {
#endif

// ZqSafeAlloc(len): a zeroed, 16-aligned, counted block, or NULL.
void *ZqAlloc(int len);

// ZqSafeFree(p): releases a ZqAlloc block; NULL is ignored.
void ZqFree(void *p);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQALLOC_H_
