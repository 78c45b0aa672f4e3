// Line and frame assembly on constructed lines and frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/fpi_assembling.h"
#include "framework/fpdev.h"
#include "framework/fpi_img.h"
#include "support/stderr_capture.h"

namespace {

using fpi_assembling::RawImage;

// A line set whose best matches are chosen by the test: the line after
// every second line i that is closest to it is line i + want[i / 2] (when
// that line is within reach; otherwise the first candidate, i + 1). Every
// pixel of line k reads pixel[k].
struct LineSet {
  fpi_line_assembly_ctx ctx{};
  std::vector<int> index;
  std::vector<int> want;
  std::vector<uint8_t> pixel;
  GSList *list = nullptr;

  LineSet(size_t n, std::vector<int> wanted, uint32_t resolution, uint32_t max_height,
          uint32_t median_filter_size, uint32_t max_search_offset = 100)
      : index(n), want(std::move(wanted)), pixel(n) {
    ctx.line_width = 4;
    ctx.max_height = max_height;
    ctx.resolution = resolution;
    ctx.median_filter_size = median_filter_size;
    ctx.max_search_offset = max_search_offset;
    ctx.get_deviation = Deviation;
    ctx.get_pixel = Pixel;
    for (size_t k = 0; k < n; ++k) {
      index[k] = static_cast<int>(k);
      pixel[k] = static_cast<uint8_t>(k * 10);
    }
    for (size_t k = n; k-- > 0;) list = g_slist_prepend(list, &index[k]);
    g_current = this;
  }
  ~LineSet() {
    g_slist_free(list);
    g_current = nullptr;
  }
  LineSet(const LineSet &) = delete;
  LineSet &operator=(const LineSet &) = delete;

