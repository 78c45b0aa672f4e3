// Single passes of false-minutia removal that look at one minutia at a
// time: holes, minutiae pointing to or lying near blocks without a
// direction, and side minutiae.
#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_loop.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_remove.h"
#include "minutiae/lfs_seq.h"
#include "minutiae/lfs_trace.h"

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

double Theta(const lfs_minutia *m, const lfs_params *params) {
  return m->direction * M_PI / params->direction_count;
}

// Neighbour offsets in blocks.
struct Offset {
  int dx, dy;
};
constexpr Offset kN{0, -1}, kNE{1, -1}, kE{1, 0}, kSE{1, 1}, kS{0, 1}, kSW{-1, 1}, kW{-1, 0},
    kNW{-1, -1};

// Directed 8-neighbours of block (bx, by) inside the map.
int DirectedNeighbours(int bx, int by, const lfs_block_maps *maps) {
  int count = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const int x = bx + dx, y = by + dy;
      if (x < 0 || y < 0 || x >= maps->mw || y >= maps->mh) continue;
      if (maps->direction[y * maps->mw + x] >= 0) ++count;
    }
  return count;
}

}  // namespace

extern "C" int lfs_block_index(int x, int y, int block_size, int mw, int mh) {
  return Clamp(y / block_size, 0, mh - 1) * mw + Clamp(x / block_size, 0, mw - 1);
}

extern "C" int remove_holes(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                            const lfs_params *params) {
  detector_trace("\nREMOVING HOLES:\n");
  int i = 0;
  while (i < minutiae->count) {
    const lfs_minutia *m = minutiae->list[i];
    if (m->type == 0) {
      const int r = minutia_on_loop(m, params->short_loop_length, bdata, iw, ih);
      if (r < 0) return r;
      if (r == LFS_LOOP_FOUND || r == LFS_IGNORE) {
        const int rr = remove_minutia(i, minutiae);
        if (rr != 0) return rr;
        continue;
      }
    }
    ++i;
  }
  return 0;
}

extern "C" int remove_pointing_invblock(lfs_minutiae *minutiae, const lfs_block_maps *maps,
                                        const lfs_params *params) {
  detector_trace("\nREMOVING MINUTIA POINTING TO INVALID BLOCKS:\n");
  const double dist = params->pointing_distance;
  int i = 0;
  while (i < minutiae->count) {
    const lfs_minutia *m = minutiae->list[i];
    const double theta = Theta(m, params);
    const int px = m->x - nearest_int(snap14(std::sin(theta) * dist));
    const int py = m->y + nearest_int(snap14(std::cos(theta) * dist));
    if (maps->direction[lfs_block_index(px, py, params->block_size, maps->mw, maps->mh)] ==
        -1) {
      const int r = remove_minutia(i, minutiae);
      if (r != 0) return r;
      continue;
    }
    ++i;
  }
  return 0;
}

extern "C" int remove_near_invblock_V2(lfs_minutiae *minutiae, const lfs_block_maps *maps,
                                       const lfs_params *params) {
  detector_trace("\nREMOVING MINUTIA NEAR INVALID BLOCKS:\n");
  const int bs = params->block_size;
  if (params->invalid_block_margin > bs / 2)
    return lfs_fail("ERROR : remove_near_invblock_V2 : margin too large for blocksize\n", -620);
  const int lo = params->invalid_block_margin;
  const int hi = bs - params->invalid_block_margin - 1;
  int i = 0;
  while (i < minutiae->count) {
    const lfs_minutia *m = minutiae->list[i];
    const int px = m->x % bs, py = m->y % bs;
    const int col = px < lo ? 0 : px > hi ? 2 : 1;
    const int row = py < lo ? 0 : py > hi ? 2 : 1;
    // Neighbours tested per zone, row by row, in test order.
    static const Offset kZones[3][3][3] = {
        {{kW, kNW, kN}, {kN, kN, kN}, {kN, kNE, kE}},
        {{kW, kW, kW}, {}, {kE, kE, kE}},
        {{kS, kSW, kW}, {kS, kS, kS}, {kE, kSE, kS}},
    };
    bool remove = false;
    if (!(row == 1 && col == 1)) {
      const int bx = m->x / bs, by = m->y / bs;
      for (const Offset &o : kZones[row][col]) {
        const int nx = bx + o.dx, ny = by + o.dy;
        if (nx < 0 || ny < 0 || nx >= maps->mw || ny >= maps->mh) {
          remove = true;
          break;
        }
        if (maps->direction[ny * maps->mw + nx] == -1 &&
            DirectedNeighbours(nx, ny, maps) < params->invalid_block_min_neighbors) {
          remove = true;
          break;
        }
      }
    }
    if (remove) {
      const int r = remove_minutia(i, minutiae);
      if (r != 0) return r;
      continue;
    }
    ++i;
  }
  return 0;
}

extern "C" int remove_or_adjust_side_minutiae_V2(lfs_minutiae *minutiae,
                                                 const unsigned char *bdata, int iw, int ih,
                                                 const lfs_block_maps *maps,
                                                 const lfs_params *params) {
  detector_trace("\nADJUSTING SIDE MINUTIA:\n");
  int i = 0;
  while (i < minutiae->count) {
    lfs_minutia *m = minutiae->list[i];
    int *cx, *cy, *cex, *cey, n;
    int r = contour_around(&cx, &cy, &cex, &cey, &n, params->side_half_contour, m->x, m->y,
                           m->edge_x, m->edge_y, bdata, iw, ih);
    if (r < 0) return r;
    bool remove = r != 0;
    if (!remove) {
      auto *rot_y = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * (n > 0 ? n : 1)));
      if (rot_y == nullptr) {
        release_contour(cx, cy, cex, cey);
        return lfs_fail("ERROR : remove_or_adjust_side_minutiae_V2 : malloc : rot_y\n", -630);
      }
      const double theta = Theta(m, params);
      const double s = std::sin(theta), c = std::cos(theta);
      for (int k = 0; k < n; ++k)
        rot_y[k] = nearest_int(snap14((cx[k] - m->x) * s - (cy[k] - m->y) * c));
      int32_t *vals = nullptr, *kinds = nullptr, *idx = nullptr;
      int nx = 0;
      r = minmaxs(&vals, &kinds, &idx, &nx, rot_y, n);
      std::free(rot_y);
      if (r != 0) {
        release_contour(cx, cy, cex, cey);
        return r;
      }
      int at = -1;
      if (nx == 1 && kinds[0] == -1)
        at = idx[0];
      else if (nx == 3 && kinds[0] == -1)
        at = vals[0] < vals[2] ? idx[0] : idx[2];
      if (at < 0) {
        remove = true;
      } else {
        m->x = cx[at];
        m->y = cy[at];
        m->edge_x = cex[at];
        m->edge_y = cey[at];
        remove = maps->direction[lfs_block_index(m->x, m->y, params->block_size, maps->mw,
                                                 maps->mh)] == -1;
      }
      std::free(vals);
      std::free(kinds);
      std::free(idx);
      release_contour(cx, cy, cex, cey);
    }
    if (remove) {
      r = remove_minutia(i, minutiae);
      if (r != 0) return r;
      continue;
    }
    ++i;
  }
  return 0;
}
