// Loops on the binarised image: whether minutiae sit on small loops,
// islands, lakes or hooks, the turning sense and widths of a loop, and
// filling a loop with the other colour.
#ifndef MINUTIAE_LFS_LOOP_H_
#define MINUTIAE_LFS_LOOP_H_

#include <stdint.h>

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// One row of a shape: the distinct x values of the contour on row y.
typedef struct lfs_shape_row {
  int32_t y;         // the row
  int32_t capacity;  // slots in xs (the contour's width)
  int32_t count;     // x values held, ascending
  int32_t *xs;
} lfs_shape_row;

// The rows of a contour from its smallest to its largest y.
typedef struct lfs_shape {
  int32_t ymin;  // first row
  int32_t ymax;  // last row
  int32_t nrows;
  lfs_shape_row **rows;
} lfs_shape;

// Hands out an empty shape for the bounding box, one row per y with room
// for xmax - xmin + 1 values. Returns 0, or -250 to -253 when memory runs
// out, with nothing handed out.
int alloc_shape(lfs_shape **shape, int xmin, int ymin, int xmax, int ymax);

// Frees every row with its x values, the rows and the shape; NULL is
// ignored.
void free_shape(lfs_shape *shape);

// Hands out the shape of a contour: per row, its distinct x values sorted.
// Returns 0; -260 when a row overflows; allocation errors of alloc_shape.
int shape_from_contour(lfs_shape **shape, const int *cx, const int *cy, int n);

// Whether the contour from the minutia closes on it within max_length
// steps: 1 yes, 0 no, 2 when the walk gives up, negative on error.
int minutia_on_loop(const lfs_minutia *minutia, int max_length, const unsigned char *bdata,
                    int iw, int ih);

// Whether minutiae a and b lie on one closed contour whose halves are at
// most max_half_length long. On 1 hands out the loop: a, the half from a to
// b, b, the half back. Returns 0 (no), 2 (ignore) or a negative error
// without a loop.
int pair_on_island_or_lake(int **cx, int **cy, int **cex, int **cey, int *ncontour,
                           const lfs_minutia *a, const lfs_minutia *b, int max_half_length,
                           const unsigned char *bdata, int iw, int ih);

// Whether b's pixel lies within max_length steps along the other colour's
// contour from a (clockwise, then counter-clockwise): 1 yes, 0 no, 2
// ignore, negative on error.
int pair_on_hook(const lfs_minutia *a, const lfs_minutia *b, int max_length,
                 const unsigned char *bdata, int iw, int ih);

// 1 when the closed loop turns clockwise as displayed, 0 when the other way;
// `default_result` for 3 pixels or fewer or no net turn. -170 when memory
// runs out.
int loop_turns_clockwise(const int *cx, const int *cy, int n, int default_result);

// Pairs pixel i of the loop with the pixel half the loop further on and
// reports the pairs (indices) with the smallest and largest squared
// distances, first ones on ties.
void loop_widths(int *min_a, int *min_b, double *min_d2, int *max_a, int *max_b,
                 double *max_d2, const int *cx, const int *cy, int n);

// Paints the loop and its inside with the colour opposite to the loop's
// first pixel. Returns 0 (also when a row has no pixels: the fill stops with
// a warning), or a shape error.
int fill_loop(const int *cx, const int *cy, int n, unsigned char *bdata, int iw, int ih);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_LOOP_H_
