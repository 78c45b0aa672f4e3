// Stand-alone slide readers and the FW4847 crop. Frames are streamed from
// the data ports as big-endian samples; the host's base (host order) and
// parameter block come through GetImageBase.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fake_image_chip.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_slide_x.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"

namespace {

using testing_support::FakeImageChip;
using testing_support::HexBytes;
using testing_support::LibLogCapture;
using Bytes = std::vector<uint8_t>;

bool HasMessage(LibLogCapture &log, const std::string &message) {
  for (const std::string &m : log.Messages()) {
    if (m == message) return true;
  }
  return false;
}

std::vector<Bytes> ListImages() {
  std::vector<Bytes> out;
  for (const ImageRescanNode *n = g_imageSave; n != nullptr; n = n->pNext) {
    out.emplace_back(n->imageRescanBuf, n->imageRescanBuf + n->imageLen);
  }
  return out;
}

TEST(BitConventer, CropsTheCentre) {
  struct Case {
    uint8_t cols, rows, cw, ch;
    int start_w, start_h;  // -1: no crop
  } cases[] = {
      {6, 6, 4, 4, 1, 1}, {7, 6, 4, 2, 1, 2}, {6, 6, 6, 4, -1, -1},  // same width: nothing
      {6, 6, 7, 4, -1, -1}, {6, 6, 4, 7, -1, -1},                    // larger: nothing
  };
  for (const Case &c : cases) {
    FakeImageChip chip(4);
    quorv_set_imagewidth(c.cols);
    quorv_set_imageheight(c.rows);
    quorv_set_fw4847_imagewidth(c.cw);
    quorv_set_fw4847_imageheight(c.ch);
    Bytes img(c.cols * c.rows);
    for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i + 1);
    Bytes want = img;
    if (c.start_w >= 0) {
      for (int y = 0; y < c.ch; ++y) {
        for (int x = 0; x < c.cw; ++x) {
          want[y * c.cw + x] = img[(c.start_h + y) * c.cols + c.start_w + x];
        }
      }
    }
    quorv_BitConventer(img.data());
    EXPECT_EQ(img, want) << int(c.cols) << "x" << int(c.rows) << " -> " << int(c.cw) << "x"
                         << int(c.ch);
  }
  quorv_BitConventer(nullptr);
}

// Reader fixture: a 16-bit geometry, a base and its parameter block.
class SlideX : public ::testing::Test {
 protected:
  SlideX(uint8_t type, uint8_t cols, uint8_t rows) : chip_(type), cols_(cols), rows_(rows) {
    quorv_set_imagewidth(cols);
    quorv_set_imageheight(rows);
    quorv_set_fw4847_imagewidth(cols);
    quorv_set_fw4847_imageheight(rows);
    quorv_set_imagebit(0);
    quorv_get_slide_enroll_instance();
  }
  ~SlideX() override { quorv_destroy_slide_enroll_instance(); }

  int n() const { return cols_ * rows_; }
  int length() const { return 2 * n(); }
  void SetBase(const std::vector<int> &samples, const std::vector<uint8_t> &params) {
    chip_.base.assign(25600, 0);
    for (size_t i = 0; i < samples.size(); ++i) {
      int16_t v = static_cast<int16_t>(samples[i]);
      std::memcpy(chip_.base.data() + 2 * i, &v, 2);
    }
    for (size_t i = 0; i < params.size(); ++i) chip_.base[length() + 3 + i] = params[i];
    chip_.base_len = static_cast<uint16_t>(length());
  }

  FakeImageChip chip_;
  int cols_, rows_;
};

