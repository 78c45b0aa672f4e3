// The fast keypoint detector end to end: argument checks and their log
// lines, flat and blob images, the keypoint cap, timing lines, determinism
// and translation equivariance on synthetic fingers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqSift.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"
#include "src/quorv_base/quorv_host_callbacks.h"

namespace {

using namespace scale_space_test;  // NOLINT
using testing_support::LibLogCapture;

ST_FeatExtractPara ParaOf(ST_Image *img) {
  ST_FeatExtractPara p{};
  p.img = img;
  return p;
}

Detection Extract(ST_Image *img) { return Detect(ZqGetMfsFeatures_v2, ParaOf(img)); }

bool HasMessage(const std::vector<std::string> &messages, const std::string &m) {
  for (const std::string &s : messages)
    if (s == m) return true;
  return false;
}

TEST(SiftDetector, BadArgumentsAreRefusedAndLogged) {
  ImagePtr img = BlobImage(40, 40, {{20, 20, 2, 80}});
  ImagePtr big = BlobImage(171, 171, {});  // 257 x 257 enlarged: above 65535 pixels
  ST_Image noData = *img;
  noData.imageData = nullptr;
  ST_Feature *f1 = reinterpret_cast<ST_Feature *>(0x1), *f2 = reinterpret_cast<ST_Feature *>(0x1);
  uint32_t counts[2];
  struct Case {
    const char *name;
    ST_Feature **a, **b;
    uint32_t *counts;
    ST_Image *img;
    std::string message;
  };
  const Case cases[] = {
      {"counts", &f1, &f2, nullptr, img.get(), "ZqGetMfsFeatures_v2...pextremumNum == NULL"},
      {"feat1", nullptr, &f2, counts, img.get(), "ZqGetMfsFeatures_v2...feat1 == NULL"},
      {"feat2", &f1, nullptr, counts, img.get(), "ZqGetMfsFeatures_v2...feat2 == NULL"},
      {"img", &f1, &f2, counts, nullptr, "ZqGetMfsFeatures_v2...img == NULL"},
      {"img data", &f1, &f2, counts, &noData, "ZqGetMfsFeatures_v2...img == NULL"},
      {"too large", &f1, &f2, counts, big.get(),
       "ZqGetMfsFeatures_v2...image too large, rows = 171, cols = 171"},
  };
  for (const Case &c : cases) {
    counts[0] = counts[1] = 7;
    LibLogCapture log;
    EXPECT_EQ(ZqGetMfsFeatures_v2(c.a, c.b, c.counts, ParaOf(c.img)), -1) << c.name;
    EXPECT_TRUE(HasMessage(log.Messages(), c.message)) << c.name;
    if (c.counts != nullptr) {
      EXPECT_EQ(counts[0], 0u) << c.name;
      EXPECT_EQ(counts[1], 0u) << c.name;
    }
  }
  // The largest square input whose enlarged image fits: 170 -> 255 x 255.
  ImagePtr fits = BlobImage(170, 170, {{85, 85, 3, 80}});
  EXPECT_EQ(Extract(fits.get()).ret, 0);
}

TEST(SiftDetector, FlatImageGivesTwoEmptyArrays) {
  ZqAlgModeResetForTest();
  const ST_AlgMode before = gAlgMode;
  for (int grey : {0, 128, 255}) {
    ImagePtr img = U8Image(96, 96, [&](int, int) { return grey; });
    const int32_t start = ZqGetMallocCnts();
    ST_Feature *f1 = nullptr, *f2 = nullptr;
    uint32_t counts[2] = {5, 5};
    LibLogCapture log;
    ASSERT_EQ(ZqGetMfsFeatures_v2(&f1, &f2, counts, ParaOf(img.get())), 0);
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(counts[1], 0u);
    EXPECT_NE(f1, nullptr);
    EXPECT_NE(f2, nullptr);
    EXPECT_TRUE(
        HasMessage(log.Messages(), "ZqGetMfsFeatures_v2...nMaxExtremum = 0, nMinExtremum = 0"));
    ZqSafeFree(f1);
    ZqSafeFree(f2);
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
  // The detector's settings are not the scale-space detector's.
  EXPECT_EQ(std::memcmp(&before, &gAlgMode, sizeof(before)), 0);
}

TEST(SiftDetector, BlobsComeBackInTheInputGridByKind) {
  // A bright and a dark blob on grey: the strongest bright keypoint lies on
  // the bright blob (feat1), the strongest dark one on the dark blob.
  struct Case {
    int rows, cols;
    Blob bright, dark;
  };
  const Case cases[] = {
      {96, 96, {30, 40, 2.5, 90}, {66, 56, 2.5, -90}},
      {80, 64, {20, 50, 2.0, 70}, {44, 24, 3.0, -100}},
      {81, 77, {40.5, 30, 2.5, 90}, {20, 61, 2.5, -90}},  // odd sides, padded rows
  };
  for (const Case &c : cases) {
    ImagePtr img = BlobImage(c.rows, c.cols, {c.bright, c.dark});
    const Detection d = Extract(img.get());
    ASSERT_EQ(d.ret, 0);
    ASSERT_GE(d.feat1.size(), 1u);
    ASSERT_GE(d.feat2.size(), 1u);
    // Sorted by contrast: record 0 of each kind is the strongest.
    EXPECT_NEAR(d.feat1[0].x, c.bright.x, 0.7) << c.rows;
    EXPECT_NEAR(d.feat1[0].y, c.bright.y, 0.7) << c.rows;
    EXPECT_NEAR(d.feat2[0].x, c.dark.x, 0.7) << c.rows;
    EXPECT_NEAR(d.feat2[0].y, c.dark.y, 0.7) << c.rows;
    // Positions are enlarged-grid pixels times 0.6666667.
    for (const ST_Feature &f : d.feat1) {
      const float gx = f.x / 0.6666667f;
      EXPECT_NEAR(gx, std::round(gx), 1e-3);
    }
  }
}

TEST(SiftDetector, DenseTextureIsCappedAt170WithoutCopies) {
  // Bright dots every 6 pixels: far more than 170 keypoints survive.
  ImagePtr img = U8Image(96, 96, [](int r, int c) {
    const double dr = (r % 6) - 3, dc = (c % 6) - 3;
    return 110 + 100 * std::exp(-(dr * dr + dc * dc) / 2.0) + ((r * 7 + c * 13) % 5);
  });
  const Detection d = Extract(img.get());
  ASSERT_EQ(d.ret, 0);
  EXPECT_EQ(d.counts[0] + d.counts[1], 170u);
  // No orientation copies: every position occurs once.
  std::vector<std::pair<float, float>> seen;
  for (const auto *v : {&d.feat1, &d.feat2})
    for (const ST_Feature &f : *v) seen.emplace_back(f.x, f.y);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

uint64_t gClock = 0;
uint64_t TickingClock() { return gClock += 3; }

TEST(SiftDetector, TimingLinesNameTheStages) {
  ImagePtr img = BlobImage(48, 48, {{24, 24, 2.5, 80}});
  g_functimes = 1;
  quorv_fp_get_system_time = TickingClock;
  std::vector<std::string> messages;
  {
    LibLogCapture log;
    Extract(img.get());
    messages = log.Messages();
  }
  g_functimes = 0;
  quorv_fp_get_system_time = nullptr;
  for (const char *stage :
       {"ZqCalcGradMagOri", "ZqFindExtrema", "ZqCalcFeatureOris", "ZqComputeDescriptors"}) {
    EXPECT_TRUE(
        HasMessage(messages, std::string("ZqGetMfsFeatures_v2...") + stage + " cost time = 3 ms"))
        << stage;
  }
  EXPECT_TRUE(HasMessage(messages, "ZqGetMfsFeatures_v2...total cost time = 15 ms"));
}

bool SameRecords(const std::vector<ST_Feature> &a, const std::vector<ST_Feature> &b) {
  return a.size() == b.size() &&
         std::memcmp(a.data(), b.data(), a.size() * sizeof(ST_Feature)) == 0;
}

TEST(SiftDetector, ExtractionIsDeterministic) {
  ImagePtr img = FingerImage(96, 96, 3);
  const Detection a = Extract(img.get());
  const Detection b = Extract(img.get());
  ASSERT_EQ(a.ret, 0);
  EXPECT_GT(a.counts[0] + a.counts[1], 20u);
  EXPECT_TRUE(SameRecords(a.feat1, b.feat1));
  EXPECT_TRUE(SameRecords(a.feat2, b.feat2));
}

// Window of rows x cols at (top, left) of a larger image.
ImagePtr Crop(const ST_Image *src, int top, int left, int rows, int cols) {
  return U8Image(rows, cols, [&](int r, int c) { return Pixel(src, top + r, left + c); });
}

TEST(SiftDetector, TranslationMovesInteriorKeypointsByTheShift) {
  // Shifts by even input pixels move the enlarged image by whole pixels
  // (the 96 -> 144 taps repeat every 3 output pixels), and everything after
  // the enlargement is integer or per-pixel arithmetic: keypoints far from
  // both windows' borders reappear shifted with the same kind, orientation
  // and descriptor. A few may be lost to the 300-candidate and 170-keypoint
  // limits, which depend on the whole window.
  ImagePtr whole = FingerImage(110, 110, 5);
  struct Case {
    int dy, dx;
  };
  for (const Case &s : {Case{2, 4}, Case{4, 0}, Case{0, 6}}) {
    ImagePtr a = Crop(whole.get(), 6, 6, 96, 96);
    ImagePtr b = Crop(whole.get(), 6 + s.dy, 6 + s.dx, 96, 96);
    const Detection da = Extract(a.get());
    const Detection db = Extract(b.get());
    ASSERT_EQ(da.ret, 0);
    ASSERT_EQ(db.ret, 0);
    int interior = 0, matched = 0;
    for (int kind = 0; kind < 2; ++kind) {
      const std::vector<ST_Feature> &fa = kind == 0 ? da.feat1 : da.feat2;
      const std::vector<ST_Feature> &fb = kind == 0 ? db.feat1 : db.feat2;
      for (const ST_Feature &p : fa) {
        // In b, the point sits at p - shift; keep both 20 px from the edges.
        const float bx = p.x - s.dx, by = p.y - s.dy;
        if (p.x < 20 || p.y < 20 || p.x > 76 || p.y > 76) continue;
        if (bx < 20 || by < 20 || bx > 76 || by > 76) continue;
        ++interior;
        for (const ST_Feature &q : fb) {
          if (std::fabs(q.x - bx) < 1e-3 && std::fabs(q.y - by) < 1e-3 && q.ori == p.ori &&
              Hamming(p, q) == 0) {
            ++matched;
            break;
          }
        }
      }
    }
    EXPECT_GT(interior, 10);
    EXPECT_GE(matched, interior * 9 / 10)
        << s.dy << "," << s.dx << ": " << matched << " of " << interior;
  }
}

}  // namespace
