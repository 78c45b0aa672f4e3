// The detection pipeline on grey test images: results handed out only on
// success, the padded and rescaled image, features painted on ridge
// patterns, islands, translation and repeatability.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "detect_steps.h"
#include "fingers/synth_fingers.h"
#include "minutiae/lfs.h"
#include "minutiae/lfs_image.h"
#include "minutiae/lfs_trace.h"
#include "support/stderr_capture.h"

namespace {

using minutiae_test::Flat;
using minutiae_test::GreyImage;
using minutiae_test::Grating;
using testing_support::StderrCapture;

constexpr double kPpmm = 19.68503937007874;

struct Found {
  int x, y, direction, type;
  double reliability;
  bool operator==(const Found &o) const {
    return x == o.x && y == o.y && direction == o.direction && type == o.type &&
           reliability == o.reliability;
  }
};

// Everything one detection handed out, copied.
struct Detection {
  int rc = -1;
  int mw = 0, mh = 0, bw = 0, bh = 0, bd = 0;
  std::vector<Found> minutiae;
  std::vector<std::vector<int>> neighbours, ridge_counts;
  std::vector<int> quality, direction, low_contrast, low_flow, high_curve;
  std::vector<unsigned char> binary;
};

Detection Detect(const GreyImage &img, const lfs_params &params = lfs_params_V2) {
  Detection d;
  lfs_minutiae *list = nullptr;
  int *q = nullptr, *dm = nullptr, *lc = nullptr, *lf = nullptr, *hc = nullptr;
  unsigned char *b = nullptr;
  d.rc = get_minutiae(&list, &q, &dm, &lc, &lf, &hc, &d.mw, &d.mh, &b, &d.bw, &d.bh, &d.bd,
                      img.pixels.data(), img.width, img.height, 8, kPpmm, &params);
  if (d.rc != 0) return d;
  for (int i = 0; i < list->count; ++i) {
    const lfs_minutia &m = *list->list[i];
    d.minutiae.push_back({m.x, m.y, m.direction, m.type, m.reliability});
    d.neighbours.emplace_back(m.neighbors, m.neighbors + m.neighbor_count);
    d.ridge_counts.emplace_back(m.ridge_counts, m.ridge_counts + m.neighbor_count);
  }
  const size_t n = static_cast<size_t>(d.mw) * d.mh;
  d.quality.assign(q, q + n);
  d.direction.assign(dm, dm + n);
  d.low_contrast.assign(lc, lc + n);
  d.low_flow.assign(lf, lf + n);
  d.high_curve.assign(hc, hc + n);
  d.binary.assign(b, b + static_cast<size_t>(d.bw) * d.bh);
  release_minutiae(list);
  for (int *p : {q, dm, lc, lf, hc}) std::free(p);
  std::free(b);
  return d;
}

// The master's ridges as an 8-bit image: dark ridges on the finger, the
// empty sensor's grey off it.
GreyImage FingerImage(const fingers::MasterFinger &m) {
  GreyImage img{m.width, m.height, std::vector<unsigned char>(m.ridge.size())};
  for (size_t i = 0; i < m.ridge.size(); ++i) {
    const double on = m.footprint[i];
    const double grey = 127.0 - 100.0 * m.ridge[i];
    img.pixels[i] = static_cast<unsigned char>(std::lround(on * grey + (1.0 - on) * 215.0));
  }
  return img;
}

GreyImage Finger(int n, int width = 256, int height = 360) {
  fingers::MasterParams p = fingers::PopulationFinger(11, n);
  p.width = width;
  p.height = height;
  return FingerImage(fingers::MakeMaster(p));
}


// Vertical ridges of period 12: dark ridge centres at x = 6 + 12 k.
GreyImage Ridges() { return Grating(256, 360, 0, 12); }

void Paint(GreyImage &img, int x0, int x1, int y0, int y1, unsigned char v) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) img.at(x, y) = v;
}

// The ridge at x = 126 painted over with valley from row y0 to row y1.
GreyImage CutRidge(int y0, int y1) {
  GreyImage img = Ridges();
  Paint(img, 121, 132, y0, y1, 247);
  return img;
}

GreyImage Shifted(const GreyImage &src, int w, int h, int dx, int dy, unsigned char fill) {
  GreyImage out = Flat(w, h, fill);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) {
      const int tx = x + dx, ty = y + dy;
      if (tx >= 0 && ty >= 0 && tx < w && ty < h) out.at(tx, ty) = src.pixels[y * src.width + x];
    }
  return out;
}

