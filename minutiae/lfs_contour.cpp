#include "minutiae/lfs_contour.h"

#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"

namespace {

// Neighbours N, NE, E, SE, S, SW, W, NW as (dx, dy), y growing downwards.
constexpr int kDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// The start value of the sharpest-turn search, just above pi.
constexpr double kNoTurn = 3.1416015625;

inline bool Inside(int x, int y, int iw, int ih) {
  return x >= 0 && y >= 0 && x < iw && y < ih;
}

inline unsigned char Pixel(const unsigned char *bdata, int iw, int x, int y) {
  return bdata[static_cast<size_t>(y) * static_cast<size_t>(iw) + static_cast<size_t>(x)];
}

// A contour held while it is being assembled.
struct Contour {
  int *x = nullptr, *y = nullptr, *ex = nullptr, *ey = nullptr;
  int n = 0;

  void Release() {
    release_contour(x, y, ex, ey);
    *this = Contour();
  }
  void HandOut(int **cx, int **cy, int **cex, int **cey, int *ncontour) {
    *cx = x;
    *cy = y;
    *cex = ex;
    *cey = ey;
    *ncontour = n;
  }
};

void HandOutEmpty(int **cx, int **cy, int **cex, int **cey, int *ncontour) {
  *cx = *cy = *cex = *cey = nullptr;
  *ncontour = 0;
}

int Follow(Contour *c, int max_len, int loop_x, int loop_y, int x, int y, int ex, int ey,
           int mode, const unsigned char *bdata, int iw, int ih) {
  int *cx, *cy, *cex, *cey, n;
  const int r = follow_contour(&cx, &cy, &cex, &cey, &n, max_len, loop_x, loop_y, x, y, ex, ey,
                               mode, bdata, iw, ih);
  if (r == 0 || r == LFS_LOOP_FOUND) {
    c->x = cx;
    c->y = cy;
    c->ex = cex;
    c->ey = cey;
    c->n = n;
  }
  return r;
}

// Joins `first` reversed, the start pixel, then `second` (which may be
// empty) into a new contour.
int Join(Contour *out, const Contour &first, int x, int y, int ex, int ey,
         const Contour &second) {
  const int n = first.n + 1 + second.n;
  const int r = allocate_contour(&out->x, &out->y, &out->ex, &out->ey, n);
  if (r != 0) return r;
  int k = 0;
  for (int i = first.n - 1; i >= 0; --i, ++k) {
    out->x[k] = first.x[i];
    out->y[k] = first.y[i];
    out->ex[k] = first.ex[i];
    out->ey[k] = first.ey[i];
  }
  out->x[k] = x;
  out->y[k] = y;
  out->ex[k] = ex;
  out->ey[k] = ey;
  ++k;
  for (int i = 0; i < second.n; ++i, ++k) {
    out->x[k] = second.x[i];
    out->y[k] = second.y[i];
    out->ex[k] = second.ex[i];
    out->ey[k] = second.ey[i];
  }
  out->n = n;
  return 0;
}

// The start pixel followed by `half` reversed, as a new contour.
int StartThenReversed(Contour *out, int x, int y, int ex, int ey, const Contour &half) {
  const int r = allocate_contour(&out->x, &out->y, &out->ex, &out->ey, half.n + 1);
  if (r != 0) return r;
  out->x[0] = x;
  out->y[0] = y;
  out->ex[0] = ex;
  out->ey[0] = ey;
  for (int i = 0; i < half.n; ++i) {
    const int from = half.n - 1 - i;
    out->x[i + 1] = half.x[from];
    out->y[i + 1] = half.y[from];
    out->ex[i + 1] = half.ex[from];
    out->ey[i + 1] = half.ey[from];
  }
  out->n = half.n + 1;
  return 0;
}

// The pixel the second half of a centred contour looks for: the first
// half's last pixel, or the start when that half is empty.
void SecondHalfTarget(const Contour &first, int x, int y, int *lx, int *ly) {
  *lx = first.n > 0 ? first.x[first.n - 1] : x;
  *ly = first.n > 0 ? first.y[first.n - 1] : y;
}

}  // namespace

extern "C" int allocate_contour(int **cx, int **cy, int **cex, int **cey, int n) {
  const size_t bytes = sizeof(int) * (n > 0 ? static_cast<size_t>(n) : 1);
  int *x = static_cast<int *>(lfs_malloc(bytes));
  if (x == nullptr) return lfs_fail("ERROR : allocate_contour : malloc : contour_x\n", -180);
  int *y = static_cast<int *>(lfs_malloc(bytes));
  if (y == nullptr) {
    std::free(x);
    return lfs_fail("ERROR : allocate_contour : malloc : contour_y\n", -181);
  }
  int *ex = static_cast<int *>(lfs_malloc(bytes));
  if (ex == nullptr) {
    std::free(x);
    std::free(y);
    return lfs_fail("ERROR : allocate_contour : malloc : contour_ex\n", -182);
  }
  int *ey = static_cast<int *>(lfs_malloc(bytes));
  if (ey == nullptr) {
    std::free(x);
    std::free(y);
    std::free(ex);
    return lfs_fail("ERROR : allocate_contour : malloc : contour_ey\n", -183);
  }
  *cx = x;
  *cy = y;
  *cex = ex;
  *cey = ey;
  return 0;
}

