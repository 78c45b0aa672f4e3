#include "minutiae/lfs_line.h"

#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_numeric.h"

namespace {

inline unsigned char Pixel(const unsigned char *bdata, int iw, int x, int y) {
  return bdata[static_cast<size_t>(y) * static_cast<size_t>(iw) + static_cast<size_t>(x)];
}

}  // namespace

extern "C" int line_points(int **oxs, int **oys, int *ocount, int x1, int y1, int x2, int y2) {
  const int dx = x2 - x1;
  const int dy = y2 - y1;
  const int adx = std::abs(dx);
  const int ady = std::abs(dy);
  const int capacity = (adx > ady ? adx : ady) + 2;
  int *xs = static_cast<int *>(lfs_malloc(sizeof(int) * capacity));
  if (xs == nullptr) return lfs_fail("ERROR : line_points : malloc : x_list\n", -410);
  int *ys = static_cast<int *>(lfs_malloc(sizeof(int) * capacity));
  if (ys == nullptr) {
    std::free(xs);
    return lfs_fail("ERROR : line_points : malloc : y_list\n", -411);
  }

  const bool x_major = adx > ady;
  const bool y_major = ady > adx;
  const int sx = dx < 0 ? -1 : 1;
  const int sy = dy < 0 ? -1 : 1;
  const double x_slope = dy == 0 ? dx : static_cast<double>(dx) / ady;  // x per y step
  const double y_slope = dx == 0 ? dy : static_cast<double>(dy) / adx;  // y per x step

  int n = 0;
  xs[n] = x1;
  ys[n] = y1;
  ++n;
  double xd = x1, yd = y1;
  int x = x1, y = y1;
  while (!(x == x2 && y == y2)) {
    if (n >= capacity) {
      std::free(xs);
      std::free(ys);
      return lfs_fail("ERROR : line_points : coord list overflow\n", -412);
    }
    xd = snap14(xd + ((x_major ? sx : 0) + (y_major ? x_slope : 0)));
    yd = snap14(yd + ((y_major ? sy : 0) + (x_major ? y_slope : 0)));
    x = y_major ? static_cast<int>(xd + 0.5) : x + sx;
    y = x_major ? static_cast<int>(yd + 0.5) : y + sy;
    xs[n] = x;
    ys[n] = y;
    ++n;
  }
  *oxs = xs;
  *oys = ys;
  *ocount = n;
  return 0;
}

extern "C" int path_is_free(int x1, int y1, int x2, int y2, const unsigned char *bdata, int iw,
                            int /*ih*/, const lfs_params *params) {
  int *xs, *ys, n;
  const int r = line_points(&xs, &ys, &n, x1, y1, x2, y2);
  if (r != 0) return r;
  int transitions = 0;
  int free_path = 1;
  for (int i = 1; i < n; ++i) {
    if (Pixel(bdata, iw, xs[i], ys[i]) != Pixel(bdata, iw, xs[i - 1], ys[i - 1])) {
      if (++transitions > params->free_path_transitions_max) {
        free_path = 0;
        break;
      }
    }
  }
  std::free(xs);
  std::free(ys);
  return free_path;
}

extern "C" int find_pixel_along(int *opx, int *opy, int *oex, int *oey, int colour, double sx,
                                double sy, double dx, double dy, int max_steps,
                                const unsigned char *bdata, int iw, int ih) {
  *opx = *opy = *oex = *oey = -1;
  double fx = sx, fy = sy;
  int prev_x = nearest_int(sx), prev_y = nearest_int(sy);
  for (int i = 0; i < max_steps; ++i) {
    fx += dx;
    fy += dy;
    const int x = nearest_int(fx);
    const int y = nearest_int(fy);
    if (x < 0 || y < 0 || x >= iw || y >= ih) return 0;
    if (Pixel(bdata, iw, x, y) == colour) {
      int px = x, py = y, ex = prev_x, ey = prev_y;
      align_edge_pixel(&px, &py, &ex, &ey, bdata, iw);
      *opx = px;
      *opy = py;
      *oex = ex;
      *oey = ey;
      return 1;
    }
    prev_x = x;
    prev_y = y;
  }
  return 0;
}

extern "C" int is_minutia_appearing(int x, int y, int edge_x, int edge_y) {
  if (edge_x < x) return 1;
  if (edge_x > x) return 0;
  if (edge_y < y) return 1;
  if (edge_y > y) return 0;
  return lfs_fail("ERROR : is_minutia_appearing : bad configuration of pixels\n", -240);
}
