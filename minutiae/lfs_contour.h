// Contour tracing on the binarised image (1 ridge, 0 valley): walking the
// boundary between a pixel colour (the feature) and the other (the edge).
// A contour is four parallel arrays: the pixels (x, y), all of the feature
// colour, and for each an adjacent pixel of the edge colour (ex, ey). No
// routine looks outside the image.
#ifndef MINUTIAE_LFS_CONTOUR_H_
#define MINUTIAE_LFS_CONTOUR_H_

#ifdef __cplusplus
extern "C" {
#endif

// Scan modes: turning through the neighbours N, NE, E, ... (clockwise as
// displayed) or the other way.
enum { LFS_SCAN_CLOCKWISE = 0, LFS_SCAN_COUNTER_CLOCKWISE = 1 };

// Results of the contour routines besides 0 and negative error codes.
enum { LFS_LOOP_FOUND = 1, LFS_IGNORE = 2, LFS_INCOMPLETE = 3 };

// Hands out the four arrays of a contour of up to `n` pixels. Returns 0, or
// -180 to -183 when memory runs out, with nothing handed out.
int allocate_contour(int **cx, int **cy, int **cex, int **cey, int n);

// Frees the four arrays of a contour; NULLs are ignored.
void release_contour(int *cx, int *cy, int *cex, int *cey);

// Makes a feature pixel and its diagonal edge 4-adjacent, moving the edge
// or the feature; leaves a pair that is not diagonal alone.
void align_edge_pixel(int *fx, int *fy, int *ex, int *ey, const unsigned char *bdata, int iw);

// Finds the contour pixel after (x, y) with edge (ex, ey), turning in
// `scan_mode`. Returns 1 with the next pixel and its edge, or 0 when there
// is none.
int step_contour(int *nx, int *ny, int *nex, int *ney, int x, int y, int ex, int ey,
                 int scan_mode, const unsigned char *bdata, int iw, int ih);

// Walks up to max_len steps from (x, y) with edge (ex, ey) and hands out
// the pixels passed (the start excluded). Returns 0 (full length, or no next
// pixel), 1 when the walk reached (loop_x, loop_y) (not stored), 2 without
// allocating when the start and its edge have the same colour, or a negative
// allocation error. The contour is handed out on 0 and 1 only.
int follow_contour(int **cx, int **cy, int **cex, int **cey, int *ncontour, int max_len,
                   int loop_x, int loop_y, int x, int y, int ex, int ey, int scan_mode,
                   const unsigned char *bdata, int iw, int ih);

// 1 when a walk of at most max_steps from (x, y) with edge (ex, ey) lands on
// (tx, ty), else 0 (also when the start and its edge have the same colour).
int contour_reaches(int tx, int ty, int max_steps, int x, int y, int ex, int ey,
                    int scan_mode, const unsigned char *bdata, int iw, int ih);

// Hands out the contour of 2 half + 1 pixels centred on (x, y): `half`
// pixels back (clockwise walk, reversed), the start, `half` pixels forward.
// Returns 0 with the contour; 1 (a loop), 2 (ignore), 3 (a half came out
// short) or a negative error without one.
int contour_around(int **cx, int **cy, int **cex, int **cey, int *ncontour, int half, int x,
                   int y, int ex, int ey, const unsigned char *bdata, int iw, int ih);

// As contour_around, for the high-curvature test: a loop in the first half
// returns 1 with the loop (the start, then the first half reversed); a loop
// in the second half counts as complete (0, possibly shorter); an ignore or
// a short half returns 0 with an empty contour (NULL arrays).
int contour_around_or_loop(int **cx, int **cy, int **cex, int **cey, int *ncontour, int half,
                           int x, int y, int ex, int ey, const unsigned char *bdata, int iw,
                           int ih);

// The index and angle (radians, snapped) of the sharpest turn along the
// contour, comparing each pixel with the pixels `step` before and after.
// Returns 0, or 2 when the contour has no more than 2 step pixels. Without a
// turn below 3.1416015625 the index is n / 2 and the angle that value.
int sharpest_contour_turn(int *index, double *angle, int step, const int *cx, const int *cy,
                          int n);

// Smallest and largest x and y of the contour; all 0 for an empty one.
void contour_bounds(int *xmin, int *ymin, int *xmax, int *ymax, const int *cx, const int *cy,
                    int n);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_CONTOUR_H_
