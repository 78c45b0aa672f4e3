// The algorithm core's and the sensor library's entries to the movement
// judgement answer exactly as the judgement itself, on a still, a moved and
// a lifted pair of non-square frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/FpSensorLib/quorv_image_queries.h"
#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"
#include "src/features/ZqSpeedMove.h"

namespace {

using Image = std::vector<uint8_t>;

constexpr int kWidth = 96;
constexpr int kHeight = 80;

// A kWidth x kHeight window cut at (x0, y0) from a larger press.
Image Window(int x0, int y0) {
  static const Image big = [] {
    const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(33, 5));
    fingers::ImpressionParams p;
    p.width = 160;
    p.height = 140;
    p.contact.radius = 1.6;
    return fingers::Render(master, p).frame.gray;
  }();
  Image w(kWidth * kHeight);
  for (int r = 0; r < kHeight; ++r)
    for (int c = 0; c < kWidth; ++c) w[r * kWidth + c] = big[(y0 + r) * 160 + x0 + c];
  return w;
}

TEST(EnrollSpeedFastJustify, AnswersAsTheJudgement) {
  Image lifted = Window(30, 20);
  std::fill(lifted.end() - 28 * kWidth, lifted.end(), 255);
  struct Case {
    const char *what;
    Image a, b;
    int32_t want;
  };
  const Case cases[] = {
      {"still", Window(30, 20), Window(30, 20), 0},
      {"moved 25 px", Window(30, 20), Window(55, 20), 2},
      {"bottom lifted", Window(30, 20), lifted, 1},
  };
  for (Case k : cases) {
    SCOPED_TRACE(k.what);
    const int32_t direct = ZqSpeedFastJustifyExampProcess(k.a.data(), k.b.data(), kWidth, kHeight);
    EXPECT_EQ(direct, k.want);
    EXPECT_EQ(ZqEnrollSpeedFastJustify(k.a.data(), k.b.data(), kWidth, kHeight), direct);
    EXPECT_EQ(quorv_SpeedFastJustify(k.a.data(), k.b.data(), kWidth, kHeight), direct);
  }
  Image a = Window(0, 0);
  EXPECT_EQ(ZqEnrollSpeedFastJustify(nullptr, a.data(), kWidth, kHeight), -1);
  EXPECT_EQ(quorv_SpeedFastJustify(a.data(), nullptr, kWidth, kHeight), -1);
}

}  // namespace