// Reliability bounds of each quality level.
void ExpectReliabilityOfLevel(double reliability, int q) {
  static const double kBase[] = {0.01, 0.05, 0.10, 0.25, 0.50};
  static const double kSpan[] = {0.0, 0.04, 0.14, 0.24, 0.49};
  EXPECT_GE(reliability, kBase[q] - 1e-12);
  EXPECT_LE(reliability, kBase[q] + kSpan[q] + 1e-12);
}

TEST(LfsDetectTest, DepthOtherThanEightFailsWithoutWritingResults) {
  const GreyImage img = Flat(64, 64, 128);
  lfs_minutiae *list = reinterpret_cast<lfs_minutiae *>(0x1);
  int *q = reinterpret_cast<int *>(0x2), *dm = q, *lc = q, *lf = q, *hc = q;
  unsigned char *b = reinterpret_cast<unsigned char *>(0x3);
  int mw = -7, mh = -7, bw = -7, bh = -7, bd = -7;
  StderrCapture err;
  EXPECT_EQ(get_minutiae(&list, &q, &dm, &lc, &lf, &hc, &mw, &mh, &b, &bw, &bh, &bd,
                         img.pixels.data(), 64, 64, 16, kPpmm, &lfs_params_V2),
            -2);
  EXPECT_EQ(err.Text(), "ERROR : get_minutiae : input image pixel depth = 16 != 8.\n");
  EXPECT_EQ(list, reinterpret_cast<lfs_minutiae *>(0x1));
  EXPECT_EQ(q, reinterpret_cast<int *>(0x2));
  EXPECT_EQ(dm, reinterpret_cast<int *>(0x2));
  EXPECT_EQ(b, reinterpret_cast<unsigned char *>(0x3));
  for (int v : {mw, mh, bw, bh, bd}) EXPECT_EQ(v, -7);
}

TEST(LfsDetectTest, PaddingServesTheLargerOfWindowsAndGrids) {
  struct Case {
    int window, offset, grid_w, grid_h, expected;
  };
  const Case cases[] = {
      {24, 8, 7, 9, 13},  // the defaults: the DFT windows need 5 + 8
      {8, 0, 7, 9, 5},    // the grids' 5 beats the windows' 2
      {24, 0, 1, 1, 5},   // sqrt(2) * 24 - 24 = 9.94, halved and rounded
  };
  for (const Case &c : cases)
    EXPECT_EQ(max_padding(c.window, c.offset, c.grid_w, c.grid_h), c.expected);
  // A 256 x 360 input becomes 282 x 386, grey 128 round it: 32 in six bits.
  const std::vector<unsigned char> padded =
      minutiae_test::PadAndScale(Flat(256, 360, 200), 13, lfs_params_V2);
  ASSERT_EQ(padded.size(), 282u * 386u);
  EXPECT_EQ(padded[0], 32);
  EXPECT_EQ(padded[13 * 282 + 12], 32);
  EXPECT_EQ(padded[13 * 282 + 13], 50);
  EXPECT_EQ(padded[385 * 282 + 281], 32);
}

TEST(LfsDetectTest, FlatImageHasNoDirectionsNoQualityAndNoMinutiae) {
  const Detection d = Detect(Flat(256, 360, 128));
  ASSERT_EQ(d.rc, 0);
  EXPECT_TRUE(d.minutiae.empty());
  EXPECT_EQ(d.mw, 32);
  EXPECT_EQ(d.mh, 45);
  EXPECT_EQ(d.bw, 256);
  EXPECT_EQ(d.bh, 360);
  EXPECT_EQ(d.bd, 8);
  for (size_t i = 0; i < d.direction.size(); ++i) {
    EXPECT_EQ(d.direction[i], -1);
    EXPECT_EQ(d.low_contrast[i], 1);
    EXPECT_EQ(d.quality[i], 0);
  }
  EXPECT_TRUE(std::all_of(d.binary.begin(), d.binary.end(), [](unsigned char v) { return v == 255; }));
}

TEST(LfsDetectTest, ParallelRidgesGiveNoMinutiaeAndABinaryImageOfZeroAnd255) {
  for (const double normal : {0.0, 45.0, 90.0}) {
    SCOPED_TRACE(normal);
    const Detection d = Detect(Grating(256, 360, normal, 12));
    ASSERT_EQ(d.rc, 0);
    EXPECT_TRUE(d.minutiae.empty());
    int ridge = 0;
    for (unsigned char v : d.binary) {
      ASSERT_TRUE(v == 0 || v == 255);
      ridge += v == 0;
    }
    // Roughly half the pixels are ridge.
    EXPECT_GT(ridge, static_cast<int>(d.binary.size()) / 3);
    EXPECT_LT(ridge, static_cast<int>(d.binary.size()) * 2 / 3);
    // Interior blocks of a clean pattern are of the best quality.
    EXPECT_EQ(d.quality[20 * d.mw + 16], 4);
  }
}

