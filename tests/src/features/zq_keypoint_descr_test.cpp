// The descriptor stage: the ring pattern and its pairs, both histogram-to-bit
// conversions, the ring comparisons and the gradient-histogram window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqFeature.h"
#include "src/features/ZqKeypointDescr.h"
#include "src/features/ZqMfbPattern.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

bool Bit(const uint32_t d[8], int i) { return ((d[i / 32] >> (i % 32)) & 1u) != 0; }

TEST(MfbPattern, PairsAreUniqueSortedAndUseEveryPoint) {
  std::set<std::pair<int, int>> seen;
  std::set<int> points;
  for (int k = 0; k < ZQ_MFB_PAIRS; ++k) {
    const ST_MfbPair p = gMfbPairs[k];
    EXPECT_LT(p.i, p.j) << k;
    EXPECT_LT(p.j, ZQ_MFB_POINTS) << k;
    if (k > 0) {
      const ST_MfbPair q = gMfbPairs[k - 1];
      EXPECT_TRUE(q.i < p.i || (q.i == p.i && q.j < p.j)) << k;
    }
    seen.insert({p.i, p.j});
    points.insert(p.i);
    points.insert(p.j);
  }
  EXPECT_EQ(seen.size(), 256u);
  EXPECT_EQ(points.size(), 45u);
  // First bit of each first point, as the table groups them.
  const int firstBit[][2] = {{0, 0},     {1, 12},    {2, 25},    {3, 31},    {4, 35},    {5, 47},
                             {6, 57},    {7, 68},    {8, 72},    {9, 75},    {10, 85},   {11, 86},
                             {12, 91},   {13, 105},  {14, 111},  {15, 117},  {16, 129},  {17, 138},
                             {18, 148},  {19, 157},  {20, 163},  {21, 171},  {22, 176},  {23, 181},
                             {24, 190},  {25, 195},  {26, 202},  {27, 210},  {28, 215},  {29, 219},
                             {30, 226},  {31, 227},  {32, 234},  {33, 238},  {34, 241},  {35, 244},
                             {36, 246},  {37, 248},  {38, 250},  {39, 253},  {42, 255}};
  for (const auto &fb : firstBit) {
    EXPECT_EQ(gMfbPairs[fb[1]].i, fb[0]) << fb[1];
    if (fb[1] > 0) {
      EXPECT_NE(gMfbPairs[fb[1] - 1].i, fb[0]) << fb[1];
    }
  }
  // Spot checks on single entries of the list.
  EXPECT_EQ(gMfbPairs[11].j, 41);
  EXPECT_EQ(gMfbPairs[85].j, 27);
  EXPECT_EQ(gMfbPairs[226].j, 40);
  EXPECT_EQ(gMfbPairs[255].j, 43);
}

TEST(MfbPattern, ThreeRingsCounterClockwiseFromTheXAxis) {
  struct Ring {
    int first, count;
    double radius;
  };
  for (const Ring &ring : {Ring{0, 10, 4}, Ring{10, 15, 8}, Ring{25, 20, 13}}) {
    for (int n = 0; n < ring.count; ++n) {
      const ST_MfbPoint p = gMfbRingPts[ring.first + n];
      const double a = 2 * M_PI * n / ring.count;
      EXPECT_NEAR(p.px, ring.radius * std::cos(a), 1e-5) << ring.first + n;
      EXPECT_NEAR(p.py, ring.radius * std::sin(a), 1e-5) << ring.first + n;
    }
  }
  EXPECT_FLOAT_EQ(gMfbRingPts[0].px, 4);
  EXPECT_FLOAT_EQ(gMfbRingPts[25].py, 0);
}

// Histogram with bin o of cell k = f(k, o).
template <typename F>
std::vector<float> Hist(F f) {
  std::vector<float> h(128);
  for (int k = 0; k < 16; ++k)
    for (int o = 0; o < 8; ++o) h[k * 8 + o] = f(k, o);
  return h;
}

