// The generic image reader and the callback readers: chunked SRAM reads
// with the ESD check, word addressing, the FW4859H data port and its
// conversion, inversion per chip type, dispatch to the chip readers, and
// the checks of the transfer size.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake_image_chip.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_fp_spi/quorv_callback_readers.h"
#include "src/quorv_fp_spi/quorv_image_read.h"

namespace {

using testing_support::FakeImageChip;
using testing_support::HexBytes;
using testing_support::LibLogCapture;
using Bytes = std::vector<uint8_t>;

// A pattern that differs from byte to byte and from chunk to chunk.
Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return b;
}

Bytes Inverted(Bytes b) {
  for (uint8_t &v : b) v = static_cast<uint8_t>(~v);
  return b;
}

// The first six bytes of each read frame and its length.
std::vector<std::string> Headers(const FakeImageChip &chip) {
  std::vector<std::string> out;
  for (const auto &r : chip.Reads()) {
    out.push_back(HexBytes(Bytes(r.begin(), r.begin() + 6)) + " /" + std::to_string(r.size()));
  }
  return out;
}

TEST(ImageRead, DefaultType1ImageIsNineChunksAndARemainder) {
  FakeImageChip chip(1);
  chip.sram_image = Pattern(96 * 96);
  Bytes img(96 * 96, 0);
  ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
  std::vector<std::string> want;
  for (int i = 0; i < 9; ++i) {
    const int off = i * 1014;
    char h[64];
    std::snprintf(h, sizeof h, "04 FB %02X %02X 03 F6 /1022", 0x34 + (off >> 8), off & 0xFF);
    want.push_back(h);
  }
  want.push_back("04 FB 57 A6 00 5A /98");  // 9 x 1014 = 0x23A6; 90 bytes
  EXPECT_EQ(Headers(chip), want);
  EXPECT_EQ(img, Inverted(chip.sram_image));
}

TEST(ImageRead, EsdBytesOfTheDefaultTransferSize) {
  // T = 1014 = 0x03F6: high = 0x03 ^ 0xCF = 0xCC, low = 0xF6 ^ 0xCC = 0x3A.
  struct Case {
    uint8_t h, l;
    int want;
  } cases[] = {{0xCC, 0x3A, 0}, {0xCC, 0x3B, -3}, {0xCD, 0x3A, -3}, {0x3A, 0xCC, -3}};
  for (const Case &c : cases) {
    FakeImageChip chip(1);
    chip.sram_image = Pattern(96 * 96);
    chip.esd = {c.h, c.l};
    Bytes img(96 * 96, 0x55);
    EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), c.want) << int(c.h) << " " << int(c.l);
    if (c.want == -3) {
      // Only the first chunk was read; it is in the buffer, not inverted.
      EXPECT_EQ(chip.Reads().size(), 1u);
      EXPECT_EQ(Bytes(img.begin(), img.begin() + 1014),
                Bytes(chip.sram_image.begin(), chip.sram_image.begin() + 1014));
      EXPECT_EQ(Bytes(img.begin() + 1014, img.end()), Bytes(96 * 96 - 1014, 0x55));
    }
  }
}

TEST(ImageRead, ImageShorterThanAChunkHasNoEsdCheck) {
  FakeImageChip chip(7);
  quorv_SetimageColsRows(20, 20);
  chip.sram_image = Pattern(400);
  chip.esd = {0, 0};
  Bytes img(400);
  EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
  EXPECT_EQ(Headers(chip), (std::vector<std::string>{"04 FB 34 00 01 90 /408"}));
  EXPECT_EQ(img, Inverted(chip.sram_image));
}

TEST(ImageRead, InversionAndLengthByChipAndBitDepth) {
  struct Case {
    uint8_t type;
    uint32_t imagebit;
    size_t length;
    bool inverted;
  } cases[] = {
      {1, 1, 64, true},  {1, 0, 128, true}, {7, 1, 64, true},  {7, 0, 128, false},
      {7, 2, 96, false}, {2, 1, 64, true},  {3, 0, 128, true}, {2, 2, 128, true},
  };
  for (const Case &c : cases) {
    FakeImageChip chip(c.type);
    quorv_SetimageColsRows(8, 8);
    quorv_set_imagebit(c.imagebit);
    chip.sram_image = Pattern(c.length);
    Bytes img(c.length, 0);
    ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
    Bytes want = chip.sram_image;
    if (c.inverted) {
      for (size_t i = 0; i < 64; ++i) want[i] = static_cast<uint8_t>(~want[i]);
    }
    EXPECT_EQ(img, want) << int(c.type) << "/" << c.imagebit;
  }
}

