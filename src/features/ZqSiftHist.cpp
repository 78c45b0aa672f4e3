// Gradient images, integer orientation histograms and orientation peaks of
// the fast detector.
#include <cmath>
#include <cstring>

#include "src/features/ZqSift.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr int32_t kWindowRadius = 7;

}  // namespace

extern "C" void ZqCalcGradMagOri(const uint16_t *img, int32_t rows, int32_t cols, uint16_t *mag,
                                 uint16_t *ori) {
  if (img == nullptr || mag == nullptr || ori == nullptr || rows < 3) return;
  for (int32_t r = 1; r < rows - 1; ++r) {
    for (int32_t c = 1; c < cols - 1; ++c) {
      const int32_t i = r * cols + c;
      const float dy = static_cast<float>(img[i - cols]) - static_cast<float>(img[i + cols]);
      const float dx = static_cast<float>(img[i + 1]) - static_cast<float>(img[i - 1]);
      mag[i] = static_cast<uint16_t>(sqrtf(dx * dx + dy * dy));
      ori[i] = static_cast<uint16_t>((atan2f(dy, dx) + kPi) * 4096.0f);
    }
  }
}

extern "C" void ZqCalcOriHist(const uint16_t *mag, const uint16_t *ori, int32_t rows, int32_t cols,
                              uint32_t hist[ZQ_SIFT_ORI_BINS], float x, float y) {
  if (mag == nullptr || ori == nullptr || hist == nullptr) return;
  const int32_t cx = static_cast<int32_t>(roundf(x));
  const int32_t cy = static_cast<int32_t>(roundf(y));
  for (int32_t r = cy - kWindowRadius; r <= cy + kWindowRadius; ++r) {
    if (r < 1 || r > rows - 2) continue;
    for (int32_t c = cx - kWindowRadius; c <= cx + kWindowRadius; ++c) {
      if (c < 1 || c > cols - 2) continue;
      const int32_t i = r * cols + c;
      uint32_t bin = (static_cast<uint32_t>(ori[i]) * 36u + 12868u) / 25736u;
      if (bin > 35u) bin = 0;
      hist[bin] += mag[i];
    }
  }
}

extern "C" void ZqSmoothOriHistInt(uint32_t hist[ZQ_SIFT_ORI_BINS]) {
  if (hist == nullptr) return;
  uint32_t before[ZQ_SIFT_ORI_BINS];
  std::memcpy(before, hist, sizeof(before));
  for (int32_t j = 0; j < ZQ_SIFT_ORI_BINS; ++j) {
    const float l = static_cast<float>(before[(j + ZQ_SIFT_ORI_BINS - 1) % ZQ_SIFT_ORI_BINS]);
    const float s = static_cast<float>(before[j]);
    const float r = static_cast<float>(before[(j + 1) % ZQ_SIFT_ORI_BINS]);
    hist[j] = static_cast<uint32_t>(0.25f * l + 0.5f * s + 0.25f * r);
  }
}

extern "C" int32_t ZqAssignOriPeaks(const uint32_t hist[ZQ_SIFT_ORI_BINS], ST_DetectFeature *feats,
                                    int32_t k, int32_t first, int32_t n) {
  if (hist == nullptr || feats == nullptr) return n;
  int32_t dominant = 0;
  for (int32_t j = 1; j < ZQ_SIFT_ORI_BINS; ++j)
    if (hist[j] > hist[dominant]) dominant = j;
  const uint32_t thr = hist[dominant] * 8u / 10u;
  const bool room = first < ZQ_SIFT_MAX_KEYPOINTS;
  for (int32_t j = 0; j < ZQ_SIFT_ORI_BINS; ++j) {
    const uint32_t b = hist[j];
    const uint32_t p = hist[(j + ZQ_SIFT_ORI_BINS - 1) % ZQ_SIFT_ORI_BINS];
    const uint32_t q = hist[(j + 1) % ZQ_SIFT_ORI_BINS];
    if (!(b > p && b > q && b >= thr)) continue;
    const float fp = static_cast<float>(p), fb = static_cast<float>(b), fq = static_cast<float>(q);
    float t = static_cast<float>(j) + 0.5f * (fp - fq) / (fp - 2.0f * fb + fq);
    if (t < 0.0f) {
      t += 36.0f;
    } else if (t >= 36.0f) {
      t -= 36.0f;
    }
    const float angle = t * 6.283185f / 36.0f - 3.1415925f;
    if (j == dominant) {
      feats[k].ori = angle;
    } else if (room && first + n < ZQ_SIFT_MAX_CANDIDATES) {
      feats[first + n] = feats[k];
      feats[first + n].ori = angle;
      ++n;
    }
  }
  return n;
}

extern "C" int32_t ZqCalcFastFeatureOris(const uint16_t *mag, const uint16_t *ori, int32_t rows,
                                         int32_t cols, ST_DetectFeature *feats, int32_t count) {
  if (feats == nullptr || count <= 0) return 0;
  // At the cap there is no room for copies: they go to the slots from
  // count on and would lie beyond the records described anyway.
  if (count > ZQ_SIFT_MAX_KEYPOINTS) count = ZQ_SIFT_MAX_KEYPOINTS;
  int32_t n = 0;
  for (int32_t k = 0; k < count; ++k) {
    uint32_t hist[ZQ_SIFT_ORI_BINS] = {};
    ZqCalcOriHist(mag, ori, rows, cols, hist, feats[k].x, feats[k].y);
    ZqSmoothOriHistInt(hist);
    ZqSmoothOriHistInt(hist);
    n = ZqAssignOriPeaks(hist, feats, k, count, n);
  }
  return count + n < ZQ_SIFT_MAX_KEYPOINTS ? count + n : ZQ_SIFT_MAX_KEYPOINTS;
}
