// Bad-pixel repair on constructed images whose repaired values follow by
// hand: an isolated pixel, a 3 x 3 cluster, a corner pixel, a bad column,
// black neighbours, hopeless clusters and the three drivers' orders.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "src/enhance/ZqBadPixelRepair.h"

namespace {

using Image = std::vector<uint8_t>;
using Map = std::vector<int32_t>;

// The front end's list: 3, 5, ..., 33, then 0.
const Map kDiameters = [] {
  Map d;
  for (int v = 3; v <= 33; v += 2) d.push_back(v);
  d.push_back(0);
  return d;
}();

enum class Method { kNewImage = 1, kInPlace = 2, kGradual = 3 };

std::string Name(Method m) { return "method " + std::to_string(static_cast<int>(m)); }

// An image with its bad pixels (255) and the work buffers of one repair.
struct Repair {
  int rows, cols;
  Image img, mask;
  Map integral, map;
  int32_t result = 0;

  Repair(int r, int c, Image image) : rows(r), cols(c), img(std::move(image)) {
    mask = img;  // the front end marks the image's own 255s
    integral.assign(img.size(), -7);
    map.assign(img.size(), 0);
  }

  void Run(Method m, const Map &diameters = kDiameters, float ratio = 0.5f) {
    Image fresh(img.size(), 0);
    switch (m) {
      case Method::kNewImage:
        result = repair_image_method_1(img.data(), mask.data(), integral.data(), map.data(),
                                       fresh.data(), diameters.data(), ratio, rows, cols, 255, 255);
        break;
      case Method::kInPlace:
        result = repair_image_method_2(img.data(), mask.data(), integral.data(), map.data(),
                                       diameters.data(), rows, ratio, cols, 255, 255);
        break;
      case Method::kGradual:
        result = repair_image_method_3(img.data(), mask.data(), integral.data(), map.data(),
                                       diameters.data(), rows, ratio, cols, 255, 255);
        break;
    }
  }
  uint8_t Px(int r, int c) const { return img[r * cols + c]; }
  int32_t D(int r, int c) const { return map[r * cols + c]; }
};

// f(r, c) = 10 r + c on an 11 x 11 field (values up to 110).
Image Ramp(int rows, int cols) {
  Image img(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) img[r * cols + c] = static_cast<uint8_t>(10 * r + c);
  return img;
}

const Method kAll[] = {Method::kNewImage, Method::kInPlace, Method::kGradual};

TEST(BadPixelRepair, IsolatedPixelTakesTruncatedMeanOfItsEightNeighbours) {
  for (Method m : kAll) {
    Image img(7 * 7, 40);
    const uint8_t ring[8] = {100, 101, 102, 103, 104, 105, 106, 107};  // mean 103.5
    int k = 0;
    for (int r = 2; r <= 4; ++r)
      for (int c = 2; c <= 4; ++c)
        if (r != 3 || c != 3) img[r * 7 + c] = ring[k++];
    img[3 * 7 + 3] = 255;
    Image want = img;
    want[3 * 7 + 3] = 103;
    Repair t(7, 7, img);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    EXPECT_EQ(t.img, want) << Name(m);
    // The gradual repair counts a 3-box pixel down to 1 once it is set.
    EXPECT_EQ(t.D(3, 3), m == Method::kGradual ? 1 : 3) << Name(m);
    EXPECT_EQ(t.D(2, 2), 0) << Name(m);
  }
}

TEST(BadPixelRepair, ClusterDiametersAndTheDriversOrders) {
  // A 3 x 3 cluster at rows/cols 4..6 of the ramp. Corners see 5 good of 9
  // and take 3; edge-middles see 3 of 9 and the centre 0 of 9, and take 5
  // (16 good of 25). Method 1 repairs from the original pixels (the centre
  // is the ring's mean, 55); method 2 counts earlier repairs as good in
  // raster order; method 3 sets the corners first, then the rest from
  // 3 x 3 boxes.
  struct Case {
    Method m;
    uint8_t want[3][3];
  };
  const Case cases[] = {
      {Method::kNewImage, {{39, 39, 42}, {53, 55, 56}, {67, 70, 70}}},
      {Method::kInPlace, {{39, 39, 41}, {51, 52, 53}, {63, 63, 65}}},
      {Method::kGradual, {{39, 37, 42}, {50, 50, 52}, {67, 64, 70}}},
  };
  for (const Case &k : cases) {
    Image img = Ramp(11, 11);
    for (int r = 4; r <= 6; ++r)
      for (int c = 4; c <= 6; ++c) img[r * 11 + c] = 255;
    Repair t(11, 11, img);
    t.Run(k.m);
    EXPECT_EQ(t.result, 0) << Name(k.m);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(t.Px(4 + r, 4 + c), k.want[r][c]) << Name(k.m) << " at " << r << "," << c;
        const bool corner = r != 1 && c != 1;
        const int32_t d = k.m == Method::kGradual ? 1 : corner ? 3 : 5;
        EXPECT_EQ(t.D(4 + r, 4 + c), d) << Name(k.m) << " at " << r << "," << c;
      }
    // Nothing outside the cluster moves.
    const Image ramp = Ramp(11, 11);
    for (int i = 0; i < 121; ++i)
      if (ramp[i] != t.img[i] && !(i / 11 >= 4 && i / 11 <= 6 && i % 11 >= 4 && i % 11 <= 6))
        ADD_FAILURE() << Name(k.m) << " changed pixel " << i;
  }
}

