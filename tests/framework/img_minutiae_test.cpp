#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "framework/fpi_img_dev.h"
#include "framework/fpi_print_data.h"
#include "framework/fpi_xyt.h"
#include "support/minutiae_standin.h"
#include "support/stderr_capture.h"

namespace {

namespace standin = minutiae_standin;
using Bytes = std::vector<unsigned char>;
using testing_support::StderrCapture;

int32_t Le32(const unsigned char *p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

class ImgMinutiae : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    driver_.driver.id = 35;
    driver_.driver.type = DRIVER_IMAGING;
    dev_.driver = &driver_.driver;
    dev_.devtype = 3;
    imgdev_.dev = &dev_;
  }

  // A 4 x 3 image: dark left half, light right half.
  static fp_img *Image(uint16_t flags = 0) {
    fp_img *img = fpi_img_new(12);
    img->width = 4;
    img->height = 3;
    img->flags = flags;
    for (int i = 0; i < 12; i++) img->data[i] = (i % 4) < 2 ? 20 : 230;
    return img;
  }

  // A minutiae print of one record per entry, each from the given rows.
  static fp_print_data *Print(const std::vector<std::vector<standin::Minutia>> &records,
                              int type = FP_PRINT_DATA_MINUTIAE) {
    fp_print_data *print = fpi_print_data_new_fields(35, 3, type);
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
      xyt_record xyt{};
      xyt.count = static_cast<int32_t>(it->size());
      for (size_t i = 0; i < it->size(); i++) {
        xyt.x[i] = (*it)[i].x;
        xyt.y[i] = (*it)[i].y;
        xyt.theta[i] = (*it)[i].theta;
      }
      fp_print_data_item *item = fpi_print_data_item_new(XYT_RECORD_SIZE);
      fpi_xyt_to_bytes(&xyt, item->data);
      print->prints = g_slist_prepend(print->prints, item);
    }
    return print;
  }

  // Adds an item of raw bytes at the end of the print.
  static void AddRawItem(fp_print_data *print, const Bytes &bytes) {
    fp_print_data_item *item = fpi_print_data_item_new(bytes.size());
    std::copy(bytes.begin(), bytes.end(), item->data);
    print->prints = g_slist_append(print->prints, item);
  }

  fp_img_driver driver_{};
  fp_dev dev_{};
  fp_img_dev imgdev_{};
};

TEST_F(ImgMinutiae, DetectionPassesTheImageAndPartialFlagToTheDetector) {
  struct Case {
    uint16_t flags;
    int remove_perimeter;
  } cases[] = {{0, 0}, {FP_IMG_PARTIAL, 1}, {0, 0}};
  standin::ScriptDetection({{1, 1, 90}, {2, 2, 45}});
  for (const Case &c : cases) {
    fp_img *img = Image(c.flags);
    EXPECT_EQ(fpi_img_detect_minutiae(img), 2);
    ASSERT_NE(img->minutiae, nullptr);
    ASSERT_NE(img->binarized, nullptr);
    EXPECT_EQ(Bytes(img->binarized, img->binarized + 12),
              (Bytes{0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255}));
    const standin::DetectCall &call = standin::DetectCalls().back();
    EXPECT_EQ(call.remove_perimeter_minutiae, c.remove_perimeter);
    EXPECT_EQ(call.width, 4);
    EXPECT_EQ(call.height, 3);
    EXPECT_EQ(call.depth, 8);
    EXPECT_EQ(call.ppmm, 19.68503937007874);
    EXPECT_EQ(call.params, &lfs_params_V2);
    fp_img_free(img);
  }
  EXPECT_EQ(standin::LiveLists(), 0);
}

TEST_F(ImgMinutiae, DetectionRefusesNonStandardisedAndIllSizedImages) {
  for (uint16_t flags : {FP_IMG_V_FLIPPED, FP_IMG_H_FLIPPED, FP_IMG_COLORS_INVERTED}) {
    fp_img *img = Image(flags);
    StderrCapture capture;
    EXPECT_EQ(fpi_img_detect_minutiae(img), -22);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                   "fp:error [fpi_img_detect_minutiae] cant detect minutiae "
                                   "for non-standardized image"});
    EXPECT_EQ(img->minutiae, nullptr);
    fp_img_free(img);
  }
  fp_img *img = Image();
  img->height = 4;  // 16 pixels claimed, 12 held
  StderrCapture capture;
  EXPECT_EQ(fpi_img_detect_minutiae(img), -22);
  EXPECT_TRUE(standin::DetectCalls().empty());
  fp_img_free(img);
}

