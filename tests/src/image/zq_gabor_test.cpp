#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "src/heap_failure_at.h"
#include "src/lib_log_capture.h"
#include "src/image/ZqGabor.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::HeapFailureAt;
using testing_support::LibLogCapture;

constexpr double kPi = 3.14159265358979323846;

// A kernel released at the end of the test.
struct Kernel {
  ST_GaborKernel entry = {0, nullptr};
  ~Kernel() { ZqSafeFree(entry.kernel); }
  float at(int i, int j) const {  // offsets from the centre
    const int r = entry.size / 2;
    return entry.kernel[(i + r) * entry.size + (j + r)];
  }
};

TEST(GenGaborFilter, NormalisedOrientedKernels) {
  struct Case {
    float gamma, sigma, theta, phase;
    int32_t period, radius;
  } cases[] = {
      {1.0f, 1.9f, 0.0f, 0.0f, 5, 3},       {1.0f, 1.9f, 0.5f, 0.0f, 5, 3},
      {0.5f, 3.0f, 1.2f, 0.3f, 8, 6},       {2.0f, 1.0f, 2.9f, 0.0f, 4, 2},
      {1.0f, 1.9f, static_cast<float>(kPi / 2), 0.0f, 5, 3}, {1.0f, 1.0f, 0.0f, 0.0f, 7, 0},
  };
  for (const Case &c : cases) {
    Kernel k;
    ASSERT_EQ(GenGaborFilter(&k.entry, c.gamma, c.sigma, c.theta, c.phase, c.period, c.radius), 0);
    ASSERT_EQ(k.entry.size, 2 * c.radius + 1);
    double sum = 0;
    for (int t = 0; t < k.entry.size * k.entry.size; ++t) sum += k.entry.kernel[t];
    EXPECT_NEAR(sum, 1.0, 1e-6) << c.theta << " " << c.radius;
  }
}

TEST(GenGaborFilter, WaveRunsAlongTheColumnsAtThetaZero) {
  // theta 0: u = column offset, v = row offset; pi / 2 turns it onto the rows.
  Kernel zero, right;
  ASSERT_EQ(GenGaborFilter(&zero.entry, 0.7f, 1.9f, 0.0f, 0.0f, 5, 3), 0);
  ASSERT_EQ(GenGaborFilter(&right.entry, 0.7f, 1.9f, static_cast<float>(kPi / 2), 0.0f, 5, 3), 0);
  for (int i = -3; i <= 3; ++i)
    for (int j = -3; j <= 3; ++j) {
      const double shape = std::exp(-(j * j + 0.49 * i * i) / (2 * 1.9 * 1.9)) * std::cos(2 * kPi * j / 5);
      EXPECT_NEAR(zero.at(i, j) / zero.at(0, 0), shape, 1e-5) << i << "," << j;
      EXPECT_NEAR(right.at(j, i), zero.at(i, j), 1e-5) << i << "," << j;
    }
}

TEST(GenGaborFilter, RefusalsAndReuse) {
  Kernel k;
  EXPECT_EQ(GenGaborFilter(nullptr, 1, 1, 0, 0, 5, 3), -1);
  EXPECT_EQ(GenGaborFilter(&k.entry, 1, 1, 0, 0, 0, 3), -1);
  EXPECT_EQ(GenGaborFilter(&k.entry, 1, 1, 0, 0, 5, -1), -1);
  EXPECT_EQ(GenGaborFilter(&k.entry, 1, 0, 0, 0, 5, 3), -1);
  const int32_t start = ZqGetMallocCnts();
  ASSERT_EQ(GenGaborFilter(&k.entry, 1, 1, 0, 0, 5, 3), 0);
  ASSERT_EQ(GenGaborFilter(&k.entry, 1, 1, 0, 0, 5, 2), 0);  // the earlier kernel is freed
  EXPECT_EQ(k.entry.size, 5);
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);
  {
    HeapFailureAt fail(0);
    EXPECT_EQ(GenGaborFilter(&k.entry, 1, 1, 0, 0, 5, 3), -2);
  }
  EXPECT_EQ(k.entry.kernel, nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

constexpr int kRows = 11, kCols = 17;

// A ridge image: stripes of period 5 across the columns, plus noise.
std::vector<uint8_t> Ridges(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-30, 30);
  std::vector<uint8_t> img(kRows * kCols);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      int v = 128 + static_cast<int>(100 * std::cos(2 * kPi * c / 5)) + noise(rng);
      img[r * kCols + c] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  return img;
}

