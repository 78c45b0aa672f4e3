// Adding candidates to the minutiae list against close, similar rivals.
#include <cstdlib>
#include <initializer_list>

#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_scan.h"

namespace {

constexpr int kListIncrement = 1000;

// Room for one more minutia.
int MakeRoom(lfs_minutiae *minutiae) {
  if (minutiae->count < minutiae->capacity) return 0;
  return realloc_minutiae(minutiae, kListIncrement);
}

// A rival lies within duplicate_distance_max on both axes, has the same type
// and a direction within a quarter of a half turn.
bool IsRival(const lfs_minutia *m, const lfs_minutia *other, const lfs_params *params) {
  const int dmax = params->duplicate_distance_max;
  const int n = params->direction_count;
  return std::abs(other->x - m->x) < dmax && std::abs(other->y - m->y) < dmax &&
         other->type == m->type &&
         direction_gap(other->direction, m->direction, 2 * n) <= n / 4;
}

// Whether the new minutia's pixel lies on the rival's contour within
// duplicate_distance_max steps, in either sense.
bool OnRivalContour(const lfs_minutia *m, const lfs_minutia *rival, const unsigned char *bdata,
                    int iw, int ih, const lfs_params *params) {
  for (int mode : {LFS_SCAN_CLOCKWISE, LFS_SCAN_COUNTER_CLOCKWISE}) {
    if (contour_reaches(m->x, m->y, params->duplicate_distance_max, rival->x, rival->y,
                        rival->edge_x, rival->edge_y, mode, bdata, iw, ih))
      return true;
  }
  return false;
}

}  // namespace

extern "C" int add_scan_minutia(lfs_minutiae *minutiae, lfs_minutia *minutia, int scan, int d,
                                const unsigned char *bdata, int iw, int ih,
                                const lfs_params *params) {
  int r = MakeRoom(minutiae);
  if (r != 0) return r;
  const int n = params->direction_count;
  for (int i = minutiae->count - 1; i >= 0; --i) {
    const lfs_minutia *rival = minutiae->list[i];
    if (!IsRival(minutia, rival, params)) continue;
    if (rival->x == minutia->x && rival->y == minutia->y) return 2;
    if (!OnRivalContour(minutia, rival, bdata, iw, ih, params)) continue;
    if (d < 0) return 2;
    const int preferred = n / 4 < d && d <= 3 * n / 4 ? LFS_SCAN_COLUMNS : LFS_SCAN_ROWS;
    if (scan != preferred) return 2;
    r = remove_minutia(i, minutiae);
    if (r != 0) return r;
  }
  minutiae->list[minutiae->count++] = minutia;
  return 0;
}

extern "C" int add_loop_minutia(lfs_minutiae *minutiae, lfs_minutia *minutia,
                                const unsigned char *bdata, int iw, int ih,
                                const lfs_params *params) {
  const int r = MakeRoom(minutiae);
  if (r != 0) return r;
  for (int i = 0; i < minutiae->count; ++i) {
    const lfs_minutia *rival = minutiae->list[i];
    if (!IsRival(minutia, rival, params)) continue;
    if (rival->x == minutia->x && rival->y == minutia->y) return 2;
    if (OnRivalContour(minutia, rival, bdata, iw, ih, params)) return 2;
  }
  minutiae->list[minutiae->count++] = minutia;
  return 0;
}
