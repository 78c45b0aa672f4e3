// Slide capture: the window variance, the nine slide readers' keep, drop,
// stop and error rules, their read handshake, and the dispatchers.
// Usable test images alternate t and t + 30 (variance 225, the default
// threshold); unusable ones are flat. The first byte t tags each image.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fake_image_chip.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"

namespace {

using testing_support::FakeImageChip;
using testing_support::LibLogCapture;
using Bytes = std::vector<uint8_t>;
using Reader = int (*)(uint8_t *);

constexpr int kSide = 16, kN = kSide * kSide;

Bytes Usable(uint8_t tag) {
  Bytes b(kN);
  for (int i = 0; i < kN; ++i) b[i] = static_cast<uint8_t>((i + i / kSide) % 2 ? tag + 30 : tag);
  return b;
}
Bytes Flat(uint8_t tag) { return Bytes(kN, tag); }

// First byte of every listed image, in list order.
std::vector<int> ListTags() {
  std::vector<int> out;
  for (const ImageRescanNode *n = g_imageSave; n != nullptr; n = n->pNext) {
    out.push_back(n->imageRescanBuf != nullptr ? n->imageRescanBuf[0] : -1);
  }
  return out;
}

bool HasMessage(LibLogCapture &log, const std::string &message) {
  for (const std::string &m : log.Messages()) {
    if (m == message) return true;
  }
  return false;
}

TEST(StandardDeviation, CentredWindowVariance) {
  struct Case {
    std::string what;
    Bytes img;
    uint8_t cols, rows, w, h;
    uint32_t want;
  } cases[] = {
      {"flat", Flat(77), 16, 16, 16, 16, 0},
      {"alternating 0 and 30", Usable(0), 16, 16, 16, 16, 225},
      // Mean 255 / 256 truncates to 0: 255^2 / 256 = 254.
      {"one bright pixel", [] { Bytes b(kN, 0); b[5] = 255; return b; }(), 16, 16, 16, 16, 254},
      {"empty window", Usable(0), 16, 16, 0, 16, 0},
      {"window wider than the image", Usable(0), 16, 16, 17, 16, 0},
      {"window taller than the image", Usable(0), 16, 16, 16, 17, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(quorv_StandardDeviation(c.img.data(), c.cols, c.rows, c.w, c.h), c.want) << c.what;
  }
  EXPECT_EQ(quorv_StandardDeviation(nullptr, 16, 16, 16, 16), 0u);
}

TEST(StandardDeviation, WindowIsCentred) {
  // 21 x 19 image: the window starts at column 2, row 1. Outside it the
  // image is flat 0; inside, a 4 x 4 block of 64 in its corner.
  Bytes img(21 * 19, 0);
  for (int y = 1; y < 5; ++y) {
    for (int x = 2; x < 6; ++x) img[y * 21 + x] = 64;
  }
  // 16 of 256 pixels at 64: mean 4, variance (16 x 60^2 + 240 x 4^2) / 256.
  EXPECT_EQ(quorv_StandardDeviation(img.data(), 21, 19, 16, 16), (16u * 3600 + 240 * 16) / 256);
  img[0] = 255;  // outside the window
  EXPECT_EQ(quorv_StandardDeviation(img.data(), 21, 19, 16, 16), (16u * 3600 + 240 * 16) / 256);
}

class SlideBurst : public ::testing::Test {
 protected:
  explicit SlideBurst(uint8_t type = 6) : chip_(type) {
    quorv_SetimageColsRows(kSide, kSide);
    quorv_get_slide_enroll_instance();
  }
  ~SlideBurst() override { quorv_destroy_slide_enroll_instance(); }

  // Images served by GetImage, in order.
  void Serve(const std::vector<Bytes> &images) { chip_.images = images; }
  // Pre-existing list content.
  static void Preload(uint8_t tag) {
    const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
    Bytes b(static_cast<size_t>(spi->imagewidth) * spi->imageheight, tag);
    quorv_SaveImage(b.data());
  }
  std::vector<std::string> Gets(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("get:" + std::to_string(i));
    return out;
  }

  FakeImageChip chip_;
  Bytes img_ = Bytes(kN, 0);
};

TEST_F(SlideBurst, KeepAllEnrolmentsStopAtTheUnusableRun) {
  struct Case {
    Reader reader;
    std::string name;
  } cases[] = {
      {fw4848_SlideEnrollReadImage, "fw4848_SlideEnrollReadImage"},
      {fw4845_SlideEnrollReadImage, "fw4845_SlideEnrollReadImage"},
      {ze4850_SlideEnrollReadImage, "ze4850_SlideEnrollReadImage"},
      {fw4843_SlideEnrollReadImage, "fw4843_SlideEnrollReadImage"},
  };
  for (const Case &c : cases) {
    Preload(99);
    chip_.events.clear();
    Serve({Usable(1), Flat(2), Flat(3), Usable(4), Flat(5), Flat(6), Flat(7), Usable(8)});
    LibLogCapture log;
    EXPECT_EQ(c.reader(img_.data()), 0) << c.name;
    EXPECT_EQ(ListTags(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7})) << c.name;
    EXPECT_EQ(chip_.events, Gets(7)) << c.name;
    EXPECT_TRUE(HasMessage(log, c.name + "......read image finish! no_usefull_image = 3"));
    EXPECT_TRUE(HasMessage(log, c.name + "......save image index = 3"));
  }
}

TEST_F(SlideBurst, StopThresholdAndBurstLength) {
  struct Case {
    uint8_t count, thr;
    std::vector<int> tags;
  } cases[] = {
      {50, 1, {1, 2}},
      {50, 5, {1, 2, 3, 4, 5, 6}},
      {4, 5, {1, 2, 3, 4}},
      {0, 3, {}},
  };
  for (const Case &c : cases) {
    quorv_set_slide_enroll_cont(c.count);
    quorv_set_noValidImageCnts_thr(c.thr);
    Serve({Usable(1), Flat(2), Flat(3), Flat(4), Flat(5), Flat(6)});
    EXPECT_EQ(fw4848_SlideEnrollReadImage(img_.data()), 0);
    EXPECT_EQ(ListTags(), c.tags) << int(c.count) << "/" << int(c.thr);
  }
}

TEST_F(SlideBurst, ThresholdIsInclusiveAndUnsigned) {
  struct Case {
    int32_t thr;
    std::vector<int> tags;
  } cases[] = {{225, {1}}, {226, {}}, {0, {1}}, {-1, {}}};  // -1 is 0xFFFFFFFF
  for (const Case &c : cases) {
    quorv_set_StandardDeviation_thr(c.thr);
    quorv_set_verify_rescan_cont(1);
    Serve({Usable(1)});
    EXPECT_EQ(ze4850_SlideVerifyReadImage(img_.data()), 0);
    EXPECT_EQ(ListTags(), c.tags) << c.thr;
    quorv_DestroyImage();
  }
}

TEST_F(SlideBurst, ReadErrorsPerMember) {
  struct Case {
    Reader reader;
    std::string name;
    int want;
    std::vector<int> tags;   // after a preloaded 99
    size_t gets;
    std::string line;
  } cases[] = {
      // Cleared image kept (and, flat, unusable).
      {fw4848_SlideEnrollReadImage, "fw4848_SlideEnrollReadImage", 0, {1, 0, 3}, 3,
       "fw4848_SlideEnrollReadImage...get image error = -5"},
      {fw4845_SlideEnrollReadImage, "fw4845_SlideEnrollReadImage", 0, {1, 2, 3}, 3,
       "fw4845_SlideEnrollReadImage...get image error, ret = 0"},
      {ze4850_SlideEnrollReadImage, "ze4850_SlideEnrollReadImage", 0, {1, 2, 3}, 3,
       "ze4850_SlideEnrollReadImage...get image error, ret = 0"},
      {fw4843_SlideEnrollReadImage, "fw4843_SlideEnrollReadImage", 0, {1, 2, 3}, 3,
       "fw4843_SlideEnrollReadImage...get image error, ret = 0"},
      {fw4848_SlideVerifyReadImage, "fw4848_SlideVerifyReadImage", 0, {99, 1, 2, 3}, 3,
       "fw4848_SlideVerifyReadImage...get image error = -5"},
      {fw4845_SlideVerifyReadImage, "fw4845_SlideVerifyReadImage", -1, {99, 1}, 2,
       "fw4845_SlideVerifyReadImage...get image error = -5"},
      {ze4850_SlideVerifyReadImage, "ze4850_SlideVerifyReadImage", -1, {99, 1}, 2,
       "ze4850_SlideVerifyReadImage...get image error = -5"},
  };
  for (const Case &c : cases) {
    quorv_DestroyImage();
    Preload(99);
    chip_.events.clear();
    quorv_set_slide_enroll_cont(3);
    quorv_set_verify_rescan_cont(3);
    Serve({Usable(1), Usable(2), Usable(3)});
    chip_.image_results = {0, -5, 0};
    LibLogCapture log;
    EXPECT_EQ(c.reader(img_.data()), c.want) << c.name;
    EXPECT_EQ(ListTags(), c.tags) << c.name;
    size_t gets = 0;
    for (const std::string &e : chip_.events) gets += e.rfind("get:", 0) == 0;
    EXPECT_EQ(gets, c.gets) << c.name;
    EXPECT_TRUE(HasMessage(log, c.line)) << c.name;
    // A failed verification burst does not close the read.
    if (c.want == -1) {
      EXPECT_EQ(chip_.events.back(), "get:1") << c.name;
    }
  }
}

TEST_F(SlideBurst, Fw4848VerificationKeepsEveryImage) {
  Preload(99);
  quorv_set_verify_rescan_cont(4);
  Serve({Flat(1), Flat(2), Flat(3), Flat(4), Flat(5)});
  EXPECT_EQ(fw4848_SlideVerifyReadImage(img_.data()), 0);
  EXPECT_EQ(ListTags(), (std::vector<int>{99, 1, 2, 3, 4}));
  EXPECT_EQ(chip_.events,
            (std::vector<std::string>{"start", "base", "get:0", "get:1", "get:2", "get:3", "end"}));
}

TEST_F(SlideBurst, DroppingMembersStopAfterThreeUnusable) {
  struct Case {
    Reader reader;
    bool handshake;
  } cases[] = {{fw4845_SlideVerifyReadImage, true}, {ze4850_SlideVerifyReadImage, false}};
  for (const Case &c : cases) {
    quorv_DestroyImage();
    Preload(99);
    chip_.events.clear();
    quorv_set_verify_rescan_cont(10);
    quorv_set_noValidImageCnts_thr(1);  // not used by these members
    Serve({Flat(1), Usable(2), Flat(3), Flat(4), Flat(5), Usable(6)});
    EXPECT_EQ(c.reader(img_.data()), 0);
    EXPECT_EQ(ListTags(), (std::vector<int>{99, 2}));
    std::vector<std::string> want = Gets(5);
    if (c.handshake) {
      want.insert(want.begin(), {"start", "base"});
      want.push_back("end");
    }
    EXPECT_EQ(chip_.events, want);
  }
}

TEST_F(SlideBurst, HandshakeCallbacksMissing) {
  struct Case {
    Reader reader;
    std::string name;
  } cases[] = {
      {fw4847_SlideEnrollReadImage, "fw4847_SlideEnrollReadImage"},
      {fw4847_SlideVerifyReadImage, "fw4847_SlideVerifyReadImage"},
      {fw4845_SlideVerifyReadImage, "fw4845_SlideVerifyReadImage"},
      {fw4848_SlideVerifyReadImage, "fw4848_SlideVerifyReadImage"},
  };
  struct Missing {
    bool start, base, end;
    std::string error;
    size_t saved;
  } missing[] = {
      {false, true, true, ".....image read start error!", 0},
      {true, false, true, ".....image read base error!", 0},
      {true, true, false, ".....image read start error!", 1},
  };
  quorv_set_verify_rescan_cont(1);
  quorv_set_slide_enroll_cont(1);
  quorv_set_StandardDeviation_thr(0);
  chip_.base_len = 1;  // the FW4847 reader then returns the base
  chip_.base.assign(25600, 7);
  for (const Case &c : cases) {
    for (const Missing &m : missing) {
      quorv_DestroyImage();
      FakeImageChip::RegisterStart(m.start);
      FakeImageChip::RegisterBase(m.base);
      FakeImageChip::RegisterEnd(m.end);
      Serve({Usable(1)});
      LibLogCapture log;
      EXPECT_EQ(c.reader(img_.data()), -1) << c.name << m.error;
      EXPECT_TRUE(HasMessage(log, c.name + m.error)) << c.name << m.error;
      EXPECT_EQ(ListTags().size(), m.saved) << c.name << m.error;
    }
  }
}

TEST_F(SlideBurst, DispatchByChipType) {
  struct Case {
    uint8_t type;
    bool slide;  // a slide reader (list emptied), else one generic read
  } cases[] = {{6, true}, {8, true}, {9, true}, {10, true}, {11, false}, {12, false}};
  quorv_set_slide_enroll_cont(2);
  for (const Case &c : cases) {
    quorv_DestroyImage();
    quorv_set_icinfo(c.type);
    Preload(99);
    chip_.events.clear();
    Serve({Usable(1), Usable(2)});
    EXPECT_EQ(quorv_SlideEnrollReadImage(img_.data()), 0) << int(c.type);
    EXPECT_EQ(ListTags(), (c.slide ? std::vector<int>{1, 2} : std::vector<int>{99})) << int(c.type);
    EXPECT_EQ(chip_.events, c.slide ? Gets(2) : Gets(1)) << int(c.type);
    EXPECT_EQ(img_[0], c.slide ? 2 : 1);
  }
  for (const Case &c : cases) {
    quorv_DestroyImage();
    quorv_set_icinfo(c.type);
    Preload(99);
    chip_.events.clear();
    Serve({Usable(1), Usable(2)});
    quorv_set_verify_rescan_cont(1);
    EXPECT_EQ(quorv_SlideVerifyReadImage(img_.data()), 0) << int(c.type);
    EXPECT_EQ(ListTags(), (c.slide ? std::vector<int>{99, 1} : std::vector<int>{99})) << int(c.type);
  }
}

TEST_F(SlideBurst, GenericFallbackOnSpiChips) {
  quorv_set_icinfo(1);
  chip_.sram_image.assign(kN, 0x0F);
  Preload(99);
  EXPECT_EQ(quorv_SlideEnrollReadImage(img_.data()), 0);
  EXPECT_EQ(img_, Bytes(kN, 0xF0));
  EXPECT_EQ(ListTags(), (std::vector<int>{99}));
}

TEST_F(SlideBurst, NoInstanceNoBurst) {
  quorv_destroy_slide_enroll_instance();
  EXPECT_EQ(fw4848_SlideEnrollReadImage(img_.data()), -1);
  EXPECT_TRUE(chip_.events.empty());
  quorv_get_slide_enroll_instance();
}

// FW4847 bursts read their images through the FW4847 reader: 56 x 16
// samples, base 1000; a usable frame is a 0/1000 checkerboard of
// difference, an unusable one equals the base.
class Fw4847Burst : public SlideBurst {
 protected:
  Fw4847Burst() : SlideBurst(4) {
    quorv_SetimageColsRows(56, 16);
    quorv_set_imagebit(0);
    quorv_set_StandardDeviation_thr(1);
    chip_.base.assign(25600, 0);
    for (int k = 0; k < 56 * 16; ++k) {
      int16_t v = 1000;
      std::memcpy(chip_.base.data() + 2 * k, &v, 2);
    }
    chip_.base_len = 2 * 56 * 16;
    img_.assign(2 * 56 * 16, 0);
  }
  void Frames(const std::string &pattern) {
    for (char p : pattern) {
      std::vector<int> s(56 * 16, 1000);
      if (p == 'U') {
        for (int k = 0; k < 56 * 16; ++k) s[k] = (k + k / 56) % 2 ? 0 : 1000;
      }
      chip_.StreamSamples(0x99, s);
    }
  }
  // 1,792 bytes per frame: two chunks.
  size_t FramesRead() { return chip_.Reads().size() / 2; }
};

TEST_F(Fw4847Burst, AlternatingImagesReadAllAndKeepTheUsable) {
  quorv_set_slide_enroll_cont(6);
  Preload(99);
  Frames("UXUXUX");
  EXPECT_EQ(fw4847_SlideEnrollReadImage(img_.data()), 0);
  EXPECT_EQ(ListTags().size(), 3u);
  EXPECT_EQ(FramesRead(), 6u);
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base", "end"}));
}

TEST_F(Fw4847Burst, ThreeUnusableInARowEndTheBurst) {
  quorv_set_slide_enroll_cont(50);
  quorv_set_noValidImageCnts_thr(1);  // not used by this member
  Frames("UXXXU");
  EXPECT_EQ(fw4847_SlideEnrollReadImage(img_.data()), 0);
  EXPECT_EQ(ListTags().size(), 1u);
  EXPECT_EQ(FramesRead(), 4u);
}

TEST_F(Fw4847Burst, FailedReadEndsTheBurstWithoutClosingIt) {
  quorv_set_verify_rescan_cont(3);
  chip_.base_len = 100;  // not the image length
  Preload(99);
  LibLogCapture log;
  EXPECT_EQ(fw4847_SlideVerifyReadImage(img_.data()), -1);
  EXPECT_TRUE(HasMessage(log, "fw4847_SlideVerifyReadImage...get image error = -1"));
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base"}));
  EXPECT_EQ(ListTags(), (std::vector<int>{99}));
}

}  // namespace