TEST(LfsDetectTest, ACutRidgeGivesOneRidgeEndingPointingAlongTheRidge) {
  struct Case {
    const char *name;
    int y0, y1;  // the painted rows
  };
  std::vector<Found> found;
  for (const Case &c : {Case{"cut below", 180, 360}, Case{"cut above", 0, 180}}) {
    SCOPED_TRACE(c.name);
    const Detection d = Detect(CutRidge(c.y0, c.y1));
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(d.minutiae.size(), 1u);
    const Found &m = d.minutiae[0];
    EXPECT_EQ(m.type, 1);
    EXPECT_LE(std::abs(m.x - 126), 3);
    EXPECT_LE(std::abs(m.y - 180), 4);
    ExpectReliabilityOfLevel(m.reliability,
                             d.quality[(m.y / 8) * d.mw + m.x / 8]);
    found.push_back(m);
  }
  // The ridge runs up from the lower cut's ending and down from the upper's.
  EXPECT_EQ(found[0].direction, 0);
  EXPECT_EQ(found[1].direction, 16);
}

TEST(LfsDetectTest, AValleyEndingBetweenTwoRidgesIsOneBifurcation) {
  GreyImage img = Ridges();
  Paint(img, 129, 136, 0, 180, 7);  // the ridges at 126 and 138 join above row 180
  const Detection d = Detect(img);
  ASSERT_EQ(d.rc, 0);
  ASSERT_EQ(d.minutiae.size(), 1u);
  EXPECT_EQ(d.minutiae[0].type, 0);
  EXPECT_LE(std::abs(d.minutiae[0].x - 132), 3);
  EXPECT_LE(std::abs(d.minutiae[0].y - 180), 4);
}

TEST(LfsDetectTest, AShortIslandBetweenTwoValleysLeavesNoMinutia) {
  for (const int len : {6, 8, 10}) {
    SCOPED_TRACE(len);
    GreyImage img = CutRidge(0, 180 - len / 2);
    Paint(img, 121, 132, 180 + len / 2, 360, 247);
    // The scan finds both ends of the island...
    const minutiae_test::Scan scan = minutiae_test::RunScan(img);
    ASSERT_EQ(scan.rc, 0);
    int ends = 0;
    for (const lfs_minutia &m : scan.minutiae) ends += m.x == 126 && std::abs(m.y - 180) < 12;
    EXPECT_EQ(ends, 2);
    // ...and the removal drops both and fills the island.
    const Detection d = Detect(img);
    ASSERT_EQ(d.rc, 0);
    EXPECT_TRUE(d.minutiae.empty());
    for (int y = 160; y < 200; ++y) EXPECT_EQ(d.binary[y * d.bw + 126], 255) << y;
  }
}

TEST(LfsDetectTest, ShiftingAFingerByWholeBlocksShiftsEveryInteriorMinutia) {
  // Blocks within this of the canvas edge see the edge in their windows.
  constexpr int kMargin = 32;
  for (int finger = 0; finger < 3; ++finger) {
    SCOPED_TRACE(finger);
    const GreyImage src = Finger(finger, 224, 320);
    const Detection a = Detect(Shifted(src, 256, 360, 0, 0, 215));
    ASSERT_EQ(a.rc, 0);
    ASSERT_GT(a.minutiae.size(), 20u);
    for (const auto &[dx, dy] : {std::pair{8, 8}, std::pair{24, 16}, std::pair{0, 32}}) {
      SCOPED_TRACE(testing::Message() << dx << "," << dy);
      const Detection b = Detect(Shifted(src, 256, 360, dx, dy, 215));
      ASSERT_EQ(b.rc, 0);
      int interior = 0;
      for (const Found &m : a.minutiae) {
        if (m.x < kMargin || m.y < kMargin || m.x + dx >= 256 - kMargin ||
            m.y + dy >= 360 - kMargin)
          continue;
        ++interior;
        const bool moved = std::any_of(b.minutiae.begin(), b.minutiae.end(), [&](const Found &n) {
          return n.x == m.x + dx && n.y == m.y + dy && n.type == m.type &&
                 n.direction == m.direction;
        });
        EXPECT_TRUE(moved) << m.x << "," << m.y << " dir " << m.direction;
      }
      EXPECT_GT(interior, 20);
    }
  }
}

