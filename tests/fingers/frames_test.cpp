#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "fingers/measure.h"
#include "fingers/synth_fingers.h"

namespace {

using fingers::NonFingerKind;

const fingers::MasterFinger &Master(int finger) {
  auto make = [](int f) {
    fingers::MasterParams p = fingers::PopulationFinger(5, f);
    p.width = 192;
    p.height = 240;
    return fingers::MakeMaster(p);
  };
  static const fingers::MasterFinger a = make(3);
  static const fingers::MasterFinger b = make(8);
  return finger == 0 ? a : b;
}

// Resamples a swipe to one row per master pixel of travel, from travel t0
// on, using the true line positions (what a perfect line assembler gives).
fingers_test::Plane Assemble(const fingers::Swipe &sw, double t0, int rows) {
  fingers_test::Plane p{sw.frame.width, rows, {}};
  const fingers_test::Plane lines =
      fingers_test::FromBytes(sw.frame.width, sw.frame.height, sw.frame.gray);
  for (int r = 0; r < rows; ++r) {
    const double t = t0 + r;
    const auto it = std::upper_bound(sw.line_pos.begin(), sw.line_pos.end(), t);
    const size_t k = std::clamp<size_t>(it - sw.line_pos.begin(), 1, sw.line_pos.size() - 1);
    const double f = (t - sw.line_pos[k - 1]) / (sw.line_pos[k] - sw.line_pos[k - 1]);
    for (int x = 0; x < p.width; ++x) p.v.push_back(fingers_test::Sample(lines, x, k - 1 + f));
  }
  return p;
}

// Two swipes of one finger at different, changing speeds line up once their
// true positions are used; a swipe of another finger does not.
TEST(Swipe, LinesLineUpByTheirPositions) {
  fingers::SwipeParams slow;
  slow.seed = 1;
  slow.start = {96, 30};
  slow.lines = 500;
  slow.speed = 0.45;
  fingers::SwipeParams fast = slow;
  fast.seed = 2;
  fast.lines = 260;
  fast.speed = 0.9;
  fast.speed_jitter = 0.6;
  const fingers::Swipe a = fingers::RenderSwipe(Master(0), slow);
  const fingers::Swipe b = fingers::RenderSwipe(Master(0), fast);
  const fingers::Swipe other = fingers::RenderSwipe(Master(1), fast);
  ASSERT_EQ(a.frame.width, 100);
  ASSERT_EQ(a.frame.height, 500);
  ASSERT_EQ(a.line_pos.size(), 500u);
  for (size_t k = 1; k < b.line_pos.size(); ++k) ASSERT_GT(b.line_pos[k], b.line_pos[k - 1]);

  const fingers_test::Plane pa = Assemble(a, 10, 170), pb = Assemble(b, 10, 170);
  const fingers_test::Plane po = Assemble(other, 10, 170);
  EXPECT_GT(fingers_test::Correlation(pa.v, pb.v), 0.85);
  EXPECT_LT(std::fabs(fingers_test::Correlation(pa.v, po.v)), 0.3);
  const double period = fingers_test::DominantPeriod(fingers_test::Spectrum(pa));
  EXPECT_GE(period, 7.5);
  EXPECT_LE(period, 10.5);
}

TEST(Swipe, RejectsParametersOutOfRange) {
  auto with = [](auto change) {
    fingers::SwipeParams p;
    change(p);
    return p;
  };
  const fingers::SwipeParams bad[] = {
      with([](fingers::SwipeParams &p) { p.width = 4; }),
      with([](fingers::SwipeParams &p) { p.lines = 0; }),
      with([](fingers::SwipeParams &p) { p.speed = 0; }),
      with([](fingers::SwipeParams &p) { p.speed_jitter = 1; }),
  };
  fingers::MasterParams small;
  small.width = small.height = 64;
  const fingers::MasterFinger m = fingers::MakeMaster(small);
  for (const auto &p : bad) EXPECT_THROW(fingers::RenderSwipe(m, p), std::invalid_argument);
}

struct FrameStats {
  double mean = 0;
  double ridge_share = 0;  // spectral energy share at ridge periods
  double dark = 0;         // share of samples below 128
  double white = 0;        // share of samples at 250 or more
};

FrameStats Stats(const fingers::Frame &f) {
  FrameStats s;
  for (uint8_t v : f.gray) {
    s.mean += v;
    s.dark += v < 128;
    s.white += v >= 250;
  }
  s.mean /= f.gray.size();
  s.dark /= f.gray.size();
  s.white /= f.gray.size();
  s.ridge_share = fingers_test::BandShare(
      fingers_test::Spectrum(fingers_test::FromBytes(f.width, f.height, f.gray)), 6.5, 12.5);
  return s;
}

// Each kind of non-finger frame shows its own signature, and none carries
// the ridge band of a real press.
TEST(NonFinger, EachKindHasItsSignature) {
  const fingers::MasterFinger &m = Master(0);
  const FrameStats press =
      Stats(fingers::Render(m, fingers::RandomImpression(m, 3, {96, 96})).frame);
  EXPECT_GT(press.ridge_share, 0.5);

  struct Case {
    NonFingerKind kind;
    double min_mean, max_mean;
    double max_dark;
    double max_ridge_share;
  } cases[] = {
      {NonFingerKind::kEmpty, 205, 225, 0.0, 0.2},
      {NonFingerKind::kEdgeTouch, 150, 215, 0.15, 1.0},
      {NonFingerKind::kFlatObject, 60, 160, 1.0, 0.2},
      {NonFingerKind::kDirty, 150, 214, 0.1, 0.3},
      {NonFingerKind::kWhite, 252, 255, 0.0, 1.0},
      {NonFingerKind::kWater, 130, 205, 0.4, 0.2},
      {NonFingerKind::kFabric, 100, 190, 1.0, 0.1},
      {NonFingerKind::kInterference, 150, 205, 0.15, 0.3},
      {NonFingerKind::kDark, 0, 3, 1.0, 1.0},
  };
  for (const Case &c : cases) {
    for (uint64_t seed : {1u, 2u, 3u}) {
      SCOPED_TRACE(std::string(fingers::NonFingerKindName(c.kind)) + " seed " +
                   std::to_string(seed));
      fingers::NonFingerParams p;
      p.seed = seed;
      p.kind = c.kind;
      p.width = 88;
      p.height = 88;
      p.sensor.raw16 = true;
      const fingers::Frame f = fingers::RenderNonFinger(p);
      ASSERT_EQ(f.gray.size(), 88u * 88u);
      ASSERT_EQ(f.raw.size(), 88u * 88u);
      const FrameStats s = Stats(f);
      EXPECT_GE(s.mean, c.min_mean);
      EXPECT_LE(s.mean, c.max_mean);
      EXPECT_LE(s.dark, c.max_dark);
      EXPECT_LE(s.ridge_share, c.max_ridge_share);
      if (c.kind == NonFingerKind::kEdgeTouch) {
        // Ridges only in a strip along one edge.
        EXPECT_GT(s.dark, 0.02);
        int rows_dark[4] = {0, 0, 0, 0};  // dark samples in the outer 30% per edge
        for (int y = 0; y < 88; ++y) {
          for (int x = 0; x < 88; ++x) {
            if (f.At(x, y) >= 128) continue;
            rows_dark[0] += x < 26;
            rows_dark[1] += x >= 62;
            rows_dark[2] += y < 26;
            rows_dark[3] += y >= 62;
          }
        }
        const int all_dark = static_cast<int>(std::lround(s.dark * 88 * 88));
        EXPECT_EQ(*std::max_element(rows_dark, rows_dark + 4), all_dark);
      }
      if (c.kind == NonFingerKind::kWhite) {
        EXPECT_GT(s.white, 0.95);
        EXPECT_EQ(*std::max_element(f.raw.begin(), f.raw.end()), 0);
      }
      if (c.kind == NonFingerKind::kDark) {
        EXPECT_EQ(s.dark, 1.0);
        EXPECT_EQ(*std::min_element(f.raw.begin(), f.raw.end()), 4095);
      }
    }
  }
}

TEST(NonFinger, RejectsSizesOutOfRange) {
  for (const fingers::SensorSize size : {fingers::SensorSize{7, 96}, fingers::SensorSize{96, 2000}}) {
    fingers::NonFingerParams p;
    p.width = size.width;
    p.height = size.height;
    EXPECT_THROW(fingers::RenderNonFinger(p), std::invalid_argument);
  }
}

TEST(Pgm, EightAndSixteenBitFiles) {
  EXPECT_EQ(fingers::EncodePgm(3, 2, {0, 1, 2, 253, 254, 255}),
            std::string("P5\n3 2\n255\n\x00\x01\x02\xfd\xfe\xff", 17));
  EXPECT_THROW(fingers::EncodePgm(3, 3, {0, 1}), std::invalid_argument);

  const std::string path = ::testing::TempDir() + "synth_fingers_pgm16_test.pgm";
  ASSERT_TRUE(fingers::WritePgm16(path, 2, 1, {0x0102, 4095}, 4095));
  FILE *f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buf[64];
  const size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  std::remove(path.c_str());
  EXPECT_EQ(std::string(buf, n), std::string("P5\n2 1\n4095\n\x01\x02\x0f\xff", 16));
  // A sample above maxval or a size mismatch writes nothing.
  EXPECT_FALSE(fingers::WritePgm16(path, 2, 1, {1, 4096}, 4095));
  EXPECT_FALSE(fingers::WritePgm16(path, 3, 1, {1, 2}, 4095));
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

}  // namespace
