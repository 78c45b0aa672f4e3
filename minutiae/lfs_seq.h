// Small routines over int and double sequences: local extremes, largest and
// smallest entries, search and removal.
#ifndef MINUTIAE_LFS_SEQ_H_
#define MINUTIAE_LFS_SEQ_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Lists the local extremes of items[0..n-1]: value, kind (1 maximum, -1
// minimum) and index of each, in three new arrays of n - 2 entries. A flat
// run is recorded at its midpoint, a single-sample extreme at the index
// before it. n <= 2 gives no extremes and no arrays. Returns 0, or -290,
// -291 or -292 when memory runs out, with nothing handed out.
int minmaxs(int32_t **values, int32_t **kinds, int32_t **indices, int *count,
            const int32_t *items, int n);

// Largest entry of list[0..n-1] (n >= 1).
int32_t largest_int(const int32_t *list, int n);

// Smallest entry of list[0..n-1] (n >= 1).
int32_t smallest_int(const int32_t *list, int n);

// Index of the first entry equal to item, or -1.
int int_list_index(int32_t item, const int32_t *list, int n);

// First index at which item is below the list entry, or n when none is.
int insert_position(double item, const double *list, int n);

// Removes list[index] from list[0..n-1], moving later entries down. Returns
// 0, or -370 for an index outside the list.
int remove_from_int_list(int index, int32_t *list, int n);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_SEQ_H_
