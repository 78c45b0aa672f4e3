#include "minutiae/lfs_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "minutiae/bozorth.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_sort.h"

// The print record is stored as the payload of a print item.
static_assert(sizeof(xyt_record) == XYT_RECORD_SIZE);
static_assert(offsetof(xyt_record, x) == 4);
static_assert(offsetof(xyt_record, y) == 804);
static_assert(offsetof(xyt_record, theta) == 1604);

namespace {

struct SortTexts {
  const char *ranks;
  int ranks_code;
  const char *newlist;
  int newlist_code;
};

// Stable sort of the list by the key iw * major + minor, where `y_major`
// picks y (else x) as the major coordinate.
int SortByKey(lfs_minutiae *minutiae, int iw, bool y_major, const SortTexts &texts) {
  const int n = minutiae->count;
  auto *ranks = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * (n > 0 ? n : 1)));
  if (ranks == nullptr) return lfs_fail(texts.ranks, texts.ranks_code);
  for (int i = 0; i < n; ++i) {
    const lfs_minutia *m = minutiae->list[i];
    const int32_t major = y_major ? m->y : m->x;
    const int32_t minor = y_major ? m->x : m->y;
    // Unsigned arithmetic: an absurd image width wraps instead of overflowing.
    ranks[i] = static_cast<int32_t>(static_cast<uint32_t>(iw) * static_cast<uint32_t>(major) +
                                    static_cast<uint32_t>(minor));
  }
  int32_t *order = nullptr;
  const int r = sort_indices_int_inc(&order, ranks, n);
  std::free(ranks);
  if (r != 0) return r;
  auto *newlist = static_cast<lfs_minutia **>(lfs_malloc(sizeof(lfs_minutia *) * (n > 0 ? n : 1)));
  if (newlist == nullptr) {
    std::free(order);
    return lfs_fail(texts.newlist, texts.newlist_code);
  }
  for (int i = 0; i < n; ++i) newlist[i] = minutiae->list[order[i]];
  std::memcpy(minutiae->list, newlist, sizeof(lfs_minutia *) * n);
  std::free(newlist);
  std::free(order);
  return 0;
}

}  // namespace

extern "C" int alloc_minutiae(lfs_minutiae **minutiae, int capacity) {
  auto *list = static_cast<lfs_minutiae *>(lfs_malloc(sizeof(lfs_minutiae)));
  if (list == nullptr) return lfs_fail("ERROR : alloc_minutiae : malloc : minutiae\n", -430);
  list->list = static_cast<lfs_minutia **>(
      lfs_malloc(sizeof(lfs_minutia *) * (capacity > 0 ? capacity : 1)));
  if (list->list == nullptr) {
    std::free(list);
    return lfs_fail("ERROR : alloc_minutiae : malloc : minutiae->list\n", -431);
  }
  list->capacity = capacity;
  list->count = 0;
  *minutiae = list;
  return 0;
}

extern "C" int realloc_minutiae(lfs_minutiae *minutiae, int increment) {
  const int capacity = minutiae->capacity + increment;
  auto *slots = static_cast<lfs_minutia **>(
      lfs_realloc(minutiae->list, sizeof(lfs_minutia *) * (capacity > 0 ? capacity : 1)));
  if (slots == nullptr)
    return lfs_fail("ERROR : realloc_minutiae : realloc : minutiae->list\n", -432);
  minutiae->list = slots;
  minutiae->capacity = capacity;
  return 0;
}

extern "C" int create_minutia(lfs_minutia **minutia, int x, int y, int edge_x, int edge_y,
                              int direction, double reliability, int type, int appearing,
                              int pattern_id) {
  auto *m = static_cast<lfs_minutia *>(lfs_malloc(sizeof(lfs_minutia)));
  if (m == nullptr) return lfs_fail("ERROR : create_minutia : malloc : minutia\n", -230);
  m->x = x;
  m->y = y;
  m->edge_x = edge_x;
  m->edge_y = edge_y;
  m->direction = direction;
  m->reliability = reliability;
  m->type = type;
  m->appearing = appearing;
  m->pattern_id = pattern_id;
  m->neighbors = nullptr;
  m->ridge_counts = nullptr;
  m->neighbor_count = 0;
  *minutia = m;
  return 0;
}

extern "C" void release_minutia(lfs_minutia *minutia) {
  if (minutia == nullptr) return;
  std::free(minutia->neighbors);
  std::free(minutia->ridge_counts);
  std::free(minutia);
}

extern "C" void release_minutiae(lfs_minutiae *minutiae) {
  if (minutiae == nullptr) return;
  for (int i = 0; i < minutiae->count; ++i) release_minutia(minutiae->list[i]);
  std::free(minutiae->list);
  std::free(minutiae);
}

extern "C" int remove_minutia(int index, lfs_minutiae *minutiae) {
  if (index < 0 || index >= minutiae->count)
    return lfs_fail("ERROR : remove_minutia : index out of range\n", -380);
  release_minutia(minutiae->list[index]);
  for (int i = index + 1; i < minutiae->count; ++i) minutiae->list[i - 1] = minutiae->list[i];
  minutiae->count--;
  return 0;
}

extern "C" int remove_duplicate_minutiae(lfs_minutiae *minutiae) {
  if (minutiae->count < 2) return 0;
  for (int i = minutiae->count - 1; i > 0; --i) {
    const lfs_minutia *m = minutiae->list[i];
    const lfs_minutia *prev = minutiae->list[i - 1];
    if (m->x == prev->x && m->y == prev->y) {
      const int r = remove_minutia(i - 1, minutiae);
      if (r != 0) return r;
    }
  }
  return 0;
}

extern "C" int sort_minutiae_y_x(lfs_minutiae *minutiae, int iw) {
  return SortByKey(minutiae, iw, true,
                   {"ERROR : sort_minutiae_y_x : malloc : ranks\n", -310,
                    "ERROR : sort_minutiae_y_x : malloc : newlist\n", -311});
}

extern "C" int sort_minutiae_x_y(lfs_minutiae *minutiae, int iw) {
  return SortByKey(minutiae, iw, false,
                   {"ERROR : sort_minutiae_x_y : malloc : ranks\n", -440,
                    "ERROR : sort_minutiae_x_y : malloc : newlist\n", -441});
}

extern "C" int lfs_minutia_to_xyt(int *x, int *y, int *theta, const lfs_minutia *minutia,
                                  int /*iw*/, int ih) {
  *x = minutia->x;
  *y = ih - minutia->y;
  // The product is formed in single precision.
  const float degrees = static_cast<float>(minutia->direction) * 11.25f;
  int t = (270 - nearest_int(degrees)) % 360;
  if (t < 0) t += 360;
  *theta = t;
  return 0;
}
