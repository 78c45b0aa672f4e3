// Extrema scan, suppression of weaker neighbours and the contrast sort of
// the fast detector.
#include <cstdlib>

#include "src/features/ZqSift.h"

namespace {

constexpr float kSuppressRadius = 3.5f;

// The scan shared by both entry points; mask may be NULL (every pixel).
int32_t FindExtrema(const int16_t *img, int32_t rows, int32_t cols, int32_t border,
                    const uint8_t *mask, ST_DetectFeature *out, ST_DetectFeature *cand,
                    uint16_t *count) {
  if (count != nullptr) *count = 0;
  if (img == nullptr || out == nullptr || cand == nullptr) return 0;
  // The 3 x 3 test needs a neighbour on every side.
  if (border < 1) border = 1;
  int32_t n = 0;
  for (int32_t r = border; r < rows - border && n < ZQ_SIFT_MAX_CANDIDATES; ++r) {
    for (int32_t c = border; c < cols - border && n < ZQ_SIFT_MAX_CANDIDATES; ++c) {
      const int32_t idx = r * cols + c;
      if (mask != nullptr && mask[idx] == 0) continue;
      int16_t value = 0;
      const int32_t code = ZqIsExtremum3x3(img, idx, cols, &value);
      if (code == 0) continue;
      ST_DetectFeature &f = cand[n++];
      f.x = static_cast<float>(c);
      f.y = static_cast<float>(r);
      f.ori = 0.0f;
      f.contrast = static_cast<float>(std::abs(static_cast<int32_t>(value)));
      f.kind = code == 1 ? 0 : 1;
      f.ddata = nullptr;
    }
  }
  if (count != nullptr) *count = static_cast<uint16_t>(n);

  int32_t kept = 0;
  for (int32_t q = 0; q < n; ++q) {
    bool dropped = false;
    for (int32_t l = 0; l < n && !dropped; ++l) {
      if (l == q) continue;
      dropped = std::abs(cand[q].x - cand[l].x) < kSuppressRadius &&
                std::abs(cand[q].y - cand[l].y) < kSuppressRadius &&
                cand[l].contrast > cand[q].contrast;
    }
    if (!dropped) out[kept++] = cand[q];
  }
  return kept;
}

}  // namespace

extern "C" int32_t ZqIsExtremum3x3(const int16_t *img, int32_t idx, int32_t stride,
                                   int16_t *value) {
  const int16_t v = img[idx];
  if (value != nullptr) *value = v;
  if (v == 0) return 0;
  const int32_t offsets[8] = {-stride - 1, -stride,    -stride + 1, -1,
                              1,           stride - 1, stride,      stride + 1};
  if (v > 0) {
    for (int32_t o : offsets)
      if (img[idx + o] >= v) return 0;
    return 1;
  }
  for (int32_t o : offsets)
    if (img[idx + o] <= v) return 0;
  return 2;
}

extern "C" int32_t ZqFindExtrema(const int16_t *img, int32_t rows, int32_t cols, int32_t border,
                                 ST_DetectFeature *out, ST_DetectFeature *cand, uint16_t *count) {
  return FindExtrema(img, rows, cols, border, nullptr, out, cand, count);
}

extern "C" int32_t ZqFindExtremaWithMask(const int16_t *img, int32_t rows, int32_t cols,
                                         int32_t border, const uint8_t *mask, ST_DetectFeature *out,
                                         ST_DetectFeature *cand, uint16_t *count) {
  if (mask == nullptr) {
    if (count != nullptr) *count = 0;
    return 0;
  }
  return FindExtrema(img, rows, cols, border, mask, out, cand, count);
}

extern "C" void ZqKpSort(ST_DetectFeature *feats, int32_t count) {
  if (feats == nullptr) return;
  for (int32_t pass = 0; pass + 1 < count; ++pass) {
    bool swapped = false;
    for (int32_t i = 0; i + 1 < count - pass; ++i) {
      if (feats[i + 1].contrast > feats[i].contrast) {
        const ST_DetectFeature t = feats[i];
        feats[i] = feats[i + 1];
        feats[i + 1] = t;
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}
