// The score of a pair table: webs of consistent correspondences grown from
// seed pairs, conflict alternatives explored like an odometer, clusters, their
// compatibility, and the final search over compatible clusters.
//
// Exploration order. Seeds are the pair rows in table order. A seed's first
// web uses the partners found first; every conflict met while growing it
// records a group (the used partner, then the offered alternatives in the
// order met). The settings of the groups are then visited in odometer order,
// the last group fastest (see AdvanceOdometer), starting from the setting
// after all-first-entries; groups recorded during a rebuild are appended and
// take part from the next setting on. A seed visits at most
// kMaxSettingsPerSeed settings. A group takes at most kGroupEntries entries
// and a seed at most kMaxGroups groups; further alternatives are not
// recorded.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "minutiae/bozorth_tables.h"
#include "minutiae/lfs_numeric.h"

namespace bozorth {
namespace {

constexpr int kRows = XYT_MAX_MINUTIAE + 1;  // 1-based minutia numbers
constexpr int kMaxSettingsPerSeed = 1024;

// Alternatives offered to one minutia while growing the webs of a seed.
struct Group {
  bool probe;   // a probe minutia's group (entries are gallery minutiae)
  int minutia;  // the minutia the entries were offered to
  int count;
  int entries[kGroupEntries];  // the used partner first
};

// A web that kept more than 2 pairs after the rotation cut.
struct Cluster {
  int rotation;
  int probe_x, probe_y, gallery_x, gallery_y;
  int probe_count, gallery_count;
  uint8_t probe_minutiae[XYT_MAX_MINUTIAE];  // sorted first endpoints
  uint8_t gallery_minutiae[XYT_MAX_MINUTIAE];
};

struct State {
  const PairTable *pairs;
  const xyt_record *probe;
  const xyt_record *gallery;
  int seed;
  int best;
  int overflow;  // 0, or the message already written

  int probe_partner[kRows];
  int gallery_partner[kRows];
  int assigned[kRows];  // probe minutiae holding a partner
  int assigned_count;
  int queued[kRows];  // id of the web that queued the probe minutia
  int probe_group[kRows];  // 1-based group of the minutia, 0 none
  int gallery_group[kRows];

  int web_mark[kMaxPairs];  // id of the last web the row joined, 0 never
  int web_id;
  int web_rows[kMaxPairs];
  int web_count;
  int queue[kQueueSize];
  int queue_tail;
  int queue_limit;
  int by_second[kMaxPairs];  // rows by (probe_second, gallery_second, row)

  Group groups[kMaxGroups];
  int group_count;

  Cluster clusters[kMaxClusters];
  int size[kMaxClusters];
  int potential[kMaxClusters];
  int compat_count[kMaxClusters];
  int16_t compat[kMaxClusters * kMaxClusters];
  int cluster_count;

