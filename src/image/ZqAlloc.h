// Allocation pair over the counted heap, used by the sensor access layer and
// the sensor library, and the heap figures it reports.
#ifndef SRC_IMAGE_ZQALLOC_H_
#define SRC_IMAGE_ZQALLOC_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ZqSafeAlloc(len): a zeroed, 16-aligned, counted block, or NULL.
void *ZqAlloc(int len);

// ZqSafeFree(p): releases a ZqAlloc block; NULL is ignored.
void ZqFree(void *p);

// ZqGetMallocCnts(): the number of live counted blocks.
int32_t ZqGetHeapMallocCnts(void);

// Not tracked: 0.
int32_t ZqGetMaxHeapMemorySize(void);

// Not tracked: 0.
int32_t ZqGetTotalHeapMemorySize(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_IMAGE_ZQALLOC_H_