TEST(LfsDetectTest, RepeatedDetectionGivesIdenticalResults) {
  const GreyImage img = Finger(3);
  const Detection a = Detect(img), b = Detect(img);
  ASSERT_EQ(a.rc, 0);
  ASSERT_EQ(b.rc, 0);
  EXPECT_EQ(a.minutiae, b.minutiae);
  EXPECT_EQ(a.neighbours, b.neighbours);
  EXPECT_EQ(a.ridge_counts, b.ridge_counts);
  EXPECT_EQ(a.quality, b.quality);
  EXPECT_EQ(a.direction, b.direction);
  EXPECT_EQ(a.binary, b.binary);
}

TEST(LfsDetectTest, FingerMinutiaeAreSortedWithNeighboursAndReliabilities) {
  const Detection d = Detect(Finger(2));
  ASSERT_EQ(d.rc, 0);
  ASSERT_GT(d.minutiae.size(), 20u);
  for (size_t i = 0; i < d.minutiae.size(); ++i) {
    const Found &m = d.minutiae[i];
    if (i > 0) {  // sorted by x then y, no duplicates
      const Found &p = d.minutiae[i - 1];
      EXPECT_TRUE(p.x < m.x || (p.x == m.x && p.y < m.y));
    }
    // Ridge endings sit on ridge pixels, bifurcations on valley pixels.
    EXPECT_EQ(d.binary[m.y * d.bw + m.x], m.type ? 0 : 255);
    ExpectReliabilityOfLevel(m.reliability, d.quality[std::min(m.y / 8, d.mh - 1) * d.mw +
                                                      std::min(m.x / 8, d.mw - 1)]);
    ASSERT_LE(d.neighbours[i].size(), 5u);
    for (int n : d.neighbours[i]) EXPECT_GT(n, static_cast<int>(i));
    for (int c : d.ridge_counts[i]) EXPECT_GE(c, 0);
  }
  EXPECT_TRUE(d.neighbours.back().empty());
}

TEST(LfsDetectTest, PerimeterFlagOnlyDropsMinutiaeNearTheOutline) {
  const GreyImage img = Finger(1);
  lfs_params params = lfs_params_V2;
  params.remove_perimeter_minutiae = 0;
  const Detection off = Detect(img, params);
  params.remove_perimeter_minutiae = 1;
  const Detection on = Detect(img, params);
  ASSERT_EQ(off.rc, 0);
  ASSERT_EQ(on.rc, 0);
  EXPECT_LT(on.minutiae.size(), off.minutiae.size());
  for (const Found &m : on.minutiae) {
    const bool kept = std::any_of(off.minutiae.begin(), off.minutiae.end(), [&](const Found &n) {
      return n.x == m.x && n.y == m.y && n.type == m.type && n.direction == m.direction;
    });
    EXPECT_TRUE(kept) << m.x << "," << m.y;
  }
}

std::vector<std::string> *g_trace = nullptr;
void Collect(const char *text) { g_trace->push_back(text); }

TEST(LfsDetectTest, TraceHookSeesTheStepsAndPassesInOrder) {
  std::vector<std::string> trace;
  g_trace = &trace;
  const lfs_trace_sink old = lfs_set_trace_sink(Collect);
  const Detection d = Detect(CutRidge(180, 360));
  lfs_set_trace_sink(old);
  ASSERT_EQ(d.rc, 0);
  const std::vector<std::string> expected = {
      "\nINITIALIZATION AND PADDING DONE\n",
      "\nMAPS DONE\n",
      "\nBINARIZATION DONE\n",
      "\nREMOVING ISLANDS AND LAKES:\n",
      "\nREMOVING HOLES:\n",
      "\nREMOVING MINUTIA POINTING TO INVALID BLOCKS:\n",
      "\nREMOVING MINUTIA NEAR INVALID BLOCKS:\n",
      "\nADJUSTING SIDE MINUTIA:\n",
      "\nREMOVING HOOKS:\n",
      "\nREMOVING OVERLAPS:\n",
      "\nREMOVING MALFORMATIONS:\n",
      "\nREMOVING PORES:\n",
      "\nMINUTIA DETECTION DONE\n",
      "\nNEIGHBOR RIDGE COUNT DONE\n",
  };
  EXPECT_EQ(trace, expected);
}

}  // namespace
