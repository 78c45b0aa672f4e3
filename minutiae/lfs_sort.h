// Exchange sorts and index sorts of the minutiae detector. Every sort is
// stable and in place: passes over adjacent pairs from the start swap a pair
// that is out of order, each pass one element shorter, until a pass swaps
// nothing.
#ifndef MINUTIAE_LFS_SORT_H_
#define MINUTIAE_LFS_SORT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Sorts int keys ascending, carrying the companion indices along.
void exchange_sort_int_inc_idx(int32_t *keys, int32_t *indices, int n);

// Sorts double keys ascending, carrying the companion indices along.
void exchange_sort_double_inc_idx(double *keys, int32_t *indices, int n);

// Sorts double keys descending, carrying the companion indices along.
void exchange_sort_double_dec_idx(double *keys, int32_t *indices, int n);

// Sorts int keys ascending.
void exchange_sort_int_inc(int32_t *keys, int n);

// Hands out in *order the indices 0..n-1 ordered by the keys ascending (the
// keys are sorted too). Returns 0, or -390 when memory runs out.
int sort_indices_int_inc(int32_t **order, int32_t *keys, int n);

// As sort_indices_int_inc for double keys; -400 when memory runs out.
int sort_indices_double_inc(int32_t **order, double *keys, int n);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_SORT_H_
