// Neighbours of each minutia and the ridges crossed on the straight line to
// each, on the binarised image (1 ridge, 0 valley).
#ifndef MINUTIAE_LFS_RIDGES_H_
#define MINUTIAE_LFS_RIDGES_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Sorts the list by x then y, drops duplicates and gives every minutia but
// the last its up to neighbor_count_max nearest later neighbours, ordered by
// the angle to them, with the ridge count to each. Returns 0 or a negative
// code (minutiae done so far keep their neighbours).
int count_minutia_ridges(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                         const lfs_params *params);

// Hands out the indices of up to max_nbrs nearest minutiae after `first` in
// a list sorted by x, nearest first (equal distances in list order), and
// their count; no array when there are none. Returns 0, -460 or -461.
int find_neighbors(int **nbr_list, int *nnbrs, int max_nbrs, int first,
                   const lfs_minutiae *minutiae);

// Ridges crossed on the line from minutia `first` to minutia `second`,
// leaving out ridge fragments whose outline joins the line's valley pixels
// within ridge_trace_steps. Returns the count or a negative code.
int ridge_count(int first, int second, const lfs_minutiae *minutiae,
                const unsigned char *bdata, int iw, int ih, const lfs_params *params);

// From the current index, the first later index i of the point list with
// colour(i - 1) = from and colour(i) = to: sets *index to it and returns 1,
// or sets it to n and returns 0.
int next_colour_change(int *index, int from, int to, const int *xs, const int *ys, int n,
                       const unsigned char *bdata, int iw);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_RIDGES_H_
