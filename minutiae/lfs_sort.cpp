#include "minutiae/lfs_sort.h"

#include <cstdlib>
#include <utility>

#include "minutiae/lfs_common.h"

namespace {

// One exchange sort for every variant; `before(a, b)` is true when a must
// come before b, which is the only case that swaps a pair.
template <typename Key, typename Before>
void ExchangeSort(Key *keys, int32_t *companion, int n, Before before) {
  for (int end = n - 1; end > 0; --end) {
    bool swapped = false;
    for (int i = 0; i < end; ++i) {
      if (before(keys[i + 1], keys[i])) {
        std::swap(keys[i], keys[i + 1]);
        if (companion != nullptr) std::swap(companion[i], companion[i + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}

template <typename Key>
int SortIndices(int32_t **order, Key *keys, int n, const char *text, int code) {
  auto *out = static_cast<int32_t *>(lfs_malloc(sizeof(int32_t) * (n > 0 ? n : 1)));
  if (out == nullptr) return lfs_fail(text, code);
  for (int i = 0; i < n; ++i) out[i] = i;
  ExchangeSort(keys, out, n, [](Key a, Key b) { return a < b; });
  *order = out;
  return 0;
}

}  // namespace

extern "C" void exchange_sort_int_inc_idx(int32_t *keys, int32_t *indices, int n) {
  ExchangeSort(keys, indices, n, [](int32_t a, int32_t b) { return a < b; });
}

extern "C" void exchange_sort_double_inc_idx(double *keys, int32_t *indices, int n) {
  ExchangeSort(keys, indices, n, [](double a, double b) { return a < b; });
}

extern "C" void exchange_sort_double_dec_idx(double *keys, int32_t *indices, int n) {
  ExchangeSort(keys, indices, n, [](double a, double b) { return a > b; });
}

extern "C" void exchange_sort_int_inc(int32_t *keys, int n) {
  ExchangeSort(keys, nullptr, n, [](int32_t a, int32_t b) { return a < b; });
}

extern "C" int sort_indices_int_inc(int32_t **order, int32_t *keys, int n) {
  return SortIndices(order, keys, n, "ERROR : sort_indices_int_inc : malloc : order\n", -390);
}

extern "C" int sort_indices_double_inc(int32_t **order, double *keys, int n) {
  return SortIndices(order, keys, n, "ERROR : sort_indices_double_inc : malloc : order\n",
                     -400);
}
