// Analysis of a failed live identification from the enrol-image list: what
// each variant concludes, what it leaves in imageInfoBuf and in the list,
// and that a list longer than imageInfoBuf is described only as far as the
// buffer reaches.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace sensorlib_test {
namespace {

// The press with its lower `blank` rows replaced by the empty sensor.
Frame PartlyCovered(Frame f, int blank) {
  std::fill(f.end() - blank * kCols, f.end(), 215);
  return f;
}

class ResultInfoTest : public LiveTest {
 protected:
  static std::vector<uint8_t> Info() {
    std::vector<uint8_t> info(quorv_ImageInfoCapacity() * 8 + 5);
    EXPECT_EQ(quorv_GetImageInfoBuf(info.data()), 0);
    return info;
  }
  static void List(const std::vector<Frame> &frames) {
    for (const Frame &f : frames) quorv_SaveEnrollImage(f.data());
  }
  static void Reserve2(const Frame &f) {
    memcpy(g_fp_image_buf->g_fpImageBufReserve2, f.data(), f.size());
  }
};

TEST_F(ResultInfoTest, SuccessIsLeftAloneOnlyByTheFirstVariant) {
  const Frame press = FingerFrame(2);
  List({press});
  ASSERT_EQ(quorv_SetImageInfoBuf_v2(0, 7, 7, 7, 7, 7), 0);
  const std::vector<uint8_t> before = Info();

  EXPECT_EQ(quorv_GetIdentifyResultInfo(0), 0);
  EXPECT_EQ(Info(), before);
  EXPECT_EQ(EnrollImages(), std::vector<Frame>{press});

  EXPECT_NE(quorv_GetIdentifyResultInfo_v2(0), 0);
  const std::vector<uint8_t> after = Info();
  EXPECT_EQ(after[0], 1);
  EXPECT_NE(after[1], 7);  // the image's own area
  EXPECT_EQ(after[4], 0);  // no physical area in this variant
}

TEST_F(ResultInfoTest, EmptyListMeansTooFast) {
  for (auto analyse : {quorv_GetIdentifyResultInfo, quorv_GetIdentifyResultInfo_v2}) {
    EXPECT_EQ(analyse(-2), -8);
    EXPECT_EQ(Info()[0], 0);
  }
}

TEST_F(ResultInfoTest, FirstVariantVerdicts) {
  // Physical area above the identify threshold (50) in every case.
  const Frame a = FingerFrame(3), b = FingerFrame(8);
  struct Case {
    const char *name;
    std::vector<Frame> list;
    std::function<void()> configure;
    int expected;
    size_t kept;
    std::vector<uint8_t> trailer;  // n and score behind the last entry
  };
  const Case cases[] = {
      {"single image, low quality", {a}, [] { quorv_SetImageVerifyQualityScore(101); }, -3, 1, {0, 0}},
      {"single image, small area", {PartlyCovered(a, 20)},
       [] { quorv_SetImageVerifyValidAreaScale(0.9f); }, -4, 1, {0, 0}},
      {"single image, normal", {a}, [] {}, -2, 1, {0, 0}},
      {"blank images only", {EmptyFrame(), EmptyFrame()}, [] {}, -8, 0, {0, 0}},
      {"unmoved neighbours fold into one", {a, a, a}, [] { quorv_SetImageVerifyQualityScore(101); },
       -3, 1, {0, 0}},
      {"first and last do not match: moved", {a, b}, [] { Reserve2(FingerFrame(3)); }, -8, 2, {2, 2}},
      {"first and last match, low quality: the match stays behind the entries",
       {a, FingerFrame(3, 1, 8)}, [] { quorv_SetImageVerifyQualityScore(101); }, -3, 2, {2, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    quorv_SetImageVerifyQualityScore(30);
    quorv_SetImageVerifyValidAreaScale(0.3f);
    quorv_DestroyEnrollImage();
    List(c.list);
    c.configure();
    EXPECT_EQ(quorv_GetIdentifyResultInfo(-2), c.expected);
    EXPECT_EQ(EnrollImages().size(), c.kept);
    const std::vector<uint8_t> info = Info();
    const size_t n = info[0];
    EXPECT_EQ(n, std::min<size_t>(c.list.size(), quorv_ImageInfoCapacity()));
    EXPECT_EQ(std::vector<uint8_t>(info.begin() + 1 + 8 * n, info.begin() + 3 + 8 * n), c.trailer);
  }
}

TEST_F(ResultInfoTest, ListLongerThanTheBufferIsDescribedAsFarAsItReaches) {
  const uint32_t capacity = quorv_ImageInfoCapacity();
  ASSERT_GE(capacity, 1u);
  std::vector<Frame> frames;
  for (uint32_t i = 0; i < capacity + 3; ++i) frames.push_back(FingerFrame(static_cast<int>(i) + 1));
  for (auto analyse : {quorv_GetIdentifyResultInfo, quorv_GetIdentifyResultInfo_v2}) {
    quorv_DestroyEnrollImage();
    List(frames);
    const int r = analyse(-2);
    EXPECT_TRUE(r == -2 || r == -3 || r == -4 || r == -8) << r;
    const std::vector<uint8_t> info = Info();
    EXPECT_EQ(info[0], capacity);
    for (uint32_t i = 0; i < capacity; ++i) EXPECT_GT(info[1 + 8 * i], 9) << i;  // real areas
  }
}

TEST_F(ResultInfoTest, SecondVariantUsesTheDirtThresholds) {
  const Frame a = FingerFrame(4), b = FingerFrame(5), c = FingerFrame(6);
  struct Case {
    const char *name;
    std::vector<Frame> list;
    uint8_t dirt_quality;
    int expected;
    size_t kept;
  };
  const Case cases[] = {
      {"three images all below the dirt quality", {a, b, c}, 101, -3, 0},
      {"single image below the dirt quality", {a}, 101, -3, 1},
      {"single normal image", {a}, 0, -2, 1},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.name);
    quorv_DestroyEnrollImage();
    List(k.list);
    quorv_SetDirtyParameter(0, k.dirt_quality, 0);
    EXPECT_EQ(quorv_GetIdentifyResultInfo_v2(-2), k.expected);
    EXPECT_EQ(EnrollImages().size(), k.kept);
  }
}

// True when a logged line matches `pattern`, where one '*' stands for any
// run of characters (a measured value).
bool LoggedLike(const std::string &pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string::npos) return std::count(HostLog().begin(), HostLog().end(), pattern) > 0;
  const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
  return std::any_of(HostLog().begin(), HostLog().end(), [&](const std::string &line) {
    return line.size() >= head.size() + tail.size() && line.compare(0, head.size(), head) == 0 &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  });
}

// Each variant numbers the steps of the same pruning and judging sequence
// its own way; the lines name the variant, its step and the values.
TEST_F(ResultInfoTest, EachVariantLogsItsOwnSteps) {
  const Frame a = FingerFrame(3);
  using Analyse = int (*)(int32_t);
  struct Case {
    const char *name;
    Analyse analyse;
    std::vector<Frame> list;
    uint8_t quality;  // the variant's own quality threshold
    int expected;
    std::vector<std::string> lines;  // after the function's name
  };
  const std::string v1 = "quorv_GetIdentifyResultInfo", v2 = "quorv_GetIdentifyResultInfo_v2";
  const Case cases[] = {
      {"first, blank images only", quorv_GetIdentifyResultInfo, {EmptyFrame(), EmptyFrame()}, 30, -8,
       {"...1.1..image count = 2", "...2.1..image 1 is invalid", "...2.1..image 2 is invalid",
        "..4.1..get_img_num = 0",
        "...1.2..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = -8",
        ".11.11..leave, ret = -8"}},
      {"second, blank images only", quorv_GetIdentifyResultInfo_v2, {EmptyFrame(), EmptyFrame()}, 30,
       -8,
       {"...1.1..image count = 2", "...1.3..image 1 is invalid", "...1.3..image 2 is invalid",
        "..1.4..get_img_num = 0",
        "...1.5..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = -8",
        ".5.4..leave, ret = -8"}},
      {"first, unmoved neighbours, low quality", quorv_GetIdentifyResultInfo, {a, a, a}, 101, -3,
       {"..4.1..get_img_num = 3", "...4.1 image 2 is invalid", "...4.1 image 3 is invalid",
        "..5.1..get_img_num = 1", "...5.3..only one image",
        "...5.4..phyArea = *", "...5.6..quality( = *) low (Thr = 101) , ret = -3"}},
      {"second, unmoved neighbours, low quality", quorv_GetIdentifyResultInfo_v2, {a, a, a}, 101, -3,
       {"..1.4..get_img_num = 3", "...2.1 image 2 is invalid", "...2.1 image 3 is invalid",
        "..3.1..get_img_num = 1", "...3.3..only one image", "..3.4..area = *",
        "...3.5..quality( = *) low (Thr = 101) , ret = -3"}},
      {"first, single normal image", quorv_GetIdentifyResultInfo, {a}, 0, -2, {"...5.9..ret = -2"}},
      {"second, single normal image", quorv_GetIdentifyResultInfo_v2, {a}, 0, -2,
       {"...3.8..ret = -2"}},
      {"first, first and last do not match", quorv_GetIdentifyResultInfo, {a, FingerFrame(8)}, 30,
       -8,
       {"..5.1..get_img_num = 2", "...11.9..phyArea = *",
        "..11.11..speed > thr, move too fast! ret = -8"}},
      {"first, first and last match, low quality", quorv_GetIdentifyResultInfo,
       {a, FingerFrame(3, 1, 8)}, 101, -3,
       {".11.1..speed < thr, image is ok", "...11.2..phyArea = *",
        "...11.4..quality( = *) low (Thr = 101) , ret = -3"}},
      {"first, first and last match, normal", quorv_GetIdentifyResultInfo, {a, FingerFrame(3, 1, 8)},
       0, -2, {"...11.7..ret = -2"}},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.name);
    quorv_DestroyEnrollImage();
    List(k.list);
    Reserve2(a);
    quorv_SetImageVerifyQualityScore(k.quality);
    quorv_SetDirtyParameter(0, k.quality, 0);
    HostLog().clear();
    EXPECT_EQ(k.analyse(-2), k.expected);
    const std::string &func = k.analyse == quorv_GetIdentifyResultInfo ? v1 : v2;
    for (const std::string &line : k.lines) EXPECT_TRUE(LoggedLike(func + line)) << line;
  }
}

}  // namespace
}  // namespace sensorlib_test
