#include "minutiae/lfs_ridges.h"

#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_line.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_seq.h"
#include "minutiae/lfs_sort.h"

namespace {

unsigned char Colour(const unsigned char *bdata, int iw, int x, int y) {
  return bdata[static_cast<size_t>(y) * iw + x];
}

// 1 when the valley pixel (x, y) next to ridge pixel (ex, ey) reaches
// (tx, ty) along its outline within `steps` in `mode`, 2 when the walk
// gives up, 0 otherwise; negative on error.
int OutlineReaches(int tx, int ty, int x, int y, int ex, int ey, int steps, int mode,
                   const unsigned char *bdata, int iw, int ih) {
  int *cx, *cy, *cex, *cey, n;
  const int r = follow_contour(&cx, &cy, &cex, &cey, &n, steps, tx, ty, x, y, ex, ey, mode,
                               bdata, iw, ih);
  if (r == 0 || r == LFS_LOOP_FOUND) release_contour(cx, cy, cex, cey);
  return r;
}

}  // namespace

extern "C" int find_neighbors(int **nbr_list, int *nnbrs, int max_nbrs, int first,
                              const lfs_minutiae *minutiae) {
  auto *list = static_cast<int *>(lfs_malloc(sizeof(int) * (max_nbrs > 0 ? max_nbrs : 1)));
  if (list == nullptr) return lfs_fail("ERROR : find_neighbors : malloc : nbr_list\n", -460);
  auto *d2s = static_cast<double *>(lfs_malloc(sizeof(double) * (max_nbrs > 0 ? max_nbrs : 1)));
  if (d2s == nullptr) {
    std::free(list);
    return lfs_fail("ERROR : find_neighbors : malloc : nbr_sqr_dists\n", -461);
  }
  const lfs_minutia *f = minutiae->list[first];
  int n = 0;
  for (int s = first + 1; s < minutiae->count; ++s) {
    const lfs_minutia *m = minutiae->list[s];
    const double dx = static_cast<double>(m->x) - f->x;
    if (n == max_nbrs && (n == 0 || dx * dx >= d2s[n - 1])) break;
    const double d2 = squared_distance(f->x, f->y, m->x, m->y);
    if (n == max_nbrs && d2 >= d2s[n - 1]) continue;
    const int pos = insert_position(d2, d2s, n);
    const int last = n < max_nbrs ? n : n - 1;
    for (int k = last; k > pos; --k) {
      d2s[k] = d2s[k - 1];
      list[k] = list[k - 1];
    }
    d2s[pos] = d2;
    list[pos] = s;
    if (n < max_nbrs) ++n;
  }
  std::free(d2s);
  if (n == 0) {
    std::free(list);
    list = nullptr;
  }
  *nbr_list = list;
  *nnbrs = n;
  return 0;
}

extern "C" int next_colour_change(int *index, int from, int to, const int *xs, const int *ys,
                                  int n, const unsigned char *bdata, int iw) {
  for (int i = *index + 1; i < n; ++i)
    if (Colour(bdata, iw, xs[i - 1], ys[i - 1]) == from && Colour(bdata, iw, xs[i], ys[i]) == to) {
      *index = i;
      return 1;
    }
  *index = n;
  return 0;
}

extern "C" int ridge_count(int first, int second, const lfs_minutiae *minutiae,
                           const unsigned char *bdata, int iw, int ih, const lfs_params *params) {
  const lfs_minutia *f = minutiae->list[first];
  const lfs_minutia *s = minutiae->list[second];
  if (f->x == s->x && f->y == s->y) return 0;
  int *xs, *ys, n;
  int r = line_points(&xs, &ys, &n, f->x, f->y, s->x, s->y);
  if (r != 0) return r;
  const unsigned char v = Colour(bdata, iw, xs[0], ys[0]);
  int i = 1;
  while (i < n && Colour(bdata, iw, xs[i], ys[i]) == v) ++i;
  int count = 0;
  while (i < n) {
    int k = i;
    if (!next_colour_change(&k, 0, 1, xs, ys, n, bdata, iw)) break;
    int m = k;
    if (!next_colour_change(&m, 1, 0, xs, ys, n, bdata, iw)) break;
    i = m;
    int fx = xs[m], fy = ys[m], ex = xs[m - 1], ey = ys[m - 1];
    align_edge_pixel(&fx, &fy, &ex, &ey, bdata, iw);
    const int tx = xs[k - 1], ty = ys[k - 1];
    r = OutlineReaches(tx, ty, fx, fy, ex, ey, params->ridge_trace_steps, LFS_SCAN_CLOCKWISE,
                       bdata, iw, ih);
    if (r == 0)
      r = OutlineReaches(tx, ty, fx, fy, ex, ey, params->ridge_trace_steps,
                         LFS_SCAN_COUNTER_CLOCKWISE, bdata, iw, ih);
    if (r < 0) {
      std::free(xs);
      std::free(ys);
      return r;
    }
    if (r == 0) ++count;
  }
  std::free(xs);
  std::free(ys);
  return count;
}

extern "C" int count_minutia_ridges(lfs_minutiae *minutiae, const unsigned char *bdata, int iw,
                                    int ih, const lfs_params *params) {
  int r = sort_minutiae_x_y(minutiae, iw);
  if (r != 0) return r;
  r = remove_duplicate_minutiae(minutiae);
  if (r != 0) return r;
  if (minutiae->count < 2) return 0;
  for (int f = 0; f < minutiae->count - 1; ++f) {
    lfs_minutia *fm = minutiae->list[f];
    int *nbrs = nullptr, n = 0;
    r = find_neighbors(&nbrs, &n, params->neighbor_count_max, f, minutiae);
    if (r != 0) return r;
    if (n == 0) continue;
    auto *thetas = static_cast<double *>(lfs_malloc(sizeof(double) * n));
    if (thetas == nullptr) {
      std::free(nbrs);
      return lfs_fail("ERROR : sort_neighbors : malloc : join_thetas\n", -490);
    }
    for (int i = 0; i < n; ++i) {
      const lfs_minutia *s = minutiae->list[nbrs[i]];
      thetas[i] = std::fmod(angle_to_line(s->y, s->x, fm->y, fm->x) + 2.0 * M_PI, 2.0 * M_PI);
    }
    exchange_sort_double_inc_idx(thetas, nbrs, n);
    std::free(thetas);
    auto *counts = static_cast<int *>(lfs_malloc(sizeof(int) * n));
    if (counts == nullptr) {
      std::free(nbrs);
      return lfs_fail("ERROR : count_minutia_ridges : malloc : nbr_nridges\n", -450);
    }
    for (int i = 0; i < n; ++i) {
      r = ridge_count(f, nbrs[i], minutiae, bdata, iw, ih, params);
      if (r < 0) {
        std::free(nbrs);
        std::free(counts);
        return r;
      }
      counts[i] = r;
    }
    std::free(fm->neighbors);
    std::free(fm->ridge_counts);
    fm->neighbors = nbrs;
    fm->ridge_counts = counts;
    fm->neighbor_count = n;
  }
  return 0;
}