// FW4848: 56 x 56. Positions are given in the reordered layout (groups of
// four reversed), which is also the layout of the output image.
class Fw4848X : public SlideX {
 protected:
  Fw4848X() : SlideX(6, 56, 56) {}
  static int Rev(int k) { return 4 * (k / 4) + 3 - k % 4; }
  // Streams a frame given in the reordered layout.
  void Frame(const std::vector<int> &reordered) {
    std::vector<int> raw(reordered.size());
    for (size_t k = 0; k < raw.size(); ++k) raw[Rev(static_cast<int>(k))] = reordered[k];
    chip_.StreamSamples(0x9A, raw);
  }
  // A base of 1000 stored in the chip's order (flat: order does not matter).
  void FlatBase(uint8_t img_cnt, uint8_t bad_pixel_en = 0) {
    SetBase(std::vector<int>(n(), 1000), {img_cnt, 0, 0, 0, bad_pixel_en});
  }
  // Reordered frame of 1000 with `bright` samples at 0 (difference 1000) on
  // columns 3, 7, ..., 51 of rows 10 onwards.
  std::vector<int> BrightFrame(int bright) {
    std::vector<int> f(n(), 1000);
    for (int k = 0, placed = 0; k < n() && placed < bright; ++k) {
      const int r = k / 56, c = k % 56;
      if (r >= 10 && c % 4 == 3 && c <= 51) {
        f[k] = 0;
        ++placed;
      }
    }
    return f;
  }
  // Expected output of BrightFrame: 128 on the bright samples, else 255,
  // with the side columns copied from two columns in.
  Bytes BrightImage(int bright) {
    std::vector<int> f = BrightFrame(bright);
    Bytes img(n());
    for (int k = 0; k < n(); ++k) img[k] = f[k] == 0 ? 128 : 255;
    img[0] = img[2];
    for (int b = 56; b < n(); b += 56) {
      img[b - 1] = img[b - 3];
      img[b] = img[b + 2];
    }
    img[n() - 1] = img[n() - 3];
    return img;
  }
};

TEST_F(Fw4848X, BrightFramesAreScaledAroundMidGrey) {
  // 260 samples with a difference of 1000: divisor 40 gives 250, the mean
  // 250 an offset of 123: 127, inverted 128; the rest 0, inverted 255.
  FlatBase(1);
  Frame(BrightFrame(260));
  EXPECT_EQ(fw4848_SlideEnrollReadImage_X(), 0);
  auto images = ListImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], BrightImage(260));
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base", "end"}));
  EXPECT_EQ(chip_.bad_port_lengths, 0);
}

TEST_F(Fw4848X, FewBrightSamplesGiveABlankImage) {
  struct Case {
    int bright;
    int32_t thr;
    size_t saved;
    size_t frames;
  } cases[] = {
      {199, 225, 0, 3},  // blank, variance 0: three unusable end the burst
      {199, 0, 4, 4},    // a threshold of 0 keeps even blank images
      {200, 225, 4, 4},
  };
  for (const Case &c : cases) {
    chip_.ClearLog();
    quorv_set_StandardDeviation_thr(c.thr);
    FlatBase(4);
    for (int i = 0; i < 4; ++i) Frame(BrightFrame(c.bright));
    EXPECT_EQ(fw4848_SlideEnrollReadImage_X(), 0);
    auto images = ListImages();
    EXPECT_EQ(images.size(), c.saved) << c.bright;
    EXPECT_EQ(chip_.Reads().size(), 7 * c.frames) << c.bright;  // 6,272 bytes: 7 chunks
    if (c.bright == 199 && !images.empty()) {
      EXPECT_EQ(images[0], Bytes(n(), 255));
    }
    chip_.port.clear();
  }
}

TEST_F(Fw4848X, FrameCount) {
  struct Case {
    uint8_t img_cnt, enroll_cont;
    size_t frames;
  } cases[] = {{0, 50, 1}, {2, 50, 2}, {5, 3, 3}, {5, 50, 5}};
  quorv_set_StandardDeviation_thr(0);
  for (const Case &c : cases) {
    chip_.ClearLog();
    quorv_set_slide_enroll_cont(c.enroll_cont);
    FlatBase(c.img_cnt);
    EXPECT_EQ(fw4848_SlideEnrollReadImage_X(), 0);
    EXPECT_EQ(chip_.Reads().size(), 7 * c.frames) << int(c.img_cnt);
    EXPECT_EQ(ListImages().size(), c.frames);
  }
}

