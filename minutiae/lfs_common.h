// Allocation and error reporting shared by every routine of the minutiae
// detector. The detector allocates with the C heap (its callers release what
// it hands out with free) and writes its error texts to standard error.
#ifndef MINUTIAE_LFS_COMMON_H_
#define MINUTIAE_LFS_COMMON_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// malloc, unless a test has asked for allocation failures.
void *lfs_malloc(size_t size);

// calloc, unless a test has asked for allocation failures.
void *lfs_calloc(size_t count, size_t size);

// realloc, unless a test has asked for allocation failures (then the block
// is left as it was).
void *lfs_realloc(void *block, size_t size);

// Writes `text` unchanged to standard error and returns `code`.
int lfs_fail(const char *text, int code);

// Test-only: the next `ok` allocations succeed and every later one fails; a
// negative `ok` (the default) never fails.
void LfsFailAllocationsAfterForTest(int ok);

// Test-only: allocations refused since the last
// LfsFailAllocationsAfterForTest.
int LfsRefusedAllocationsForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_COMMON_H_
