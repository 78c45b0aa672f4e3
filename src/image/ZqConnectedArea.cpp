// Connected-region filters; see ZqConnectedArea.h.
#include "src/image/ZqConnectedArea.h"

#include <string.h>

#include "src/image/ZqFloodFill.h"
#include "src/image/ZqScratch.h"

namespace {

constexpr int kLabels8 = 256;   // label values 2..255
constexpr int kLabels16 = 701;  // label values 2..700

bool SizeOk(int32_t rows, int32_t cols) {
  return rows > 0 && cols > 0 && rows <= 65535 && cols <= 65535;
}

bool R2(const ST_AreaInfo &a, int32_t minSide) { return a.height >= minSide || a.width >= minSide; }
bool R4(const ST_AreaInfo &a) { return a.fillPercent <= 90 || a.height <= 90; }
bool R6(const ST_AreaInfo &a) {
  if (a.width <= 2) return a.height <= 70;
  if (a.width <= 9) return a.height <= 90;
  if (a.width <= 14) return a.height <= 150;
  return true;
}
bool R7(const ST_AreaInfo &a, int32_t t) { return a.tipCount < 16 || a.edgePerTip > t; }
bool R8(const ST_AreaInfo &a) {
  return a.thinTipCount > 10 && static_cast<uint16_t>(a.edgeCount / a.thinTipCount) <= 5;
}

// Which 8-bit member runs.
enum class Member8 { kBase, k8, kV2, kV3 };

// Whether the 8-bit member keeps a region of `count` pixels with stats a.
bool Keep8(Member8 m, int32_t count, const ST_AreaInfo &a, int32_t minArea, int32_t minSide) {
  switch (m) {
    case Member8::kBase:
      return count >= minArea;
    case Member8::k8:
      return static_cast<uint32_t>(count) >= static_cast<uint32_t>(minArea);
    case Member8::kV2:
    case Member8::kV3: {
      bool keep = static_cast<uint32_t>(count) >= static_cast<uint32_t>(minArea) &&
                  R2(a, minSide) && a.edgeCount >= 30 && R4(a) && R6(a);
      if (m == Member8::kV2) return keep && (a.edgePercent <= 50 || a.height <= 90);
      return keep && R7(a, 14);
    }
  }
  return false;
}

// The 8-bit family. sum and labelCount are optional outputs.
int32_t Filter8(Member8 m, uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                uint8_t keepLargest, int32_t minSide, uint16_t *sum, uint16_t *labelCount) {
  if (mask == nullptr || !SizeOk(rows, cols)) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *labels = scratch.Take<uint8_t>(n);
  if (labels == nullptr) return -2;
  ST_Point16u *stack = scratch.Take<ST_Point16u>(n * 2);  // 8 bytes per pixel
  if (stack == nullptr) return -2;
  memcpy(labels, mask, static_cast<size_t>(n));

  ST_AreaInfo info[kLabels8] = {};
  int32_t label = 2;
  for (int32_t y = 0; y < rows && label < kLabels8; ++y) {
    for (int32_t x = 0; x < cols && label < kLabels8; ++x) {
      if (labels[int64_t{y} * cols + x] != 1) continue;
      int32_t count = 0;
      if (m == Member8::kBase)
        ZqFloodFill(labels, rows, cols, 1, x, y, label, stack, &count);
      else if (m == Member8::k8)
        ZqFloodFill_8_v2(labels, rows, cols, 1, x, y, label, stack, &count);
      else
        ZqFloodFill_v2(labels, rows, cols, 1, x, y, label, stack, &count, &info[label]);
      ++label;
    }
  }
  if (labelCount != nullptr) *labelCount = static_cast<uint16_t>(label);
  if (label == 2) {
    memset(mask, 0, static_cast<size_t>(n));
    return 0;
  }

  int32_t counts[kLabels8] = {};
  for (int64_t i = 0; i < n; ++i) ++counts[labels[i]];
  int32_t largest = 0, largestLabel = 0;
  for (int32_t l = 2; l < kLabels8; ++l) {
    if (counts[l] == 0) continue;
    if (!Keep8(m, counts[l], info[l], minArea, minSide)) counts[l] = 0;
    if (counts[l] > largest) {
      largest = counts[l];
      largestLabel = l;
    }
  }
  const bool onlyLargest =
      keepLargest != 0 &&
      (m == Member8::kBase ? largest >= minArea
                           : static_cast<uint32_t>(largest) > static_cast<uint32_t>(minArea));
  if (onlyLargest) {
    if (sum != nullptr) *sum = static_cast<uint16_t>(*sum + largest);
    memset(counts, 0, sizeof(counts));
    counts[largestLabel] = 1;
  } else if (largest == 0 && counts[1] == 0) {
    // Every region dropped. Regions beyond the label limit (still 1) are
    // kept for the caller's next call instead of being cleared with them.
    memset(mask, 0, static_cast<size_t>(n));
    return 0;
  } else if (sum != nullptr) {
    for (int32_t l = 2; l < kLabels8; ++l) *sum = static_cast<uint16_t>(*sum + counts[l]);
  }
  for (int64_t i = 0; i < n; ++i)
    if (mask[i] != 0) mask[i] = counts[labels[i]] != 0 ? 1 : 0;
  return 0;
}

// Which 16-bit member runs.
enum class Member16 { kV4, kV5, k4845 };

int32_t Filter16(Member16 m, const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                 int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB, uint16_t *ratio) {
  if (mask == nullptr || outA == nullptr || outB == nullptr || !SizeOk(rows, cols)) return -1;
  if (m == Member16::k4845 && ratio == nullptr) return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint16_t *labels = scratch.Take<uint16_t>(n);
  if (labels == nullptr) return -2;
  ST_Point16u *stack = scratch.Take<ST_Point16u>(n * 2);
  if (stack == nullptr) return -2;
  ST_AreaInfo *info = scratch.Take<ST_AreaInfo>(kLabels16);
  if (info == nullptr) return -2;
  for (int64_t i = 0; i < n; ++i) labels[i] = mask[i];

  int32_t label = 2;
  for (int32_t y = 0; y < rows && label < kLabels16; ++y) {
    for (int32_t x = 0; x < cols && label < kLabels16; ++x) {
      if (labels[int64_t{y} * cols + x] != 1) continue;
      int32_t count = 0;
      ZqFloodFill_v4(labels, rows, cols, 1, x, y, label, stack, &count, &info[label]);
      ++label;
    }
  }
  if (label == 2) return 0;

  // Unlabelled pixels (value 1) stay in both outputs.
  bool keepA[kLabels16] = {}, keepB[kLabels16] = {};
  keepA[1] = keepB[1] = true;
  uint32_t edgeSum = 0, tipSum = 0;
  for (int32_t l = 2; l < label; ++l) {
    const ST_AreaInfo &a = info[l];
    if (m == Member16::kV5 && a.height > 50 && a.thinTipCount > 80) {
      memset(outA, 0, static_cast<size_t>(n));
      memset(outB, 0, static_cast<size_t>(n));
      return 0;
    }
    const bool common =
        a.area >= minArea && R2(a, minSide) && a.edgeCount >= minEdge && R4(a) && R6(a);
    if (m == Member16::k4845) {
      keepB[l] = common && R7(a, 6) && !R8(a);
      keepA[l] = common && !(a.tipCount > 10 && a.edgePerTip <= 7) &&
                 !(a.edgeCount < 60 && a.thinTipCount > 10) &&
                 !(a.edgeCount >= 62 && a.edgeCount < 100 && a.thinTipCount > 20 && a.area < 100);
      if (keepA[l]) {
        edgeSum += static_cast<uint32_t>(a.edgeCount);
        tipSum += static_cast<uint32_t>(a.tipCount);
      }
    } else {
      keepA[l] = common && R7(a, 14);
      keepB[l] = keepA[l] && !R8(a);
    }
  }
  for (int64_t i = 0; i < n; ++i) {
    outA[i] = mask[i] != 0 && keepA[labels[i]] ? 1 : 0;
    outB[i] = mask[i] != 0 && keepB[labels[i]] ? 1 : 0;
  }
  if (m == Member16::k4845) {
    const uint32_t q = tipSum == 0 ? 0 : edgeSum / tipSum;
    *ratio = static_cast<uint16_t>(q > 65535 ? 65535 : q);
  }
  return 0;
}

}  // namespace

