// The pair passes of false-minutia removal: islands and lakes, hooks and
// overlaps. Each walks the list sorted by y then x, pairs every minutia
// with the later ones close below it, flags verdicts and removes the
// flagged minutiae afterwards from the last to the first.
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_line.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_loop.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_remove.h"
#include "minutiae/lfs_trace.h"

namespace {

bool InColour(const lfs_minutia *m, const unsigned char *bdata, int iw) {
  return bdata[static_cast<size_t>(m->y) * iw + m->x] == m->type;
}

// What a pass decides about a close pair (f, s).
enum Verdict { kKeep = 0, kFlagBoth, kFlagFirstAndStop };

struct PairPass {
  const char *calloc_text;
  int calloc_code;
  const char *direction_text;
  int direction_code;
  int distance_max;  // limit of the y gap and of the distance
};

// Runs the pair scheme; `judge` (f index, s index, f, s) returns a
// Verdict or a negative code, and is called only for pairs within the
// distance whose directions differ by at least three quarters of a half
// turn.
template <typename Judge>
int RunPairPass(lfs_minutiae *minutiae, const unsigned char *bdata, int iw,
                const lfs_params *params, const PairPass &pass, Judge judge) {
  const int n = minutiae->count;
  auto *to_remove = static_cast<int *>(lfs_calloc(n > 0 ? n : 1, sizeof(int)));
  if (to_remove == nullptr) return lfs_fail(pass.calloc_text, pass.calloc_code);
  const int ndirs2 = 2 * params->direction_count;
  const int gap_min = 3 * (params->direction_count / 4);
  for (int f = 0; f < n - 1; ++f) {
    if (to_remove[f]) continue;
    const lfs_minutia *fm = minutiae->list[f];
    for (int s = f + 1; s < n; ++s) {
      const lfs_minutia *sm = minutiae->list[s];
      const int pre = judge.Applies(fm, sm);
      if (!pre) continue;
      if (!InColour(fm, bdata, iw)) break;
      if (!InColour(sm, bdata, iw)) to_remove[s] = 1;
      if (to_remove[s]) continue;
      if (sm->y - fm->y > pass.distance_max) break;
      if (distance(fm->x, fm->y, sm->x, sm->y) > pass.distance_max) continue;
      const int dd = direction_gap(fm->direction, sm->direction, ndirs2);
      if (dd < 0) {
        std::free(to_remove);
        return lfs_fail(pass.direction_text, pass.direction_code);
      }
      if (dd < gap_min) continue;
      const int v = judge(fm, sm);
      if (v < 0) {
        std::free(to_remove);
        return v;
      }
      if (v == kFlagBoth) {
        to_remove[f] = 1;
        to_remove[s] = 1;
      } else if (v == kFlagFirstAndStop) {
        to_remove[f] = 1;
        break;
      }
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    if (!to_remove[i]) continue;
    const int r = remove_minutia(i, minutiae);
    if (r != 0) {
      std::free(to_remove);
      return r;
    }
  }
  std::free(to_remove);
  return 0;
}

}  // namespace

extern "C" int remove_islands_and_lakes(lfs_minutiae *minutiae, unsigned char *bdata, int iw,
                                        int ih, const lfs_params *params) {
  detector_trace("\nREMOVING ISLANDS AND LAKES:\n");
  struct Judge {
    unsigned char *bdata;
    int iw, ih;
    const lfs_params *params;
    int Applies(const lfs_minutia *f, const lfs_minutia *s) const { return f->type == s->type; }
    int operator()(const lfs_minutia *f, const lfs_minutia *s) const {
      int *cx, *cy, *cex, *cey, n;
      const int r = pair_on_island_or_lake(&cx, &cy, &cex, &cey, &n, f, s,
                                           params->half_loop_length_max, bdata, iw, ih);
      if (r < 0) return r;
      if (r == LFS_IGNORE) return kFlagFirstAndStop;
      if (r != LFS_LOOP_FOUND) return kKeep;
      const int fr = fill_loop(cx, cy, n, bdata, iw, ih);
      release_contour(cx, cy, cex, cey);
      return fr < 0 ? fr : kFlagBoth;
    }
  } judge{bdata, iw, ih, params};
  return RunPairPass(minutiae, bdata, iw, params,
                     {"ERROR : remove_islands_and_lakes : calloc : to_remove\n", -610,
                      "ERROR : remove_islands_and_lakes : INVALID direction\n", -611,
                      params->pair_distance_max},
                     judge);
}

extern "C" int remove_hooks(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                            const lfs_params *params) {
  detector_trace("\nREMOVING HOOKS:\n");
  struct Judge {
    const unsigned char *bdata;
    int iw, ih;
    const lfs_params *params;
    int Applies(const lfs_minutia *, const lfs_minutia *) const { return 1; }
    int operator()(const lfs_minutia *f, const lfs_minutia *s) const {
      if (f->type == s->type) return kKeep;
      const int r = pair_on_hook(f, s, params->hook_length_max, bdata, iw, ih);
      if (r < 0) return r;
      if (r == LFS_LOOP_FOUND) return kFlagBoth;
      if (r == LFS_IGNORE) return kFlagFirstAndStop;
      return kKeep;
    }
  } judge{bdata, iw, ih, params};
  return RunPairPass(minutiae, bdata, iw, params,
                     {"ERROR : remove_hooks : calloc : to_remove\n", -640,
                      "ERROR : remove_hooks : INVALID direction\n", -641,
                      params->pair_distance_max},
                     judge);
}

extern "C" int remove_overlaps(lfs_minutiae *minutiae, const unsigned char *bdata, int iw,
                               int ih, const lfs_params *params) {
  detector_trace("\nREMOVING OVERLAPS:\n");
  struct Judge {
    const unsigned char *bdata;
    int iw, ih;
    const lfs_params *params;
    int Applies(const lfs_minutia *, const lfs_minutia *) const { return 1; }
    int operator()(const lfs_minutia *f, const lfs_minutia *s) const {
      if (f->type != s->type) return kKeep;
      const int n = params->direction_count;
      const int j = line_to_direction(f->x, f->y, s->x, s->y, n);
      const int o = (n + f->direction) % (2 * n);
      const int jd = direction_gap(o, j, 2 * n);
      if (jd > n / 2 &&
          distance(f->x, f->y, s->x, s->y) > params->overlap_join_distance_max)
        return kKeep;
      const int free_path = path_is_free(f->x, f->y, s->x, s->y, bdata, iw, ih, params);
      if (free_path < 0) return free_path;
      return free_path ? kFlagBoth : kKeep;
    }
  } judge{bdata, iw, ih, params};
  return RunPairPass(minutiae, bdata, iw, params,
                     {"ERROR : remove_overlaps : calloc : to_remove\n", -650,
                      "ERROR : remove_overlaps : INVALID direction\n", -651,
                      params->overlap_distance_max},
                     judge);
}