extern "C" void release_contour(int *cx, int *cy, int *cex, int *cey) {
  std::free(cx);
  std::free(cy);
  std::free(cex);
  std::free(cey);
}

extern "C" void align_edge_pixel(int *fx, int *fy, int *ex, int *ey, const unsigned char *bdata,
                                 int iw) {
  if (std::abs(*fx - *ex) != 1 || std::abs(*fy - *ey) != 1) return;
  const unsigned char feature = Pixel(bdata, iw, *fx, *fy);
  if (Pixel(bdata, iw, *fx, *ey) != feature) {
    *ex = *fx;
  } else if (Pixel(bdata, iw, *ex, *fy) == feature) {
    *fy = *ey;
  } else {
    *ey = *fy;
  }
}

extern "C" int step_contour(int *nx, int *ny, int *nex, int *ney, int x, int y, int ex, int ey,
                            int scan_mode, const unsigned char *bdata, int iw, int ih) {
  const unsigned char feature = Pixel(bdata, iw, x, y);
  const unsigned char edge_colour = Pixel(bdata, iw, ex, ey);
  const int rx = ex - x, ry = ey - y;
  int idx = 7;  // any edge that is not a 4-neighbour
  if (rx == 0 && ry == -1) idx = 0;
  else if (rx == 0 && ry == 1) idx = 4;
  else if (rx == 1 && ry == 0) idx = 2;
  else if (rx == -1 && ry == 0) idx = 6;
  const int turn = scan_mode == LFS_SCAN_CLOCKWISE ? 1 : 7;

  int px = ex, py = ey;  // last visited pixel, at first the edge
  unsigned char prev = edge_colour;
  int steps = 0;
  while (steps < 8) {
    idx = (idx + turn) & 7;
    const int cx = x + kDx[idx], cy = y + kDy[idx];
    if (!Inside(cx, cy, iw, ih)) return 0;
    ++steps;
    const unsigned char c = Pixel(bdata, iw, cx, cy);
    if (c == feature && prev == edge_colour) {
      if ((idx & 1) == 0) {
        *nx = cx;
        *ny = cy;
        *nex = px;
        *ney = py;
        return 1;
      }
      // A diagonal counts only when the 4-neighbour after it joins it.
      const int idx2 = (idx + turn) & 7;
      const int qx = x + kDx[idx2], qy = y + kDy[idx2];
      if (!Inside(qx, qy, iw, ih)) return 0;
      const unsigned char q = Pixel(bdata, iw, qx, qy);
      if (q == feature) {
        *nx = cx;
        *ny = cy;
        *nex = px;
        *ney = py;
        return 1;
      }
      idx = idx2;
      px = qx;
      py = qy;
      prev = q;
      ++steps;
      continue;
    }
    px = cx;
    py = cy;
    prev = c;
  }
  return 0;
}

extern "C" int follow_contour(int **cx, int **cy, int **cex, int **cey, int *ncontour,
                              int max_len, int loop_x, int loop_y, int x, int y, int ex, int ey,
                              int scan_mode, const unsigned char *bdata, int iw, int ih) {
  HandOutEmpty(cx, cy, cex, cey, ncontour);
  if (Pixel(bdata, iw, x, y) == Pixel(bdata, iw, ex, ey)) return LFS_IGNORE;
  if (max_len < 0) max_len = 0;
  Contour c;
  const int r = allocate_contour(&c.x, &c.y, &c.ex, &c.ey, max_len);
  if (r != 0) return r;

  int result = 0;
  int cur_x = x, cur_y = y, cur_ex = ex, cur_ey = ey;
  for (int i = 0; i < max_len; ++i) {
    int nx, ny, nex, ney;
    if (!step_contour(&nx, &ny, &nex, &ney, cur_x, cur_y, cur_ex, cur_ey, scan_mode, bdata, iw,
                      ih))
      break;
    if (nx == loop_x && ny == loop_y) {
      result = LFS_LOOP_FOUND;
      break;
    }
    c.x[c.n] = nx;
    c.y[c.n] = ny;
    c.ex[c.n] = nex;
    c.ey[c.n] = ney;
    ++c.n;
    cur_x = nx;
    cur_y = ny;
    cur_ex = nex;
    cur_ey = ney;
  }
  c.HandOut(cx, cy, cex, cey, ncontour);
  return result;
}

