// Flood fills, connected-region filters, hole filling and mask bit packing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqFillHole.h"
#include "src/image/ZqFloodFill.h"
#include "src/image/ZqMaskBits.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_mask_fixture.h"

namespace {

using zq_test::FromText;
using zq_test::Mask;
using zq_test::ToText;

// A pool too small for any scratch block: the pool allocator refuses.
struct StarvedPool {
  StarvedPool() {
    ZqSetMemoryPoolEn(1);
    ZqInitMemBlock(64);
  }
  ~StarvedPool() {
    ZqDestroyMemBlock();
    ZqSetMemoryPoolEn(0);
  }
};

// ---- flood fills ----------------------------------------------------------

const std::vector<std::string> kDiagonal = {
    "##...", "##...", "..#..", "...##", "....#",
};

TEST(FloodFill, FourAndEightConnectivity) {
  struct Case {
    const char *name;
    bool eight;
    std::vector<std::string> filled;  // pixels that end up 7
  } cases[] = {
      {"4-connected stops at the diagonal", false, {"##...", "##...", ".....", ".....", "....."}},
      {"8-connected crosses it", true, {"##...", "##...", "..#..", "...##", "....#"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Mask m = FromText(kDiagonal);
    std::vector<ST_Point16u> stack(25);
    int32_t count = 0;
    int32_t rc = c.eight ? ZqFloodFill_8_v2(m.data(), 5, 5, 1, 0, 0, 7, stack.data(), &count)
                         : ZqFloodFill(m.data(), 5, 5, 1, 0, 0, 7, stack.data(), &count);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(count, 0);
    Mask want = FromText(c.filled);
    for (int i = 0; i < 25; ++i)
      EXPECT_EQ(m.px[i], want.px[i] ? 7 : FromText(kDiagonal).px[i]) << "pixel " << i;
  }
}

TEST(FloodFill, SeedIsSetWhateverItHeldAndOnlyLowByteOfKeyMatches) {
  Mask m = FromText({"#.#", "###"});
  m.at(0, 1) = 9;  // seed on a non-key pixel
  std::vector<ST_Point16u> stack(6);
  int32_t count = 0;
  // key 0x101 matches pixels of value 1.
  ASSERT_EQ(ZqFloodFill(m.data(), 2, 3, 0x101, 1, 0, 5, stack.data(), &count), 0);
  EXPECT_EQ(m.px, (std::vector<uint8_t>{5, 5, 5, 5, 5, 5}));
}

TEST(FloodFill, UndefinedInputsAreRejectedWithoutWriting) {
  std::vector<ST_Point16u> stack(9);
  int32_t zero = 0, busy = 3;
  struct Case {
    const char *name;
    int32_t rows, cols, key, x, y, value;
    ST_Point16u *stack;
    int32_t *count;
  } cases[] = {
      {"value equals key", 3, 3, 1, 0, 0, 1, stack.data(), &zero},
      {"value matches the key's low byte", 3, 3, 0x201, 0, 0, 0x101, stack.data(), &zero},
      {"seed right of the image", 3, 3, 1, 3, 0, 2, stack.data(), &zero},
      {"seed below the image", 3, 3, 1, 0, 3, 2, stack.data(), &zero},
      {"negative seed", 3, 3, 1, -1, 0, 2, stack.data(), &zero},
      {"stack count not 0", 3, 3, 1, 0, 0, 2, stack.data(), &busy},
      {"no stack", 3, 3, 1, 0, 0, 2, nullptr, &zero},
      {"no count", 3, 3, 1, 0, 0, 2, stack.data(), nullptr},
      {"no rows", 0, 3, 1, 0, 0, 2, stack.data(), &zero},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Mask m(3, 3, 1);
    ST_AreaInfo info = {};
    info.area = -5;
    std::vector<uint16_t> m16(9, 1);
    EXPECT_EQ(ZqFloodFill(m.data(), c.rows, c.cols, c.key, c.x, c.y, c.value, c.stack, c.count),
              -1);
    EXPECT_EQ(
        ZqFloodFill_8_v2(m.data(), c.rows, c.cols, c.key, c.x, c.y, c.value, c.stack, c.count), -1);
    EXPECT_EQ(
        ZqFloodFill_v2(m.data(), c.rows, c.cols, c.key, c.x, c.y, c.value, c.stack, c.count, &info),
        -1);
    EXPECT_EQ(m.Count(1), 9);
    EXPECT_EQ(info.area, -5);
    // 16-bit pixels hold the whole value, so 0x101 never matches key 1.
    if (c.value == 0x101) continue;
    EXPECT_EQ(ZqFloodFill_v4(m16.data(), c.rows, c.cols, c.key, c.x, c.y, c.value, c.stack, c.count,
                             &info),
              -1);
    EXPECT_EQ(m16, std::vector<uint16_t>(9, 1));
    EXPECT_EQ(info.area, -5);
  }
  // ... but a 16-bit value equal to the key's low byte would loop.
  std::vector<uint16_t> m16(9, 1);
  int32_t count = 0;
  ST_AreaInfo info = {};
  EXPECT_EQ(ZqFloodFill_v4(m16.data(), 3, 3, 0x201, 0, 0, 1, stack.data(), &count, &info), -1);
}

// Fills the region at (x, y) of m with the 16-bit statistics fill.
ST_AreaInfo Stats16(const Mask &m, int x, int y) {
  std::vector<uint16_t> img(m.px.begin(), m.px.end());
  std::vector<ST_Point16u> stack(m.px.size());
  int32_t count = 0;
  ST_AreaInfo info = {};
  EXPECT_EQ(ZqFloodFill_v4(img.data(), m.rows, m.cols, 1, x, y, 2, stack.data(), &count, &info), 0);
  return info;
}

TEST(FloodFill, StatisticsOfDrawnShapes) {
  struct Want {
    int h, w, area, edge, aspect, edgePct, fillPct, sidePct, thin, tip, thinTip, perTip;
  };
  struct Case {
    const char *name;
    Mask m;
    int x, y;
    Want want;
  };
  Mask line(3, 32);
  line.Box(1, 1, 1, 30);  // 30 x 1, away from the border
  Mask square(22, 22);
  square.Box(1, 1, 20, 20);
  Mask corner(4, 4);
  corner.Box(0, 0, 1, 1);  // the image border counts as zero neighbours
  Mask dot(3, 3);
  dot.at(1, 1) = 1;
  Mask plus = FromText({".....", "..#..", ".###.", "..#..", "....."});
  Case cases[] = {
      // ends: 3 zero neighbours (tips); middle: above and below (thin).
      {"horizontal line", line, 1, 1, {1, 30, 30, 30, 30, 100, 100, 206, 28, 2, 30, 15}},
      // 72 side pixels with 1 zero neighbour, 4 corners with 2.
      {"square", square, 1, 1, {20, 20, 400, 76, 1, 19, 100, 105, 0, 0, 0, 0}},
      {"block in the corner", corner, 0, 0, {2, 2, 4, 4, 1, 100, 100, 200, 0, 0, 0, 0}},
      {"single pixel", dot, 1, 1, {1, 1, 1, 1, 1, 100, 100, 400, 0, 1, 1, 1}},
      // four arm tips; the centre has no zero neighbour.
      {"plus", plus, 2, 1, {3, 3, 5, 4, 1, 80, 55, 300, 0, 4, 4, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ST_AreaInfo a = Stats16(c.m, c.x, c.y);
    const Want &w = c.want;
    EXPECT_EQ(a.height, w.h);
    EXPECT_EQ(a.width, w.w);
    EXPECT_EQ(a.area, w.area);
    EXPECT_EQ(a.edgeCount, w.edge);
    EXPECT_EQ(a.aspect, w.aspect);
    EXPECT_EQ(a.edgePercent, w.edgePct);
    EXPECT_EQ(a.fillPercent, w.fillPct);
    EXPECT_EQ(a.sidePercent, w.sidePct);
    EXPECT_EQ(a.thinCount, w.thin);
    EXPECT_EQ(a.tipCount, w.tip);
    EXPECT_EQ(a.thinTipCount, w.thinTip);
    EXPECT_EQ(a.edgePerTip, w.perTip);
  }
}

TEST(FloodFill, EightBitStatisticsLeaveTheThinFields) {
  Mask line(3, 32);
  line.Box(1, 1, 1, 30);
  std::vector<ST_Point16u> stack(line.px.size());
  int32_t count = 0;
  ST_AreaInfo info = {};
  info.thinCount = -7;
  info.thinTipCount = -8;
  ASSERT_EQ(ZqFloodFill_v2(line.data(), 3, 32, 1, 1, 1, 2, stack.data(), &count, &info), 0);
  EXPECT_EQ(info.area, 30);
  EXPECT_EQ(info.tipCount, 2);
  EXPECT_EQ(info.edgePerTip, 15);
  EXPECT_EQ(info.thinCount, -7);
  EXPECT_EQ(info.thinTipCount, -8);
  EXPECT_EQ(line.Count(2), 30);
}

// ---- the drawn mask through the region filters ----------------------------

// 120 x 100 mask, regions in label (row-major) order:
//   square 20 x 20 (400 px, 76 edge), vertical line 1 x 80, ring 15 x 15
//   with a 9 x 9 hole (144 px, 92 edge), comb: a 5 x 30 bar with 10
//   one-pixel teeth (160 px, 66 edge, 10 tips), horizontal line 30 x 1
//   (30 edge, 2 tips, 28 thin), 20 dots.
struct Drawn {
  Mask all{120, 100};
  Mask square{120, 100}, vline{120, 100}, ring{120, 100}, comb{120, 100}, hline{120, 100};
  Drawn() {
    square.Box(5, 5, 24, 24);
    vline.Box(5, 60, 84, 60);
    ring.Box(30, 5, 44, 19);
    ring.Box(33, 8, 41, 16, 0);
    comb.Box(61, 5, 65, 34);
    for (int i = 0; i < 10; ++i) comb.at(60, 6 + 2 * i) = 1;
    hline.Box(100, 30, 100, 59);
    for (const Mask *m : {&square, &vline, &ring, &comb, &hline})
      for (size_t i = 0; i < all.px.size(); ++i) all.px[i] |= m->px[i];
    for (int i = 0; i < 20; ++i) all.at(110, 10 + 2 * i) = 1;
  }
  // Union of the given shapes.
  Mask Of(std::initializer_list<const Mask *> parts) const {
    Mask out(120, 100);
    for (const Mask *m : parts)
      for (size_t i = 0; i < out.px.size(); ++i) out.px[i] |= m->px[i];
    return out;
  }
};

TEST(ConnectedArea, EightBitMembersOnTheDrawnMask) {
  Drawn d;
  struct Case {
    const char *name;
    std::function<int32_t(uint8_t *)> run;
    Mask want;
  } cases[] = {
      {"base, minArea 10", [](uint8_t *m) { return ZqGetConnectedArea(m, 120, 100, 10, 0); },
       d.Of({&d.square, &d.vline, &d.ring, &d.comb, &d.hline})},
      {"base, keep largest", [](uint8_t *m) { return ZqGetConnectedArea(m, 120, 100, 10, 1); },
       d.Of({&d.square})},
      {"base, minArea above every region",
       [](uint8_t *m) { return ZqGetConnectedArea(m, 120, 100, 401, 1); }, Mask(120, 100)},
      // the vertical line fails R6 (width 1, height 80 > 70).
      {"v2",
       [](uint8_t *m) {
         uint16_t n = 0;
         int32_t rc = ZqGetConnectedArea_v2(m, 120, 100, 10, 0, 5, nullptr, &n);
         EXPECT_EQ(n, 2 + 5 + 20);
         return rc;
       },
       d.Of({&d.square, &d.ring, &d.comb, &d.hline})},
      {"v3",
       [](uint8_t *m) {
         uint16_t n = 0;
         return ZqGetConnectedArea_v3(m, 120, 100, 10, 0, 5, nullptr, &n);
       },
       d.Of({&d.square, &d.ring, &d.comb, &d.hline})},
      {"v2, keep largest",
       [](uint8_t *m) {
         uint16_t n = 0;
         return ZqGetConnectedArea_v2(m, 120, 100, 10, 1, 5, nullptr, &n);
       },
       d.Of({&d.square})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Mask m = d.all;
    ASSERT_EQ(c.run(m.data()), 0);
    EXPECT_EQ(ToText(m), ToText(c.want));
  }
}

TEST(ConnectedArea, EightConnectedMemberAddsKeptAreasToTheCallersSum) {
  Drawn d;
  Mask m = d.all;
  uint16_t sum = 1000;  // not reset by the filter
  ASSERT_EQ(ZqGetConnectedArea_8_v2(m.data(), 120, 100, 10, 0, &sum), 0);
  EXPECT_EQ(sum, 1000 + 400 + 80 + 144 + 160 + 30);
  EXPECT_EQ(ToText(m), ToText(d.Of({&d.square, &d.vline, &d.ring, &d.comb, &d.hline})));

  // Diagonal neighbours join: 8 pixels on a diagonal form one region of 8.
  Mask diag(10, 10);
  for (int i = 0; i < 8; ++i) diag.at(i, i) = 1;
  uint16_t s2 = 0;
  ASSERT_EQ(ZqGetConnectedArea_8_v2(diag.data(), 10, 10, 8, 0, &s2), 0);
  EXPECT_EQ(s2, 8);
  EXPECT_EQ(diag.Count(1), 8);
}

TEST(ConnectedArea, TwoOutputMembersOnTheDrawnMask) {
  Drawn d;
  // v4: the horizontal line is stripy (R8: 30 / 30 <= 5), so it is only in outA.
  Mask wantA = d.Of({&d.square, &d.ring, &d.comb, &d.hline});
  Mask wantB = d.Of({&d.square, &d.ring, &d.comb});
  for (bool v5 : {false, true}) {
    SCOPED_TRACE(v5 ? "v5 (vertical line: thinTipCount exactly 80)" : "v4");
    Mask a(120, 100, 9), b(120, 100, 9);
    auto fn = v5 ? ZqGetConnectedArea_v5 : ZqGetConnectedArea_v4;
    ASSERT_EQ(fn(d.all.data(), 120, 100, 10, 5, 10, a.data(), b.data()), 0);
    EXPECT_EQ(ToText(a), ToText(wantA));
    EXPECT_EQ(ToText(b), ToText(wantB));
    EXPECT_EQ(a.Count(9) + b.Count(9), 0);
  }
  // 4845: the horizontal line also leaves outA (edgeCount < 60, thinTipCount > 10);
  // ratio = (76 + 92 + 66) / 10 tips of the comb.
  Mask a(120, 100), b(120, 100);
  uint16_t ratio = 0;
  ASSERT_EQ(
      ZqGetConnectedArea_v4_4845(d.all.data(), 120, 100, 10, 5, 10, a.data(), b.data(), &ratio), 0);
  EXPECT_EQ(ToText(a), ToText(wantB));
  EXPECT_EQ(ToText(b), ToText(wantB));
  EXPECT_EQ(ratio, 23);
}

TEST(ConnectedArea, V5EmptiesBothOutputsForATallThinRegion) {
  Drawn d;
  Mask m = d.all;
  m.Box(10, 90, 91, 90);  // 1 x 82: thin 80 + tips 2 = 82 > 80, height 82 > 50
  Mask a(120, 100, 9), b(120, 100, 9);
  ASSERT_EQ(ZqGetConnectedArea_v5(m.data(), 120, 100, 10, 5, 10, a.data(), b.data()), 0);
  EXPECT_EQ(a.Count(0) + b.Count(0), 2 * 120 * 100);
  ASSERT_EQ(ZqGetConnectedArea_v4(m.data(), 120, 100, 10, 5, 10, a.data(), b.data()), 0);
  EXPECT_EQ(a.Count(1), 400 + 144 + 160 + 30);
}

TEST(ConnectedArea, ThinRegionsUpToHeightSeventyPassR6) {
  // Vertical bars one or two pixels wide: height 70 is kept, 71 is not,
  // by the 8-bit and the 16-bit members alike.
  const struct {
    int width, height;
    bool kept;
  } cases[] = {{1, 70, true}, {1, 71, false}, {2, 70, true}, {2, 71, false}, {3, 71, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    Mask bar(100, 20);
    bar.Box(10, 5, 10 + c.height - 1, 5 + c.width - 1);
    const int area = c.width * c.height;
    Mask m = bar;
    uint16_t labels = 0;
    ASSERT_EQ(ZqGetConnectedArea_v2(m.data(), 100, 20, 10, 0, 5, nullptr, &labels), 0);
    EXPECT_EQ(m.Count(1), c.kept ? area : 0) << "v2";
    Mask a(100, 20), b(100, 20);
    ASSERT_EQ(ZqGetConnectedArea_v4(bar.data(), 100, 20, 10, 5, 10, a.data(), b.data()), 0);
    EXPECT_EQ(a.Count(1), c.kept ? area : 0) << "v4";
  }
}

TEST(ConnectedArea, ManyTipsFailR7) {
  // A 5 x 40 bar with 16 one-pixel teeth: 16 tips, 86 edge pixels,
  // edgePerTip 5 <= 14. v2 has no R7 and keeps it; v3 and v4 drop it.
  Mask comb(12, 50);
  comb.Box(4, 5, 8, 44);
  for (int i = 0; i < 16; ++i) comb.at(3, 6 + 2 * i) = 1;
  const ST_AreaInfo a = Stats16(comb, 5, 4);
  EXPECT_EQ(a.tipCount, 16);
  EXPECT_EQ(a.edgeCount, 86);
  uint16_t n = 0;
  Mask m = comb;
  ASSERT_EQ(ZqGetConnectedArea_v2(m.data(), 12, 50, 10, 0, 5, nullptr, &n), 0);
  EXPECT_EQ(m.px, comb.px);
  ASSERT_EQ(ZqGetConnectedArea_v3(m.data(), 12, 50, 10, 0, 5, nullptr, &n), 0);
  EXPECT_EQ(m.Count(1), 0);
  Mask outA(12, 50), outB(12, 50);
  ASSERT_EQ(ZqGetConnectedArea_v4(comb.data(), 12, 50, 10, 5, 10, outA.data(), outB.data()), 0);
  EXPECT_EQ(outA.Count(1) + outB.Count(1), 0);
  // 4845: outB uses R7 with 6 (dropped); outA drops tipCount > 10 with
  // edgePerTip <= 7 as well.
  uint16_t ratio = 99;
  ASSERT_EQ(
      ZqGetConnectedArea_v4_4845(comb.data(), 12, 50, 10, 5, 10, outA.data(), outB.data(), &ratio),
      0);
  EXPECT_EQ(outA.Count(1) + outB.Count(1), 0);
  EXPECT_EQ(ratio, 0);
}

TEST(ConnectedArea, KeepLargestKeepsTheFirstOfEqualRegions) {
  Mask m = FromText({"......", ".##.##", ".##.##", "......", "##...."});
  ASSERT_EQ(ZqGetConnectedArea(m.data(), 5, 6, 1, 1), 0);
  EXPECT_EQ(ToText(m),
            (std::vector<std::string>{"......", ".##...", ".##...", "......", "......"}));
}

TEST(ConnectedArea, RegionsBeyondTheLabelLimitStayUnjudged) {
  // 300 dots; only 254 get labels (and are dropped as too small).
  Mask m(30, 40);
  for (int i = 0; i < 300; ++i) m.at((i / 20) * 2, (i % 20) * 2) = 1;
  uint16_t n = 0;
  ASSERT_EQ(ZqGetConnectedArea_v2(m.data(), 30, 40, 10, 0, 0, nullptr, &n), 0);
  EXPECT_EQ(n, 256);
  EXPECT_EQ(m.Count(1), 300 - 254);
  EXPECT_EQ(m.at(0, 0), 0);
  EXPECT_EQ(m.at(28, 38), 1);
  // A second call judges the rest.
  ASSERT_EQ(ZqGetConnectedArea_v2(m.data(), 30, 40, 10, 0, 0, nullptr, &n), 0);
  EXPECT_EQ(n, 2 + 46);
  EXPECT_EQ(m.Count(1), 0);
}

TEST(ConnectedArea, EmptyMasksAndErrors) {
  Mask empty(8, 8);
  Mask a(8, 8, 9), b(8, 8, 9);
  uint16_t ratio = 77;
  EXPECT_EQ(ZqGetConnectedArea_v4(empty.data(), 8, 8, 1, 1, 1, a.data(), b.data()), 0);
  EXPECT_EQ(ZqGetConnectedArea_v4_4845(empty.data(), 8, 8, 1, 1, 1, a.data(), b.data(), &ratio), 0);
  EXPECT_EQ(a.Count(9) + b.Count(9), 2 * 64);
  EXPECT_EQ(ratio, 77);
  uint16_t n = 0;
  EXPECT_EQ(ZqGetConnectedArea_v2(empty.data(), 8, 8, 1, 0, 0, nullptr, &n), 0);
  EXPECT_EQ(n, 2);

  Mask m(8, 8);
  m.Box(2, 2, 4, 4);
  EXPECT_EQ(ZqGetConnectedArea(nullptr, 8, 8, 1, 0), -1);
  EXPECT_EQ(ZqGetConnectedArea(m.data(), 0, 8, 1, 0), -1);
  EXPECT_EQ(ZqGetConnectedArea_8_v2(m.data(), 8, 8, 1, 0, nullptr), -1);
  EXPECT_EQ(ZqGetConnectedArea_v3(m.data(), 8, 8, 1, 0, 0, nullptr, nullptr), -1);
  EXPECT_EQ(ZqGetConnectedArea_v4(m.data(), 8, 8, 1, 1, 1, nullptr, b.data()), -1);
  EXPECT_EQ(ZqGetConnectedArea_v4_4845(m.data(), 8, 8, 1, 1, 1, a.data(), b.data(), nullptr), -1);
  EXPECT_EQ(m.Count(1), 9);
}

TEST(ConnectedArea, AllocationFailureLeavesEverythingUnchanged) {
  Mask m(8, 8);
  m.Box(2, 2, 4, 4);
  Mask a(8, 8, 9), b(8, 8, 9);
  StarvedPool pool;
  uint16_t n = 5;
  EXPECT_EQ(ZqGetConnectedArea(m.data(), 8, 8, 100, 0), -2);
  EXPECT_EQ(ZqGetConnectedArea_v2(m.data(), 8, 8, 100, 0, 0, nullptr, &n), -2);
  EXPECT_EQ(ZqGetConnectedArea_v5(m.data(), 8, 8, 100, 1, 1, a.data(), b.data()), -2);
  EXPECT_EQ(ZqFillHole(m.data(), 8, 8), -2);
  EXPECT_EQ(m.Count(1), 9);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(a.Count(9) + b.Count(9), 128);
}

// ---- hole filling and bit packing ----------------------------------------

TEST(FillHole, FillsEnclosedHolesOnly) {
  Mask m = FromText({
      "........",
      ".#####..",
      ".#...#..",
      ".#.#.#..",
      ".#####.#",
      "......#.",
      "##.....#",
      ".#......",
  });
  ASSERT_EQ(ZqFillHole(m.data(), 8, 8), 0);
  // The ring becomes a disc; the open "L" at the corner and the pixels at
  // the border keep their shape; the outside stays 0.
  EXPECT_EQ(ToText(m), (std::vector<std::string>{
                           "........",
                           ".#####..",
                           ".#####..",
                           ".#####..",
                           ".#####.#",
                           "......#.",
                           "##.....#",
                           ".#......",
                       }));
}

TEST(MaskBits, SaveWritesLsbFirstAndClearsOneExtraByte) {
  const uint8_t img[8] = {1, 0, 0, 0, 0, 0, 0, 5};
  uint8_t bits[3] = {0xAA, 0xAA, 0xAA};
  ZqSaveImageToArr(img, 8, 1, bits);
  EXPECT_EQ(bits[0], 0x81);
  EXPECT_EQ(bits[1], 0x00);
  EXPECT_EQ(bits[2], 0xAA);

  Mask m(3, 5);
  m.Box(0, 1, 2, 2);
  m.at(2, 4) = 1;
  std::vector<uint8_t> packed(3), back(15, 9);
  ZqSaveImageToArr(m.data(), 5, 3, packed.data());
  ZqGetImageFromArr(packed.data(), 5, 3, back.data());
  EXPECT_EQ(back, m.px);
}

}  // namespace
