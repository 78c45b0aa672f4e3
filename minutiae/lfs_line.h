// Straight lines on the binarised image: their pixels, whether they cross
// few colour changes, searching along a direction, and which side of a
// minutia its feature lies on.
#ifndef MINUTIAE_LFS_LINE_H_
#define MINUTIAE_LFS_LINE_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the pixels of the line from (x1, y1) to (x2, y2), both ends
// included. Returns 0, -410 or -411 when memory runs out, or -412 when the
// walk misses its end, with nothing handed out.
int line_points(int **xs, int **ys, int *count, int x1, int y1, int x2, int y2);

// 1 when the line from (x1, y1) to (x2, y2) changes colour at most
// free_path_transitions_max times, else 0; line_points errors are returned.
int path_is_free(int x1, int y1, int x2, int y2, const unsigned char *bdata, int iw, int ih,
                 const lfs_params *params);

// Steps from (sx, sy) by (dx, dy) up to max_steps times, rounding each
// point, until a pixel of `colour`: returns 1 with it and the point before
// it as its edge (made 4-adjacent). Returns 0 with all four outputs -1 when
// none is found inside the image.
int find_pixel_along(int *px, int *py, int *ex, int *ey, int colour, double sx, double sy,
                     double dx, double dy, int max_steps, const unsigned char *bdata, int iw,
                     int ih);

// 1 when the edge lies left of (or, in the same column, above) the pixel,
// 0 when right (below); -240 when the pixel is its own edge.
int is_minutia_appearing(int x, int y, int edge_x, int edge_y);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_LINE_H_
