// Detection and matching together: minutiae detected on synthetic finger
// images, turned into print records and scored by the matcher.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fingers/synth_fingers.h"
#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"
#include "xyt_prints.h"

namespace {

using minutiae_test::MakeRecord;
using minutiae_test::XytPoint;

// The driver's match threshold.
constexpr int kThreshold = 24;

// The window of `frame` at (x0, y0), width x height.
std::vector<uint8_t> Crop(const fingers::Frame &frame, int x0, int y0, int width, int height) {
  std::vector<uint8_t> out;
  for (int y = y0; y < y0 + height; y++)
    for (int x = x0; x < x0 + width; x++) out.push_back(frame.At(x, y));
  return out;
}

// Detects the minutiae of an image and builds its print record as the
// framework does.
xyt_record Detect(const std::vector<uint8_t> &image, int width, int height) {
  lfs_minutiae *minutiae = nullptr;
  int *maps[5] = {};
  int mw = 0, mh = 0, bw = 0, bh = 0, bd = 0;
  unsigned char *binary = nullptr;
  const int r = get_minutiae(&minutiae, &maps[0], &maps[1], &maps[2], &maps[3], &maps[4], &mw,
                             &mh, &binary, &bw, &bh, &bd, image.data(), width, height, 8,
                             19.68503937007874, &lfs_params_V2);
  EXPECT_EQ(r, 0);
  if (r != 0) return MakeRecord({});
  std::vector<XytPoint> points;
  for (int i = 0; i < minutiae->count; i++) {
    int x, y, theta;
    lfs_minutia_to_xyt(&x, &y, &theta, minutiae->list[i], width, height);
    points.push_back({x, y, theta > 180 ? theta - 360 : theta});
  }
  for (int *map : maps) std::free(map);
  std::free(binary);
  release_minutiae(minutiae);
  return MakeRecord(points);
}

int Score(const xyt_record &probe, const xyt_record &gallery) {
  return bz_score_gallery(bz_prepare_probe(&probe), &probe, &gallery);
}

fingers::Frame Press(int finger) {
  fingers::ImpressionParams params;
  params.seed = 5;
  params.width = 216;
  params.height = 264;
  params.distortion = 0;
  params.sensor.noise = 1.0;
  return fingers::Render(fingers::MakeMaster(fingers::PopulationFinger(3, finger)), params).frame;
}

TEST(BozorthPipeline, ShiftedImageMatchesAndAnotherFingerDoesNot) {
  const fingers::Frame a = Press(1);
  const fingers::Frame b = Press(2);
  const xyt_record print = Detect(Crop(a, 0, 0, 200, 256), 200, 256);
  const xyt_record shifted = Detect(Crop(a, 8, 8, 200, 256), 200, 256);
  const xyt_record other = Detect(Crop(b, 0, 0, 200, 256), 200, 256);
  ASSERT_GE(print.count, 10);
  EXPECT_GE(Score(print, shifted), kThreshold);
  EXPECT_GE(Score(shifted, print), kThreshold);
  EXPECT_LT(Score(print, other), kThreshold);
  EXPECT_LT(Score(other, print), kThreshold);
}

}  // namespace
