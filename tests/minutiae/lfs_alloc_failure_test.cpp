// Every allocating routine of the detector, with each of its allocations
// refused in turn: the routine returns its code with its text, hands out
// nothing and leaks nothing (checked under the sanitizers).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_image.h"
#include "minutiae/lfs_line.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_loop.h"
#include "minutiae/lfs_seq.h"
#include "minutiae/lfs_sort.h"
#include "minutiae/lfs_tables.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;

struct Failure {
  int code;
  std::string text;
};

struct Case {
  const char *name;
  // Runs the routine; frees whatever it handed out on success.
  std::function<int()> run;
  // What refusing allocation k gives, for k = 0, 1, ...; the routine
  // succeeds once every allocation it makes is allowed.
  std::vector<Failure> failures;
};

const BinaryImage &Island() {
  static const BinaryImage img = Draw({".....", ".###.", ".###.", ".###.", "....."});
  return img;
}

lfs_minutiae *ListOf(int n) {
  lfs_minutiae *list = nullptr;
  EXPECT_EQ(alloc_minutiae(&list, 4), 0);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(create_minutia(&list->list[i], 3 - i, 2 - i, 0, 0, 0, 0.5, 1, 0, 0), 0);
    list->count++;
  }
  return list;
}

int FreeContourOn(int r, int *cx, int *cy, int *cex, int *cey) {
  release_contour(cx, cy, cex, cey);
  return r;
}

const Failure kContourFailures[] = {
    {-180, "ERROR : allocate_contour : malloc : contour_x\n"},
    {-181, "ERROR : allocate_contour : malloc : contour_y\n"},
    {-182, "ERROR : allocate_contour : malloc : contour_ex\n"},
    {-183, "ERROR : allocate_contour : malloc : contour_ey\n"},
};

// The contour failures `times` over, for routines that build several.
std::vector<Failure> ContourFailures(int times) {
  std::vector<Failure> out;
  for (int i = 0; i < times; ++i)
    for (const Failure &f : kContourFailures) out.push_back(f);
  return out;
}