TEST(HistToDescr, Variant0HalfMeansAndNeighbourCells) {
  // Cell k holds k + 1 in every bin: the upper half of each half-row of
  // cells beats its mean (4.5 and 12.5), and every cell but 0 and 8 beats
  // 1.05 times the cell before it.
  const std::vector<float> h = Hist([](int k, int) { return static_cast<float>(k + 1); });
  uint32_t d[8] = {0xdeadbeef, 1, 2, 3, 4, 5, 6, 7};
  ZqHistToDescr_ZE4850(h.data(), d);
  for (int i = 0; i < 256; ++i) {
    const bool expected = (i >= 64 && i < 128) || i >= 144;
    EXPECT_EQ(Bit(d, i), expected) << i;
  }
  // The 1.05 factor: cell 1 at 20.9 against cell 0 at 20 fails, 21.1 passes.
  for (float v : {20.9f, 21.1f}) {
    const std::vector<float> g = Hist([&](int k, int) { return k == 1 ? v : k == 0 ? 20.0f : 0.0f; });
    ZqHistToDescr_ZE4850(g.data(), d);
    EXPECT_EQ(Bit(d, 128 + 16), v > 21.0f) << v;
    EXPECT_EQ(Bit(d, 128 + 16 + 1), true);  // cells 9 and 8 are both 0
  }
}

TEST(HistToDescr, Variant1UpperMedianPerCell) {
  // Cell 3 flat: all 8 bits; cell 5 ramps 0..7: median 4, bins 4..7 set;
  // zero cells: every bin equals the median.
  const std::vector<float> h = Hist([](int k, int o) {
    return k == 3 ? 2.5f : k == 5 ? static_cast<float>(o) : 0.0f;
  });
  uint32_t d[8];
  ZqHistToDescr_ZE4850_EH(h.data(), d);
  for (int o = 0; o < 8; ++o) {
    EXPECT_TRUE(Bit(d, 128 + 8 * 3 + o)) << o;
    EXPECT_EQ(Bit(d, 128 + 8 * 5 + o), o >= 4) << o;
    EXPECT_TRUE(Bit(d, 128 + 8 * 0 + o)) << o;
  }
  // The first half is variant 0's.
  uint32_t d0[8];
  ZqHistToDescr_ZE4850(h.data(), d0);
  for (int w = 0; w < 4; ++w) EXPECT_EQ(d[w], d0[w]);
}

// One octave of `levels` Gaussian images (and as many zero cache slots) of
// rows x cols, and a sequence of keypoints.
struct Stage {
  std::vector<ST_Image *> g, d;
  ST_Image **gp, **dp;
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ST_Seq *seq = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), storage);
  Stage(int rows, int cols, int levels = 6) {
    ST_Size size = {rows, cols};
    for (int i = 0; i < levels; ++i) {
      g.push_back(ZqCreateImage(&size, DEPTH_32F));
      d.push_back(ZqCreateImage(&size, DEPTH_32F));
    }
    gp = g.data();
    dp = d.data();
  }
  ~Stage() {
    for (ST_Image *img : g) ZqReleaseImage(&img);
    for (ST_Image *img : d) ZqReleaseImage(&img);
    for (int k = 0; k < seq->total; ++k)
      ZqSafeFree(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(seq, k))->ddata);
    ZqReleaseMemStorage(&storage);
  }
  static float &At(ST_Image *img, int r, int c) {
    return reinterpret_cast<float *>(img->imageData + r * img->rowBytes)[c];
  }
  void Add(int r, int c, int intv, float ori, float scl = 2.0159f) {
    ST_DetectFeature *f = ZqNewFeature();
    f->x = c + 0.25f;
    f->y = r - 0.25f;
    f->ori = ori;
    f->ddata->r = r;
    f->ddata->c = c;
    f->ddata->intv = intv;
    f->ddata->scl_octv = scl;
    ZqSeqPush(seq, f);
    ZqSafeFree(f);
  }
};

TEST(MfbDescriptors, ComparesRingPointsOnLevelFour) {
  // Level 4 holds the column index, so with orientation 0 bit k is set
  // exactly when point j lies in a column left of point i's.
  Stage st(40, 40);
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 40; ++c) Stage::At(st.g[4], r, c) = static_cast<float>(c);
  st.Add(20, 20, 2, 0.0f);
  ST_Feature out[1];
  ZqMfbDescriptors(st.seq, out, &st.gp, 6);
  int set = 0;
  for (int k = 0; k < ZQ_MFB_PAIRS; ++k) {
    const long ci = std::lround(gMfbRingPts[gMfbPairs[k].i].px);
    const long cj = std::lround(gMfbRingPts[gMfbPairs[k].j].px);
    EXPECT_EQ(Bit(out[0].descr, k), cj < ci) << k;
    set += Bit(out[0].descr, k);
  }
  EXPECT_GT(set, 50);
  EXPECT_FLOAT_EQ(out[0].x, 20.25f);
  EXPECT_FLOAT_EQ(out[0].y, 19.75f);
  EXPECT_EQ(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(st.seq, 0))->ddata, nullptr);
}