int32_t ZqGetConnectedArea(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                           uint8_t keepLargest) {
  return Filter8(Member8::kBase, mask, rows, cols, minArea, keepLargest, 0, nullptr, nullptr);
}

int32_t ZqGetConnectedArea_8_v2(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                                uint8_t keepLargest, uint16_t *areaSum) {
  if (areaSum == nullptr) return -1;
  return Filter8(Member8::k8, mask, rows, cols, minArea, keepLargest, 0, areaSum, nullptr);
}

int32_t ZqGetConnectedArea_v2(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              uint8_t keepLargest, int32_t minSide, void * /*unused*/,
                              uint16_t *labelCount) {
  if (labelCount == nullptr) return -1;
  return Filter8(Member8::kV2, mask, rows, cols, minArea, keepLargest, minSide, nullptr,
                 labelCount);
}

int32_t ZqGetConnectedArea_v3(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              uint8_t keepLargest, int32_t minSide, void * /*unused*/,
                              uint16_t *labelCount) {
  if (labelCount == nullptr) return -1;
  return Filter8(Member8::kV3, mask, rows, cols, minArea, keepLargest, minSide, nullptr,
                 labelCount);
}

int32_t ZqGetConnectedArea_v4(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB) {
  return Filter16(Member16::kV4, mask, rows, cols, minArea, minSide, minEdge, outA, outB, nullptr);
}

int32_t ZqGetConnectedArea_v5(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB) {
  return Filter16(Member16::kV5, mask, rows, cols, minArea, minSide, minEdge, outA, outB, nullptr);
}

int32_t ZqGetConnectedArea_v4_4845(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                                   int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB,
                                   uint16_t *ratio) {
  return Filter16(Member16::k4845, mask, rows, cols, minArea, minSide, minEdge, outA, outB, ratio);
}
