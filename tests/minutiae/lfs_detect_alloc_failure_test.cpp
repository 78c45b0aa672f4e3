// The detection pipeline and the removal, neighbour and quality steps with
// allocations refused: each returns its code with its text, hands out
// nothing and leaks nothing (checked under the sanitizers).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "detect_steps.h"
#include "minutiae/lfs.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_quality.h"
#include "minutiae/lfs_remove.h"
#include "minutiae/lfs_ridges.h"
#include "support/stderr_capture.h"

namespace {

using minutiae_test::GreyImage;
using testing_support::StderrCapture;

constexpr double kPpmm = 19.68503937007874;

// Vertical ridges with one ridge cut: a few minutiae to count ridges for.
GreyImage Scene() {
  GreyImage img = minutiae_test::Grating(96, 96, 0, 12);
  for (int y = 48; y < 96; ++y)
    for (int x = 37; x < 48; ++x) img.at(x, y) = 247;
  return img;
}

// get_minutiae with the allocations after the first `ok` refused; checks
// that a failure writes no out argument. Returns the result.
int DetectWithRefusals(const GreyImage &img, int ok, std::string *err_text) {
  lfs_minutiae *list = reinterpret_cast<lfs_minutiae *>(0x10);
  int *q = reinterpret_cast<int *>(0x20), *dm = q, *lc = q, *lf = q, *hc = q;
  unsigned char *b = reinterpret_cast<unsigned char *>(0x30);
  int mw = -5, mh = -5, bw = -5, bh = -5, bd = -5;
  StderrCapture err;
  LfsFailAllocationsAfterForTest(ok);
  const int r = get_minutiae(&list, &q, &dm, &lc, &lf, &hc, &mw, &mh, &b, &bw, &bh, &bd,
                             img.pixels.data(), img.width, img.height, 8, kPpmm, &lfs_params_V2);
  LfsFailAllocationsAfterForTest(-1);
  *err_text = err.Text();
  if (r == 0) {
    release_minutiae(list);
    for (int *p : {q, dm, lc, lf, hc}) std::free(p);
    std::free(b);
    return r;
  }
  EXPECT_EQ(list, reinterpret_cast<lfs_minutiae *>(0x10));
  for (int *p : {q, dm, lc, lf, hc}) EXPECT_EQ(p, reinterpret_cast<int *>(0x20));
  EXPECT_EQ(b, reinterpret_cast<unsigned char *>(0x30));
  for (int v : {mw, mh, bw, bh, bd}) EXPECT_EQ(v, -5);
  return r;
}

TEST(LfsDetectAllocFailureTest, EveryRefusalFailsTheDetectionCleanly) {
  const GreyImage img = Scene();
  std::string text;
  // The number of allocations a detection makes: the smallest allowance
  // that succeeds.
  int lo = 0, hi = 1 << 20;
  ASSERT_EQ(DetectWithRefusals(img, hi, &text), 0);
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (DetectWithRefusals(img, mid, &text) == 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  const int total = lo;
  ASSERT_GT(total, 50);
  const int step = std::max(1, total / 400);
  for (int k = 0; k < total; k += k < 64 ? 1 : step) {
    const int r = DetectWithRefusals(img, k, &text);
    EXPECT_LT(r, 0) << "allocation " << k;
    EXPECT_EQ(text.rfind("ERROR", 0), 0u) << "allocation " << k << ": " << text;
  }
}

struct Failure {
  int code;
  const char *text;
};

// Owns a list of a few minutiae on a small ridge image and its maps.
struct Fixture {
  minutiae_test::Scan scan = minutiae_test::RunScan(Scene());
  lfs_minutiae *list = nullptr;
  Fixture() {
    EXPECT_EQ(scan.rc, 0);
    EXPECT_EQ(alloc_minutiae(&list, 1000), 0);
    for (const lfs_minutia &m : scan.minutiae) {
      lfs_minutia *c;
      EXPECT_EQ(create_minutia(&c, m.x, m.y, m.edge_x, m.edge_y, m.direction, m.reliability,
                               m.type, m.appearing, m.pattern_id),
                0);
      list->list[list->count++] = c;
    }
    EXPECT_GT(list->count, 2);
    EXPECT_EQ(sort_minutiae_y_x(list, scan.bw), 0);
  }
  ~Fixture() { release_minutiae(list); }
  lfs_block_maps Maps() const {
    return {scan.maps.direction.data(), scan.maps.low_flow.data(), scan.maps.high_curve.data(),
            scan.maps.mw, scan.maps.mh};
  }
};

TEST(LfsDetectAllocFailureTest, StepsReportTheirFirstAllocation) {
  struct Case {
    const char *name;
    std::function<int(Fixture &)> run;
    Failure first;
  };
  const Case cases[] = {
      {"remove_islands_and_lakes",
       [](Fixture &f) {
         return remove_islands_and_lakes(f.list, f.scan.binary.data(), f.scan.bw, f.scan.bh,
                                         &lfs_params_V2);
       },
       {-610, "ERROR : remove_islands_and_lakes : calloc : to_remove\n"}},
      {"remove_hooks",
       [](Fixture &f) {
         return remove_hooks(f.list, f.scan.binary.data(), f.scan.bw, f.scan.bh,
                             &lfs_params_V2);
       },
       {-640, "ERROR : remove_hooks : calloc : to_remove\n"}},
      {"remove_overlaps",
       [](Fixture &f) {
         return remove_overlaps(f.list, f.scan.binary.data(), f.scan.bw, f.scan.bh,
                                &lfs_params_V2);
       },
       {-650, "ERROR : remove_overlaps : calloc : to_remove\n"}},
      {"find_neighbors",
       [](Fixture &f) {
         int *nbrs = nullptr, n = 0;
         const int r = find_neighbors(&nbrs, &n, 5, 0, f.list);
         std::free(nbrs);
         return r;
       },
       {-460, "ERROR : find_neighbors : malloc : nbr_list\n"}},
      {"gen_quality_map",
       [](Fixture &f) {
         int *q = nullptr;
         const auto &m = f.scan.maps;
         const int r = gen_quality_map(&q, m.direction.data(), m.low_contrast.data(),
                                       m.low_flow.data(), m.high_curve.data(), m.mw, m.mh);
         std::free(q);
         return r;
       },
       {-2, "ERROR : gen_quality_map : malloc : QualMap\n"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    const int before = f.list->count;
    StderrCapture err;
    LfsFailAllocationsAfterForTest(0);
    const int r = c.run(f);
    LfsFailAllocationsAfterForTest(-1);
    EXPECT_EQ(r, c.first.code);
    EXPECT_EQ(err.Text(), c.first.text);
    EXPECT_EQ(f.list->count, before);
  }
}

TEST(LfsDetectAllocFailureTest, RidgeCountingStopsAtAnyRefusalWithoutLeaks) {
  for (int k = 0; k < 400; ++k) {
    Fixture f;
    StderrCapture err;
    LfsFailAllocationsAfterForTest(k);
    const int r = count_minutia_ridges(f.list, f.scan.binary.data(), f.scan.bw, f.scan.bh,
                                       &lfs_params_V2);
    const int refused = LfsRefusedAllocationsForTest();
    LfsFailAllocationsAfterForTest(-1);
    if (refused == 0) {
      EXPECT_EQ(r, 0);
      break;
    }
    EXPECT_LT(r, 0) << "allocation " << k;
    EXPECT_FALSE(err.Text().empty());
  }
}

}  // namespace