TEST_F(ImgMinutiae, DetectorFailureIsPassedOnAndLeavesNoMinutiae) {
  standin::ScriptDetection({{1, 1, 0}}, -3);
  fp_img *img = Image();
  {
    StderrCapture capture;
    EXPECT_EQ(fpi_img_detect_minutiae(img), -3);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                   "fp:error [fpi_img_detect_minutiae] get minutiae failed, code -3"});
  }
  EXPECT_EQ(img->minutiae, nullptr);
  EXPECT_EQ(img->binarized, nullptr);
  fp_print_data *print = nullptr;
  StderrCapture capture;
  EXPECT_EQ(fpi_img_to_print_data(&imgdev_, img, &print), -3);
  EXPECT_EQ(print, nullptr);
  int count = -1;
  EXPECT_EQ(fp_img_get_minutiae(img, &count), nullptr);
  EXPECT_EQ(fp_img_binarize(img), nullptr);
  fp_img_free(img);
}

TEST_F(ImgMinutiae, SecondDetectionKeepsTheFirstResult) {
  standin::ScriptDetection({{1, 1, 0}, {2, 1, 0}, {3, 1, 0}});
  fp_img *img = Image();
  ASSERT_EQ(fpi_img_detect_minutiae(img), 3);
  lfs_minutiae *first = img->minutiae;
  EXPECT_EQ(fpi_img_detect_minutiae(img), 3);
  EXPECT_EQ(img->minutiae, first);
  EXPECT_EQ(standin::DetectCalls().size(), 1u);
  EXPECT_EQ(standin::LiveLists(), 1);
  fp_img_free(img);
  EXPECT_EQ(standin::LiveLists(), 0);
}

TEST_F(ImgMinutiae, PrintKeepsTheTwoHundredSmallestRowsWithSignedAngles) {
  // 250 minutiae in descending x, pairs sharing an x told apart by y; the
  // thetas cycle through values around the 180-degree boundary.
  const int thetas[] = {0, 179, 180, 181, 200, 359};
  std::vector<standin::Minutia> minutiae;
  for (int i = 249; i >= 0; i--)
    minutiae.push_back({i / 2, 1000 - i, thetas[i % 6], 0.5});
  standin::ScriptDetection(minutiae);
  fp_img *img = Image();
  fp_print_data *print = nullptr;
  ASSERT_EQ(fpi_img_to_print_data(&imgdev_, img, &print), 0);
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->driver_id, 35);
  EXPECT_EQ(print->devtype, 3u);
  EXPECT_EQ(print->type, FP_PRINT_DATA_MINUTIAE);
  ASSERT_EQ(g_slist_length(print->prints), 1u);

  auto *item = static_cast<fp_print_data_item *>(print->prints->data);
  ASSERT_EQ(item->length, 2404u);
  const unsigned char *rec = item->data;
  ASSERT_EQ(Le32(rec), 200);
  const int signed_thetas[] = {0, 179, 180, -179, -160, -1};
  for (int i = 0; i < 200; i++) {
    // Row i is minutia i: x = i / 2, and within a pair the larger i has the smaller y.
    const int j = (i % 2 == 0) ? i + 1 : i - 1;
    EXPECT_EQ(Le32(rec + 4 + 4 * i), j / 2) << i;
    EXPECT_EQ(Le32(rec + 804 + 4 * i), 1000 - j) << i;
    EXPECT_EQ(Le32(rec + 1604 + 4 * i), signed_thetas[j % 6]) << i;
  }
  fp_print_data_free(print);
  fp_img_free(img);
}

TEST_F(ImgMinutiae, PrintConsidersOnlyTheFirstThousandMinutiae) {
  std::vector<standin::Minutia> minutiae;
  for (int i = 0; i < 1000; i++) minutiae.push_back({100 + i, 5, 10});
  minutiae.push_back({1, 1, 10});  // smallest x, but the 1001st
  standin::ScriptDetection(minutiae);
  fp_img *img = Image();
  fp_print_data *print = nullptr;
  ASSERT_EQ(fpi_img_to_print_data(&imgdev_, img, &print), 0);
  auto *item = static_cast<fp_print_data_item *>(print->prints->data);
  xyt_record xyt;
  ASSERT_TRUE(fpi_xyt_from_bytes(item->data, item->length, &xyt));
  EXPECT_EQ(xyt.count, 200);
  EXPECT_EQ(xyt.x[0], 100);
  EXPECT_EQ(xyt.x[199], 299);
  fp_print_data_free(print);
  fp_img_free(img);
}