TEST(MfbDescriptors, PointsOutsideTheImageClearTheirPairs) {
  // A keypoint 5 pixels from the left edge: every point of the outer ring
  // with px < -5 falls outside; all its pairs give 0 however bright.
  Stage st(40, 40);
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 40; ++c) Stage::At(st.g[4], r, c) = static_cast<float>(100 - c);
  st.Add(20, 5, 1, 0.0f);
  ST_Feature out[1];
  ZqMfbDescriptors(st.seq, out, &st.gp, 6);
  int outsidePairs = 0, insideSet = 0;
  for (int k = 0; k < ZQ_MFB_PAIRS; ++k) {
    const float pi = gMfbRingPts[gMfbPairs[k].i].px, pj = gMfbRingPts[gMfbPairs[k].j].px;
    const bool outside = std::lround(pi) + 5 < 0 || std::lround(pj) + 5 < 0;
    if (outside) {
      ++outsidePairs;
      EXPECT_FALSE(Bit(out[0].descr, k)) << k;
    } else {
      insideSet += Bit(out[0].descr, k);
    }
  }
  EXPECT_GT(outsidePairs, 10);
  EXPECT_GT(insideSet, 10);
}

TEST(MfbDescriptors, WithoutLevelFourTheDescriptorStaysZero) {
  Stage st(40, 40, 4);
  st.Add(20, 20, 1, 0.0f);
  ST_Feature out[1];
  ZqMfbDescriptors(st.seq, out, &st.gp, 4);
  for (uint32_t w : out[0].descr) EXPECT_EQ(w, 0u);
}

TEST(ComputeDescriptors, FastModeWindowIsSmaller) {
  // One bright pixel 13 columns right of the keypoint: inside the normal
  // window (radius 15, hw = 3 scl), outside the fast one (radius 12, hw
  // 4.5). An empty histogram gives all 256 bits (every comparison is 0 >= 0).
  for (uint8_t mode : {4, 16}) {
    ZqAlgModeResetForTest();
    gAlgMode.imageMode = mode;
    Stage st(40, 40);
    Stage::At(st.g[1], 20, 33) = 50;
    st.Add(20, 20, 1, 0.0f);
    ST_Feature out[1];
    ZqComputeDescriptors(st.seq, out, &st.gp, &st.dp, 4, 8);
    int ones = 0;
    for (int i = 0; i < 256; ++i) ones += Bit(out[0].descr, i);
    if (mode == 16) {
      EXPECT_EQ(ones, 256);
    } else {
      EXPECT_LT(ones, 256);
    }
  }
  ZqAlgModeResetForTest();
}

TEST(ComputeDescriptors, RotatedGradientsGiveTheSameDescriptor) {
  // A ramp rising to the right seen with orientation 0 equals a ramp rising
  // upwards seen with orientation pi/2: the window and the angles turn
  // together (90 degrees is exact up to float noise in cos and sin).
  ST_Feature out[2];
  for (int turn = 0; turn < 2; ++turn) {
    Stage st(48, 48);
    for (int r = 0; r < 48; ++r)
      for (int c = 0; c < 48; ++c) {
        const float blob = std::exp(-((r - 20) * (r - 20) + (c - 26) * (c - 26)) / 40.0f);
        // turn 1: the same pattern rotated counter-clockwise about (24, 24).
        Stage::At(st.g[2], r, c) = turn == 0 ? c + 30 * blob : (48 - r) + 30 * std::exp(-((c - 20) * (c - 20) + (r - 22) * (r - 22)) / 40.0f);
      }
    st.Add(24, 24, 2, turn == 0 ? 0.0f : 1.5707964f, 2.5398f);
    ZqComputeDescriptors(st.seq, out + turn, &st.gp, &st.dp, 4, 8);
  }
  int diff = 0;
  for (int w = 0; w < 8; ++w) diff += __builtin_popcount(out[0].descr[w] ^ out[1].descr[w]);
  EXPECT_LE(diff, 12);
  int ones = 0;
  for (int w = 0; w < 8; ++w) ones += __builtin_popcount(out[0].descr[w]);
  EXPECT_GT(ones, 40);
  EXPECT_LT(ones, 216);
}

