// The detectors keep their pyramid buffers from call to call: outputs must
// stay bit for bit what a fresh process gives, whatever ran before (other
// sizes, other fingers, fast mode) and after the buffers are released.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqKeypointOri.h"
#include "src/features/ZqScaleSpace.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/zq_scale_space_fixture.h"

namespace {

using namespace scale_space_test;  // NOLINT

// FNV-1a over the return code, the counts and every byte of both arrays.
uint64_t Digest(const Detection &d) {
  uint64_t h = 1469598103934665603ull;
  auto add = [&h](const void *p, size_t n) {
    const auto *b = static_cast<const uint8_t *>(p);
    for (size_t k = 0; k < n; ++k) h = (h ^ b[k]) * 1099511628211ull;
  };
  add(&d.ret, sizeof d.ret);
  add(d.counts, sizeof d.counts);
  for (const std::vector<ST_Feature> *v : {&d.feat1, &d.feat2})
    for (const ST_Feature &f : *v) {
      add(&f.x, sizeof f.x);
      add(&f.y, sizeof f.y);
      add(&f.ori, sizeof f.ori);
      add(f.descr, sizeof f.descr);
    }
  return h;
}

struct Case {
  const char *name;
  DetectorFn fn;
  int rows, cols, finger;
  uint8_t fast;
  uint64_t digest;  // the outputs of the detector before its buffers were kept
};

const Case kCases[] = {
    {"mfb 96x96", ZqGetMfbFeatures, 96, 96, 4, 0, 0xcbc42b6a06337a5aull},
    {"mfb 80x64", ZqGetMfbFeatures, 80, 64, 7, 0, 0x79b22be3be8d94b4ull},
    {"mfb 128x80", ZqGetMfbFeatures, 128, 80, 2, 0, 0x3b5f58362984530cull},
    {"mfs 96x96", ZqGetMfsFeatures, 96, 96, 4, 0, 0x36c49e654a12287bull},
    {"mfs 128x80 fast", ZqGetMfsFeatures, 128, 80, 5, 1, 0xcf1271971be28536ull},
    {"mfs 56x56", ZqGetMfsFeatures, 56, 56, 3, 0, 0xe5729513ad316eb6ull},
};

uint64_t RunCase(const Case &c) {
  ZqAlgModeResetForTest();
  ImagePtr img = FingerImage(c.rows, c.cols, c.finger);
  ST_FeatExtractPara para = DefaultPara(img.get());
  para.fastMode = c.fast;
  if (c.fast) para.scale = 0.667f;
  return Digest(Detect(c.fn, para));
}

TEST(ScaleSpaceReuse, OutputsMatchRecordedDigestsInAnyCallOrder) {
  // Forwards, backwards, then each case twice in a row: every order leaves
  // other sizes' data in the kept buffers.
  std::vector<size_t> order;
  const size_t n = sizeof(kCases) / sizeof(kCases[0]);
  for (size_t k = 0; k < n; ++k) order.push_back(k);
  for (size_t k = n; k-- > 0;) order.push_back(k);
  for (size_t k = 0; k < n; ++k) order.insert(order.end(), {k, k});
  for (size_t k : order) {
    const uint64_t got = RunCase(kCases[k]);
    EXPECT_EQ(got, kCases[k].digest) << kCases[k].name << std::hex << " 0x" << got;
  }
  // Released buffers are made anew.
  ZqScaleSpaceReleaseBuffers();
  EXPECT_EQ(RunCase(kCases[0]), kCases[0].digest);
  ZqScaleSpaceReleaseBuffers();
}

TEST(ScaleSpaceReuse, OrientationBinsOneAtATimeGiveTheSameDigests) {
  ZqKeypointOriVectorBinsForTest(0);
  for (const Case &c : kCases) EXPECT_EQ(RunCase(c), c.digest) << c.name;
  ZqKeypointOriVectorBinsForTest(1);
}

}  // namespace
