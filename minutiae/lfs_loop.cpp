#include "minutiae/lfs_loop.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_sort.h"

namespace {

// Chain code of a step, indexed by (dx + 1) + 3 * (dy + 1): 0 E, 1 NE, 2 N,
// 3 NW, 4 W, 5 SW, 6 S, 7 SE (N = decreasing y).
constexpr int kChainCodes[9] = {3, 2, 1, 4, -1, 0, 5, 6, 7};

// A step's component brought into -1..1, so that pixels that are not
// neighbours cannot index outside the chain-code table.
inline int Unit(int d) { return d > 0 ? 1 : (d < 0 ? -1 : 0); }

inline int ChainCode(int fx, int fy, int tx, int ty) {
  return kChainCodes[(Unit(tx - fx) + 1) + 3 * (Unit(ty - fy) + 1)];
}

}  // namespace

extern "C" int alloc_shape(lfs_shape **shape, int xmin, int ymin, int xmax, int ymax) {
  auto *s = static_cast<lfs_shape *>(lfs_malloc(sizeof(lfs_shape)));
  if (s == nullptr) return lfs_fail("ERROR : alloc_shape : malloc : shape\n", -250);
  const int nrows = ymax - ymin + 1;
  const int width = xmax - xmin + 1;
  s->ymin = ymin;
  s->ymax = ymax;
  s->nrows = 0;
  s->rows = static_cast<lfs_shape_row **>(lfs_malloc(sizeof(lfs_shape_row *) * nrows));
  if (s->rows == nullptr) {
    std::free(s);
    return lfs_fail("ERROR : alloc_shape : malloc : shape->rows\n", -251);
  }
  for (int i = 0; i < nrows; ++i) {
    auto *row = static_cast<lfs_shape_row *>(lfs_malloc(sizeof(lfs_shape_row)));
    if (row == nullptr) {
      free_shape(s);
      return lfs_fail("ERROR : alloc_shape : malloc : shape->rows[i]\n", -252);
    }
    row->xs = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * width));
    if (row->xs == nullptr) {
      std::free(row);
      free_shape(s);
      return lfs_fail("ERROR : alloc_shape : malloc : shape->rows[i]->xs\n", -253);
    }
    row->y = ymin + i;
    row->capacity = width;
    row->count = 0;
    s->rows[i] = row;
    s->nrows = i + 1;
  }
  *shape = s;
  return 0;
}

extern "C" void free_shape(lfs_shape *shape) {
  if (shape == nullptr) return;
  for (int i = 0; i < shape->nrows; ++i) {
    std::free(shape->rows[i]->xs);
    std::free(shape->rows[i]);
  }
  std::free(shape->rows);
  std::free(shape);
}

extern "C" int shape_from_contour(lfs_shape **shape, const int *cx, const int *cy, int n) {
  int xmin, ymin, xmax, ymax;
  contour_bounds(&xmin, &ymin, &xmax, &ymax, cx, cy, n);
  lfs_shape *s = nullptr;
  const int r = alloc_shape(&s, xmin, ymin, xmax, ymax);
  if (r != 0) return r;
  for (int i = 0; i < n; ++i) {
    lfs_shape_row *row = s->rows[cy[i] - ymin];
    bool present = false;
    for (int k = 0; k < row->count && !present; ++k) present = row->xs[k] == cx[i];
    if (present) continue;
    if (row->count >= row->capacity) {
      free_shape(s);
      return lfs_fail("ERROR : shape_from_contour : row overflow\n", -260);
    }
    row->xs[row->count++] = cx[i];
  }
  for (int i = 0; i < s->nrows; ++i) exchange_sort_int_inc(s->rows[i]->xs, s->rows[i]->count);
  *shape = s;
  return 0;
}