std::vector<Case> Cases() {
  static const double kCoefficients[] = {1.0, 2.0};
  return {
      {"alloc_minutiae",
       [] {
         lfs_minutiae *list = nullptr;
         const int r = alloc_minutiae(&list, 1000);
         release_minutiae(list);
         return r;
       },
       {{-430, "ERROR : alloc_minutiae : malloc : minutiae\n"},
        {-431, "ERROR : alloc_minutiae : malloc : minutiae->list\n"}}},
      {"create_minutia",
       [] {
         lfs_minutia *m = nullptr;
         const int r = create_minutia(&m, 1, 2, 1, 1, 0, 0.5, 1, 0, 0);
         release_minutia(m);
         return r;
       },
       {{-230, "ERROR : create_minutia : malloc : minutia\n"}}},
      {"minmaxs",
       [] {
         const int32_t items[] = {1, 3, 1, 3};
         int32_t *v = nullptr, *k = nullptr, *i = nullptr;
         int n = 0;
         const int r = minmaxs(&v, &k, &i, &n, items, 4);
         std::free(v);
         std::free(k);
         std::free(i);
         return r;
       },
       {{-290, "ERROR : minmaxs : malloc : minmax_val\n"},
        {-291, "ERROR : minmaxs : malloc : minmax_type\n"},
        {-292, "ERROR : minmaxs : malloc : minmax_i\n"}}},
      {"sort_indices_double_inc",
       [] {
         double keys[] = {2.0, 1.0};
         int32_t *order = nullptr;
         const int r = sort_indices_double_inc(&order, keys, 2);
         std::free(order);
         return r;
       },
       {{-400, "ERROR : sort_indices_double_inc : malloc : order\n"}}},
      {"init_dir2rad",
       [] {
         lfs_dir2rad *t = nullptr;
         const int r = init_dir2rad(&t, 16);
         free_dir2rad(t);
         return r;
       },
       {{-10, "ERROR : init_dir2rad : malloc : dir2rad\n"},
        {-11, "ERROR : init_dir2rad : malloc : dir2rad->cos\n"},
        {-12, "ERROR : init_dir2rad : malloc : dir2rad->sin\n"}}},
      {"init_dftwaves",
       [] {
         lfs_dftwaves *t = nullptr;
         const int r = init_dftwaves(&t, kCoefficients, 2, 24);
         free_dftwaves(t);
         return r;
       },
       {{-20, "ERROR : init_dftwaves : malloc : dftwaves\n"},
        {-21, "ERROR : init_dftwaves : malloc : dftwaves->waves\n"},
        {-22, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]\n"},
        {-23, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]->cos\n"},
        {-24, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]->sin\n"},
        {-22, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]\n"},
        {-23, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]->cos\n"},
        {-24, "ERROR : init_dftwaves : malloc : dftwaves->waves[i]->sin\n"}}},
      {"init_rotgrids",
       [] {
         lfs_rotgrids *t = nullptr;
         const int r = init_rotgrids(&t, 50, 50, -1, M_PI / 2, 2, 24, 24, LFS_RELATIVE_TO_CORNER);
         free_rotgrids(t);
         return r;
       },
       {{-30, "ERROR : init_rotgrids : malloc : rotgrids\n"},
        {-33, "ERROR : init_rotgrids : malloc : rotgrids->grids\n"},
        {-34, "ERROR : init_rotgrids : malloc : rotgrids->grids[dir]\n"},
        {-34, "ERROR : init_rotgrids : malloc : rotgrids->grids[dir]\n"}}},
      {"alloc_dir_powers",
       [] {
         double **p = nullptr;
         const int r = alloc_dir_powers(&p, 2, 16);
         free_dir_powers(p, r == 0 ? 2 : 0);
         return r;
       },
       {{-40, "ERROR : alloc_dir_powers : malloc : powers\n"},
        {-41, "ERROR : alloc_dir_powers : malloc : powers[w]\n"},
        {-41, "ERROR : alloc_dir_powers : malloc : powers[w]\n"}}},
      {"alloc_power_stats",
       [] {
         int32_t *wis = nullptr, *dirs = nullptr;
         double *maxs = nullptr, *norms = nullptr;
         const int r = alloc_power_stats(&wis, &maxs, &dirs, &norms, 3);
         std::free(wis);
         std::free(maxs);
         std::free(dirs);
         std::free(norms);
         return r;
       },
       {{-50, "ERROR : alloc_power_stats : malloc : wis\n"},
        {-51, "ERROR : alloc_power_stats : malloc : powmaxs\n"},
        {-52, "ERROR : alloc_power_stats : malloc : powmax_dirs\n"},
        {-53, "ERROR : alloc_power_stats : malloc : pownorms\n"}}},
      {"pad_uchar_image",
       [] {
         const unsigned char img[4] = {1, 2, 3, 4};
         unsigned char *out = nullptr;
         int w, h;
         const int r = pad_uchar_image(&out, &w, &h, img, 2, 2, 3, 128);
         std::free(out);
         return r;
       },
       {{-160, "ERROR : pad_uchar_image : malloc : pdata\n"}}},
      {"follow_contour",
       [] {
         int *cx = nullptr, *cy = nullptr, *cex = nullptr, *cey = nullptr, n;
         const int r = follow_contour(&cx, &cy, &cex, &cey, &n, 20, 1, 1, 1, 1, 1, 0,
                                      LFS_SCAN_CLOCKWISE, Island().data(), 5, 5);
         return FreeContourOn(r == LFS_LOOP_FOUND ? 0 : r, cx, cy, cex, cey);
       },
       ContourFailures(1)},
      {"contour_around (two halves, then the join)",
       [] {
         int *cx = nullptr, *cy = nullptr, *cex = nullptr, *cey = nullptr, n;
         const int r = contour_around(&cx, &cy, &cex, &cey, &n, 2, 2, 1, 2, 0, Island().data(),
                                      5, 5);
         return FreeContourOn(r, cx, cy, cex, cey);
       },
       ContourFailures(3)},
      {"contour_around_or_loop (a loop in the first half)",
       [] {
         int *cx = nullptr, *cy = nullptr, *cex = nullptr, *cey = nullptr, n;
         const int r = contour_around_or_loop(&cx, &cy, &cex, &cey, &n, 10, 1, 1, 1, 0,
                                              Island().data(), 5, 5);
         return FreeContourOn(r == LFS_LOOP_FOUND ? 0 : r, cx, cy, cex, cey);
       },
       ContourFailures(2)},
      {"pair_on_island_or_lake",
       [] {
         lfs_minutia a{}, b{};
         a.x = 1, a.y = 1, a.edge_x = 1, a.edge_y = 0;
         b.x = 3, b.y = 3, b.edge_x = 3, b.edge_y = 4;
         int *cx = nullptr, *cy = nullptr, *cex = nullptr, *cey = nullptr, n;
         const int r =
             pair_on_island_or_lake(&cx, &cy, &cex, &cey, &n, &a, &b, 30, Island().data(), 5, 5);
         return FreeContourOn(r == LFS_LOOP_FOUND ? 0 : r, cx, cy, cex, cey);
       },
       ContourFailures(3)},
      {"fill_loop (a shape of two rows)",
       [] {
         BinaryImage img = Draw({"....", ".##.", ".##.", "...."});
         const int xs[] = {1, 2, 2, 1};
         const int ys[] = {1, 1, 2, 2};
         return fill_loop(xs, ys, 4, img.data(), 4, 4);
       },
       {{-250, "ERROR : alloc_shape : malloc : shape\n"},
        {-251, "ERROR : alloc_shape : malloc : shape->rows\n"},
        {-252, "ERROR : alloc_shape : malloc : shape->rows[i]\n"},
        {-253, "ERROR : alloc_shape : malloc : shape->rows[i]->xs\n"},
        {-252, "ERROR : alloc_shape : malloc : shape->rows[i]\n"},
        {-253, "ERROR : alloc_shape : malloc : shape->rows[i]->xs\n"}}},
      {"loop_turns_clockwise",
       [] {
         const int xs[] = {0, 1, 1, 0};
         const int ys[] = {0, 0, 1, 1};
         const int r = loop_turns_clockwise(xs, ys, 4, 0);
         return r == 1 ? 0 : r;
       },
       {{-170, "ERROR : chain_code_loop : malloc : chain\n"}}},
      {"line_points",
       [] {
         int *xs = nullptr, *ys = nullptr, n;
         const int r = line_points(&xs, &ys, &n, 0, 0, 5, 2);
         std::free(xs);
         std::free(ys);
         return r;
       },
       {{-410, "ERROR : line_points : malloc : x_list\n"},
        {-411, "ERROR : line_points : malloc : y_list\n"}}},
      {"path_is_free passes line_points errors on",
       [] {
         const unsigned char img[4] = {0, 0, 0, 0};
         const int r = path_is_free(0, 0, 3, 0, img, 4, 1, &lfs_params_V2);
         return r == 1 ? 0 : r;
       },
       {{-410, "ERROR : line_points : malloc : x_list\n"},
        {-411, "ERROR : line_points : malloc : y_list\n"}}},
  };
}

