// Large-region share; see ZqWhiteAbnormal.h.
#include "src/enhance/ZqWhiteAbnormal.h"

#include "src/image/ZqFloodFill.h"
#include "src/image/ZqScratch.h"

namespace {
constexpr int32_t kFirstLabel = 2;
constexpr int32_t kLastLabel = 700;
}  // namespace

extern "C" int32_t ZqGetConnectedArea_v6_getWhiteAbnormal(const uint8_t *mask, int32_t rows,
                                                          int32_t cols, int32_t sizeLimit,
                                                          int32_t /*unused*/, uint8_t *percent) {
  if (mask == nullptr || percent == nullptr) return -1;
  if (rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint16_t *labels = scratch.Take<uint16_t>(n);
  ST_Point16u *stack = scratch.Take<ST_Point16u>(n);
  if (labels == nullptr || stack == nullptr) return -2;
  for (int64_t i = 0; i < n; ++i) labels[i] = mask[i];

  int32_t next = kFirstLabel;
  uint64_t sum = 0;
  for (int32_t y = 0; y < rows && next <= kLastLabel; ++y) {
    for (int32_t x = 0; x < cols && next <= kLastLabel; ++x) {
      if (labels[int64_t{y} * cols + x] != 1) continue;
      ST_AreaInfo info = {};
      int32_t count = 0;
      if (ZqFloodFill_v4(labels, rows, cols, 1, x, y, next, stack, &count, &info) != 0) return -1;
      ++next;
      if (info.area > sizeLimit) sum += static_cast<uint64_t>(info.area);
    }
  }
  *percent = static_cast<uint8_t>(sum * 100 / static_cast<uint64_t>(n));
  return 0;
}