// Kernel-weighted mean over the window clipped to the image, with the
// kernel of angle theta (radians), truncated to 0..maxOut.
std::vector<int> Reference(const std::vector<uint8_t> &img, const std::vector<double> &thetaOf,
                           int period, float gamma, float sigma, int radius, int maxOut) {
  std::vector<int> out(img.size());
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      Kernel k;
      EXPECT_EQ(GenGaborFilter(&k.entry, gamma, sigma, static_cast<float>(thetaOf[r * kCols + c]), 0,
                               period, radius), 0);
      double sum = 0, wsum = 0;
      for (int i = -radius; i <= radius; ++i)
        for (int j = -radius; j <= radius; ++j) {
          if (r + i < 0 || r + i >= kRows || c + j < 0 || c + j >= kCols) continue;
          sum += k.at(i, j) * img[(r + i) * kCols + c + j];
          wsum += k.at(i, j);
        }
      out[r * kCols + c] = sum == 0 ? img[r * kCols + c]
                                    : static_cast<int>(std::clamp(sum / wsum, 0.0, double(maxOut)));
    }
  return out;
}

void ExpectWithinOne(const std::vector<int> &got, const std::vector<int> &want, const std::string &what) {
  for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], want[i], 1) << what << " pixel " << i;
}

TEST(AutoGaborFilter, KernelFollowsTheTurnedOrientation) {
  const std::vector<uint8_t> img = Ridges(1);
  // The bank kernel nearest the orientation turned by 90 degrees, with
  // n = 12 (no ties at whole degrees): orientation o -> angle o + 90 mod 180.
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> degrees(0, 180);
  struct Case {
    std::string name;
    std::vector<uint8_t> orientation;
  } cases[] = {
      {"all 90 (theta 0)", std::vector<uint8_t>(img.size(), 90)},
      {"all 0 (theta pi/2)", std::vector<uint8_t>(img.size(), 0)},
      {"random", {}},
  };
  for (uint8_t &o : (cases[2].orientation = std::vector<uint8_t>(img.size()))) o = static_cast<uint8_t>(degrees(rng));
  for (const Case &c : cases) {
    std::vector<double> theta(img.size());
    for (size_t p = 0; p < img.size(); ++p) {
      double turned = std::fmod(c.orientation[p] + 90.0, 180.0);
      int nearest = static_cast<int>(std::lround(turned / 15.0)) % 12;
      theta[p] = nearest * kPi / 12;
    }
    std::vector<uint8_t> out(img.size());
    ASSERT_EQ(AutoGaborFilter(img.data(), c.orientation.data(), kRows, kCols, 12, 5, 1.0f, 1.9f, 3,
                              out.data()), 0);
    ExpectWithinOne(std::vector<int>(out.begin(), out.end()),
                    Reference(img, theta, 5, 1.0f, 1.9f, 3, 255), c.name);
  }
}

TEST(AutoGaborFilter, OrientationOnTheLastBoundaryWrapsToTheFirstKernel) {
  // n = 10: orientation 81 turns to 171 = 180 - half a step, between the
  // last kernel (162) and 180, which is kernel 0 again.
  const std::vector<uint8_t> img = Ridges(3);
  std::vector<uint8_t> orientation(img.size(), 81), out(img.size());
  ASSERT_EQ(AutoGaborFilter(img.data(), orientation.data(), kRows, kCols, 10, 5, 1.0f, 1.9f, 3,
                            out.data()), 0);
  ExpectWithinOne(std::vector<int>(out.begin(), out.end()),
                  Reference(img, std::vector<double>(img.size(), 0.0), 5, 1.0f, 1.9f, 3, 255), "n 10");
}

TEST(AutoGaborFilter, TieAtHalfAStepTakesKernelZeroOtherTiesTheUpperKernel) {
  // n = 10: step 18, half a step 9. A turned angle of exactly 9 still takes
  // kernel 0; one degree more takes kernel 1; the midpoint 27 between
  // kernels 1 and 2 takes kernel 2.
  const std::vector<uint8_t> img = Ridges(5);
  const struct {
    uint8_t orientation;
    int kernel;
  } cases[] = {{99, 0}, {100, 1}, {117, 2}, {116, 1}};
  for (const auto &c : cases) {
    std::vector<uint8_t> orientation(img.size(), c.orientation), out(img.size());
    ASSERT_EQ(AutoGaborFilter(img.data(), orientation.data(), kRows, kCols, 10, 5, 1.0f, 1.9f, 3,
                              out.data()), 0);
    ExpectWithinOne(std::vector<int>(out.begin(), out.end()),
                    Reference(img, std::vector<double>(img.size(), c.kernel * kPi / 10), 5, 1.0f,
                              1.9f, 3, 255),
                    "orientation " + std::to_string(c.orientation));
  }
}

