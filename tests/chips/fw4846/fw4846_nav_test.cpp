// Navigation of the fw4846 driver: binarising frames against the image base,
// centroids, gesture directions on constructed tracks, and whole gestures
// through the event status on the fake chip.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846.h"
#include "chips/fw4846/fw4846_fdt.h"
#include "chips/fw4846/fw4846_nav.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"
#include "chips/fw4846/fw4846_test_util.h"

namespace {

using fw4846_fake::Chip;
using fw4846_fake::Samples;
using fw4846_fake::VirtualClock;

constexpr int kW = 64;
constexpr uint16_t kBase = 1000;
constexpr uint16_t kReference = kBase + 4000;

// A navigation frame: a little noise (0..9 below the reference) everywhere
// and a finger (500 below) over nav rows [row0, row1] and columns [col0, col1].
Samples NavFrame(int row0, int row1, int col0, int col1) {
  Samples f(640);
  for (int r = 0; r < 10; ++r) {
    for (int c = 0; c < kW; ++c) {
      int k = r * kW + c;
      bool finger = r >= row0 && r <= row1 && c >= col0 && c <= col1;
      f[k] = static_cast<uint16_t>(kReference - (finger ? 500 : (k * 7) % 10));
    }
  }
  return f;
}

class NavTest : public testing::Test {
 protected:
  void SetUp() override {
    g_base_log_level = 6;
    g_chip_log_level = 6;
    fw4846_cfg_init();
    fw4846_fake::FreshChip();
    std::fill(std::begin(g_fw4846.image_base), std::end(g_fw4846.image_base), kBase);
  }
  // Binarises `frame` against the image base.
  static int Binarize(const Samples &frame) {
    fw4846_nav_load_reference();
    std::copy(frame.begin(), frame.end(), g_fw4846.nav_frame);
    return fw4846_nav_binarize();
  }
  VirtualClock clock_;
};

TEST_F(NavTest, ReferenceIsTheBaseOfTheNavigationRowsPlus4000) {
  for (int i = 0; i < 64 * 80; ++i) g_fw4846.image_base[i] = static_cast<uint16_t>(i / kW);
  fw4846_nav_load_reference();
  const int rows[10] = {8, 9, 24, 25, 40, 41, 56, 57, 72, 73};
  for (int r = 0; r < 10; ++r) {
    EXPECT_EQ(g_fw4846.nav_reference[r * kW + 5], rows[r] + 4000);
    EXPECT_EQ(fw4846_nav_image_row(r), rows[r]);
  }
}

TEST_F(NavTest, BinarizeCountsTheFingerAndDropsIsolatedPixels) {
  struct Case {
    const char *name;
    Samples frame;
    int want;
  };
  Samples lone = NavFrame(-1, -1, 0, 0);
  lone[5 * kW + 20] = kReference - 500;  // one pixel alone
  Samples edge = NavFrame(-1, -1, 0, 0);
  edge[0 * kW + 20] = kReference - 500;  // alone, but on the border row
  Samples shield = NavFrame(2, 4, 0, 63);
  const Case cases[] = {
      {"no finger", NavFrame(-1, -1, 0, 0), 0},
      {"a 3 x 10 patch", NavFrame(2, 4, 20, 29), 30},
      {"a lone pixel is noise", lone, 0},
      {"a lone pixel on the border stays", edge, 1},
      {"shield columns never count", shield, 3 * 62},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Binarize(c.frame), c.want);
  }
}

TEST_F(NavTest, CentroidUsesImageRowsAsWeights) {
  struct Case {
    int row0, row1, col0, col1;
    int want_row, want_col;
  };
  const Case cases[] = {
      {0, 1, 10, 20, 8, 15},        // rows 8 and 9
      {4, 9, 1, 62, 56, 31},        // rows 40..73
      {0, 5, 30, 40, 24, 35},       // rows 8..41
      {-1, -1, 0, 0, 0, 0},         // nothing set
  };
  for (const Case &c : cases) {
    Binarize(NavFrame(c.row0, c.row1, c.col0, c.col1));
    int row = -1, col = -1;
    fw4846_nav_centroid(&row, &col);
    EXPECT_EQ(row, c.want_row) << c.row0 << ".." << c.row1;
    EXPECT_EQ(col, c.want_col) << c.col0 << ".." << c.col1;
  }
}

// A track: `moving` frames going linearly from (r0, c0) to (r1, c1) with
// rising touch counts, then `falling` frames staying there with falling ones.
int SetTrack(int r0, int c0, int r1, int c1, int moving, int falling) {
  fw4846_nav_point *t = g_fw4846.nav_track;
  for (int k = 0; k < moving; ++k) {
    t[k].row = r0 + (r1 - r0) * k / (moving - 1);
    t[k].col = c0 + (c1 - c0) * k / (moving - 1);
    t[k].count = 300 + 10 * k;
  }
  for (int k = 0; k < falling; ++k) t[moving + k] = {r1, c1, 250 - 40 * k};
  return moving + falling - 1;
}