extern "C" int contour_reaches(int tx, int ty, int max_steps, int x, int y, int ex, int ey,
                               int scan_mode, const unsigned char *bdata, int iw, int ih) {
  if (Pixel(bdata, iw, x, y) == Pixel(bdata, iw, ex, ey)) return 0;
  for (int i = 0; i < max_steps; ++i) {
    int nx, ny, nex, ney;
    if (!step_contour(&nx, &ny, &nex, &ney, x, y, ex, ey, scan_mode, bdata, iw, ih)) return 0;
    if (nx == tx && ny == ty) return 1;
    x = nx;
    y = ny;
    ex = nex;
    ey = ney;
  }
  return 0;
}

extern "C" int contour_around(int **cx, int **cy, int **cex, int **cey, int *ncontour, int half,
                              int x, int y, int ex, int ey, const unsigned char *bdata, int iw,
                              int ih) {
  HandOutEmpty(cx, cy, cex, cey, ncontour);
  Contour first;
  int r = Follow(&first, half, x, y, x, y, ex, ey, LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r < 0 || r == LFS_IGNORE) return r;
  if (r == LFS_LOOP_FOUND || first.n < half) {
    first.Release();
    return r == LFS_LOOP_FOUND ? LFS_LOOP_FOUND : LFS_INCOMPLETE;
  }
  int lx, ly;
  SecondHalfTarget(first, x, y, &lx, &ly);
  Contour second;
  r = Follow(&second, half, lx, ly, x, y, ex, ey, LFS_SCAN_COUNTER_CLOCKWISE, bdata, iw, ih);
  if (r != 0 || second.n < half) {
    first.Release();
    second.Release();
    return r != 0 ? r : LFS_INCOMPLETE;
  }
  Contour joined;
  r = Join(&joined, first, x, y, ex, ey, second);
  first.Release();
  second.Release();
  if (r != 0) return r;
  joined.HandOut(cx, cy, cex, cey, ncontour);
  return 0;
}

extern "C" int contour_around_or_loop(int **cx, int **cy, int **cex, int **cey, int *ncontour,
                                      int half, int x, int y, int ex, int ey,
                                      const unsigned char *bdata, int iw, int ih) {
  HandOutEmpty(cx, cy, cex, cey, ncontour);
  Contour first;
  int r = Follow(&first, half, x, y, x, y, ex, ey, LFS_SCAN_CLOCKWISE, bdata, iw, ih);
  if (r < 0) return r;
  if (r == LFS_IGNORE) return 0;
  if (r == LFS_LOOP_FOUND) {
    // The loop: the start, then the first half reversed.
    Contour loop;
    const int j = StartThenReversed(&loop, x, y, ex, ey, first);
    first.Release();
    if (j != 0) return j;
    loop.HandOut(cx, cy, cex, cey, ncontour);
    return LFS_LOOP_FOUND;
  }
  if (first.n < half) {
    first.Release();
    return 0;
  }
  int lx, ly;
  SecondHalfTarget(first, x, y, &lx, &ly);
  Contour second;
  r = Follow(&second, half, lx, ly, x, y, ex, ey, LFS_SCAN_COUNTER_CLOCKWISE, bdata, iw, ih);
  if (r < 0 || r == LFS_IGNORE || (r == 0 && second.n < half)) {
    first.Release();
    second.Release();
    return r < 0 ? r : 0;
  }
  // A loop closed by the second half counts as complete.
  Contour joined;
  r = Join(&joined, first, x, y, ex, ey, second);
  first.Release();
  second.Release();
  if (r != 0) return r;
  joined.HandOut(cx, cy, cex, cey, ncontour);
  return 0;
}

extern "C" int sharpest_contour_turn(int *index, double *angle, int step, const int *cx,
                                     const int *cy, int n) {
  if (2 * step >= n) return LFS_IGNORE;
  int best_i = -1;
  double best = kNoTurn;
  for (int i = step; i < n - step; ++i) {
    const double a1 = angle_to_line(cx[i], cy[i], cx[i - step], cy[i - step]);
    const double a2 = angle_to_line(cx[i], cy[i], cx[i + step], cy[i + step]);
    double d = std::fabs(a2 - a1);
    d = snap14(std::fmin(d, 2.0 * M_PI - d));
    if (d < best) {
      best = d;
      best_i = i;
    }
  }
  *index = best_i < 0 ? n / 2 : best_i;
  *angle = best;
  return 0;
}

extern "C" void contour_bounds(int *xmin, int *ymin, int *xmax, int *ymax, const int *cx,
                               const int *cy, int n) {
  *xmin = *ymin = *xmax = *ymax = 0;
  if (n <= 0) return;
  *xmin = *xmax = cx[0];
  *ymin = *ymax = cy[0];
  for (int i = 1; i < n; ++i) {
    if (cx[i] < *xmin) *xmin = cx[i];
    if (cx[i] > *xmax) *xmax = cx[i];
    if (cy[i] < *ymin) *ymin = cy[i];
    if (cy[i] > *ymax) *ymax = cy[i];
  }
}