TEST(AutoGaborFilter, InPlaceAndSixteenBitOutput) {
  const std::vector<uint8_t> img = Ridges(4);
  std::vector<uint8_t> orientation(img.size(), 90), out(img.size()), inplace = img;
  ASSERT_EQ(AutoGaborFilter(img.data(), orientation.data(), kRows, kCols, 12, 5, 1.0f, 1.9f, 3, out.data()), 0);
  ASSERT_EQ(AutoGaborFilter(inplace.data(), orientation.data(), kRows, kCols, 12, 5, 1.0f, 1.9f, 3,
                            inplace.data()), 0);
  EXPECT_EQ(inplace, out);

  std::vector<uint16_t> wide(img.size());
  ASSERT_EQ(AutoGaborFilter16(img.data(), orientation.data(), kRows, kCols, 12, 5, 1.0f, 1.9f, 3,
                              wide.data()), 0);
  int above = 0;
  for (size_t p = 0; p < img.size(); ++p) {
    if (out[p] < 255) ASSERT_EQ(wide[p], out[p]) << p;
    else ASSERT_GE(wide[p], 255) << p;
    above += wide[p] > 255;
  }
  EXPECT_GT(above, 0);  // the ridge filter overshoots the bright stripes
}

TEST(AutoGaborFilter, Refusals) {
  std::vector<uint8_t> img(12, 9), orientation(12, 0), out(12, 7);
  struct Case {
    const uint8_t *src, *orientation;
    uint8_t *dst;
    uint8_t n;
    int32_t period;
    float gamma, sigma;
    int32_t radius;
  } cases[] = {
      {nullptr, orientation.data(), out.data(), 12, 5, 1, 1.9f, 3},
      {img.data(), nullptr, out.data(), 12, 5, 1, 1.9f, 3},
      {img.data(), orientation.data(), nullptr, 12, 5, 1, 1.9f, 3},
      {img.data(), orientation.data(), out.data(), 0, 5, 1, 1.9f, 3},
      {img.data(), orientation.data(), out.data(), 12, 0, 1, 1.9f, 3},
      {img.data(), orientation.data(), out.data(), 12, 5, 0.001f, 1.9f, 3},
      {img.data(), orientation.data(), out.data(), 12, 5, 1, 0.001f, 3},
      {img.data(), orientation.data(), out.data(), 12, 5, 1, 1.9f, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(AutoGaborFilter(c.src, c.orientation, 3, 4, c.n, c.period, c.gamma, c.sigma, c.radius, c.dst), -1);
  }
  EXPECT_EQ(out, std::vector<uint8_t>(12, 7));
}

TEST(AutoGaborFilter, AllocationFailuresFreeTheBank) {
  std::vector<uint8_t> img(12, 9), orientation(12, 0), out(12);
  std::vector<uint16_t> wide(12);
  const int n = 4;
  // Allocations: the bank, its n kernels, the working copy.
  for (int nth = 0; nth < n + 2; ++nth) {
    for (bool sixteen : {false, true}) {
      const int32_t start = ZqGetMallocCnts();
      LibLogCapture log;
      HeapFailureAt fail(nth);
      int32_t ret = sixteen ? AutoGaborFilter16(img.data(), orientation.data(), 3, 4, n, 5, 1, 1.9f, 2, wide.data())
                            : AutoGaborFilter(img.data(), orientation.data(), 3, 4, n, 5, 1, 1.9f, 2, out.data());
      EXPECT_EQ(ret, -2) << nth;
      EXPECT_EQ(ZqGetMallocCnts(), start);
      std::vector<std::string> messages = log.Messages();
      if (nth >= 1 && nth <= n) {
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), sixteen ? "AutoGaborFilter16...GenGaborFilter malloc fail, ret = -2 ;"
                                           : "AutoGaborFilter...GenGaborFilter malloc fail, ret = -2");
      }
    }
  }
}

}  // namespace