TEST_F(Fw4848X, BadPixelRepair) {
  // W (row 40, col 20) reads 995 against a base of 1000 and has neighbours
  // at 700. Divisor 40 and offset 121 (mean of 260 x 250 and 2 x 75):
  // repaired ((1000 + 1000 - 700 - 700) / 2) x 10 / 40 - 121 = -46, whose
  // low byte 0xD2 inverts to 45.
  struct Case {
    uint8_t en;
    uint8_t want;
  } cases[] = {{10, 45}, {0, 255}, {5, 255}};
  const int w = 40 * 56 + 20;
  for (const Case &c : cases) {
    quorv_DestroyImage();
    FlatBase(1, c.en);
    std::vector<int> f = BrightFrame(260);
    f[w] = 995;
    f[w - 1] = 700;
    f[w + 1] = 700;
    Frame(f);
    EXPECT_EQ(fw4848_SlideEnrollReadImage_X(), 0);
    auto images = ListImages();
    ASSERT_EQ(images.size(), 1u);
    Bytes want = BrightImage(260);
    for (uint8_t &v : want) v = v == 128 ? 126 : v;  // 250 - 121, inverted
    want[w] = c.want;
    EXPECT_EQ(images[0], want) << int(c.en);
  }
}

TEST_F(Fw4848X, VerificationAppendsAndCopiesOneImage) {
  Bytes pre(n(), 9);
  quorv_SaveImage(pre.data());
  FlatBase(3);
  Frame(BrightFrame(260));
  Bytes out(n(), 0);
  EXPECT_EQ(fw4848_SlideVerifyReadImage_X(out.data()), 0);
  EXPECT_EQ(out, BrightImage(260));
  auto images = ListImages();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[1], out);
  EXPECT_EQ(chip_.Reads().size(), 7u);
}

TEST_F(Fw4848X, MissingCallbacks) {
  struct Case {
    bool verify, start, base, end;
    std::string error;
  } cases[] = {
      {false, false, true, true, "fw4848_SlideEnrollReadImage_X.....image read start error!"},
      {false, true, false, true, "fw4848_SlideEnrollReadImage_X.....image read base error!"},
      {false, true, true, false, "fw4848_SlideEnrollReadImage_X.....image read start error!"},
      {true, true, true, false, "fw4848_SlideVerifyReadImage_X.....image read end error!"},
  };
  quorv_set_StandardDeviation_thr(0);
  for (const Case &c : cases) {
    quorv_DestroyImage();
    FlatBase(1);
    FakeImageChip::RegisterStart(c.start);
    FakeImageChip::RegisterBase(c.base);
    FakeImageChip::RegisterEnd(c.end);
    LibLogCapture log;
    Bytes out(n());
    EXPECT_EQ(c.verify ? fw4848_SlideVerifyReadImage_X(out.data()) : fw4848_SlideEnrollReadImage_X(),
              -1);
    EXPECT_TRUE(HasMessage(log, c.error)) << c.error;
    // Images read before a missing end stay in the list.
    EXPECT_EQ(ListImages().size(), c.end ? 0u : 1u) << c.error;
  }
}

TEST_F(Fw4848X, SizesBeyondTheBuffersAreRefused) {
  struct Case {
    uint8_t cols, rows;
    uint16_t base_len;
    int32_t t;
  } cases[] = {
      {56, 56, 25601, 1014},   // base length past baseBuf
      {56, 56, 65535, 1014},
      {114, 113, 0, 1014},     // 25,764 bytes: no room for the parameter block
      {56, 56, 6272, 0},
      {56, 56, 6272, QUORV_SLIDE_X_XFER_BYTES - 5},
  };
  for (const Case &c : cases) {
    chip_.ClearLog();
    quorv_set_imagewidth(c.cols);
    quorv_set_imageheight(c.rows);
    quorv_set_TransferBytesMax(c.t);
    chip_.base.assign(25600, 1);
    chip_.base_len = c.base_len;
    EXPECT_EQ(fw4848_SlideEnrollReadImage_X(), -1) << int(c.cols) << " " << c.base_len;
    EXPECT_TRUE(chip_.Reads().empty());
  }
}

