// Candidates in high-curvature blocks and minutiae made from loops.
#include <cstdlib>

#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_line.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_loop.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_scan.h"

namespace {

// Makes the loop minutia at loop pixel i and offers it to the list.
int AddLoopEnd(lfs_minutiae *minutiae, const int *cx, const int *cy, const int *cex,
               const int *cey, int i, int direction, int type, unsigned char *bdata, int iw,
               int ih, const int *plow_flow, const lfs_params *params) {
  const int appearing = is_minutia_appearing(cx[i], cy[i], cex[i], cey[i]);
  if (appearing < 0) return appearing;
  const double reliability = plow_flow[cy[i] * iw + cx[i]] ? 0.5 : 0.99;
  lfs_minutia *m = nullptr;
  int r = create_minutia(&m, cx[i], cy[i], cex[i], cey[i], direction, reliability, type,
                         appearing, LFS_LOOP_PATTERN_ID);
  if (r != 0) return r;
  r = add_loop_minutia(minutiae, m, bdata, iw, ih, params);
  if (r != 0) release_minutia(m);
  return r < 0 ? r : 0;
}

}  // namespace

extern "C" int loop_to_minutiae(const int *cx, const int *cy, const int *cex, const int *cey,
                                int n, lfs_minutiae *minutiae, unsigned char *bdata, int iw,
                                int ih, const int *plow_flow, const lfs_params *params) {
  if (n <= params->loop_length_min) return fill_loop(cx, cy, n, bdata, iw, ih);
  int min_a, min_b, max_a, max_b;
  double min_d2, max_d2;
  loop_widths(&min_a, &min_b, &min_d2, &max_a, &max_b, &max_d2, cx, cy, n);
  // Only a loop that is pinched or much longer than wide is kept.
  if (!(min_d2 < params->loop_width_min || max_d2 / min_d2 >= params->loop_ratio_min))
    return fill_loop(cx, cy, n, bdata, iw, ih);
  const int colour = bdata[cy[0] * iw + cx[0]];
  const int mx = (cx[max_a] + cx[max_b]) / 2;
  const int my = (cy[max_a] + cy[max_b]) / 2;
  if (bdata[my * iw + mx] != colour) return fill_loop(cx, cy, n, bdata, iw, ih);

  const int ndirs = params->direction_count;
  const int t = line_to_direction(cx[max_a], cy[max_a], cx[max_b], cy[max_b], ndirs);
  const int type = colour != 0 ? 1 : 0;
  int r = AddLoopEnd(minutiae, cx, cy, cex, cey, max_a, t, type, bdata, iw, ih, plow_flow,
                     params);
  if (r != 0) return r;
  return AddLoopEnd(minutiae, cx, cy, cex, cey, max_b, (t + ndirs) % (2 * ndirs), type, bdata,
                    iw, ih, plow_flow, params);
}

extern "C" int refine_high_curvature_minutia(int *x, int *y, int *ex, int *ey, int *direction,
                                             lfs_minutiae *minutiae, const lfs_scan_image *img,
                                             const lfs_params *params) {
  int *cx = nullptr, *cy = nullptr, *cex = nullptr, *cey = nullptr, n = 0;
  const int half = params->high_curve_half_contour;
  int r = contour_around_or_loop(&cx, &cy, &cex, &cey, &n, half, *x, *y, *ex, *ey, img->bdata,
                                 img->iw, img->ih);
  if (r < 0) return r;
  if (r == LFS_LOOP_FOUND) {
    r = loop_turns_clockwise(cx, cy, n, 1);
    if (r == 0)
      r = loop_to_minutiae(cx, cy, cex, cey, n, minutiae, img->bdata, img->iw, img->ih,
                           img->plow_flow, params);
    else if (r == 1)
      r = 0;
    release_contour(cx, cy, cex, cey);
    return r < 0 ? r : 2;
  }
  if (n == 0) {
    release_contour(cx, cy, cex, cey);
    return 2;
  }
  const int step = half / 2;
  int i = 0;
  double angle = 0.0;
  r = sharpest_contour_turn(&i, &angle, step, cx, cy, n);
  if (r != 0 || angle >= params->high_curve_angle_max) {
    release_contour(cx, cy, cex, cey);
    return r != 0 ? r : 2;
  }
  const int mx = (cx[i - step] + cx[i + step]) / 2;
  const int my = (cy[i - step] + cy[i + step]) / 2;
  const int w = img->iw;
  if (img->bdata[my * w + mx] != img->bdata[*y * w + *x]) {
    release_contour(cx, cy, cex, cey);
    return 2;
  }
  *x = cx[i];
  *y = cy[i];
  *ex = cex[i];
  *ey = cey[i];
  *direction = line_to_direction(cx[i], cy[i], mx, my, params->direction_count);
  release_contour(cx, cy, cex, cey);
  return 0;
}
