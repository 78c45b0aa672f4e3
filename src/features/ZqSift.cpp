// The fast keypoint detector ZqGetMfsFeatures_v2 and its keypoint buffers.
#include "src/features/ZqSift.h"

#include <cmath>
#include <cstring>

#include "src/features/ZqStageClock.h"
#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"
#include "src/quorv_base/quorv_log.h"

ST_DetectFeature gFeatBuff[ZQ_SIFT_MAX_CANDIDATES];
ST_DetectFeature gFeatBuffTemp[ZQ_SIFT_MAX_CANDIDATES];

namespace {

constexpr const char *kName = "ZqGetMfsFeatures_v2";
constexpr int32_t kTaps = 11;
// Gaussian kernels in 1/65536 units, each summing to 65536.
constexpr int32_t kBlur1[kTaps] = {73, 522, 2415, 7211, 13899, 17296, 13899, 7211, 2415, 522, 73};
constexpr int32_t kBlur2[kTaps] = {51, 420, 2169, 7008, 14165, 17910, 14165, 7008, 2169, 420, 51};
constexpr float kShrink = 0.6666667f;

// Side of the enlarged image: round(1.5 * side), half away from zero.
int32_t Enlarged(int32_t side) {
  return static_cast<int32_t>(roundf(1.5f * static_cast<float>(side)));
}

// The four working images of one call; pool blocks, released newest first.
struct Work {
  zq::ScratchStack scratch{zq::ScratchSource::kPool};
  uint16_t *s = nullptr;  // once-blurred image
  int16_t *d = nullptr;   // enlarged 8-bit image, then the difference image
  uint16_t *m = nullptr;  // gradient magnitude
  uint16_t *a = nullptr;  // quantised gradient orientation

  bool Take(int32_t pixels) {
    s = scratch.Take<uint16_t>(pixels);
    d = scratch.Take<int16_t>(pixels);
    m = scratch.Take<uint16_t>(pixels);
    a = scratch.Take<uint16_t>(pixels);
    return s != nullptr && d != nullptr && m != nullptr && a != nullptr;
  }
};

// The 8-bit pixels of img, rows packed without padding: img's own buffer
// when its rows are packed, else a copy in *copy (false when it cannot be
// had).
bool PackedPixels(const ST_Image *img, const uint8_t **pixels, uint8_t **copy) {
  *copy = nullptr;
  *pixels = img->imageData;
  if (img->rowBytes == img->width || img->height <= 0 || img->width <= 0) return true;
  *copy = static_cast<uint8_t *>(ZqSafeAlloc(img->width * img->height));
  if (*copy == nullptr) return false;
  for (int32_t r = 0; r < img->height; ++r)
    std::memcpy(*copy + r * img->width, img->imageData + r * img->rowBytes, img->width);
  *pixels = *copy;
  return true;
}

// Steps after the argument checks; counts gets the records written.
int32_t Run(const ST_Image *img, ST_Feature **feat1, ST_Feature **feat2, uint32_t counts[2],
            zq::StageClock &clock) {
  const int32_t rows = Enlarged(img->height);
  const int32_t cols = Enlarged(img->width);
  const int32_t pixels = rows * cols;
  Work w;
  if (!w.Take(pixels)) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...working images malloc fail", kName);
    return -2;
  }
  const uint8_t *src = nullptr;
  uint8_t *copy = nullptr;
  if (!PackedPixels(img, &src, &copy)) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...image copy malloc fail", kName);
    return -2;
  }
  uint8_t *enlarged = reinterpret_cast<uint8_t *>(w.d);
  ZqResize_8u(src, img->height, img->width, enlarged, rows, cols);
  ZqSafeFree(copy);
  for (int32_t i = 0; i < pixels; ++i) w.s[i] = static_cast<uint16_t>(enlarged[i] << 7);
  std::memset(w.d, 0, static_cast<size_t>(pixels) * sizeof(int16_t));

  uint16_t *twice = reinterpret_cast<uint16_t *>(w.d);
  if (ZqGaussianBlur_16u(w.s, rows, cols, kTaps, kBlur1, w.s, 0.0f) != 0 ||
      ZqGaussianBlur_16u(w.s, rows, cols, kTaps, kBlur2, twice, 0.0f) != 0) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...ZqGaussianBlur_16u fail", kName);
    return 0;
  }
  ZqCalcGradMagOri(w.s, rows, cols, w.m, w.a);
  clock.Stage("ZqCalcGradMagOri");
  // Twice-blurred minus once-blurred, wrapping in 16 bits.
  for (int32_t i = 0; i < pixels; ++i) {
    w.d[i] = static_cast<int16_t>(static_cast<uint16_t>(twice[i] - w.s[i]));
  }

  std::memset(gFeatBuff, 0, sizeof(gFeatBuff));
  std::memset(gFeatBuffTemp, 0, sizeof(gFeatBuffTemp));
  uint16_t candidates = 0;
  const int32_t found =
      ZqFindExtrema(w.d, rows, cols, ZQ_SIFT_BORDER, gFeatBuff, gFeatBuffTemp, &candidates);
  ZqKpSort(gFeatBuff, found);
  clock.Stage("ZqFindExtrema");

  const int32_t total = ZqCalcFastFeatureOris(w.m, w.a, rows, cols, gFeatBuff, found);
  clock.Stage("ZqCalcFeatureOris");

  uint32_t n[2] = {0, 0};
  for (int32_t i = 0; i < total; ++i) ++n[gFeatBuff[i].kind > 0 ? 0 : 1];
  *feat1 = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(n[0] * sizeof(ST_Feature))));
  *feat2 = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(n[1] * sizeof(ST_Feature))));
  if (*feat1 == nullptr || *feat2 == nullptr) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...feat malloc fail", kName);
    ZqSafeFree(*feat1);
    ZqSafeFree(*feat2);
    *feat1 = nullptr;
    *feat2 = nullptr;
    return -2;
  }
  ST_Feature *next[2] = {*feat1, *feat2};
  for (int32_t i = 0; i < total; ++i) {
    const ST_DetectFeature &f = gFeatBuff[i];
    float hist[128] = {};
    descr_hist_v2(w.m, w.a, rows, cols, &f, hist);
    ST_Feature *rec = next[f.kind > 0 ? 0 : 1]++;
    descr_to_binary(hist, rec);
    rec->x = f.x;
    rec->y = f.y;
    rec->ori = f.ori;
  }
  clock.Stage("ZqComputeDescriptors");
  for (int32_t k = 0; k < 2; ++k) {
    ST_Feature *out = k == 0 ? *feat1 : *feat2;
    for (uint32_t i = 0; i < n[k]; ++i) {
      out[i].x *= kShrink;
      out[i].y *= kShrink;
    }
  }
  counts[0] = n[0];
  counts[1] = n[1];
  return 0;
}

}  // namespace

