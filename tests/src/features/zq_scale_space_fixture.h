// Fixtures of the scale-space detector tests: 8-bit images from a function,
// Gaussian-blob and synthetic-finger images, the front end's usual
// parameters, and a run of either detector into plain vectors.
#ifndef TESTS_SRC_FEATURES_ZQ_SCALE_SPACE_FIXTURE_H_
#define TESTS_SRC_FEATURES_ZQ_SCALE_SPACE_FIXTURE_H_

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"

namespace scale_space_test {

struct ImageDeleter {
  void operator()(ST_Image *img) const { ZqReleaseImage(&img); }
};
using ImagePtr = std::unique_ptr<ST_Image, ImageDeleter>;

// New 8-bit rows x cols image with pixel (r, c) = f(r, c) clamped to 0..255.
inline ImagePtr U8Image(int rows, int cols, const std::function<double(int, int)> &f) {
  ST_Size size = {rows, cols};
  ImagePtr img(ZqCreateImage(&size, DEPTH_8U));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      double v = std::round(f(r, c));
      v = v < 0 ? 0 : v > 255 ? 255 : v;
      img->imageData[r * img->rowBytes + c] = static_cast<uint8_t>(v);
    }
  }
  return img;
}

inline uint8_t Pixel(const ST_Image *img, int r, int c) { return img->imageData[r * img->rowBytes + c]; }

// One Gaussian blob: centre (x = column, y = row), sigma, signed amplitude.
struct Blob {
  double x, y, sigma, amp;
};

// Grey 128 plus the blobs.
inline ImagePtr BlobImage(int rows, int cols, const std::vector<Blob> &blobs) {
  return U8Image(rows, cols, [&](int r, int c) {
    double v = 128;
    for (const Blob &b : blobs) {
      const double d2 = (c - b.x) * (c - b.x) + (r - b.y) * (r - b.y);
      v += b.amp * std::exp(-d2 / (2 * b.sigma * b.sigma));
    }
    return v;
  });
}

// A synthetic finger press of rows x cols (finger number `finger`).
inline ImagePtr FingerImage(int rows, int cols, int finger, uint64_t press = 0) {
  static const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(30, 0));
  const fingers::MasterFinger other =
      finger == 0 ? fingers::MasterFinger() : fingers::MakeMaster(fingers::PopulationFinger(30, finger));
  const fingers::MasterFinger &m = finger == 0 ? master : other;
  fingers::ImpressionParams p;
  p.seed = fingers::PressSeed(m, static_cast<int>(press));
  p.width = cols;
  p.height = rows;
  p.distortion = 0;
  const fingers::Impression imp = fingers::Render(m, p);
  return U8Image(rows, cols, [&](int r, int c) { return imp.frame.At(c, r); });
}

// The front end's parameters for a verify or enrol sample.
inline ST_FeatExtractPara DefaultPara(ST_Image *img) {
  ST_FeatExtractPara p{};
  p.intvls = 3;
  p.sigma = 1.6f;
  p.contrThr = 0.02f;
  p.curvThr = 15;
  p.imgDbl = 1;
  p.descrWidth = 4;
  p.descrHistBins = 8;
  p.img = img;
  p.octvs = 2;
  p.validArea = 100;
  p.descrVariantSel = 1;
  p.algoMode = 2;
  p.scale = 1.0f;
  return p;
}

// The outcome of one detector call, copied out of the detector's arrays.
struct Detection {
  int32_t ret = 0;
  uint32_t counts[2] = {0, 0};
  std::vector<ST_Feature> feat1, feat2;
};

using DetectorFn = int32_t (*)(ST_Feature **, ST_Feature **, uint32_t *, ST_FeatExtractPara);

inline Detection Detect(DetectorFn fn, const ST_FeatExtractPara &para) {
  Detection d;
  ST_Feature *f1 = nullptr, *f2 = nullptr;
  d.ret = fn(&f1, &f2, d.counts, para);
  if (f1 != nullptr) d.feat1.assign(f1, f1 + d.counts[0]);
  if (f2 != nullptr) d.feat2.assign(f2, f2 + d.counts[1]);
  ZqSafeFree(f1);
  ZqSafeFree(f2);
  return d;
}

// Hamming distance of two descriptors.
inline int Hamming(const ST_Feature &a, const ST_Feature &b) {
  int n = 0;
  for (int w = 0; w < 8; ++w) n += __builtin_popcount(a.descr[w] ^ b.descr[w]);
  return n;
}

}  // namespace scale_space_test

#endif  // TESTS_SRC_FEATURES_ZQ_SCALE_SPACE_FIXTURE_H_