  int webs_grown;
};

State g_state;
int g_queue_size_for_test = 0;

int Wrap(int64_t angle) {
  if (angle > 180) angle -= 360;
  if (angle < -179) angle += 360;
  return static_cast<int>(angle);
}

void Assign(State &s, int a, int b) {
  s.probe_partner[a] = b;
  s.gallery_partner[b] = a;
  s.assigned[s.assigned_count++] = a;
}

// Sets a correspondence before a web grows; false when it contradicts one
// already set.
bool Preset(State &s, int a, int b) {
  if (s.probe_partner[a] == b) return true;
  if (s.probe_partner[a] != 0 || s.gallery_partner[b] != 0) return false;
  Assign(s, a, b);
  return true;
}

void ReleaseCorrespondences(State &s) {
  for (int i = 0; i < s.assigned_count; i++) {
    const int a = s.assigned[i];
    s.gallery_partner[s.probe_partner[a]] = 0;
    s.probe_partner[a] = 0;
  }
  s.assigned_count = 0;
}

void SiftOverflow(State &s, int place, int index) {
  char text[160];
  std::snprintf(text, sizeof text,
                "%s: ERROR: bz_sift(): qq[] overflow #%d; the index [*qh] is %d [p=%s; g=%s]\n",
                "", place, index, "", "");
  std::fputs(text, stderr);
  s.overflow = 1;
}

bool Enqueue(State &s, int a) {
  if (s.queue_tail >= s.queue_limit) return false;
  s.queued[a] = s.web_id;
  s.queue[s.queue_tail++] = a;
  return true;
}

void Join(State &s, int row) {
  s.web_mark[row] = s.web_id;
  s.web_rows[s.web_count++] = row;
}

// Records that `offered` was offered to `minutia`, which holds `used`.
void RecordConflict(State &s, bool probe, int minutia, int used, int offered) {
  int &mark = probe ? s.probe_group[minutia] : s.gallery_group[minutia];
  if (mark == 0) {
    if (s.group_count == kMaxGroups) return;
    Group &group = s.groups[s.group_count++];
    group.probe = probe;
    group.minutia = minutia;
    group.count = 2;
    group.entries[0] = used;
    group.entries[1] = offered;
    mark = s.group_count;
    return;
  }
  Group &group = s.groups[mark - 1];
  for (int i = 0; i < group.count; i++) {
    if (group.entries[i] == offered) return;
  }
  if (group.count == kGroupEntries) return;
  group.entries[group.count++] = offered;
}

// Offers the correspondence a -> b through `row`. False on a queue overflow.
bool Sift(State &s, int a, int b, int row) {
  const int pa = s.probe_partner[a];
  const int gb = s.gallery_partner[b];
  if (pa == 0 && gb == 0) {
    Join(s, row);
    Assign(s, a, b);
    if (!Enqueue(s, a)) {
      SiftOverflow(s, 1, s.queue_tail);
      return false;
    }
    return true;
  }
  if (pa == b) {
    if (s.web_mark[row] != s.web_id) Join(s, row);
    if (s.queued[a] != s.web_id && !Enqueue(s, a)) {
      SiftOverflow(s, 2, s.queue_tail);
      return false;
    }
    return true;
  }
  if (pa != 0) {
    RecordConflict(s, true, a, pa, b);
  } else {
    RecordConflict(s, false, b, gb, a);
  }
  return true;
}

void ScoreWarning(const char *what, int place, int index) {
  char text[200];
  if (index < 0) {
    std::snprintf(text, sizeof text,
                  "%s: WARNING: bz_match_score(): qq[] overflow from bz_sift() #%d [p=%s; g=%s]\n",
                  "", place, "", "");
  } else {
    std::snprintf(text, sizeof text,
                  "%s: WARNING: bz_match_score(): qq[] overflow #%d in bozorth3(); %s is %d "
                  "[p=%s; g=%s]\n",
                  "", place, what, index, "", "");
  }
  std::fputs(text, stderr);
}

// First row index whose key (key(row)) is not below (a, b), over `count`
// rows listed by `order` (or the table order when null).
template <typename Key>
int LowerBound(const int *order, int count, int a, int b, Key key) {
  int lo = 0, hi = count;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    int ka, kb;
    key(order != nullptr ? order[mid] : mid, &ka, &kb);
    if (ka < a || (ka == a && kb < b)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// Grows the web of the seed from the correspondences already set. False on
// a queue overflow (the messages are written).
bool GrowWeb(State &s) {
  const Pair *rows = s.pairs->rows;
  const int n = s.pairs->count;
  const Pair &seed = rows[s.seed];
  ++s.web_id;
  ++s.webs_grown;
  s.web_count = 0;
  s.queue_tail = 0;
  if (!Enqueue(s, seed.probe_first)) {
    ScoreWarning("j-1", 1, s.queue_tail);
    return false;
  }
  for (int r = s.seed;
       r < n && rows[r].probe_first == seed.probe_first && rows[r].gallery_first == seed.gallery_first;
       r++) {
    if (!Sift(s, rows[r].probe_second, rows[r].gallery_second, r)) {
      ScoreWarning(nullptr, 1, -1);
      return false;
    }
  }
  auto second_key = [rows](int r, int *a, int *b) {
    *a = rows[r].probe_second;
    *b = rows[r].gallery_second;
  };
  auto first_key = [rows](int r, int *a, int *b) {
    *a = rows[r].probe_first;
    *b = rows[r].gallery_first;
  };
  for (int head = 0; head < s.queue_tail; head++) {
    const int q = s.queue[head];
    const int partner = s.probe_partner[q];
    // Pairs ending at (q, partner): their first endpoints correspond too.
    for (int i = LowerBound(s.by_second, n, q, partner, second_key); i < n; i++) {
      const int r = s.by_second[i];
      if (rows[r].probe_second != q || rows[r].gallery_second != partner) break;
      if (r <= s.seed) continue;
      if (rows[r].probe_first == seed.probe_first && rows[r].gallery_first == seed.gallery_first)
        continue;
      if (!Sift(s, rows[r].probe_first, rows[r].gallery_first, r)) {
        ScoreWarning(nullptr, 2, -1);
        return false;
      }
    }
    if (q == seed.probe_first && partner == seed.gallery_first) continue;
    // Pairs starting at (q, partner): their second endpoints correspond too.
    for (int r = LowerBound(nullptr, n, q, partner, first_key); r < n; r++) {
      if (rows[r].probe_first != q || rows[r].gallery_first != partner) break;
      if (r <= s.seed) continue;
      if (!Sift(s, rows[r].probe_second, rows[r].gallery_second, r)) {
        ScoreWarning(nullptr, 3, -1);
        return false;
      }
    }
    if (s.overflow) return false;
  }
  return true;
}

bool Disjoint(const uint8_t *a, int na, const uint8_t *b, int nb) {
  int i = 0, j = 0;
  while (i < na && j < nb) {
    if (a[i] == b[j]) return false;
    if (a[i] < b[j]) {
      i++;
    } else {
      j++;
    }
  }
  return true;
}

// Direction of a displacement in degrees, -179..180.
int DisplacementAngle(int64_t dx, int64_t dy) {
  if (dx == 0) return dy >= 0 ? 90 : -90;
  const float t = std::atan(static_cast<float>(dy) / static_cast<float>(dx)) * 57.295776f;
  float shifted;
  if (dx > 0) {
    shifted = t >= 0 ? t + 0.5f : t - 0.5f;
  } else {
    shifted = dy >= 0 ? t + 180.5f : t - 180.5f;
  }
  return Wrap(static_cast<int64_t>(shifted));
}

bool Compatible(const State &s, int older, int newer) {
  const Cluster &c = s.clusters[older];
  const Cluster &n = s.clusters[newer];
  if (!WithinTolerance(c.rotation, n.rotation)) return false;
  const int64_t dpx = static_cast<int64_t>(n.probe_x) - c.probe_x;
  const int64_t dpy = static_cast<int64_t>(n.probe_y) - c.probe_y;
  const int64_t dgx = static_cast<int64_t>(n.gallery_x) - c.gallery_x;
  const int64_t dgy = static_cast<int64_t>(n.gallery_y) - c.gallery_y;
  const float lp = static_cast<float>(dpx * dpx + dpy * dpy);
  const float lg = static_cast<float>(dgx * dgx + dgy * dgy);
  const float dz = lp - lg;
  const float f = 0.1f * (lp + lg);
  if (dz * dz > f * f) return false;
  // The cheaper tests first; all of them must hold.
  if (!Disjoint(c.probe_minutiae, c.probe_count, n.probe_minutiae, n.probe_count) ||
      !Disjoint(c.gallery_minutiae, c.gallery_count, n.gallery_minutiae, n.gallery_count))
    return false;
  const int turn = Wrap(DisplacementAngle(dpx, dpy) - DisplacementAngle(dgx, dgy));
  const int32_t both[2] = {c.rotation, n.rotation};
  return WithinTolerance(turn, MeanRotation(both, 2));
}

// Fills a sorted list of the distinct minutiae flagged in `seen`.
int SortedList(const bool *seen, uint8_t *out) {
  int n = 0;
  for (int m = 1; m < kRows; m++) {
    if (seen[m]) out[n++] = static_cast<uint8_t>(m);
  }
  return n;
}

// Steps 5 to 7 for the web just grown: the rotation cut, the cluster and its
// compatibility with the earlier clusters.
void FinishWeb(State &s) {
  if (s.web_count <= 2) return;
  static int32_t rotations[kMaxPairs];
  const Pair *rows = s.pairs->rows;
  for (int i = 0; i < s.web_count; i++) rotations[i] = rows[s.web_rows[i]].rotation;
  const int mean = MeanRotation(rotations, s.web_count);
  int kept = 0;
  for (int i = 0; i < s.web_count; i++) {
    if (WithinTolerance(rotations[i], mean)) {
      rotations[kept] = rotations[i];
      s.web_rows[kept++] = s.web_rows[i];
    }
  }
  if (kept <= 2 || s.cluster_count >= kMaxClusters) return;

  const int id = s.cluster_count++;
  Cluster &c = s.clusters[id];
  c.rotation = MeanRotation(rotations, kept);
  int64_t px = 0, py = 0, gx = 0, gy = 0;
  bool probe_seen[kRows] = {};
  bool gallery_seen[kRows] = {};
  for (int i = 0; i < kept; i++) {
    const Pair &p = rows[s.web_rows[i]];
    px += s.probe->x[p.probe_first - 1];
    py += s.probe->y[p.probe_first - 1];
    gx += s.gallery->x[p.gallery_first - 1];
    gy += s.gallery->y[p.gallery_first - 1];
    probe_seen[p.probe_first] = true;
    gallery_seen[p.gallery_first] = true;
  }
  c.probe_x = static_cast<int>(px / kept);
  c.probe_y = static_cast<int>(py / kept);
  c.gallery_x = static_cast<int>(gx / kept);
  c.gallery_y = static_cast<int>(gy / kept);
  c.probe_count = SortedList(probe_seen, c.probe_minutiae);
  c.gallery_count = SortedList(gallery_seen, c.gallery_minutiae);
  s.size[id] = kept;
  s.potential[id] = kept;
  s.compat_count[id] = 0;
  s.best = std::max(s.best, kept);

  for (int older = 0; older < id; older++) {
    if (!Compatible(s, older, id)) continue;
    s.compat[older * kMaxClusters + s.compat_count[older]++] = static_cast<int16_t>(id);
    s.potential[older] += kept;
    s.best = std::max(s.best, s.potential[older]);
  }
}

// Grows the seed's web, then the webs of its conflict settings. False on a
// queue overflow.
bool ExploreSeed(State &s, int seed) {
  const Pair &p = s.pairs->rows[seed];
  s.seed = seed;
  s.group_count = 0;
  Assign(s, p.probe_first, p.gallery_first);
  const bool grown = GrowWeb(s);
  if (grown) FinishWeb(s);
  ReleaseCorrespondences(s);

  int counters[kMaxGroups] = {};
  int counts[kMaxGroups];
  int settings = 0;
  bool ok = grown;
  while (ok && s.group_count > 0) {
    for (int i = 0; i < s.group_count; i++) counts[i] = s.groups[i].count;
    if (!AdvanceOdometer(s.group_count, counts, counters)) break;
    if (s.cluster_count >= kMaxClusters || ++settings > kMaxSettingsPerSeed) break;
    Assign(s, p.probe_first, p.gallery_first);
    bool consistent = true;
    for (int i = 0; i < s.group_count && consistent; i++) {
      const Group &g = s.groups[i];
      const int pick = g.entries[counters[i]];
      consistent = g.probe ? Preset(s, g.minutia, pick) : Preset(s, pick, g.minutia);
    }
    if (consistent) {
      ok = GrowWeb(s);
      if (ok) FinishWeb(s);
    }
    ReleaseCorrespondences(s);
  }
  for (int i = 0; i < s.group_count; i++) {
    const Group &g = s.groups[i];
    (g.probe ? s.probe_group : s.gallery_group)[g.minutia] = 0;
  }
  s.group_count = 0;
  return ok;
}

}  // namespace

bool WithinTolerance(int a, int b) {
  const int64_t d = static_cast<int64_t>(a) - b;
  const int64_t d2 = d * d;
  return d2 < 122 || d2 >= 121801;
}

int MeanRotation(const int32_t *rotations, int n) {
  if (n <= 0) return 0;
  int64_t sp = 0, sn = 0;
  int np = 0, nn = 0;
  for (int i = 0; i < n; i++) {
    if (rotations[i] >= 0) {
      sp += rotations[i];
      np++;
    } else {
      sn += rotations[i];
      nn++;
    }
  }
  const float mp = static_cast<float>(sp) / static_cast<float>(np ? np : 1);
  const float mn = static_cast<float>(sn) / static_cast<float>(nn ? nn : 1);
  float mean;
  if (mp - mn <= 180.0f) {
    mean = static_cast<float>(sp + sn) / static_cast<float>(n);
  } else {
    mean = static_cast<float>(sp + sn + 360 * static_cast<int64_t>(nn)) / static_cast<float>(n);
    if (mean > 180.0f) mean -= 360.0f;
  }
  int m = nearest_int(static_cast<double>(mean));
  if (m < -179) m += 360;
  return m;
}

bool AdvanceOdometer(int groups, const int *entry_counts, int *counters) {
  for (int i = groups - 1; i >= 0; i--) {
    if (++counters[i] < entry_counts[i]) return true;
    counters[i] = 0;
  }
  return false;
}

int MatchScore(const PairTable &pairs, const xyt_record &probe, const xyt_record &gallery) {
  if (probe.count < kMinMinutiae || gallery.count < kMinMinutiae) return 0;
  State &s = g_state;
  const int n = pairs.count;
  s.pairs = &pairs;
  s.probe = &probe;
  s.gallery = &gallery;
  s.best = 0;
  s.overflow = 0;
  s.web_id = 0;
  s.webs_grown = 0;
  s.cluster_count = 0;
  s.group_count = 0;
  s.assigned_count = 0;
  s.queue_limit = g_queue_size_for_test > 0 ? std::min(g_queue_size_for_test, kQueueSize)
                                            : kQueueSize;
  std::memset(s.probe_partner, 0, sizeof s.probe_partner);
  std::memset(s.gallery_partner, 0, sizeof s.gallery_partner);
  std::memset(s.queued, 0, sizeof s.queued);
  std::memset(s.probe_group, 0, sizeof s.probe_group);
  std::memset(s.gallery_group, 0, sizeof s.gallery_group);
  std::memset(s.web_mark, 0, sizeof(int) * static_cast<size_t>(n));
  for (int i = 0; i < n; i++) s.by_second[i] = i;
  const Pair *rows = pairs.rows;
  std::sort(s.by_second, s.by_second + n, [rows](int a, int b) {
    if (rows[a].probe_second != rows[b].probe_second)
      return rows[a].probe_second < rows[b].probe_second;
    if (rows[a].gallery_second != rows[b].gallery_second)
      return rows[a].gallery_second < rows[b].gallery_second;
    return a < b;
  });

  for (int k = 0; k + 1 < n && s.cluster_count < kMaxClusters; k++) {
    if (s.web_mark[k] != 0) continue;
    if (!ExploreSeed(s, k)) {
      // An internal limit is no evidence of a match.
      ReleaseCorrespondences(s);
      return 0;
    }
  }
  if (s.best <= 7) return s.best;
  const ClusterGraph graph{s.cluster_count, s.size,  s.potential, s.compat_count,
                           s.compat,        kMaxClusters};
  return BestCompatibleTotal(graph);
}

void BozorthSetQueueSizeForTest(int size) { g_queue_size_for_test = size; }

int BozorthWebsGrownForTest() { return g_state.webs_grown; }

}  // namespace bozorth
