// Operations on minutiae lists (lfs_minutiae): allocation, growth, creation
// and removal of minutiae, duplicate removal and positional sorts.
#ifndef MINUTIAE_LFS_LIST_H_
#define MINUTIAE_LFS_LIST_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Hands out an empty list with `capacity` slots. Returns 0, or -430 (record)
// or -431 (slots) when memory runs out, with nothing handed out.
int alloc_minutiae(lfs_minutiae **minutiae, int capacity);

// Grows the list by `increment` slots. Returns 0, or -432 when memory runs
// out, with the list unchanged.
int realloc_minutiae(lfs_minutiae *minutiae, int increment);

// Hands out a new minutia without neighbour arrays. Returns 0, or -230 when
// memory runs out.
int create_minutia(lfs_minutia **minutia, int x, int y, int edge_x, int edge_y,
                   int direction, double reliability, int type, int appearing,
                   int pattern_id);

// Frees the minutia's neighbour and ridge-count arrays, then the minutia.
// NULL is ignored.
void release_minutia(lfs_minutia *minutia);

// Frees the minutia at `index` and moves every later one a slot down.
// Returns 0, or -380 for an index outside the list (nothing changes).
int remove_minutia(int index, lfs_minutiae *minutiae);

// On a list sorted by position, removes all but the last of every run of
// minutiae at the same x and y. Returns 0.
int remove_duplicate_minutiae(lfs_minutiae *minutiae);

// Stable sort by the key iw * y + x ascending. Returns 0, or -310, -311 or
// -390 when memory runs out, with the list unchanged.
int sort_minutiae_y_x(lfs_minutiae *minutiae, int iw);

// Stable sort by the key iw * x + y ascending. Returns 0, or -440, -441 or
// -390 when memory runs out, with the list unchanged.
int sort_minutiae_x_y(lfs_minutiae *minutiae, int iw);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_LIST_H_