void ExpectFailuresInTurn(const Case &c) {
  SCOPED_TRACE(c.name);
  for (size_t k = 0; k <= c.failures.size(); ++k) {
    testing::internal::CaptureStderr();
    LfsFailAllocationsAfterForTest(static_cast<int>(k));
    const int r = c.run();
    LfsFailAllocationsAfterForTest(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (k < c.failures.size()) {
      EXPECT_EQ(r, c.failures[k].code) << "allocation " << k;
      EXPECT_EQ(err, c.failures[k].text) << "allocation " << k;
    } else {
      EXPECT_EQ(r, 0) << "all " << k << " allocations allowed";
      EXPECT_EQ(err, "");
    }
  }
}

TEST(LfsAllocFailureTest, EachAllocationFailsWithItsCodeAndText) {
  for (const Case &c : Cases()) ExpectFailuresInTurn(c);
}

TEST(LfsAllocFailureTest, SortsFailWithTheListUnchanged) {
  const struct {
    const char *name;
    int (*sort)(lfs_minutiae *, int);
    int first_x_sorted;  // x of the first minutia once sorted
    std::vector<Failure> failures;
  } cases[] = {
      {"sort_minutiae_y_x", sort_minutiae_y_x, 1,
       {{-310, "ERROR : sort_minutiae_y_x : malloc : ranks\n"},
        {-390, "ERROR : sort_indices_int_inc : malloc : order\n"},
        {-311, "ERROR : sort_minutiae_y_x : malloc : newlist\n"}}},
      {"sort_minutiae_x_y", sort_minutiae_x_y, 1,
       {{-440, "ERROR : sort_minutiae_x_y : malloc : ranks\n"},
        {-390, "ERROR : sort_indices_int_inc : malloc : order\n"},
        {-441, "ERROR : sort_minutiae_x_y : malloc : newlist\n"}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t k = 0; k <= c.failures.size(); ++k) {
      lfs_minutiae *list = ListOf(3);  // (3, 2), (2, 1), (1, 0)
      testing::internal::CaptureStderr();
      LfsFailAllocationsAfterForTest(static_cast<int>(k));
      const int r = c.sort(list, 10);
      LfsFailAllocationsAfterForTest(-1);
      const std::string err = testing::internal::GetCapturedStderr();
      const bool fails = k < c.failures.size();
      EXPECT_EQ(r, fails ? c.failures[k].code : 0) << "allocation " << k;
      EXPECT_EQ(err, fails ? c.failures[k].text : "") << "allocation " << k;
      EXPECT_EQ(list->list[0]->x, fails ? 3 : c.first_x_sorted) << "allocation " << k;
      EXPECT_EQ(list->count, 3);
      release_minutiae(list);
    }
  }
}

TEST(LfsAllocFailureTest, GrowingAListKeepsItWhenMemoryRunsOut) {
  lfs_minutiae *list = ListOf(2);
  lfs_minutia **slots = list->list;
  testing::internal::CaptureStderr();
  LfsFailAllocationsAfterForTest(0);
  EXPECT_EQ(realloc_minutiae(list, 1000), -432);
  LfsFailAllocationsAfterForTest(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR : realloc_minutiae : realloc : minutiae->list\n");
  EXPECT_EQ(list->list, slots);
  EXPECT_EQ(list->capacity, 4);
  EXPECT_EQ(list->count, 2);
  EXPECT_EQ(list->list[1]->x, 2);
  release_minutiae(list);
}

}  // namespace
