// Row and column scans for feature patterns and the candidates they make.
#include "minutiae/lfs_scan.h"

#include <cstdlib>

#include "minutiae/lfs_list.h"
#include "minutiae/lfs_maps.h"

const lfs_feature_pattern pair_patterns[LFS_PATTERN_COUNT] = {
    {1, 1, {0, 0}, {0, 1}, {0, 0}},  // ridge ending
    {1, 0, {0, 0}, {1, 0}, {0, 0}},  // ridge ending
    {0, 0, {1, 1}, {0, 1}, {1, 1}},  // bifurcations from here on
    {0, 1, {1, 1}, {1, 0}, {1, 1}},
    {0, 0, {1, 0}, {0, 1}, {1, 1}},
    {0, 0, {1, 1}, {0, 1}, {1, 0}},
    {0, 1, {1, 1}, {1, 0}, {0, 1}},
    {0, 1, {0, 1}, {1, 0}, {1, 1}},
    {0, 0, {1, 0}, {0, 1}, {1, 0}},
    {0, 1, {0, 1}, {1, 0}, {0, 1}},
};

namespace {

// Pattern ids as a bit set; the lowest bit is the first id in table order.
using Ids = unsigned;

struct Pair {
  int a, b;
  bool operator==(const Pair &o) const { return a == o.a && b == o.b; }
};

bool Equals(const int *p, Pair q) { return p[0] == q.a && p[1] == q.b; }

Ids MatchFirst(Pair p) {
  Ids ids = 0;
  for (int i = 0; i < LFS_PATTERN_COUNT; ++i)
    if (Equals(pair_patterns[i].first, p)) ids |= 1u << i;
  return ids;
}

Ids MatchSecond(Pair p, Ids prev) {
  if (p.a == p.b) return 0;
  Ids ids = 0;
  for (int i = 0; i < LFS_PATTERN_COUNT; ++i)
    if ((prev >> i & 1u) && Equals(pair_patterns[i].second, p)) ids |= 1u << i;
  return ids;
}

Ids MatchThird(Pair p, Ids prev) {
  Ids ids = 0;
  for (int i = 0; i < LFS_PATTERN_COUNT; ++i)
    if ((prev >> i & 1u) && Equals(pair_patterns[i].third, p)) ids |= 1u << i;
  return ids;
}

int FirstId(Ids ids) {
  for (int i = 0; i < LFS_PATTERN_COUNT; ++i)
    if (ids >> i & 1u) return i;
  return -1;
}

// One scan: lines of pixel pairs, either row pairs (y, y + 1) walked along x
// or column pairs (x, x + 1) walked along y.
int ScanLines(lfs_minutiae *minutiae, const lfs_scan_image *img, bool rows,
              const lfs_params *params) {
  const unsigned char *b = img->bdata;
  const int w = img->iw;
  const int nlines = rows ? img->ih - 1 : img->iw - 1;
  const int len = rows ? img->iw : img->ih;
  for (int line = 0; line < nlines; ++line) {
    auto pair_at = [&](int pos) {
      return rows ? Pair{b[line * w + pos], b[(line + 1) * w + pos]}
                  : Pair{b[pos * w + line], b[pos * w + line + 1]};
    };
    int pos = 0;
    while (pos < len) {
      Ids ids = MatchFirst(pair_at(pos));
      ++pos;
      if (ids == 0 || pos >= len) continue;
      ids = MatchSecond(pair_at(pos), ids);
      if (ids == 0) continue;
      const int start = pos;
      const Pair run = pair_at(pos);
      while (pos < len && pair_at(pos) == run) ++pos;
      if (pos >= len) break;
      const Pair third = pair_at(pos);
      ids = MatchThird(third, ids);
      if (ids != 0) {
        const int id = FirstId(ids);
        const int r = rows ? make_row_minutia(minutiae, start, pos, line, id, img, params)
                           : make_column_minutia(minutiae, start, pos, line, id, img, params);
        if (r < 0) return r;
      }
      // A transition may serve as the second pair of the next pattern.
      if (third.a != third.b) --pos;
    }
  }
  return 0;
}

// Makes the candidate of `pattern` at (x, y) with edge (ex, ey) and adds it
// to the list; 2 when its block has no direction or refinement drops it.
int MakeMinutia(lfs_minutiae *minutiae, int x, int y, int ex, int ey, int pattern, int scan,
                const lfs_scan_image *img, const lfs_params *params) {
  const int at = y * img->iw + x;
  const int d = img->pdirection[at];
  if (d == -1) return 2;
  const lfs_feature_pattern &p = pair_patterns[pattern];
  const int n = params->direction_count;
  int direction;
  if (img->phigh_curve[at]) {
    const int r = refine_high_curvature_minutia(&x, &y, &ex, &ey, &direction, minutiae, img,
                                                params);
    if (r != 0) return r;
  } else if (scan == LFS_SCAN_COLUMNS) {
    direction = p.appearing ? d : d + n;
  } else if (d > n / 2) {
    direction = p.appearing ? d : d + n;
  } else {
    direction = p.appearing ? d + n : d;
  }
  lfs_minutia *m = nullptr;
  int r = create_minutia(&m, x, y, ex, ey, direction, img->plow_flow[at] ? 0.5 : 0.99, p.type,
                         p.appearing, pattern);
  if (r != 0) return r;
  r = add_scan_minutia(minutiae, m, scan, d, img->bdata, img->iw, img->ih, params);
  if (r != 0) release_minutia(m);
  return r < 0 ? r : 0;
}

}  // namespace

extern "C" int make_row_minutia(lfs_minutiae *minutiae, int x2, int x3, int y, int pattern,
                                const lfs_scan_image *img, const lfs_params *params) {
  const int x = (x2 + x3) / 2;
  const bool appearing = pair_patterns[pattern].appearing != 0;
  const int py = appearing ? y + 1 : y;
  const int ey = appearing ? y : y + 1;
  return MakeMinutia(minutiae, x, py, x, ey, pattern, LFS_SCAN_ROWS, img, params);
}

extern "C" int make_column_minutia(lfs_minutiae *minutiae, int y2, int y3, int x, int pattern,
                                   const lfs_scan_image *img, const lfs_params *params) {
  const int y = (y2 + y3) / 2;
  const bool appearing = pair_patterns[pattern].appearing != 0;
  const int px = appearing ? x + 1 : x;
  const int ex = appearing ? x : x + 1;
  return MakeMinutia(minutiae, px, y, ex, y, pattern, LFS_SCAN_COLUMNS, img, params);
}

extern "C" int scan_for_minutiae(lfs_minutiae *minutiae, unsigned char *bdata, int iw, int ih,
                                 const int *direction_map, const int *low_flow_map,
                                 const int *high_curve_map, int mw, int mh,
                                 const lfs_params *params) {
  int *pdir = nullptr, *plow = nullptr, *phigh = nullptr;
  const int bs = params->block_size;
  int r = pixelize_map(&pdir, iw, ih, direction_map, mw, mh, bs);
  if (r == 0) r = pixelize_map(&plow, iw, ih, low_flow_map, mw, mh, bs);
  if (r == 0) r = pixelize_map(&phigh, iw, ih, high_curve_map, mw, mh, bs);
  if (r == 0) {
    const lfs_scan_image img = {bdata, iw, ih, pdir, plow, phigh};
    r = ScanLines(minutiae, &img, true, params);
    if (r == 0) r = ScanLines(minutiae, &img, false, params);
  }
  std::free(pdir);
  std::free(plow);
  std::free(phigh);
  return r;
}
