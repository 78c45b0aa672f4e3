// Passes of false-minutia removal that judge the shape of a minutia's
// surroundings: malformed endings and pores.
#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_line.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_remove.h"
#include "minutiae/lfs_trace.h"

namespace {

struct Point {
  int x, y;
};

// Result of one contour walk: 1 with the pixels at `near` and `far` (indices
// from 1), 0 when the walk does not reach `far` pixels (a loop, an ignore or
// a short contour), or a negative code.
int Walk(Point *near_pt, Point *far_pt, int near_steps, int far_steps, int loop_x, int loop_y,
         int x, int y, int ex, int ey, int mode, const unsigned char *bdata, int iw, int ih) {
  int *cx, *cy, *cex, *cey, n;
  const int r = follow_contour(&cx, &cy, &cex, &cey, &n, far_steps, loop_x, loop_y, x, y, ex, ey,
                               mode, bdata, iw, ih);
  if (r < 0) return r;
  if (r == LFS_IGNORE) return 0;
  const bool ok = r == 0 && n >= far_steps && far_steps > 0;
  if (ok) {
    if (near_pt != nullptr) *near_pt = {cx[near_steps - 1], cy[near_steps - 1]};
    *far_pt = {cx[far_steps - 1], cy[far_steps - 1]};
  }
  release_contour(cx, cy, cex, cey);
  return ok ? 1 : 0;
}

double Dist(Point a, Point b) { return distance(a.x, a.y, b.x, b.y); }

bool Inside(int x, int y, int iw, int ih) { return x >= 0 && y >= 0 && x < iw && y < ih; }

// 1 to remove the minutia, 0 to keep it, or a negative code.
int IsMalformed(const lfs_minutia *m, const unsigned char *bdata, int iw, int ih,
                const lfs_block_maps *maps, const lfs_params *params) {
  const int near_steps = params->malformation_near_steps;
  const int far_steps = params->malformation_far_steps;
  Point a1, b1, a2, b2;
  int r = Walk(&a1, &b1, near_steps, far_steps, m->x, m->y, m->x, m->y, m->edge_x, m->edge_y,
               LFS_SCAN_COUNTER_CLOCKWISE, bdata, iw, ih);
  if (r <= 0) return r < 0 ? r : 1;
  r = Walk(&a2, &b2, near_steps, far_steps, m->x, m->y, m->x, m->y, m->edge_x, m->edge_y,
           LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r <= 0) return r < 0 ? r : 1;
  const double a = Dist(a1, a2), b = Dist(b1, b2);
  if (a == 0.0 || b == 0.0) return 1;
  const int blk = lfs_block_index(m->x, m->y, params->block_size, maps->mw, maps->mh);
  if (maps->low_flow[blk] && b > params->malformation_distance_max) return 1;
  int *xs, *ys, n;
  r = line_points(&xs, &ys, &n, b1.x, b1.y, b2.x, b2.y);
  if (r != 0) return r;
  bool off_colour = false;
  for (int i = 0; i < n && !off_colour; ++i)
    off_colour = bdata[static_cast<size_t>(ys[i]) * iw + xs[i]] != m->type;
  std::free(xs);
  std::free(ys);
  return off_colour && snap14(b / a) > params->malformation_ratio_min ? 1 : 0;
}

// 1 to remove the minutia, 0 to keep it, or a negative code.
int IsPore(const lfs_minutia *m, const unsigned char *bdata, int iw, int ih,
           const lfs_block_maps *maps, const lfs_params *params) {
  const int blk = lfs_block_index(m->x, m->y, params->block_size, maps->mw, maps->mh);
  if (!(maps->low_flow[blk] || maps->high_curve[blk]) || maps->direction[blk] < 0) return 0;
  const double theta = m->direction * M_PI / params->direction_count;
  const double s = std::sin(theta), c = std::cos(theta);
  const int p0x = nearest_int(snap14(m->x - s * params->pore_offset));
  const int p0y = nearest_int(snap14(m->y + c * params->pore_offset));
  // A start point outside the image has no colour to judge: keep.
  if (!Inside(p0x, p0y, iw, ih)) return 0;
  if (bdata[static_cast<size_t>(p0y) * iw + p0x] == m->type) return 0;
  const int fwd = params->pore_forward_steps, back = params->pore_backward_steps;
  int px, py, pex, pey;
  if (!find_pixel_along(&px, &py, &pex, &pey, m->type, p0x, p0y, -c, -s,
                        params->pore_search_steps, bdata, iw, ih))
    return 1;
  Point pf, pb, qf, qb;
  int r = Walk(nullptr, &pf, fwd, fwd, px, py, px, py, pex, pey, LFS_SCAN_COUNTER_CLOCKWISE,
               bdata, iw, ih);
  if (r <= 0) return r < 0 ? r : 1;
  r = Walk(nullptr, &pb, back, back, px, py, px, py, pex, pey, LFS_SCAN_CLOCKWISE, bdata, iw,
           ih);
  if (r <= 0) return r < 0 ? r : 1;
  int qx, qy, qex, qey;
  if (!find_pixel_along(&qx, &qy, &qex, &qey, m->type, p0x, p0y, c, s,
                        params->pore_search_steps, bdata, iw, ih))
    return 1;
  r = Walk(nullptr, &qf, fwd, fwd, qx, qy, qx, qy, qex, qey, LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r <= 0) return r < 0 ? r : 1;
  r = Walk(nullptr, &qb, back, back, qx, qy, qx, qy, qex, qey, LFS_SCAN_COUNTER_CLOCKWISE, bdata,
           iw, ih);
  if (r <= 0) return r < 0 ? r : 1;
  const double df = squared_distance(qf.x, qf.y, pf.x, pf.y);
  const double db = squared_distance(qb.x, qb.y, pb.x, pb.y);
  if (db <= params->pore_width_min || df / db > params->pore_ratio_max) return 0;
  return 1;
}

}  // namespace

extern "C" int remove_malformations(lfs_minutiae *minutiae, const unsigned char *bdata, int iw,
                                    int ih, const lfs_block_maps *maps,
                                    const lfs_params *params) {
  detector_trace("\nREMOVING MALFORMATIONS:\n");
  for (int i = minutiae->count - 1; i >= 0; --i) {
    const int r = IsMalformed(minutiae->list[i], bdata, iw, ih, maps, params);
    if (r < 0) return r;
    if (r == 1) {
      const int rr = remove_minutia(i, minutiae);
      if (rr != 0) return rr;
    }
  }
  return 0;
}

extern "C" int remove_pores(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                            const lfs_block_maps *maps, const lfs_params *params) {
  detector_trace("\nREMOVING PORES:\n");
  int i = 0;
  while (i < minutiae->count) {
    const int r = IsPore(minutiae->list[i], bdata, iw, ih, maps, params);
    if (r < 0) return r;
    if (r == 1) {
      const int rr = remove_minutia(i, minutiae);
      if (rr != 0) return rr;
      continue;
    }
    ++i;
  }
  return 0;
}