TEST(ImageRead, WordAddressedChipsAndTheInitStep) {
  for (uint8_t type : {2, 3}) {
    FakeImageChip chip(type);
    quorv_SetimageColsRows(40, 40);
    chip.sram_image = Pattern(1600);
    Bytes img(1600);
    ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
    // Word offset of chunk 1: 507 = 0x01FB.
    EXPECT_EQ(Headers(chip), (std::vector<std::string>{"04 FB 9A 00 03 F6 /1020",
                                                       "04 FB 9B FB 02 4A /592"}));
    EXPECT_EQ(img, Inverted(chip.sram_image));
    EXPECT_EQ(chip.events, type == 3 ? std::vector<std::string>{"init"} : std::vector<std::string>{});
  }
}

TEST(ImageRead, TransferBufferIsClearedOncePerImage) {
  // Every chunk after the first sends back the data of the one before.
  FakeImageChip chip(1);
  quorv_SetimageColsRows(10, 3);
  quorv_set_TransferBytesMax(20);
  chip.sram_image = Pattern(30);
  Bytes img(30);
  ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
  auto reads = chip.Reads();
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(Bytes(reads[0].begin() + 6, reads[0].end()), Bytes(22, 0));
  EXPECT_EQ(Bytes(reads[1].begin() + 8, reads[1].end()),
            Bytes(chip.sram_image.begin(), chip.sram_image.begin() + 10));
}

TEST(ImageRead, Fw4859hSamplesAreDividedSaturatedAndInverted) {
  struct Case {
    int32_t times;
    int word;     // big-endian sample as streamed
    uint8_t want;
  } cases[] = {
      {12, 0, 255},
      {12, 480, 245},          // 120 / 12 = 10
      {12, 483, 245},          // the two low bits are dropped
      {12, 12240, 0},          // 3060 / 12 = 255
      {12, 12287, 0},          // 3071 / 12 = 255
      {12, 12288, 0},          // 3072 / 12 = 256: saturates to 255
      {12, 0xFFFF, 0},
      {1, 400, 155},           // 100
      {0, 400, 155},           // a divisor of 0 counts as 1
      {-2, 400, 49},           // -50 kept in 8 bits: 206, inverted
  };
  for (const Case &c : cases) {
    FakeImageChip chip(5);
    quorv_SetimageColsRows(2, 2);
    quorv_set_imagebit(0);
    quorv_set_fw4859h_scan_time(c.times);
    chip.StreamSamples(0x9A, {c.word, 0, c.word, 0});
    Bytes img(8, 0xAA);
    ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
    EXPECT_EQ(img[0], c.want) << c.times << " " << c.word;
    EXPECT_EQ(img[1], 255);
    EXPECT_EQ(img[2], c.want);
    EXPECT_EQ(chip.events, (std::vector<std::string>{"start", "end"}));
  }
  quorv_set_fw4859h_scan_time(12);
}

TEST(ImageRead, Fw4859hChunksRepeatTheDataPortCommand) {
  FakeImageChip chip(5);
  quorv_SetimageColsRows(10, 10);
  quorv_set_imagebit(0);
  quorv_set_TransferBytesMax(64);
  Bytes img(200);
  ASSERT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
  // 200 bytes: three chunks of 64 (31 words - 1 = 0x1F) and one of 8.
  EXPECT_EQ(Headers(chip), (std::vector<std::string>{"06 F9 9A 05 00 1F /70", "06 F9 9A 05 00 1F /70",
                                                     "06 F9 9A 05 00 1F /70", "06 F9 9A 05 00 03 /14"}));
  EXPECT_EQ(chip.bad_port_lengths, 0);
}

TEST(ImageRead, DispatchToTheChipReaders) {
  struct Case {
    uint8_t type;
    std::vector<std::string> events;
    int want;
  } cases[] = {
      {6, {"get:4"}, 9},  {11, {"get:4"}, 9}, {8, {"get:4"}, 9},  {9, {"get:4"}, 9},
      {10, {"get:4"}, 9}, {12, {"get:4"}, 9}, {0, {}, 0},          {13, {}, 0},
      {15, {}, 0},
  };
  for (const Case &c : cases) {
    FakeImageChip chip(c.type);
    chip.image_results = {0, 0, 0, 0, 9};
    chip.images = {Bytes(96 * 96, 0x42)};
    Bytes img(96 * 96, 0x11);
    EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 4), c.want) << int(c.type);
    EXPECT_EQ(chip.events, c.events) << int(c.type);
    EXPECT_EQ(img[0], c.events.empty() ? 0x11 : 0x42);
    EXPECT_TRUE(chip.frames.empty());
  }
}