extern "C" int minutia_on_loop(const lfs_minutia *minutia, int max_length,
                               const unsigned char *bdata, int iw, int ih) {
  int *cx, *cy, *cex, *cey, n;
  const int r = follow_contour(&cx, &cy, &cex, &cey, &n, max_length, minutia->x, minutia->y,
                               minutia->x, minutia->y, minutia->edge_x, minutia->edge_y,
                               LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  release_contour(cx, cy, cex, cey);
  return r;
}

extern "C" int pair_on_island_or_lake(int **ocx, int **ocy, int **ocex, int **ocey,
                                      int *oncontour, const lfs_minutia *a,
                                      const lfs_minutia *b, int max_half_length,
                                      const unsigned char *bdata, int iw, int ih) {
  *ocx = *ocy = *ocex = *ocey = nullptr;
  *oncontour = 0;
  int *x1, *y1, *ex1, *ey1, n1;
  int r = follow_contour(&x1, &y1, &ex1, &ey1, &n1, max_half_length, b->x, b->y, a->x, a->y,
                         a->edge_x, a->edge_y, LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r != LFS_LOOP_FOUND) {
    release_contour(x1, y1, ex1, ey1);
    return r;
  }
  int *x2, *y2, *ex2, *ey2, n2;
  r = follow_contour(&x2, &y2, &ex2, &ey2, &n2, max_half_length, a->x, a->y, b->x, b->y,
                     b->edge_x, b->edge_y, LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r != LFS_LOOP_FOUND) {
    release_contour(x1, y1, ex1, ey1);
    release_contour(x2, y2, ex2, ey2);
    return r;
  }
  int *lx, *ly, *lex, *ley;
  const int n = n1 + n2 + 2;
  r = allocate_contour(&lx, &ly, &lex, &ley, n);
  if (r == 0) {
    int k = 0;
    auto put = [&](int x, int y, int ex, int ey) {
      lx[k] = x;
      ly[k] = y;
      lex[k] = ex;
      ley[k] = ey;
      ++k;
    };
    put(a->x, a->y, a->edge_x, a->edge_y);
    for (int i = 0; i < n1; ++i) put(x1[i], y1[i], ex1[i], ey1[i]);
    put(b->x, b->y, b->edge_x, b->edge_y);
    for (int i = 0; i < n2; ++i) put(x2[i], y2[i], ex2[i], ey2[i]);
    *ocx = lx;
    *ocy = ly;
    *ocex = lex;
    *ocey = ley;
    *oncontour = n;
    r = LFS_LOOP_FOUND;
  }
  release_contour(x1, y1, ex1, ey1);
  release_contour(x2, y2, ex2, ey2);
  return r;
}

extern "C" int pair_on_hook(const lfs_minutia *a, const lfs_minutia *b, int max_length,
                            const unsigned char *bdata, int iw, int ih) {
  // Walks the other colour: a's edge is the start, a's pixel its edge.
  for (int mode : {LFS_SCAN_CLOCKWISE, LFS_SCAN_COUNTER_CLOCKWISE}) {
    int *cx, *cy, *cex, *cey, n;
    const int r = follow_contour(&cx, &cy, &cex, &cey, &n, max_length, b->x, b->y, a->edge_x,
                                 a->edge_y, a->x, a->y, mode, bdata, iw, ih);
    release_contour(cx, cy, cex, cey);
    if (r != 0) return r;
  }
  return 0;
}

extern "C" int loop_turns_clockwise(const int *cx, const int *cy, int n, int default_result) {
  if (n <= 3) return default_result;
  auto *chain = static_cast<int *>(lfs_malloc(sizeof(int) * n));
  if (chain == nullptr) return lfs_fail("ERROR : chain_code_loop : malloc : chain\n", -170);
  for (int i = 0; i < n - 1; ++i) chain[i] = ChainCode(cx[i], cy[i], cx[i + 1], cy[i + 1]);
  chain[n - 1] = ChainCode(cx[n - 1], cy[n - 1], cx[0], cy[0]);

  int sum = 0;
  for (int i = 0; i < n; ++i) {
    int turn = chain[(i + 1) % n] - chain[i];
    if (turn > 3) turn -= 8;
    else if (turn < -3) turn += 8;
    sum += turn;
  }
  std::free(chain);
  if (sum < 0) return 1;
  if (sum > 0) return 0;
  return default_result;
}

extern "C" void loop_widths(int *min_a, int *min_b, double *min_d2, int *max_a, int *max_b,
                            double *max_d2, const int *cx, const int *cy, int n) {
  const int h = n / 2;
  double lo = squared_distance(cx[0], cy[0], cx[h], cy[h]);
  double hi = lo;
  int lo_a = 0, lo_b = h, hi_a = 0, hi_b = h;
  const int last = (n % 2 != 0) ? n : h;
  for (int i = 1; i < last; ++i) {
    const int j = (i + h) % n;
    const double d = squared_distance(cx[i], cy[i], cx[j], cy[j]);
    if (d < lo) {
      lo = d;
      lo_a = i;
      lo_b = j;
    }
    if (d > hi) {
      hi = d;
      hi_a = i;
      hi_b = j;
    }
  }
  *min_a = lo_a;
  *min_b = lo_b;
  *min_d2 = lo;
  *max_a = hi_a;
  *max_b = hi_b;
  *max_d2 = hi;
}

extern "C" int fill_loop(const int *cx, const int *cy, int n, unsigned char *bdata, int iw,
                         int /*ih*/) {
  if (n <= 0) return 0;
  lfs_shape *shape = nullptr;
  const int r = shape_from_contour(&shape, cx, cy, n);
  if (r != 0) return r;
  const size_t stride = static_cast<size_t>(iw);
  const unsigned char fill =
      bdata[static_cast<size_t>(cy[0]) * stride + static_cast<size_t>(cx[0])] ? 0 : 1;
  for (int i = 0; i < shape->nrows; ++i) {
    const lfs_shape_row *row = shape->rows[i];
    if (row->count == 0) {
      std::fputs("WARNING : fill_loop : unexpected shape, preempting loop fill\n", stderr);
      break;
    }
    unsigned char *line = bdata + static_cast<size_t>(row->y) * stride;
    int c = row->xs[0];
    line[c] = fill;
    for (int k = 1; k < row->count; ++k) {
      const int xk = row->xs[k];
      if (line[c + 1] == fill) {
        line[xk] = fill;
        c = xk;
      } else {
        for (int x = c + 1; x <= xk; ++x) line[x] = fill;
        c = c + 1;
      }
    }
  }
  free_shape(shape);
  return 0;
}
