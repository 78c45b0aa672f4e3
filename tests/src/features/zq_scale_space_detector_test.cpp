// The scale-space detectors end to end: arguments, settings side effects,
// blobs, caps, fast mode, region filters, determinism and equivariance
// under exact rotation and translation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/features/zq_scale_space_fixture.h"
#include "src/lib_log_capture.h"

namespace {

using namespace scale_space_test;  // NOLINT
using testing_support::LibLogCapture;

struct Named {
  const char *name;
  DetectorFn fn;
};
const Named kDetectors[] = {{"ZqGetMfsFeatures", ZqGetMfsFeatures},
                            {"ZqGetMfbFeatures", ZqGetMfbFeatures}};

bool Contains(const std::vector<std::string> &v, const std::string &s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

class Detector : public ::testing::Test {
 protected:
  void SetUp() override { ZqAlgModeResetForTest(); }
  void TearDown() override { ZqAlgModeResetForTest(); }
};

TEST_F(Detector, RefusesMissingPointers) {
  ImagePtr img = BlobImage(40, 40, {{20, 20, 3, 80}});
  uint8_t bits[200] = {};
  struct Case {
    std::string what;
    int32_t validSwitch;
    uint8_t badPix;
    bool nullCounts, nullImg, nullFeat1, nullFeat2, withMaps;
    std::string message;  // after "<name>..."
  };
  const std::vector<Case> cases = {
      {"counts", 0, 0, true, false, false, false, false, "pextremumNum == NULL"},
      {"image", 0, 0, false, true, false, false, false, "img == NULL"},
      {"feat1", 0, 0, false, false, true, false, false, "feat1 == NULL"},
      {"feat2", 0, 0, false, false, false, true, false, "feat2 == NULL"},
      {"valid map", 1, 0, false, false, false, false, false, "validFlg == NULL"},
      {"bad-pixel map", 0, 1, false, false, false, false, false, "badPixValidBitRefEn == NULL"},
  };
  for (const Named &d : kDetectors) {
    for (const Case &c : cases) {
      ZqObtainKeyPointInValidRegion(static_cast<uint8_t>(c.validSwitch));
      ZqSetBadPixInValidRegion(c.badPix);
      ST_FeatExtractPara p = DefaultPara(c.nullImg ? nullptr : img.get());
      if (c.withMaps) p.validFlg = p.badPixValidBitRefEn = bits;
      ST_Feature *f1 = nullptr, *f2 = nullptr;
      uint32_t counts[2] = {7, 7};
      LibLogCapture log;
      EXPECT_EQ(d.fn(c.nullFeat1 ? nullptr : &f1, c.nullFeat2 ? nullptr : &f2,
                     c.nullCounts ? nullptr : counts, p),
                -1)
          << d.name << " " << c.what;
      EXPECT_TRUE(Contains(log.Messages(), std::string(d.name) + "..." + c.message)) << d.name << " " << c.what;
      if (!c.nullCounts) {
        EXPECT_EQ(counts[0], 0u);
        EXPECT_EQ(counts[1], 0u);
      }
      EXPECT_EQ(f1, nullptr);
    }
  }
  // A bad-pixel switch other than 1 needs no map.
  ZqObtainKeyPointInValidRegion(0);
  ZqSetBadPixInValidRegion(7);
  EXPECT_EQ(Detect(ZqGetMfsFeatures, DefaultPara(img.get())).ret, 0);
}

TEST_F(Detector, UniformImageHasNoKeypoint) {
  ImagePtr img = U8Image(64, 64, [](int, int) { return 140; });
  for (const Named &d : kDetectors) {
    LibLogCapture log;
    const Detection det = Detect(d.fn, DefaultPara(img.get()));
    EXPECT_EQ(det.ret, -2) << d.name;
    EXPECT_EQ(det.counts[0], 0u);
    EXPECT_EQ(det.counts[1], 0u);
    EXPECT_TRUE(Contains(log.Messages(), std::string(d.name) + "...no keypoint found, ret = -2")) << d.name;
    EXPECT_TRUE(Contains(log.Messages(),
                         std::string(d.name) + "...ret = -2, nMaxExtremum = 0, nMinExtremum = 0"));
  }
}

TEST_F(Detector, BlobsAreFoundAtTheirCentresWithTheirKind) {
  const std::vector<Blob> blobs = {{20, 18, 3, 80}, {46, 21, 2.5, -80}, {19, 45, 2, -70}, {44, 47, 4, 90}};
  ImagePtr img = BlobImage(64, 64, blobs);
  for (const Named &d : kDetectors) {
    for (int32_t dbl : {1, 0}) {
      ST_FeatExtractPara p = DefaultPara(img.get());
      p.imgDbl = dbl;
      const Detection det = Detect(d.fn, p);
      ASSERT_EQ(det.ret, 0) << d.name;
      for (const Blob &b : blobs) {
        const std::vector<ST_Feature> &same = b.amp > 0 ? det.feat1 : det.feat2;
        const std::vector<ST_Feature> &other = b.amp > 0 ? det.feat2 : det.feat1;
        double nearest = 1e9, nearestOther = 1e9;
        for (const ST_Feature &f : same) nearest = std::min(nearest, std::hypot(f.x - b.x, f.y - b.y));
        for (const ST_Feature &f : other) nearestOther = std::min(nearestOther, std::hypot(f.x - b.x, f.y - b.y));
        EXPECT_LT(nearest, 1.0) << d.name << " imgDbl " << dbl << " blob " << b.x << "," << b.y;
        EXPECT_GT(nearestOther, 3.0) << d.name << " imgDbl " << dbl << " blob " << b.x << "," << b.y;
      }
    }
  }
}

TEST_F(Detector, ImageModeAndDescriptorVariantFollowTheCall) {
  struct Case {
    DetectorFn fn;
    int rows, cols;
    uint8_t fast, variantSel, startVariant;
    uint8_t imageMode, variant;
  };
  const Case cases[] = {
      {ZqGetMfsFeatures, 56, 56, 0, 1, 1, 0, 0},  {ZqGetMfsFeatures, 57, 56, 0, 2, 0, 4, 1},
      {ZqGetMfsFeatures, 56, 57, 0, 0, 1, 4, 1},  {ZqGetMfsFeatures, 56, 56, 1, 3, 0, 16, 0},
      {ZqGetMfbFeatures, 56, 56, 1, 2, 0, 0, 0},  {ZqGetMfbFeatures, 60, 60, 1, 1, 1, 4, 1},
  };
  for (const Case &c : cases) {
    ZqAlgModeResetForTest();
    gAlgMode.histToDescrVariant = c.startVariant;
    ImagePtr img = BlobImage(c.rows, c.cols, {{28, 28, 3, 80}});
    ST_FeatExtractPara p = DefaultPara(img.get());
    p.fastMode = c.fast;
    p.descrVariantSel = c.variantSel;
    Detect(c.fn, p);
    EXPECT_EQ(gAlgMode.imageMode, c.imageMode) << c.rows << "x" << c.cols << " fast " << int(c.fast);
    EXPECT_EQ(gAlgMode.histToDescrVariant, c.variant) << int(c.variantSel);
    EXPECT_EQ(gAlgMode.kpNum, c.fn == ZqGetMfsFeatures && c.fast ? 170 : 160);
  }
}

// Noise with structure at several scales: far more than 262 extrema.
ImagePtr BusyImage(int rows, int cols) {
  return U8Image(rows, cols, [](int r, int c) {
    uint32_t h = static_cast<uint32_t>(r * 7919 + c * 104729) * 2654435761u;
    h ^= h >> 15;
    return 40.0 + (h % 170) * 0.6 + 50 * std::sin(r * 0.7) * std::cos(c * 0.9);
  });
}

int DistinctPositions(const Detection &d) {
  std::set<std::pair<float, float>> pos;
  for (const ST_Feature &f : d.feat1) pos.insert({f.x, f.y});
  for (const ST_Feature &f : d.feat2) pos.insert({f.x, f.y});
  return static_cast<int>(pos.size());
}

TEST_F(Detector, CapsBeforeAndAfterOrientation) {
  ImagePtr img = BusyImage(96, 96);
  ZqKpNumSet(300);
  const Detection mfs = Detect(ZqGetMfsFeatures, DefaultPara(img.get()));
  const Detection mfb = Detect(ZqGetMfbFeatures, DefaultPara(img.get()));
  ASSERT_EQ(mfs.ret, 0);
  ASSERT_EQ(mfb.ret, 0);
  // Mfs keeps the 262 strongest positions; Mfb drops only one, so with many
  // more candidates it keeps more positions.
  EXPECT_EQ(DistinctPositions(mfs), 262);
  EXPECT_GT(DistinctPositions(mfb), 263);
  EXPECT_EQ(mfs.counts[0] + mfs.counts[1], 300u);
  EXPECT_EQ(mfb.counts[0] + mfb.counts[1], 300u);
  // The final cap is kpNum, taken from the front.
  ZqKpNumSet(40);
  const Detection few = Detect(ZqGetMfsFeatures, DefaultPara(img.get()));
  EXPECT_EQ(few.counts[0] + few.counts[1], 40u);
}

TEST_F(Detector, FastModeScalesCoordinatesAndLeavesKpNumAt170) {
  ImagePtr img = BusyImage(200, 200);
  ST_FeatExtractPara p = DefaultPara(img.get());
  p.fastMode = 1;
  p.imgDbl = 0;
  p.octvs = 1;
  const Detection unit = Detect(ZqGetMfsFeatures, p);
  p.scale = 0.667f;
  const Detection scaled = Detect(ZqGetMfsFeatures, p);
  ASSERT_EQ(unit.ret, 0);
  EXPECT_EQ(ZqGetKpNum(), 170);
  // 160 strongest positions before orientation, 170 records after.
  EXPECT_EQ(DistinctPositions(unit), 160);
  EXPECT_EQ(unit.counts[0] + unit.counts[1], 170u);
  ASSERT_EQ(scaled.feat1.size(), unit.feat1.size());
  for (size_t i = 0; i < unit.feat1.size(); ++i) {
    EXPECT_EQ(scaled.feat1[i].x, unit.feat1[i].x * 0.667f);
    EXPECT_EQ(scaled.feat1[i].y, unit.feat1[i].y * 0.667f);
    EXPECT_EQ(std::memcmp(scaled.feat1[i].descr, unit.feat1[i].descr, 32), 0);
  }
  // The cap stays for later calls, failed ones included.
  ImagePtr flat = U8Image(40, 40, [](int, int) { return 90; });
  ZqKpNumSet(100);
  EXPECT_EQ(Detect(ZqGetMfsFeatures, DefaultPara(flat.get())).ret, -2);
  EXPECT_EQ(ZqGetKpNum(), 100);
  p.img = flat.get();
  EXPECT_EQ(Detect(ZqGetMfsFeatures, p).ret, -2);
  EXPECT_EQ(ZqGetKpNum(), 170);
}

// One bit a pixel, set where keep(r, c).
template <typename F>
std::vector<uint8_t> BitMap(int rows, int cols, F keep) {
  std::vector<uint8_t> bits((rows * cols + 7) / 8);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      if (keep(r, c)) bits[(r * cols + c) / 8] |= static_cast<uint8_t>(1u << ((r * cols + c) % 8));
  return bits;
}

TEST_F(Detector, RegionFiltersKeepKeypointsOnSetBits) {
  ImagePtr img = BusyImage(64, 64);
  std::vector<uint8_t> left = BitMap(64, 64, [](int, int c) { return c < 32; });
  std::vector<uint8_t> top = BitMap(64, 64, [](int r, int) { return r < 20; });
  auto maxX = [](const Detection &d) {
    float m = 0;
    for (const auto *v : {&d.feat1, &d.feat2})
      for (const ST_Feature &f : *v) m = std::max(m, f.x);
    return m;
  };
  auto maxY = [](const Detection &d) {
    float m = 0;
    for (const auto *v : {&d.feat1, &d.feat2})
      for (const ST_Feature &f : *v) m = std::max(m, f.y);
    return m;
  };
  for (const Named &d : kDetectors) {
    ST_FeatExtractPara p = DefaultPara(img.get());
    p.validFlg = left.data();
    p.badPixValidBitRefEn = top.data();
    ZqObtainKeyPointInValidRegion(1);
    p.validArea = 99;
    const Detection valid = Detect(d.fn, p);
    ASSERT_EQ(valid.ret, 0) << d.name;
    EXPECT_LT(maxX(valid), 33.0f) << d.name;
    p.validArea = 100;  // a full valid area turns the valid-region filter off
    EXPECT_GT(maxX(Detect(d.fn, p)), 40.0f) << d.name;
    ZqSetBadPixInValidRegion(1);  // the bad-pixel filter runs whatever validArea says
    const Detection bad = Detect(d.fn, p);
    EXPECT_LT(maxY(bad), 21.0f) << d.name;
    EXPECT_GT(maxX(bad), 40.0f) << d.name;
    ZqObtainKeyPointInValidRegion(0);
    ZqSetBadPixInValidRegion(0);
  }
}

TEST_F(Detector, SameImageGivesByteIdenticalRecords) {
  ImagePtr img = FingerImage(80, 64, 1);
  for (const Named &d : kDetectors) {
    const Detection a = Detect(d.fn, DefaultPara(img.get()));
    const Detection b = Detect(d.fn, DefaultPara(img.get()));
    ASSERT_EQ(a.ret, 0);
    ASSERT_EQ(a.feat1.size(), b.feat1.size());
    ASSERT_EQ(a.feat2.size(), b.feat2.size());
    EXPECT_GT(a.feat1.size() + a.feat2.size(), 20u);
    EXPECT_EQ(std::memcmp(a.feat1.data(), b.feat1.data(), a.feat1.size() * sizeof(ST_Feature)), 0);
    EXPECT_EQ(std::memcmp(a.feat2.data(), b.feat2.data(), a.feat2.size() * sizeof(ST_Feature)), 0);
  }
}

TEST_F(Detector, LargeDoubledImagesStayInTheirMarkMap) {
  // 200 x 200 doubles to 160000 pixels, more than a 16-bit count holds.
  ImagePtr img = BusyImage(200, 200);
  const Detection d = Detect(ZqGetMfbFeatures, DefaultPara(img.get()));
  EXPECT_EQ(d.ret, 0);
  EXPECT_EQ(d.counts[0] + d.counts[1], 160u);
}

// The keypoints of `b` matched to those of `a` after mapping b's position
// through `toA`: pairs of (a index, b index) within 1.5 px, same kind.
template <typename Map>
std::vector<std::pair<const ST_Feature *, const ST_Feature *>> Match(const Detection &a, const Detection &b,
                                                                      Map toA) {
  std::vector<std::pair<const ST_Feature *, const ST_Feature *>> out;
  for (int kind = 0; kind < 2; ++kind) {
    const std::vector<ST_Feature> &fa = kind == 0 ? a.feat1 : a.feat2;
    const std::vector<ST_Feature> &fb = kind == 0 ? b.feat1 : b.feat2;
    for (const ST_Feature &q : fb) {
      float x, y;
      toA(q.x, q.y, &x, &y);
      const ST_Feature *best = nullptr;
      double bestScore = 1e9;
      for (const ST_Feature &p : fa) {
        const double dist = std::hypot(p.x - x, p.y - y);
        if (dist > 1.5) continue;
        // Among copies at one position take the closest orientation.
        double dori = std::fabs(std::remainder(static_cast<double>(q.ori) - p.ori - M_PI / 2, 2 * M_PI));
        if (dist + dori < bestScore) {
          bestScore = dist + dori;
          best = &p;
        }
      }
      if (best != nullptr) out.push_back({best, &q});
    }
  }
  return out;
}

TEST_F(Detector, QuarterTurnTurnsOrientationsAndKeepsDescriptors) {
  // new(r', c') = old(r, c) with r' = n - 1 - c, c' = r: the picture turned
  // counter-clockwise, so orientations (measured with y up) gain pi/2.
  const int n = 96;
  ImagePtr img = FingerImage(n, n, 2);
  ImagePtr rot = U8Image(n, n, [&](int r, int c) { return Pixel(img.get(), c, n - 1 - r); });
  for (const Named &d : kDetectors) {
    const Detection a = Detect(d.fn, DefaultPara(img.get()));
    const Detection b = Detect(d.fn, DefaultPara(rot.get()));
    ASSERT_EQ(a.ret, 0);
    ASSERT_EQ(b.ret, 0);
    // b at (x', y') came from a at (x, y) = (n - 1 - y', x'), up to the
    // quarter-pixel offset of the doubled grid.
    const auto pairs = Match(a, b, [&](float xb, float yb, float *xa, float *ya) {
      *xa = n - 1 - yb + 0.5f;
      *ya = xb;
    });
    const size_t total = b.feat1.size() + b.feat2.size();
    EXPECT_GT(pairs.size(), total / 2) << d.name;
    int oriOk = 0;
    std::vector<int> ham;
    for (const auto &pr : pairs) {
      const double dori = std::remainder(static_cast<double>(pr.second->ori) - pr.first->ori - M_PI / 2, 2 * M_PI);
      if (std::fabs(dori) < 0.2) ++oriOk;
      ham.push_back(Hamming(*pr.first, *pr.second));
    }
    EXPECT_GT(oriOk, static_cast<int>(pairs.size() * 8 / 10)) << d.name;
    std::nth_element(ham.begin(), ham.begin() + ham.size() / 2, ham.end());
    EXPECT_LT(ham[ham.size() / 2], 64) << d.name;
    // Unrelated pairs sit near half the bits.
    std::vector<int> random;
    for (size_t i = 0; i + 7 < pairs.size(); i += 3) random.push_back(Hamming(*pairs[i].first, *pairs[i + 7].second));
    std::nth_element(random.begin(), random.begin() + random.size() / 2, random.end());
    EXPECT_GT(random[random.size() / 2], 80) << d.name;
  }
}

TEST_F(Detector, TranslationShiftsInteriorKeypointsExactly) {
  ImagePtr big = FingerImage(120, 120, 3);
  const int dx = 5, dy = 3, n = 96;
  ImagePtr a = U8Image(n, n, [&](int r, int c) { return Pixel(big.get(), r + 10, c + 10); });
  ImagePtr b = U8Image(n, n, [&](int r, int c) { return Pixel(big.get(), r + 10 + dy, c + 10 + dx); });
  for (const Named &d : kDetectors) {
    const Detection da = Detect(d.fn, DefaultPara(a.get()));
    const Detection db = Detect(d.fn, DefaultPara(b.get()));
    int interior = 0, exact = 0;
    for (int kind = 0; kind < 2; ++kind) {
      const std::vector<ST_Feature> &fa = kind == 0 ? da.feat1 : da.feat2;
      const std::vector<ST_Feature> &fb = kind == 0 ? db.feat1 : db.feat2;
      for (const ST_Feature &p : fa) {
        const float x = p.x - dx, y = p.y - dy;
        if (std::min({p.x, p.y, x, y}) < 22 || std::max({p.x, p.y, x, y}) > n - 23) continue;
        ++interior;
        for (const ST_Feature &q : fb) {
          if (std::fabs(q.x - x) < 1e-3f && std::fabs(q.y - y) < 1e-3f && std::fabs(q.ori - p.ori) < 1e-3f &&
              Hamming(p, q) <= 2) {
            ++exact;
            break;
          }
        }
      }
    }
    EXPECT_GT(interior, 10) << d.name;
    EXPECT_GE(exact, interior * 9 / 10) << d.name << " " << exact << "/" << interior;
  }
}

}  // namespace