TEST(BadPixelRepair, CornerPixelUsesItsClippedBox) {
  // The 3 x 3 box of (0, 0) is clipped to 2 x 2: 3 good of 4 (0.75).
  for (Method m : kAll) {
    Image img(5 * 6, 90);
    img[0] = 255;
    img[1] = 10;
    img[6] = 20;
    img[7] = 31;  // (10 + 20 + 31) / 3 = 20.33
    Repair t(5, 6, img);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    EXPECT_EQ(t.Px(0, 0), 20) << Name(m);
    EXPECT_EQ(t.D(0, 0), m == Method::kGradual ? 1 : 3) << Name(m);
  }
}

TEST(BadPixelRepair, BadColumnTakesTheMeanOfItsTwoNeighbourColumns) {
  // Column 4 of a 9 x 9 image is dead. Each of its pixels sees 6 good of 9
  // in its 3 x 3 box (4 of 6 at the top and bottom rows): the mean of the
  // two neighbouring columns' nearby pixels.
  const int n = 9;
  Image img(n * n);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) img[r * n + c] = static_cast<uint8_t>(c < 4 ? 60 : 91);
  for (int r = 0; r < n; ++r) img[r * n + 4] = 255;
  for (Method m : kAll) {
    Repair t(n, n, img);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    for (int r = 0; r < n; ++r) {
      // (3 x 60 + 3 x 91) / 6 = 75.5; methods 2 and 3 also see the pixel
      // above, already 75, which keeps the mean at 75.
      EXPECT_EQ(t.Px(r, 4), 75) << Name(m) << " row " << r;
      EXPECT_EQ(t.D(r, 4), m == Method::kGradual ? 1 : 3) << Name(m) << " row " << r;
    }
  }
}

// A box qualifies only when its good share is strictly above the ratio.
// Each case marks bad pixels in a 9 x 9 mask and asks for the diameter of
// one of them.
TEST(BadPixelRepair, BoxMustBeMoreThanRatioGood) {
  struct Case {
    const char *what;
    std::vector<std::pair<int, int>> bad;  // (row, col)
    int row, col;
    Map diameters;
    float ratio;
    int32_t want;
  };
  std::vector<std::pair<int, int>> column0, block2x2;
  for (int r = 0; r < 9; ++r) column0.push_back({r, 0});
  block2x2 = {{4, 4}, {4, 5}, {5, 4}, {5, 5}};
  const Case cases[] = {
      // Clipped 3 x 2 box: 3 bad of 6 is exactly half good; 5 x 3: 10 of 15.
      {"dead column at x = 0, middle row", column0, 4, 0, kDiameters, 0.5f, 5},
      // Clipped 3-box 2 x 2: 2 of 4; clipped 5-box 3 x 3: 6 of 9.
      {"dead column at x = 0, corner", column0, 0, 0, kDiameters, 0.5f, 5},
      // 2 x 2 cluster: each pixel's 3 x 3 box has 5 good of 9 (0.556).
      {"2 x 2 cluster at ratio 0.5", block2x2, 4, 4, kDiameters, 0.5f, 3},
      // The same box against ratio 5/9 exactly (as a float): not above.
      {"2 x 2 cluster at ratio 5/9", block2x2, 4, 4, kDiameters, 5.0f / 9.0f, 5},
      {"isolated pixel at ratio 8/9", {{4, 4}}, 4, 4, kDiameters, 8.0f / 9.0f, 5},
      {"isolated pixel, list ends at 0", {{4, 4}}, 4, 4, Map{0, 3, 0}, 0.5f, 0},
      {"no box above the ratio before the end", column0, 4, 0, Map{3, 0}, 0.5f, 0},
      {"a good pixel has no bad box", {{4, 4}}, 0, 8, kDiameters, 0.5f, 0},
  };
  for (const Case &c : cases) {
    Image mask(81, 0);
    for (const auto &[r, col] : c.bad) mask[r * 9 + col] = 255;
    Map integral(81);
    get_integral_image(mask.data(), 255, 9, 9, integral.data());
    EXPECT_EQ(get_pos_best_diameter(integral.data(), c.diameters.data(), 9, 9, c.row, c.col,
                                    c.ratio),
              c.want)
        << c.what;
  }
}