// FW4847: 20 x 20 read, cropped to 16 x 16 from column 2, row 2.
class Fw4847X : public SlideX {
 protected:
  Fw4847X() : SlideX(4, 20, 20) {
    quorv_set_fw4847_imagewidth(16);
    quorv_set_fw4847_imageheight(16);
    SetBase(std::vector<int>(n(), 1000), {1});
  }
  // Difference 100 where row + column is odd, else 0.
  void CheckerFrame() {
    std::vector<int> f(n());
    for (int k = 0; k < n(); ++k) f[k] = 1000 - ((k / 20 + k % 20) % 2 ? 100 : 0);
    chip_.StreamSamples(0x99, f);
  }
  // Mean of columns 1..18: 50, offset -77: 77 and 177, inverted 178 and 78.
  static Bytes CheckerImage(int cols, int rows) {
    Bytes img(cols * rows);
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < cols; ++x) img[y * cols + x] = (x + y) % 2 ? 78 : 178;
    }
    return img;
  }
};

TEST_F(Fw4847X, CropThenInvert) {
  CheckerFrame();
  LibLogCapture log;
  EXPECT_EQ(fw4847_SlideEnrollReadImage_X(), 0);
  auto images = ListImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(Bytes(images[0].begin(), images[0].begin() + 256), CheckerImage(16, 16));
  EXPECT_EQ(chip_.Reads()[0][2], 0x99);
  EXPECT_TRUE(HasMessage(log, "fw4847_SlideEnrollReadImage_X......fw4847 save 0 image"));
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base", "end"}));
}

TEST_F(Fw4847X, CropOfTheImageSizeKeepsTheWholeImage) {
  quorv_set_fw4847_imagewidth(20);
  quorv_set_fw4847_imageheight(20);
  CheckerFrame();
  Bytes out(n(), 0);
  EXPECT_EQ(fw4847_SlideVerifyReadImage_X(out.data()), 0);
  EXPECT_EQ(out, CheckerImage(20, 20));
  auto images = ListImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], out);
}

TEST_F(Fw4847X, FlatFramesEndTheBurst) {
  quorv_set_slide_enroll_cont(10);
  SetBase(std::vector<int>(n(), 1000), {10});
  for (int i = 0; i < 5; ++i) chip_.StreamSamples(0x99, std::vector<int>(n(), 1000));
  EXPECT_EQ(fw4847_SlideEnrollReadImage_X(), 0);
  EXPECT_TRUE(ListImages().empty());
  EXPECT_EQ(chip_.Reads().size(), 3u);
}

// FW4845: 64 x 16.
class Fw4845X : public SlideX {
 protected:
  Fw4845X() : SlideX(8, 64, 16) {}
  // Params: imgCnt, BigSmallExchange, BlackImgEn, forceoffset, Bad_Pixel_En,
  // floor threshold, cap, parts.
  void Base(std::vector<uint8_t> params, uint16_t base_len = 0) {
    SetBase(std::vector<int>(n(), 1000), params);
    if (base_len != 0) chip_.base_len = base_len;
  }
};

TEST_F(Fw4845X, ForceOffsetAndDifferenceRules) {
  // A difference falling from 200 to 73 along the image: it only ever
  // lowers the first minimum slot (no floor) and keeps the fifth maximum
  // slot below 250 (divisor 10). forceoffset 5 then gives d - 5. Samples
  // equal to or above the base give 0.
  std::vector<int> d(n());
  for (int k = 0; k < n(); ++k) d[k] = 200 - k / 8;
  std::vector<int> raw(n());
  for (int k = 0; k < n(); ++k) raw[k] = 1000 - d[k];
  raw[300] = 1000;
  raw[301] = 1100;
  d[300] = d[301] = 0;
  Base({1, 0, 0, 5});
  chip_.StreamSamples(0x9A, raw);
  Bytes buf(length(), 0);
  LibLogCapture log;
  EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), 0);
  Bytes want(n());
  for (int k = 0; k < n(); ++k) want[k] = static_cast<uint8_t>(255 - std::max(0, d[k] - 5));
  want[0] = want[1];
  for (int b = 64; b < n(); b += 64) {
    want[b - 1] = want[b - 2];
    want[b] = want[b + 1];
  }
  want.back() = want[want.size() - 2];
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n()), want);
  EXPECT_TRUE(HasMessage(log, "fw4845_SlideVerifyReadImage_X......diffOffset1 = 0x5"));
  auto images = ListImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0], want);
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base"}));  // no end
}