TEST_F(ImgMinutiae, PrintOfNoMinutiaeHoldsAnEmptyRecord) {
  standin::ScriptDetection({});
  fp_img *img = Image();
  fp_print_data *print = nullptr;
  ASSERT_EQ(fpi_img_to_print_data(&imgdev_, img, &print), 0);
  auto *item = static_cast<fp_print_data_item *>(print->prints->data);
  EXPECT_EQ(Bytes(item->data, item->data + item->length), Bytes(2404, 0));
  fp_print_data_free(print);
  fp_img_free(img);
}

TEST_F(ImgMinutiae, BinarizeAndGetMinutiae) {
  standin::ScriptDetection({{3, 2, 90, 0.25}});
  fp_img *img = Image(FP_IMG_PARTIAL);
  int count = 0;
  lfs_minutia **list = fp_img_get_minutiae(img, &count);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(list[0]->reliability, 0.25);

  fp_img *bin = fp_img_binarize(img);
  ASSERT_NE(bin, nullptr);
  EXPECT_EQ(standin::DetectCalls().size(), 1u);  // reused the first detection
  EXPECT_EQ(bin->width, 4);
  EXPECT_EQ(bin->height, 3);
  EXPECT_EQ(bin->flags, FP_IMG_BINARIZED_FORM);
  EXPECT_EQ(Bytes(bin->data, bin->data + bin->length),
            (Bytes{0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255}));
  {
    StderrCapture capture;
    EXPECT_EQ(fp_img_binarize(bin), nullptr);
    EXPECT_EQ(fp_img_get_minutiae(bin, &count), nullptr);
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{
                                   "fp:error [fp_img_binarize] image already binarized",
                                   "fp:error [fp_img_get_minutiae] image is binarized"}));
  }
  fp_img_free(bin);
  fp_img_free(img);

  // Binarizing first detects too.
  fp_img *fresh = Image();
  fp_img *fresh_bin = fp_img_binarize(fresh);
  ASSERT_NE(fresh_bin, nullptr);
  EXPECT_NE(fresh->minutiae, nullptr);
  fp_img_free(fresh_bin);
  fp_img_free(fresh);
}

TEST_F(ImgMinutiae, CompareReturnsTheBestScoreOverTheEnrolledItems) {
  fp_print_data *enrolled = Print({{{1, 1, 1}}, {{2, 2, 2}}, {{3, 3, 3}}});
  fp_print_data *probe = Print({{{7, 8, 9}, {10, 11, 12}}});
  standin::ScriptScores({5, 30, 12});
  StderrCapture capture;
  EXPECT_EQ(fpi_img_compare_print_data(enrolled, probe), 30);
  ASSERT_EQ(standin::PreparedProbes().size(), 1u);
  EXPECT_EQ(standin::PreparedProbes()[0].count, 2);
  EXPECT_EQ(standin::PreparedProbes()[0].theta[1], 12);
  ASSERT_EQ(standin::ScoreCalls().size(), 3u);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(standin::ScoreCalls()[i].probe_pairs, standin::PairsFor(2));
    EXPECT_EQ(standin::ScoreCalls()[i].probe.x[0], 7);
    EXPECT_EQ(standin::ScoreCalls()[i].gallery.x[0], i + 1);  // list order
  }
  EXPECT_NE(capture.Text().find("fp:debug [fpi_img_compare_print_data] score 30"),
            std::string::npos);
  fp_print_data_free(enrolled);
  fp_print_data_free(probe);
}