// A dead first column: its clipped 3-boxes are exactly half good, so every
// pixel takes its 5-box and the mean of the two columns beside it. The
// gradual repair sets 5-box pixels in its second pass from 3 x 3 boxes,
// which reach only the column of 60s.
TEST(BadPixelRepair, DeadEdgeColumnTakesTheFiveBox) {
  const int n = 7;
  Image img(n * n, 200);
  for (int r = 0; r < n; ++r) {
    img[r * n + 0] = 255;
    img[r * n + 1] = 60;
    img[r * n + 2] = 90;
  }
  for (Method m : kAll) {
    Repair t(n, n, img);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    for (int r = 0; r < n; ++r) {
      EXPECT_EQ(t.Px(r, 0), m == Method::kGradual ? 60 : 75) << Name(m) << " row " << r;
      EXPECT_EQ(t.D(r, 0), m == Method::kGradual ? 1 : 5) << Name(m) << " row " << r;
    }
  }
}

TEST(BadPixelRepair, RepairToBlackIsKept) {
  // Every good neighbour is 0: the repaired value is 0 and must replace the
  // 255 (it is not a "no value" marker).
  for (Method m : kAll) {
    Image img(6 * 6, 0);
    img[2 * 6 + 3] = 255;
    Repair t(6, 6, img);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    EXPECT_EQ(t.img, Image(36, 0)) << Name(m);
  }
}

TEST(BadPixelRepair, ImageWithoutBadPixelsIsLeftAsIs) {
  const Image ramp = Ramp(11, 11);
  for (Method m : kAll) {
    Repair t(11, 11, ramp);
    t.Run(m);
    EXPECT_EQ(t.result, 0) << Name(m);
    EXPECT_EQ(t.img, ramp) << Name(m);
    EXPECT_EQ(t.map, Map(121, 0)) << Name(m);
  }
}

TEST(BadPixelRepair, HopelessPixelsKeepTheirValueAndAreCounted) {
  struct Case {
    const char *what;
    int side, first, last;  // bad square rows/cols first..last
    Map diameters;
    int32_t unrepaired;
  };
  const Case cases[] = {
      // Everything bad: no box has a good pixel at all.
      {"all bad", 12, 0, 11, kDiameters, 144},
      // A 7 x 7 cluster with only 3 and 5 listed: the 4 corners (3 x 3, 5
      // good) and their 8 edge neighbours (5 x 5, 13 good of 25) qualify;
      // the other 37 find no box above half good.
      {"short list", 15, 2, 8, Map{3, 5, 0}, 37},
  };
  for (const Case &k : cases) {
    for (Method m : kAll) {
      Image img(k.side * k.side, 70);
      for (int r = k.first; r <= k.last; ++r)
        for (int c = k.first; c <= k.last; ++c) img[r * k.side + c] = 255;
      Repair t(k.side, k.side, img);
      t.Run(m, k.diameters);
      EXPECT_EQ(t.result, k.unrepaired) << k.what << ", " << Name(m);
      int still = 0;
      for (uint8_t v : t.img) still += v == 255;
      EXPECT_EQ(still, k.unrepaired) << k.what << ", " << Name(m);
    }
  }
}

TEST(BadPixelRepair, MaskAndImageBadValuesDiffer) {
  // The mask marks only (2, 2), with 1, so it gets diameter 3; but the
  // image holds its bad value 255 everywhere, so the box has no good
  // pixel: the pixel keeps its value and its diameter, and is counted.
  Image img(5 * 5, 255);
  Image mask(25, 0);
  mask[2 * 5 + 2] = 1;
  Map integral(25), map(25, 0);
  Image fresh(25, 0);
  const Image before = img;
  EXPECT_EQ(repair_image_method_1(img.data(), mask.data(), integral.data(), map.data(),
                                  fresh.data(), kDiameters.data(), 0.5f, 5, 5, 1, 255),
            1);
  EXPECT_EQ(img, before);
  EXPECT_EQ(map[2 * 5 + 2], 3);

  // Mask helpers: mark the 255s with 1, then blank them out with 9.
  img[2 * 5 + 2] = 17;
  get_bad_point_mask(img.data(), mask.data(), 5, 5, 255);
  int marked = 0;
  for (uint8_t v : mask) marked += v;
  EXPECT_EQ(marked, 24);
  use_mask_to_destroy_img(img.data(), mask.data(), 5, 5, 1, 9);
  Image want(25, 9);
  want[2 * 5 + 2] = 17;
  EXPECT_EQ(img, want);
}