TEST_F(NavTest, GestureDirections) {
  struct Case {
    const char *name;
    int r0, c0, r1, c1;
    int falling;
    int cover;
    int want;
  };
  const Case cases[] = {
      {"12 rows up, 6 falling frames: left", 40, 31, 28, 31, 6, 5, FW4846_NAV_LEFT},
      {"12 rows up, 4 falling frames: click", 40, 31, 28, 31, 4, 5, FW4846_NAV_CLICK},
      {"10 rows up is too short for left", 40, 31, 30, 31, 6, 5, FW4846_NAV_CLICK},
      {"12 rows down: right", 28, 31, 40, 31, 1, 5, FW4846_NAV_RIGHT},
      {"16 columns down in index: up", 40, 31, 40, 15, 1, 5, FW4846_NAV_UP},
      {"16 columns up in index: down", 40, 15, 40, 31, 1, 5, FW4846_NAV_DOWN},
      {"no movement: click", 40, 31, 42, 33, 6, 5, FW4846_NAV_CLICK},
      {"nothing covered: click", 40, 31, 28, 31, 6, 0, FW4846_NAV_CLICK},
      {"steep up with a sideways drift: left", 60, 20, 30, 30, 6, 5, FW4846_NAV_LEFT},
      {"up with a strong sideways drift: down", 60, 5, 30, 30, 6, 5, FW4846_NAV_DOWN},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    int last = SetTrack(c.r0, c.c0, c.r1, c.c1, 10, c.falling);
    EXPECT_EQ(fw4846_GestureDirection(last, 9, c.cover), c.want);
  }
}

TEST_F(NavTest, GestureEndRulesAndCorrections) {
  // Too few frames before the end: click.
  int last = SetTrack(40, 31, 28, 31, 10, 6);
  g_fw4846_cfg.nav_frames = 12;
  EXPECT_EQ(fw4846_GestureDirection(last, 9, 5), FW4846_NAV_CLICK);
  g_fw4846_cfg.nav_frames = 2;

  // An early rise of more than 4 rows turns a click into right.
  last = SetTrack(40, 31, 41, 31, 10, 6);
  g_fw4846.nav_track[3].row = 46;
  g_fw4846.nav_track[4].row = 45;
  EXPECT_EQ(fw4846_GestureDirection(last, 9, 5), FW4846_NAV_RIGHT);

  // A jump in the very last frame after a still stretch is dropped: the
  // end point moves back one frame.
  last = SetTrack(40, 31, 40, 31, 10, 6);
  g_fw4846.nav_track[9] = {20, 31, 390};
  EXPECT_EQ(fw4846_GestureDirection(last, 9, 5), FW4846_NAV_CLICK);
  g_fw4846.nav_track[8] = {21, 31, 380};  // the jump is not sudden any more
  EXPECT_EQ(fw4846_GestureDirection(last, 9, 5), FW4846_NAV_LEFT);
}

// Feeds a whole gesture: three first frames at rows [a, a + 5], the finger
// moving to rows [b, b + 5], then lifting column by column.
void QueueGesture(int a, int b) {
  auto &q = Chip().nav_script;
  for (int k = 0; k < 3; ++k) q.push_back(NavFrame(a, a + 5, 1, 62));
  int step = b > a ? 1 : -1;
  for (int r = a; r != b; r += step) q.push_back(NavFrame(r + step, r + step + 5, 1, 62));
  for (int k = 0; k < 3; ++k) q.push_back(NavFrame(b, b + 5, 1, 62));
  for (int width : {50, 41, 33, 25, 20, 13}) {
    int c0 = 31 - width / 2;
    q.push_back(NavFrame(b, b + 5, c0, c0 + width - 1));
  }
  q.push_back(NavFrame(b, b + 5, 30, 31));  // fewer than 20 set: the end
}

TEST_F(NavTest, GestureThroughTheEventStatus) {
  struct Case {
    const char *name;
    int from, to;
    int want;
  };
  const Case cases[] = {
      {"finger slides up the rows: left", 4, 0, FW4846_NAV_LEFT},
      {"finger slides down the rows: right", 0, 4, FW4846_NAV_RIGHT},
      {"finger stays: click", 2, 2, FW4846_NAV_CLICK},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fw4846_fake::FreshChip();
    fw4846_fdt_base_Stable_Update(1);
    fw4846_config_device_mode(FW4846_MODE_GESTURE);
    QueueGesture(c.from, c.to);
    Chip().Raise(FW4846_INT_DOWN);
    EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_GESTURE_FIRST);
    EXPECT_EQ(Chip().CommandCount(FW4846_CMD_NAV), 1);
    EXPECT_EQ(Chip().sram[0x1A83] & 0x20, 0);  // data-ready masked while tracking
    Chip().Raise(FW4846_INT_DATA);
    EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_GESTURE);
    EXPECT_EQ(fw4846_query_gesture_status(), c.want);
    EXPECT_TRUE(Chip().nav_script.empty());
    EXPECT_EQ(Chip().sram[0x1881] & 0x1, 0);  // waiting for the finger to lift
  }
}

TEST_F(NavTest, GestureStartWithoutAFingerFallsBackToDownDetection) {
  fw4846_fdt_base_Stable_Update(1);
  fw4846_config_device_mode(FW4846_MODE_GESTURE);
  for (int k = 0; k < 3; ++k) Chip().nav_script.push_back(NavFrame(0, 0, 10, 60));  // 51 set
  Chip().Raise(FW4846_INT_DOWN);
  Chip().ClearLog();
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_NONE);
  EXPECT_EQ(Chip().LastWrite(0x1A84) & 0x2F, 0x2F);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  EXPECT_EQ(Chip().sram[0x1881] & 0x1, 1);
}

}  // namespace
