// The minutia scan of the binarised image (1 ridge, 0 valley): row pairs and
// column pairs are matched against ten feature patterns of three successive
// pixel pairs, and every match becomes a candidate minutia with its direction
// from the block map; candidates in high-curvature blocks are refined along
// their contour, and long thin loops give pairs of minutiae.
#ifndef MINUTIAE_LFS_SCAN_H_
#define MINUTIAE_LFS_SCAN_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Feature patterns: 0..9 from the scan, LFS_LOOP_PATTERN_ID for loop minutiae.
enum { LFS_PATTERN_COUNT = 10, LFS_LOOP_PATTERN_ID = 10 };

// Scans in rows (pairs top/bottom) or in columns (pairs left/right).
enum { LFS_SCAN_ROWS = 0, LFS_SCAN_COLUMNS = 1 };

// One feature pattern: three successive pixel pairs.
typedef struct lfs_feature_pattern {
  int type;          // 1 ridge ending, 0 bifurcation
  int appearing;     // 1 when the feature begins in scan order
  int first[2];      // pixel pairs (top, bottom) or (left, right)
  int second[2];
  int third[2];
} lfs_feature_pattern;

// The ten patterns in their fixed order.
extern const lfs_feature_pattern pair_patterns[LFS_PATTERN_COUNT];

// The binarised image and the block maps spread over its pixels.
typedef struct lfs_scan_image {
  unsigned char *bdata;     // 1 ridge, 0 valley; loops may be filled
  int iw, ih;
  const int *pdirection;    // block direction per pixel
  const int *plow_flow;     // low-flow flag per pixel
  const int *phigh_curve;   // high-curvature flag per pixel
} lfs_scan_image;

// Scans rows, then columns, adding candidates to the list. Returns 0 or a
// negative code.
int scan_for_minutiae(lfs_minutiae *minutiae, unsigned char *bdata, int iw, int ih,
                      const int *direction_map, const int *low_flow_map,
                      const int *high_curve_map, int mw, int mh, const lfs_params *params);

// The candidate of pattern `pattern` matched in row pair (y, y + 1) with its
// second pair running from column x2 and its third pair at column x3. Returns
// 0 (added or refused), 2 (no minutia) or a negative code.
int make_row_minutia(lfs_minutiae *minutiae, int x2, int x3, int y, int pattern,
                     const lfs_scan_image *img, const lfs_params *params);

// As make_row_minutia in column pair (x, x + 1), rows y2 and y3.
int make_column_minutia(lfs_minutiae *minutiae, int y2, int y3, int x, int pattern,
                        const lfs_scan_image *img, const lfs_params *params);

// Appends a scan candidate unless a close, similar minutia (a rival) sits at
// the same pixel or on the same contour; a rival on the contour is replaced
// when `scan` is the one preferred for block direction d. Returns 0 when
// added, 2 when refused (the caller frees it), or a negative code.
int add_scan_minutia(lfs_minutiae *minutiae, lfs_minutia *minutia, int scan, int d,
                     const unsigned char *bdata, int iw, int ih, const lfs_params *params);

// Appends a loop minutia unless a rival sits at the same pixel or on the same
// contour. Returns 0 when added, 2 when refused, or a negative code.
int add_loop_minutia(lfs_minutiae *minutiae, lfs_minutia *minutia,
                     const unsigned char *bdata, int iw, int ih, const lfs_params *params);

// Moves a candidate in a high-curvature block to the sharpest turn of its
// contour and sets its direction towards the inside of the turn. Returns 0,
// 2 when no minutia is to be made (a loop is handed to loop_to_minutiae), or
// a negative code.
int refine_high_curvature_minutia(int *x, int *y, int *ex, int *ey, int *direction,
                                  lfs_minutiae *minutiae, const lfs_scan_image *img,
                                  const lfs_params *params);

// A loop contour: short or round loops are filled; a long thin one gives two
// opposite minutiae at the ends of its widest pair. Returns 0 or a negative
// code.
int loop_to_minutiae(const int *cx, const int *cy, const int *cex, const int *cey, int n,
                     lfs_minutiae *minutiae, unsigned char *bdata, int iw, int ih,
                     const int *plow_flow, const lfs_params *params);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_SCAN_H_