// The eight-column histogram equals the one-sample-at-a-time one bit for
// bit, bin by bin, and leaves the same gradient cache: ridges with noise,
// plateaus with zero gradients (never cached), keypoints at every interval,
// near each border and in the middle, orientations around the circle (the
// angle wrap both ways), scales whose window clips the square or not, in the
// normal and the fast window, with a cache partly filled beforehand.
TEST(ComputeDescriptors, EightColumnHistogramMatchesSampleBySample) {
  auto pixel = [](int r, int c, int seed) {
    unsigned h = static_cast<unsigned>(seed * 7919 + r * 104729 + c * 1299709);
    h = (h ^ (h >> 13)) * 0x5bd1e995u;
    h ^= h >> 15;
    const float noise = static_cast<float>(h % 1000) / 1000.0f;
    if (seed == 2 && (r / 6 + c / 5) % 3 == 0) return 7.0f;  // plateaus
    return 40.0f * std::sin(0.45f * c + 0.2f * r + seed) + 10.0f * noise;
  };
  const float oris[] = {-3.1415927f, -2.0f, -0.7f, 0.0f, 0.3f, 1.5707964f, 2.9f, 3.1415927f};
  struct Spot {
    int r, c;
  };
  const Spot spots[] = {{3, 4}, {24, 24}, {44, 2}, {1, 45}, {46, 46}, {20, 35}};
  for (uint8_t mode : {4, 16}) {
    for (int seed = 0; seed < 3; ++seed) {
      ZqAlgModeResetForTest();
      gAlgMode.imageMode = mode;
      Stage plain(48, 47), eight(48, 47);
      for (Stage *st : {&plain, &eight}) {
        for (int lv = 0; lv < 6; ++lv)
          for (int r = 0; r < 48; ++r)
            for (int c = 0; c < 47; ++c) Stage::At(st->g[lv], r, c) = pixel(r, c, seed + lv);
        // A few cached gradients (any nonzero value is taken as it is).
        for (int r = 10; r < 14; ++r)
          for (int c = 10; c < 30; ++c) {
            Stage::At(st->d[1], r, c) = 0.5f;
            Stage::At(st->d[4], r, c) = 3.0f;
          }
        int n = 0;
        for (const Spot &sp : spots)
          for (int intv = 1; intv <= 3; ++intv)
            st->Add(sp.r, sp.c, intv, oris[n++ % 8], intv == 3 ? 1.2f : 2.0159f + intv);
      }
      for (int k = 0; k < plain.seq->total; ++k) {
        float hp[128], he[128];
        ZqDescrVectorForTest(0);
        ZqDescrHistForTest(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(plain.seq, k)),
                           &plain.gp, &plain.dp, hp);
        ZqDescrVectorForTest(1);
        ZqDescrHistForTest(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(eight.seq, k)),
                           &eight.gp, &eight.dp, he);
        int nonzero = 0;
        for (int b = 0; b < 128; ++b) {
          nonzero += hp[b] != 0.0f;
          ASSERT_EQ(std::memcmp(&hp[b], &he[b], sizeof(float)), 0)
              << "mode " << int{mode} << " seed " << seed << " keypoint " << k << " bin " << b
              << ": " << hp[b] << " vs " << he[b];
        }
        EXPECT_GT(nonzero, 16) << k;
      }
      for (int lv = 0; lv < 6; ++lv)
        for (int r = 0; r < 48; ++r)
          for (int c = 0; c < 47; ++c)
            ASSERT_EQ(Stage::At(plain.d[lv], r, c), Stage::At(eight.d[lv], r, c))
                << lv << " " << r << " " << c;
    }
  }
  ZqAlgModeResetForTest();
}

TEST(Descriptors, NullInputsAreLogged) {
  LibLogCapture log;
  ZqComputeDescriptors(nullptr, nullptr, nullptr, nullptr, 4, 8);
  ZqMfbDescriptors(nullptr, nullptr, nullptr, 6);
  std::vector<std::string> m;
  for (const std::string &s : log.Messages())
    if (s.find("enter") == std::string::npos) m.push_back(s);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], "ZqComputeDescriptors...(features == NULL) || (gauss_pyr == NULL)");
  EXPECT_EQ(m[1], "ZqComputeDescriptors...(features == NULL) || (gauss_pyr == NULL)");
}

}  // namespace