TEST_F(Fw4845X, FloorFromTheFifthMinimumSlotAndCap) {
  struct Case {
    std::string what;
    std::vector<int> d;  // difference per sample
    uint8_t cap;
    std::vector<std::string> lines;
  } cases[] = {
      // 10, 20, 30, 40, 50 fill the five slots; the floor 50 leaves 10.
      {"rising minima", [] {
         std::vector<int> d(64 * 16, 60);
         d[0] = 0;
         for (int k = 1; k <= 5; ++k) d[k] = 10 * k;
         return d;
       }(), 0,
       {"usMinDiffArray : 10, 20, 30, 40, 50", "usMinDiff:50  usMaxDiff:60", "usMinDiff1:50",
        "usMaxDiffArray : 0, 0, 0, 0, 10", "usMaxDiff1:0"}},
      // Falling values stay in the first minimum slot: no floor; the fifth
      // maximum slot 1996 is capped at 1,000.
      {"falling values, cap byte 10", [] {
         std::vector<int> d(64 * 16);
         for (int k = 0; k < 64 * 16; ++k) d[k] = 2000 - k;
         return d;
       }(), 10,
       {"usMinDiff1:10000", "usMaxDiffArray : 1996, 1997, 1998, 1999, 2000", "usMaxDiff1:1000"}},
  };
  for (const Case &c : cases) {
    Base({1, 0, 0, 0, 0, 0, c.cap});
    std::vector<int> raw(n());
    for (int k = 0; k < n(); ++k) raw[k] = 1000 - c.d[k];
    chip_.StreamSamples(0x9A, raw);
    Bytes buf(length(), 0);
    LibLogCapture log;
    EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), 0) << c.what;
    for (const std::string &l : c.lines) {
      EXPECT_TRUE(HasMessage(log, "fw4845_SlideVerifyReadImage_X......" + l)) << c.what << ": " << l;
    }
  }
}

TEST_F(Fw4845X, BadPixelRepairOnRowsOf64) {
  // W reads 995 against 1000, its neighbours 700; the rest equals the base.
  // Divisor 10, forceoffset 5: ((1000 + 1000 - 700 - 700) / 2) x 10 / 10 - 5
  // = 295, low byte 0x27, inverted 216. Column 16 of row 5 is sample 336,
  // a multiple of 56: only rows of 64 reach it.
  struct Case {
    int row, col;
    uint8_t en, want;
  } cases[] = {{5, 16, 10, 216}, {5, 16, 0, 255}, {5, 62, 10, 255}, {5, 2, 10, 216}};
  for (const Case &c : cases) {
    const int w = c.row * 64 + c.col;
    Base({1, 0, 0, 5, c.en});
    std::vector<int> raw(n(), 1000);
    raw[w] = 995;
    raw[w - 1] = raw[w + 1] = 700;
    chip_.StreamSamples(0x9A, raw);
    Bytes buf(length(), 0);
    EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), 0);
    EXPECT_EQ(buf[w], c.want) << c.row << "," << c.col << " en " << int(c.en);
    EXPECT_EQ(buf[w + 1], c.col == 62 ? buf[w] : 0);  // 295 clamped, or the side patch
  }
}

TEST_F(Fw4845X, BlackImageBelow200BrightSamples) {
  // Differences of 40: nothing above 50, so the count is 1.
  struct Case {
    uint8_t black;
    uint8_t want;
  } cases[] = {{1, 255}, {0, 255 - 167}};  // offset -127: 40 + 127
  for (const Case &c : cases) {
    Base({1, 0, c.black, 0});
    chip_.StreamSamples(0x9A, std::vector<int>(n(), 960));
    Bytes buf(length(), 0);
    EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), 0);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n()), Bytes(n(), c.want)) << int(c.black);
  }
}