  static int Deviation(fpi_line_assembly_ctx *, GSList *a, GSList *b) {
    const int i = *static_cast<int *>(a->data);
    const int j = *static_cast<int *>(b->data);
    const size_t slot = static_cast<size_t>(i / 2);
    const int wanted = slot < g_current->want.size() ? g_current->want[slot] : 1;
    return j - i == wanted ? 0 : 1;
  }
  static unsigned char Pixel(fpi_line_assembly_ctx *, GSList *line, unsigned) {
    return g_current->pixel[static_cast<size_t>(*static_cast<int *>(line->data))];
  }
  static LineSet *g_current;
};
LineSet *LineSet::g_current = nullptr;

struct OffsetCase {
  std::string name;
  size_t lines;
  std::vector<int> want;
  uint32_t max_search_offset;
  std::vector<int> expected;
};

class LineOffsetsTest : public testing::TestWithParam<OffsetCase> {};

TEST_P(LineOffsetsTest, EverySecondLineFindsItsClosestLaterLine) {
  const OffsetCase &c = GetParam();
  LineSet set(c.lines, c.want, 10, 3000, 1, c.max_search_offset);
  EXPECT_EQ(fpi_assembling::LineOffsets(&set.ctx, set.list, c.lines), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineOffsetsTest,
    testing::Values(
        OffsetCase{"NextLine", 5, {1, 1}, 100, {1, 1}},
        OffsetCase{"FarMatches", 12, {3, 5, 2, 5, 1, 1}, 100, {3, 5, 2, 5, 1, 1}},
        // Beyond the last line, or beyond the search window, nothing is
        // closer than another: the first candidate stays.
        OffsetCase{"PastTheLastLine", 8, {3, 3, 3, 3}, 100, {3, 3, 3, 1}},
        OffsetCase{"BeyondTheSearch", 10, {4, 2, 4, 1, 1}, 3, {1, 2, 1, 1, 1}},
        OffsetCase{"NoSearch", 6, {1, 1, 1}, 0, {0, 0, 0}},
        OffsetCase{"TwoLines", 2, {1}, 100, {1}},
        OffsetCase{"OneLine", 1, {}, 100, {}},
        OffsetCase{"NoLines", 0, {}, 100, {}}),
    [](const testing::TestParamInfo<OffsetCase> &info) { return info.param.name; });

struct MedianCase {
  std::string name;
  std::vector<int> offsets;
  uint32_t size;
  std::vector<int> expected;
};

class MedianFilterTest : public testing::TestWithParam<MedianCase> {};

TEST_P(MedianFilterTest, FiltersAllButTheLastOffset) {
  const MedianCase &c = GetParam();
  std::vector<int> offsets = c.offsets;
  fpi_assembling::MedianFilterOffsets(&offsets, c.size);
  EXPECT_EQ(offsets, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MedianFilterTest,
    testing::Values(
        MedianCase{"OutlierRemoved", {3, 3, 40, 3, 3}, 25, {3, 3, 3, 3, 3}},
        // Windows are cut at the ends, leave out the last offset, and take
        // the upper of two middle values.
        MedianCase{"WindowsAtTheEnds", {1, 2, 3, 4, 5}, 3, {2, 2, 3, 4, 5}},
        MedianCase{"LastStaysRaw", {1, 1, 1, 1, 9}, 5, {1, 1, 1, 1, 9}},
        MedianCase{"SizeOneKeeps", {5, 1, 4, 2}, 1, {5, 1, 4, 2}},
        MedianCase{"SizeZeroKeeps", {5, 1, 4, 2}, 0, {5, 1, 4, 2}},
        MedianCase{"OneOffset", {7}, 25, {7}},
        MedianCase{"NoOffsets", {}, 25, {}}),
    [](const testing::TestParamInfo<MedianCase> &info) { return info.param.name; });

struct RowCase {
  std::string name;
  size_t lines;
  std::vector<int> want;
  uint32_t resolution;
  uint32_t max_height;
  uint32_t median_filter_size;
  int expected_rows;
  uint32_t max_search_offset = 100;
};

class AssembleLinesRowsTest : public testing::TestWithParam<RowCase> {};

TEST_P(AssembleLinesRowsTest, RowsFollowTheOffsets) {
  const RowCase &c = GetParam();
  LineSet set(c.lines, c.want, c.resolution, c.max_height, c.median_filter_size,
              c.max_search_offset);
  RawImage img = fpi_assembling::AssembleLines(&set.ctx, set.list, c.lines);
  EXPECT_EQ(img.width, 4);
  EXPECT_EQ(img.height, c.expected_rows);
  EXPECT_EQ(img.pixels.size(), static_cast<size_t>(4 * c.expected_rows));
  EXPECT_EQ(img.flags, FP_IMG_V_FLIPPED);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssembleLinesRowsTest,
    testing::Values(
        // resolution rows for every line but the last.
        RowCase{"NextLine", 5, {1, 1}, 10, 3000, 25, 40},
        RowCase{"CappedAtMaxHeight", 5, {1, 1}, 10, 15, 25, 15},
        RowCase{"MaxHeightZero", 5, {1, 1}, 10, 0, 25, 0},
        // resolution / offset is a float division: offset 4 gives 2.5 rows
        // per line (30 rows here), not 2 (26).
        RowCase{"FractionalRows", 11, {4, 4, 4, 4, 2}, 10, 3000, 1, 30},
        // A slow start (offset 20, half a row per line) still yields its
        // rows: 10 for lines 0-19, then 10 for each of lines 20-38.
        RowCase{"SlowStart", 40, {20, 20, 20, 20, 20, 20, 20, 20, 20, 20}, 10, 3000, 1, 200},
        RowCase{"NoSearchNoRows", 6, {1, 1, 1}, 10, 3000, 1, 0, 0},
        RowCase{"OneLine", 1, {}, 10, 3000, 25, 0},
        RowCase{"NoLines", 0, {}, 10, 3000, 25, 0}),
    [](const testing::TestParamInfo<RowCase> &info) { return info.param.name; });

TEST(AssembleLinesTest, GivesAnImageRecordOfTheAssembledRows) {
  LineSet set(5, {1, 1}, 10, 3000, 25);
  fp_img *img = fpi_assemble_lines(&set.ctx, set.list, 5);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 4);
  EXPECT_EQ(img->height, 40);
  EXPECT_EQ(img->length, 160u);
  EXPECT_EQ(img->flags, FP_IMG_V_FLIPPED);
  // Rows 10 .. 19 run from line 1 (10) to line 2 (20).
  EXPECT_EQ(img->data[10 * 4], 10);
  EXPECT_EQ(img->data[15 * 4 + 3], 15);
  fp_img_free(img);
}

// Rows between two lines are interpolated linearly and truncated; each line
// pair uses its own two lines. Resolution 4 keeps the fractions exact.
TEST(AssembleLinesTest, InterpolatesBetweenConsecutiveLines) {
  struct Case {
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> rows;
  };
  const Case cases[] = {
      {{10, 90}, {10, 30, 50, 70}},
      {{90, 10}, {90, 70, 50, 30}},
      {{0, 3}, {0, 0, 1, 2}},                     // 0, 0.75, 1.5, 2.25
      {{3, 0}, {3, 2, 1, 0}},                     // 3, 2.25, 1.5, 0.75
      {{0, 40, 200}, {0, 10, 20, 30, 40, 80, 120, 160}},
  };
  for (const Case &c : cases) {
    const size_t n = c.pixels.size();
    LineSet set(n, {1}, 4, 3000, 1);
    set.pixel = c.pixels;
    RawImage img = fpi_assembling::AssembleLines(&set.ctx, set.list, n);
    ASSERT_EQ(img.height, static_cast<int>(c.rows.size()));
    for (size_t r = 0; r < c.rows.size(); ++r) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(img.pixels[r * 4 + x], c.rows[r]) << "row " << r << " of " << testing::PrintToString(c.pixels);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Frames

// Frames cut from a texture at given origins. Pixel (x, y) of a frame is the
// texture at the frame's origin plus (x, y); with `jitter`, the lowest bit of
// every odd frame's pixels is flipped, so that no overlap is perfect.
struct FrameSet {
  static constexpr int kTexWidth = 64;
  static constexpr int kTexHeight = 96;
  struct Frame {
    int origin_x;
    int origin_y;
    fpi_assembly_frame *frame;
  };
  fpi_frame_assembly_ctx ctx{};
  std::vector<uint8_t> texture;
  std::vector<Frame> frames;
  bool jitter = false;
  GSList *list = nullptr;

  FrameSet(uint32_t width, uint32_t height, uint32_t image_width,
           const std::vector<std::pair<int, int>> &origins, std::vector<uint8_t> tex,
           bool with_jitter = false)
      : texture(std::move(tex)), jitter(with_jitter) {
    ctx.frame_width = width;
    ctx.frame_height = height;
    ctx.image_width = image_width;
    ctx.get_pixel = Pixel;
    for (const auto &o : origins) {
      auto *f = static_cast<fpi_assembly_frame *>(
          g_malloc0(sizeof(fpi_assembly_frame) + sizeof(int) * 3));
      const int id = static_cast<int>(frames.size());
      std::memcpy(f->data, &o.first, sizeof(int));
      std::memcpy(f->data + sizeof(int), &o.second, sizeof(int));
      std::memcpy(f->data + 2 * sizeof(int), &id, sizeof(int));
      frames.push_back({o.first, o.second, f});
    }
    for (size_t k = frames.size(); k-- > 0;) list = g_slist_prepend(list, frames[k].frame);
    g_current = this;
  }
  ~FrameSet() {
    for (Frame &f : frames) g_free(f.frame);
    g_slist_free(list);
    g_current = nullptr;
  }
  FrameSet(const FrameSet &) = delete;
  FrameSet &operator=(const FrameSet &) = delete;

  static unsigned char Pixel(fpi_frame_assembly_ctx *, fpi_assembly_frame *frame, unsigned x,
                             unsigned y) {
    int ox, oy, id;
    std::memcpy(&ox, frame->data, sizeof(int));
    std::memcpy(&oy, frame->data + sizeof(int), sizeof(int));
    std::memcpy(&id, frame->data + 2 * sizeof(int), sizeof(int));
    const uint8_t p = g_current->texture[static_cast<size_t>(oy + static_cast<int>(y)) * kTexWidth +
                                         ox + static_cast<int>(x)];
    return g_current->jitter && id % 2 == 1 ? static_cast<uint8_t>(p ^ 1) : p;
  }
  static FrameSet *g_current;
};
FrameSet *FrameSet::g_current = nullptr;

// A texture without repeats: a fixed-seed linear congruential sequence.
std::vector<uint8_t> NoiseTexture() {
  std::vector<uint8_t> t(FrameSet::kTexWidth * FrameSet::kTexHeight);
  uint32_t s = 12345;
  for (uint8_t &p : t) {
    s = s * 1103515245u + 12345u;
    p = static_cast<uint8_t>(s >> 24);
  }
  return t;
}

// Columns of rising grey, the same on every row.
std::vector<uint8_t> StripeTexture() {
  std::vector<uint8_t> t(FrameSet::kTexWidth * FrameSet::kTexHeight);
  for (int y = 0; y < FrameSet::kTexHeight; ++y) {
    for (int x = 0; x < FrameSet::kTexWidth; ++x) t[y * FrameSet::kTexWidth + x] = static_cast<uint8_t>(x);
  }
  return t;
}

std::pair<int, int> Delta(const FrameSet &set, size_t k) {
  return {set.frames[k].frame->delta_x, set.frames[k].frame->delta_y};
}

TEST(MovementEstimationTest, FramesMovingDownKeepTheForwardPass) {
  // Each frame sits 2 columns right and 3 rows down from the one before.
  FrameSet set(16, 12, 24, {{10, 10}, {12, 13}, {14, 16}, {16, 19}}, NoiseTexture(),
               true);
  fpi_do_movement_estimation(&set.ctx, set.list, set.frames.size());
  // The forward pass writes each pair's displacement into the earlier frame.
  for (size_t k = 0; k + 1 < set.frames.size(); ++k) {
    EXPECT_EQ(Delta(set, k), std::make_pair(2, 3)) << "frame " << k;
  }
}

TEST(MovementEstimationTest, FramesMovingUpKeepTheReversedPass) {
  // Each frame sits 1 column left and 4 rows up from the one before.
  FrameSet set(16, 12, 24, {{20, 40}, {19, 36}, {18, 32}, {17, 28}}, NoiseTexture(),
               true);
  fpi_do_movement_estimation(&set.ctx, set.list, set.frames.size());
  // The reversed pass writes into the later frame and then negates the
  // earlier one: the middle frames carry the movement, the last one its
  // opposite.
  EXPECT_EQ(Delta(set, 1), std::make_pair(-1, -4));
  EXPECT_EQ(Delta(set, 2), std::make_pair(-1, -4));
  EXPECT_EQ(Delta(set, 3), std::make_pair(1, 4));
}

TEST(MovementEstimationTest, PerfectOverlapCountsAsTheWorstMatch) {
  // On vertical stripes every vertical shift matches perfectly (error 0),
  // which counts as the worst; the best is the first one-column shift. Both
  // passes find it with the same error, so the reversed pass stands: the
  // later frame holds it, the earlier one its opposite.
  FrameSet set(16, 12, 24, {{10, 10}, {10, 10}}, StripeTexture());
  fpi_do_movement_estimation(&set.ctx, set.list, 2);
  EXPECT_EQ(Delta(set, 1), std::make_pair(1, 2));
  EXPECT_EQ(Delta(set, 0), std::make_pair(-1, -2));
}

TEST(MovementEstimationTest, FewerThanTwoFramesChangeNothing) {
  // No pair to compare: both passes report a zero error (no division by the
  // empty count) and a lone frame keeps the deltas it came with.
  {
    testing_support::StderrCapture err;
    FrameSet none(16, 12, 24, {}, NoiseTexture());
    fpi_do_movement_estimation(&none.ctx, none.list, 0);
    EXPECT_NE(err.Text().find("errors: 0 rev: 0"), std::string::npos) << err.Text();
  }
  FrameSet one(16, 12, 24, {{10, 10}}, NoiseTexture());
  one.frames[0].frame->delta_x = 5;
  one.frames[0].frame->delta_y = -7;
  fpi_do_movement_estimation(&one.ctx, one.list, 1);
  EXPECT_EQ(Delta(one, 0), std::make_pair(5, -7));
}

struct PlacementCase {
  std::string name;
  std::vector<std::pair<int, int>> deltas;  // frame deltas before assembly
  int height;
  uint16_t flags;
  std::vector<std::pair<int, int>> places;  // where each frame's top-left lands
};

class AssembleFramesTest : public testing::TestWithParam<PlacementCase> {};

TEST_P(AssembleFramesTest, PastesFramesAtTheirDeltas) {
  const PlacementCase &c = GetParam();
  // 4x3 frames of distinct pixels, in a 10-wide image: placement starts at
  // column 3.
  std::vector<std::pair<int, int>> origins;
  for (size_t k = 0; k < c.deltas.size(); ++k) origins.push_back({static_cast<int>(k) * 4, 0});
  std::vector<uint8_t> tex(FrameSet::kTexWidth * FrameSet::kTexHeight);
  for (size_t i = 0; i < tex.size(); ++i) tex[i] = static_cast<uint8_t>(1 + i % 250);
  FrameSet set(4, 3, 10, origins, tex);
  for (size_t k = 0; k < c.deltas.size(); ++k) {
    set.frames[k].frame->delta_x = c.deltas[k].first;
    set.frames[k].frame->delta_y = c.deltas[k].second;
  }
  RawImage img = fpi_assembling::AssembleFrames(&set.ctx, set.list, c.deltas.size());
  ASSERT_EQ(img.width, 10);
  ASSERT_EQ(img.height, c.height);
  EXPECT_EQ(img.flags, c.flags);
  // The first frame's deltas are reset.
  EXPECT_EQ(Delta(set, 0), std::make_pair(0, 0));
  // Later frames overwrite earlier ones; check each frame where it is on top.
  for (size_t k = 0; k < c.places.size(); ++k) {
    const auto [px, py] = c.places[k];
    bool covered_later = false;
    for (size_t later = k + 1; later < c.places.size(); ++later) {
      covered_later |= c.places[later].second < py + 3 && c.places[later].second + 3 > py &&
                       c.places[later].first < px + 4 && c.places[later].first + 4 > px;
    }
    if (covered_later) continue;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(img.pixels[static_cast<size_t>(py + y) * 10 + px + x],
                  tex[static_cast<size_t>(y) * FrameSet::kTexWidth + k * 4 + x])
            << "frame " << k << " at " << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssembleFramesTest,
    testing::Values(
        PlacementCase{"Downwards", {{5, 9}, {1, 3}, {-2, 4}}, 10,
                      FP_IMG_V_FLIPPED | FP_IMG_H_FLIPPED |
                          FP_IMG_COLORS_INVERTED,
                      {{3, 0}, {4, 3}, {2, 7}}},
        PlacementCase{"Upwards", {{0, 0}, {2, -3}, {-1, -4}}, 10,
                      FP_IMG_COLORS_INVERTED, {{3, 7}, {5, 4}, {4, 0}}},
        PlacementCase{"OneFrame", {{7, 7}}, 3,
                      FP_IMG_V_FLIPPED | FP_IMG_H_FLIPPED |
                          FP_IMG_COLORS_INVERTED,
                      {{3, 0}}}),
    [](const testing::TestParamInfo<PlacementCase> &info) { return info.param.name; });

TEST(AssembleFramesTest, FramesOutsideTheImageAreClipped) {
  std::vector<uint8_t> tex(FrameSet::kTexWidth * FrameSet::kTexHeight, 9);
  FrameSet set(4, 3, 6, {{0, 0}, {0, 0}}, tex);
  // The first frame lands on columns 1 .. 4, rows 0 .. 2; the second on
  // columns 4 .. 7 (two of them off the image), rows 1 .. 3.
  set.frames[1].frame->delta_x = 3;
  set.frames[1].frame->delta_y = 1;
  RawImage img = fpi_assembling::AssembleFrames(&set.ctx, set.list, 2);
  ASSERT_EQ(img.height, 4);
  const uint8_t row3[6] = {0, 0, 0, 0, 9, 9};
  EXPECT_EQ(std::vector<uint8_t>(img.pixels.begin() + 18, img.pixels.end()),
            std::vector<uint8_t>(row3, row3 + 6));
}

TEST(AssembleFramesTest, NoFramesIsMisuseAndGivesABlankImage) {
  testing_support::StderrCapture err;
  FrameSet set(4, 3, 6, {}, NoiseTexture());
  RawImage img = fpi_assembling::AssembleFrames(&set.ctx, set.list, 0);
  EXPECT_EQ(img.width, 6);
  EXPECT_EQ(img.height, 3);
  EXPECT_EQ(img.pixels, std::vector<uint8_t>(18, 0));
  EXPECT_NE(err.Text().find("BUG at fp_assembling.cpp"), std::string::npos) << err.Text();
}

}  // namespace