TEST(BadPixelRepair, IntegralImageAndBoxCountsMatchBruteForce) {
  std::mt19937 rng(33);
  const int rows = 13, cols = 17;
  Image mask(rows * cols);
  for (uint8_t &v : mask) v = rng() % 3 == 0 ? 255 : static_cast<uint8_t>(rng() % 255);
  Map integral(mask.size());
  get_integral_image(mask.data(), 255, rows, cols, integral.data());
  for (int r0 : {-3, 0, 4, 12})
    for (int c0 : {-2, 0, 9, 16})
      for (int h : {1, 2, 6}) {
        int bad = 0, area = 0;
        for (int r = r0 - h; r <= r0 + h; ++r)
          for (int c = c0 - h; c <= c0 + h; ++c)
            if (r >= 0 && r < rows && c >= 0 && c < cols) {
              ++area;
              bad += mask[r * cols + c] == 255;
            }
        int32_t gotBad = -1, gotArea = -1;
        get_box_area(integral.data(), h, rows, cols, r0, c0, &gotBad, &gotArea);
        EXPECT_EQ(gotBad, bad) << r0 << "," << c0 << " h " << h;
        EXPECT_EQ(gotArea, area) << r0 << "," << c0 << " h " << h;
      }
  EXPECT_EQ(get_integral_image_value(integral.data(), rows, cols, -1, 3), 0);
  EXPECT_EQ(get_integral_image_value(integral.data(), rows, cols, 3, cols), 0);
  EXPECT_EQ(get_img_pixel(mask.data(), rows, cols, rows, 0), -1);
}

TEST(BadPixelRepair, OtherModesAndCopyRule) {
  Image img = Ramp(5, 5);
  img[12] = 255;
  Map map(25, 0);
  map[12] = 3;
  Image out(25, 0);
  repair_img_to_new_img(img.data(), out.data(), map.data(), 5, 5, 2, 255);
  repair_img_to_new_new_gradual(img.data(), out.data(), map.data(), 5, 5, 0, 255);
  EXPECT_EQ(out, Image(25, 0));
  EXPECT_EQ(map[12], 3);
  repair_img_to_new_img(img.data(), out.data(), map.data(), 5, 5, 1, 255);
  EXPECT_EQ(out[12], 22);  // the ramp's 3 x 3 ring around (2, 2) averages 22
  // The copy helper transfers non-zero pixels only.
  Image dst(25, 5);
  valid_part_copy_to_img(out.data(), dst.data(), 5, 5);
  Image want(25, 5);
  want[12] = 22;
  EXPECT_EQ(dst, want);
}

TEST(BadPixelRepair, BadArguments) {
  Image img(9, 1), mask(9, 0), fresh(9, 0);
  Map integral(9), map(9);
  const int32_t *d = kDiameters.data();
  EXPECT_EQ(repair_image_method_1(nullptr, mask.data(), integral.data(), map.data(), fresh.data(),
                                  d, 0.5f, 3, 3, 255, 255),
            -1);
  EXPECT_EQ(repair_image_method_1(img.data(), mask.data(), integral.data(), map.data(), nullptr,
                                  d, 0.5f, 3, 3, 255, 255),
            -1);
  EXPECT_EQ(repair_image_method_2(img.data(), mask.data(), integral.data(), map.data(), nullptr, 3,
                                  0.5f, 3, 255, 255),
            -1);
  EXPECT_EQ(repair_image_method_3(img.data(), nullptr, integral.data(), map.data(), d, 3, 0.5f, 3,
                                  255, 255),
            -1);
  EXPECT_EQ(repair_image_method_2(img.data(), mask.data(), integral.data(), map.data(), d, 0, 0.5f,
                                  3, 255, 255),
            -1);
  EXPECT_EQ(repair_image_method_3(img.data(), mask.data(), integral.data(), map.data(), d, 3, 0.5f,
                                  -1, 255, 255),
            -1);
}

}  // namespace