TEST(ImageRead, Fw4847GoesThroughItsReadHandshake) {
  FakeImageChip chip(4);
  FakeImageChip::RegisterStart(false);
  Bytes img(96 * 96 * 2);
  EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), -1);
  EXPECT_TRUE(chip.events.empty());
}

TEST(ImageRead, SpiReadMissingFailsEveryChipType) {
  FakeImageChip chip(6);
  chip.images = {Bytes(96 * 96, 0x42)};
  InitFuncSpiRead(nullptr);
  Bytes img(96 * 96, 0);
  EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), -2);
  EXPECT_TRUE(chip.events.empty());
  // The chip's own reader needs no SPI.
  EXPECT_EQ(quorv_fp_sensor_read_fw4848_image(img.data(), 0), 0);
  EXPECT_EQ(img[0], 0x42);
}

TEST(ImageRead, BitDepthWithoutALengthReadsNothing) {
  FakeImageChip chip(1);
  quorv_set_imagebit(3);
  Bytes img(16, 0x77);
  EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), 0);
  EXPECT_TRUE(chip.frames.empty());
  EXPECT_EQ(img, Bytes(16, 0x77));
}

TEST(ImageRead, TransferSizeOutsideTheBufferIsRefused) {
  struct Case {
    int32_t t;
    int want;
  } cases[] = {{0, -1}, {-4, -1}, {QUORV_IMAGE_XFER_MAX + 1, -1}, {QUORV_IMAGE_XFER_MAX, 0}};
  for (const Case &c : cases) {
    FakeImageChip chip(7);
    quorv_SetimageColsRows(100, 100);
    quorv_set_imagebit(0);  // 20,000 bytes: the largest chunk fills the buffer
    quorv_set_TransferBytesMax(c.t);
    chip.sram_image = Pattern(20000);
    Bytes img(20000);
    EXPECT_EQ(quorv_fp_sensor_read_image(img.data(), 0), c.want) << c.t;
    EXPECT_EQ(chip.frames.empty(), c.want != 0);
    if (c.want == 0) {
      EXPECT_EQ(img, chip.sram_image);
    }
  }
}

TEST(CallbackReaders, ForwardTheHostImageOrFail) {
  using Reader = int (*)(uint8_t *, uint32_t);
  struct Case {
    Reader reader;
    std::string name;
  } cases[] = {
      {quorv_fp_sensor_read_fw4848_image, "quorv_fp_sensor_read_fw4848_image"},
      {quorv_fp_sensor_read_fw4845_image, "quorv_fp_sensor_read_fw4845_image"},
      {quorv_fp_sensor_read_ze4850_image, "quorv_fp_sensor_read_ze4850_image"},
      {quorv_fp_sensor_read_fw4843_image, "quorv_fp_sensor_read_fw4843_image"},
      {fw4848_NoneSlideEnrollReadImage, "quorv_fp_sensor_read_fw4848_image"},
      {fw4845_NoneSlideEnrollReadImage, "quorv_fp_sensor_read_fw4845_image"},
      {ze4850_NoneSlideEnrollReadImage, "quorv_fp_sensor_read_ze4850_image"},
      {fw4843_NoneSlideEnrollReadImage, "quorv_fp_sensor_read_fw4843_image"},
  };
  for (const Case &c : cases) {
    FakeImageChip chip(6);
    chip.image_results = {0, 0, -7};
    Bytes img(96 * 96);
    EXPECT_EQ(c.reader(img.data(), 2), -7) << c.name;
    EXPECT_EQ(chip.events, (std::vector<std::string>{"get:2"}));
    FakeImageChip::RegisterGetImage(false);
    LibLogCapture log;
    EXPECT_EQ(c.reader(img.data(), 2), -1) << c.name;
    auto lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(testing_support::IsLibErrorLine(lines.back(), c.name,
                                                "src/quorv_fp_spi/quorv_callback_readers.cpp",
                                                c.name + " Leave..."))
        << lines.back();
  }
}

}  // namespace
