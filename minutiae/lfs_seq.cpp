#include "minutiae/lfs_seq.h"

#include <cstdlib>

#include "minutiae/lfs_common.h"

extern "C" int minmaxs(int32_t **values, int32_t **kinds, int32_t **indices, int *count,
                       const int32_t *items, int n) {
  *values = *kinds = *indices = nullptr;
  *count = 0;
  if (n <= 2) return 0;

  const size_t bytes = sizeof(int32_t) * static_cast<size_t>(n - 2);
  auto *val = static_cast<int32_t *>(lfs_malloc(bytes));
  if (val == nullptr) return lfs_fail("ERROR : minmaxs : malloc : minmax_val\n", -290);
  auto *kind = static_cast<int32_t *>(lfs_malloc(bytes));
  if (kind == nullptr) {
    std::free(val);
    return lfs_fail("ERROR : minmaxs : malloc : minmax_type\n", -291);
  }
  auto *idx = static_cast<int32_t *>(lfs_malloc(bytes));
  if (idx == nullptr) {
    std::free(val);
    std::free(kind);
    return lfs_fail("ERROR : minmaxs : malloc : minmax_i\n", -292);
  }

  auto sign = [](int64_t d) { return d > 0 ? 1 : (d < 0 ? -1 : 0); };
  int state = sign(int64_t{items[1]} - items[0]);
  int start = 0;  // index of the last step that was not flat
  int found = 0;
  for (int i = 1; i < n - 1; ++i) {
    const int d = sign(int64_t{items[i + 1]} - items[i]);
    if (d == 0) continue;
    if (state != d && (state == -d || i - start > 1)) {
      const int at = (start + i) / 2;
      val[found] = items[at];
      kind[found] = d > 0 ? -1 : 1;  // rising after it: a minimum
      idx[found] = at;
      ++found;
    }
    start = i;
    state = d;
  }
  *values = val;
  *kinds = kind;
  *indices = idx;
  *count = found;
  return 0;
}

extern "C" int32_t largest_int(const int32_t *list, int n) {
  int32_t best = list[0];
  for (int i = 1; i < n; ++i)
    if (list[i] > best) best = list[i];
  return best;
}

extern "C" int32_t smallest_int(const int32_t *list, int n) {
  int32_t best = list[0];
  for (int i = 1; i < n; ++i)
    if (list[i] < best) best = list[i];
  return best;
}

extern "C" int int_list_index(int32_t item, const int32_t *list, int n) {
  for (int i = 0; i < n; ++i)
    if (list[i] == item) return i;
  return -1;
}

extern "C" int insert_position(double item, const double *list, int n) {
  for (int i = 0; i < n; ++i)
    if (item < list[i]) return i;
  return n;
}

extern "C" int remove_from_int_list(int index, int32_t *list, int n) {
  if (index < 0 || index >= n)
    return lfs_fail("ERROR : remove_from_int_list : index out of range\n", -370);
  for (int i = index + 1; i < n; ++i) list[i - 1] = list[i];
  return 0;
}