TEST_F(ImgMinutiae, CompareRefusesBadPrintsAndSkipsMalformedItems) {
  const std::string more = "new_print contains more than one sample, is it enrolled print?";
  fp_print_data *good = Print({{{1, 1, 1}}});
  fp_print_data *raw = Print({{{1, 1, 1}}}, FP_PRINT_DATA_RAW);
  fp_print_data *two = Print({{{1, 1, 1}}, {{2, 2, 2}}});
  fp_print_data *none = Print({});
  fp_print_data *short_probe = fpi_print_data_new_fields(35, 3, 1);
  AddRawItem(short_probe, Bytes(2403, 0));
  fp_print_data *bad_count = fpi_print_data_new_fields(35, 3, 1);
  Bytes count201(2404, 0);
  count201[0] = 201;
  AddRawItem(bad_count, count201);
  struct Case {
    const char *name;
    fp_print_data *enrolled, *probe;
    std::string log;
  } cases[] = {
      {"raw enrolled", raw, good, "invalid print format"},
      {"raw probe", good, raw, "invalid print format"},
      {"two-item probe", good, two, more},
      {"empty probe", good, none, more},
      {"short probe", good, short_probe, "holds no valid minutiae record"},
      {"probe count 201", good, bad_count, "holds no valid minutiae record"},
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    EXPECT_EQ(fpi_img_compare_print_data(c.enrolled, c.probe), -22) << c.name;
    EXPECT_NE(capture.Text().find(c.log), std::string::npos) << c.name;
  }
  EXPECT_TRUE(standin::ScoreCalls().empty());

  // Malformed enrolled items are skipped; an enrolled print without items scores 0.
  fp_print_data *mixed = Print({{{4, 4, 4}}});
  AddRawItem(mixed, Bytes(100, 1));
  AddRawItem(mixed, count201);
  standin::ScriptScores({17, 99, 99});
  {
    StderrCapture capture;
    EXPECT_EQ(fpi_img_compare_print_data(mixed, good), 17);
  }
  EXPECT_EQ(standin::ScoreCalls().size(), 1u);
  EXPECT_EQ(fpi_img_compare_print_data(none, good), 0);
  for (fp_print_data *p : {good, raw, two, none, short_probe, bad_count, mixed})
    fp_print_data_free(p);
}

TEST_F(ImgMinutiae, GalleryMatchesTheFirstPrintReachingTheThreshold) {
  fp_print_data *probe = Print({{{9, 9, 9}}});
  fp_print_data *a = Print({{{1, 1, 1}}, {{2, 2, 2}}});
  fp_print_data *b = Print({{{3, 3, 3}}});
  fp_print_data *c = Print({{{4, 4, 4}}});
  fp_print_data *gallery[] = {a, b, c, nullptr};
  struct Case {
    std::vector<int> scores;
    int result;
    size_t offset;
    size_t calls;
  } cases[] = {
      {{10, 39, 40, 99}, 1, 1, 3},  // a's items 10 and 39, b reaches 40
      {{40, 0, 0, 0}, 1, 0, 1},
      {{0, 0, 0, 41}, 1, 2, 4},
      {{39, 39, 39, 39}, 0, 77, 4},
  };
  for (const Case &cs : cases) {
    standin::Reset();
    standin::ScriptScores(cs.scores);
    size_t offset = 77;
    StderrCapture capture;
    EXPECT_EQ(fpi_img_compare_print_data_to_gallery(probe, gallery, 40, &offset), cs.result);
    EXPECT_EQ(offset, cs.offset);
    EXPECT_EQ(standin::ScoreCalls().size(), cs.calls);
    EXPECT_EQ(standin::PreparedProbes().size(), 1u);
  }
  fp_print_data_free(probe);
  fp_print_data_free(a);
  fp_print_data_free(b);
  fp_print_data_free(c);
}

TEST_F(ImgMinutiae, GallerySkipsForeignAndMalformedPrints) {
  fp_print_data *probe = Print({{{9, 9, 9}}});
  fp_print_data *raw = Print({{{1, 1, 1}}}, FP_PRINT_DATA_RAW);
  fp_print_data *shorty = fpi_print_data_new_fields(35, 3, 1);
  AddRawItem(shorty, Bytes(30, 0xFF));
  fp_print_data *good = Print({{{3, 3, 3}}});
  fp_print_data *gallery[] = {raw, shorty, good, nullptr};
  standin::ScriptScores({50});
  size_t offset = 0;
  {
    StderrCapture capture;
    EXPECT_EQ(fpi_img_compare_print_data_to_gallery(probe, gallery, 40, &offset), 1);
  }
  EXPECT_EQ(offset, 2u);
  ASSERT_EQ(standin::ScoreCalls().size(), 1u);
  EXPECT_EQ(standin::ScoreCalls()[0].gallery.x[0], 3);

  fp_print_data *two = Print({{{1, 1, 1}}, {{2, 2, 2}}});
  StderrCapture capture;
  EXPECT_EQ(fpi_img_compare_print_data_to_gallery(two, gallery, 40, &offset), -22);
  for (fp_print_data *p : {probe, raw, shorty, good, two}) fp_print_data_free(p);
}

}  // namespace