extern "C" int32_t ZqGetMfsFeatures_v2(ST_Feature **feat1, ST_Feature **feat2,
                                       uint32_t pextremumNum[2], ST_FeatExtractPara para) {
  if (pextremumNum == nullptr) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...pextremumNum == NULL", kName);
    return -1;
  }
  pextremumNum[0] = 0;
  pextremumNum[1] = 0;
  if (feat1 == nullptr) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...feat1 == NULL", kName);
    return -1;
  }
  if (feat2 == nullptr) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...feat2 == NULL", kName);
    return -1;
  }
  // A failed call leaves no stale pointer for the caller to free.
  *feat1 = nullptr;
  *feat2 = nullptr;
  const ST_Image *img = para.img;
  if (img == nullptr || img->imageData == nullptr) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...img == NULL", kName);
    return -1;
  }
  const int64_t pixels = int64_t{Enlarged(img->height)} * Enlarged(img->width);
  if (img->height > 0 && img->width > 0 && pixels > ZQ_SIFT_MAX_PIXELS) {
    QUORV_LOG_IN(kName, QUORV_LOG_ERROR, "%s...image too large, rows = %d, cols = %d", kName,
                 img->height, img->width);
    return -1;
  }
  zq::StageClock clock(kName);
  uint32_t counts[2] = {0, 0};
  const int32_t ret =
      (img->height > 0 && img->width > 0) ? Run(img, feat1, feat2, counts, clock) : 0;
  pextremumNum[0] = counts[0];
  pextremumNum[1] = counts[1];
  clock.Total();
  QUORV_LOG_IN(kName, QUORV_LOG_INFO, "%s...nMaxExtremum = %d, nMinExtremum = %d", kName,
               static_cast<int>(counts[0]), static_cast<int>(counts[1]));
  return ret;
}