TEST_F(Fw4845X, BaseLengthModes) {
  std::vector<int> raw(n());
  for (int k = 0; k < n(); ++k) raw[k] = k;
  Bytes host(length());
  for (int k = 0; k < n(); ++k) {
    int16_t v = static_cast<int16_t>(k);
    std::memcpy(host.data() + 2 * k, &v, 2);
  }
  struct Case {
    uint16_t base_len;
    int want;
  } cases[] = {{0, 0}, {1, 0}, {100, -1}};
  for (const Case &c : cases) {
    chip_.base_len = 0;
    Base({1}, c.base_len);
    if (c.base_len == 0) chip_.base_len = 0;
    chip_.StreamSamples(0x9A, raw);
    Bytes buf(length(), 0xEE);
    LibLogCapture log;
    EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), c.want) << c.base_len;
    if (c.base_len == 0) {
      EXPECT_EQ(buf, host);
      EXPECT_EQ(Bytes(quorv_get_ZqSpiObjHandle()->imageBuf,
                      quorv_get_ZqSpiObjHandle()->imageBuf + length()),
                host);
    } else if (c.base_len == 1) {
      EXPECT_EQ(buf, Bytes(chip_.base.begin(), chip_.base.begin() + length()));
    } else {
      EXPECT_EQ(buf, host);  // the raw image is copied before the check
      EXPECT_TRUE(HasMessage(log, "fw4845_SlideVerifyReadImage_X.....image lenth error!"));
    }
    EXPECT_TRUE(ListImages().empty());
  }
}

TEST_F(Fw4845X, ImagePartsAreMergedRowPairs) {
  // Two parts: 2 x 2,048 bytes; image row i = raw rows 2i and 2i + 1.
  std::vector<int> raw(2 * n());
  for (size_t k = 0; k < raw.size(); ++k) raw[k] = static_cast<int>(k % 64 + 100 * (k / 64));
  Base({1, 0, 0, 0, 0, 0, 0, 2});
  chip_.base_len = 0;
  chip_.StreamSamples(0x9A, raw);
  Bytes buf(length(), 0);
  EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), 0);
  EXPECT_EQ(chip_.Reads().size(), 5u);  // 4,096 bytes in chunks of 1,014
  for (int i = 0; i < 16; ++i) {
    for (int c = 0; c < 64; c += 21) {
      int16_t v;
      std::memcpy(&v, buf.data() + 2 * (i * 64 + c), 2);
      EXPECT_EQ(v, raw[2 * i * 64 + c] + raw[(2 * i + 1) * 64 + c]) << i << "," << c;
    }
  }
}

TEST_F(Fw4845X, PartsBeyondTheFrameBufferAreRefused) {
  Base({1, 0, 0, 0, 0, 0, 0, 26});  // 26 x 2,048 > 51,200
  Bytes buf(length(), 0);
  EXPECT_EQ(fw4845_SlideVerifyReadImage_X(buf.data()), -1);
  EXPECT_TRUE(chip_.Reads().empty());
}

TEST_F(Fw4845X, EnrolmentWithoutImagesOnlyEndsTheRead) {
  struct Case {
    bool end;
    int want;
  } cases[] = {{true, 0}, {false, -1}};
  for (const Case &c : cases) {
    chip_.events.clear();
    Bytes pre(n(), 3);
    quorv_SaveImage(pre.data());
    Base({0});
    FakeImageChip::RegisterEnd(c.end);
    Bytes buf(length(), 0);
    EXPECT_EQ(fw4845_SlideEnrollReadImage_X(buf.data()), c.want);
    EXPECT_TRUE(chip_.Reads().empty());
    EXPECT_TRUE(ListImages().empty());  // emptied first
    EXPECT_EQ(chip_.events, (c.end ? std::vector<std::string>{"start", "base", "end"}
                                   : std::vector<std::string>{"start", "base"}));
  }
}

TEST_F(Fw4845X, EnrolmentKeepsOnlyAUsableImage) {
  struct Case {
    int32_t thr;
    size_t saved;
  } cases[] = {{0, 1}, {1, 0}};  // a flat difference has variance 0
  for (const Case &c : cases) {
    quorv_set_StandardDeviation_thr(c.thr);
    Base({1, 0, 0, 5});
    chip_.StreamSamples(0x9A, std::vector<int>(n(), 900));
    Bytes buf(length(), 0);
    EXPECT_EQ(fw4845_SlideEnrollReadImage_X(buf.data()), 0);
    EXPECT_EQ(ListImages().size(), c.saved) << c.thr;
    EXPECT_EQ(buf[100], 255 - 95);
  }
}

}  // namespace
