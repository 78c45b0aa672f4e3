// The FW4847 multi-frame reader: data-port chunks, the frame count, the
// outlier merge, the base modes, the difference processing (floor, cap,
// divisor, mean around 127, inversion, border patch) and the callbacks of
// its single-image entry point. Frames are 56 x 6 samples of 16 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fake_image_chip.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_fp_spi/quorv_fw4847_read.h"

namespace {

using testing_support::FakeImageChip;
using testing_support::HexBytes;
using testing_support::LibLogCapture;
using Bytes = std::vector<uint8_t>;

constexpr int kCols = 56, kRows = 6, kN = kCols * kRows, kLen = 2 * kN;

struct Params {
  uint8_t img_cnt = 1, div_cnt = 0, diff_offset = 0, sub_thr = 0, cap = 0;
};

class Fw4847Read : public ::testing::Test {
 protected:
  Fw4847Read() : chip_(4) {
    quorv_SetimageColsRows(kCols, kRows);
    quorv_set_imagebit(0);
  }

  // Base samples (host order) and the parameter block after them.
  void SetBase(const std::vector<int> &samples, const Params &p, uint16_t base_len = kLen) {
    chip_.base.assign(kLen + 8, 0);
    for (size_t i = 0; i < samples.size(); ++i) {
      int16_t v = static_cast<int16_t>(samples[i]);
      std::memcpy(chip_.base.data() + 2 * i, &v, 2);
    }
    chip_.base[kLen + 3] = p.img_cnt;
    chip_.base[kLen + 4] = p.div_cnt;
    chip_.base[kLen + 5] = p.diff_offset;
    chip_.base[kLen + 6] = p.sub_thr;
    chip_.base[kLen + 7] = p.cap;
    chip_.base_len = base_len;
  }
  // A base of `fill` with a few samples set; (row, col, value).
  struct Px {
    int row, col, value;
  };
  static std::vector<int> Samples(int fill, const std::vector<Px> &set) {
    std::vector<int> s(kN, fill);
    for (const Px &p : set) s[p.row * kCols + p.col] = p.value;
    return s;
  }
  void Frame(const std::vector<int> &samples) { chip_.StreamSamples(0x99, samples); }

  // Image rows: rows 0..2 equal `upper`, rows 3..5 equal `lower`.
  static Bytes TwoBands(const Bytes &upper, const Bytes &lower) {
    Bytes out;
    for (int r = 0; r < 3; ++r) out.insert(out.end(), upper.begin(), upper.end());
    for (int r = 0; r < 3; ++r) out.insert(out.end(), lower.begin(), lower.end());
    return out;
  }
  static Bytes Row(uint8_t fill, const std::vector<std::pair<int, uint8_t>> &set) {
    Bytes r(kCols, fill);
    for (auto [c, v] : set) r[c] = v;
    return r;
  }

  int Read(Bytes *out) {
    out->assign(kLen, 0xEE);
    return fw4847_NoneSlideEnrollReadImage(out->data(), 0);
  }
  // The 8-bit image at the start of out.
  static Bytes Image(const Bytes &out) { return Bytes(out.begin(), out.begin() + kN); }

  FakeImageChip chip_;
};

bool HasLine(LibLogCapture &log, const std::string &message) {
  for (const std::string &m : log.Messages()) {
    if (m == message) return true;
  }
  return false;
}

TEST_F(Fw4847Read, ChunksOfTheDataPortPerFrame) {
  quorv_set_TransferBytesMax(200);
  SetBase(Samples(0, {}), {2});
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  std::vector<std::string> headers;
  for (const auto &r : chip_.Reads()) {
    headers.push_back(HexBytes(Bytes(r.begin(), r.begin() + 6)) + " /" + std::to_string(r.size()));
  }
  // 672 bytes: three chunks of 200 (99 words + 1) and one of 72.
  const std::vector<std::string> frame = {"06 F9 99 05 00 63 /206", "06 F9 99 05 00 63 /206",
                                          "06 F9 99 05 00 63 /206", "06 F9 99 05 00 23 /78"};
  std::vector<std::string> want = frame;
  want.insert(want.end(), frame.begin(), frame.end());
  EXPECT_EQ(headers, want);
  EXPECT_EQ(chip_.bad_port_lengths, 0);
  EXPECT_EQ(chip_.events, (std::vector<std::string>{"start", "base", "end"}));
}

TEST_F(Fw4847Read, FrameCountFromTheParameterBlock) {
  struct Case {
    uint8_t img_cnt;
    size_t frames;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {5, 3}, {255, 3}};
  for (const Case &c : cases) {
    chip_.ClearLog();
    SetBase(Samples(0, {}), {c.img_cnt});
    Bytes out;
    ASSERT_EQ(Read(&out), 0);
    EXPECT_EQ(chip_.Reads().size(), c.frames) << int(c.img_cnt);
  }
}

TEST_F(Fw4847Read, OutlierMergeUsesTheLowByteOfTheDifference) {
  struct Case {
    std::string what;
    uint8_t thr;
    std::vector<std::vector<Px>> later;  // frames after the first (all 1000)
    std::vector<std::string> lines;
  } cases[] = {
      {"300 counts as 44", 50, {{{2, 3, 1300}}},
       {"***t:1  usMaxDiff:44 averagecont:0 TowImageSubThr:50"}},
      {"60 is rejected", 50, {{{2, 3, 1300}, {2, 4, 1060}}},
       {"***t:1  usMaxDiff:60 averagecont:1 TowImageSubThr:50"}},
      {"no threshold keeps the first frame as reference", 0, {{{2, 3, 1100}}, {{2, 3, 1150}}},
       {"***t:1  usMaxDiff:100 averagecont:0 TowImageSubThr:0",
        "***t:2  usMaxDiff:150 averagecont:0 TowImageSubThr:0"}},
      {"accepted samples become the reference", 200, {{{2, 3, 1100}}, {{2, 3, 1150}}},
       {"***t:1  usMaxDiff:100 averagecont:0 TowImageSubThr:200",
        "***t:2  usMaxDiff:50 averagecont:0 TowImageSubThr:200"}},
  };
  for (const Case &c : cases) {
    SetBase(Samples(2000, {}), {static_cast<uint8_t>(1 + c.later.size()), 0, 0, c.thr});
    Frame(Samples(1000, {}));
    for (const auto &f : c.later) Frame(Samples(1000, f));
    LibLogCapture log;
    Bytes out;
    ASSERT_EQ(Read(&out), 0);
    EXPECT_TRUE(HasLine(log, "***t:0  usMaxDiff:0 averagecont:0 TowImageSubThr:" +
                                 std::to_string(c.thr)))
        << c.what;
    for (const std::string &l : c.lines) EXPECT_TRUE(HasLine(log, l)) << c.what << ": " << l;
  }
}

TEST_F(Fw4847Read, CapAndDivisor) {
  // Base 100 with bright pixels; frames are zero, so the difference is the
  // base. After the floor (100): P1 and P2 differ by their values less 100.
  struct Case {
    std::string what;
    uint8_t cap;
    int p1, p2;
    uint8_t want1, want2;
  } cases[] = {
      // Cap 2000 -> divisor 80: 500 and 250, mean 375: 252 and 2, inverted.
      {"cap byte 20", 20, 4100, 2100, 3, 253},
      // No cap: divisor 160: 250 and 125, mean 187: 190 and 65.
      {"cap byte 0", 0, 4100, 2100, 65, 190},
      // Maximum 6400: q = 256 keeps the byte 0, divisor 10: 6400 and 6390,
      // mean 6395: 132 and 122.
      {"q of 256", 0, 6500, 6490, 123, 133},
  };
  for (const Case &c : cases) {
    SetBase(Samples(100, {{2, 10, c.p1}, {3, 20, c.p2}}), {1, 0, 0, 0, c.cap});
    Bytes out;
    ASSERT_EQ(Read(&out), 0) << c.what;
    EXPECT_EQ(Image(out), TwoBands(Row(255, {{10, c.want1}}), Row(255, {{20, c.want2}}))) << c.what;
  }
}

TEST_F(Fw4847Read, MinimumSkipsColumns0And55) {
  // Columns 0 and 55 at 0 do not count: the minimum stays 10,000, which
  // leaves 100 everywhere and 150 at P (mean 100, so 128 and 78).
  SetBase(Samples(10100, {{0, 0, 0}, {1, 55, 0}, {2, 0, 0}, {2, 55, 0}, {3, 30, 10150}}), {});
  LibLogCapture log;
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  EXPECT_TRUE(HasLine(log, "quorv_fp_sensor_read_fw4847_image......usMinDiff:10000  usMaxDiff:10150"));
  EXPECT_EQ(Image(out), TwoBands(Row(128, {}), Row(128, {{30, 78}})));
}

TEST_F(Fw4847Read, ThresholdFloorsTheOffset) {
  SetBase(Samples(100, {{2, 10, 400}}), {1, 0, 0, 150});
  LibLogCapture log;
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  EXPECT_TRUE(HasLine(log, "quorv_fp_sensor_read_fw4847_image......usMinDiff1:150"));
  EXPECT_TRUE(HasLine(log, "quorv_fp_sensor_read_fw4847_image......usMaxDiff = 250"));
}

TEST_F(Fw4847Read, BorderColumnsCopyTheirNeighbours) {
  // Bright pixels next to the side columns: columns 0 and 55 copy 1 and 54.
  SetBase(Samples(100, {{2, 1, 2100}, {3, 54, 2100}}), {});
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  EXPECT_EQ(Image(out), TwoBands(Row(255, {{0, 128}, {1, 128}}), Row(255, {{54, 128}, {55, 128}})));
}

TEST_F(Fw4847Read, NoBrightSampleMeansMidGrey) {
  // A zero difference leaves the mean without samples: it counts as 0, so
  // every sample becomes 127 (128 inverted).
  SetBase(Samples(700, {}), {});
  Frame(Samples(700, {}));
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + kN), Bytes(kN, 128));
  EXPECT_EQ(Bytes(quorv_get_ZqSpiObjHandle()->imageBuf, quorv_get_ZqSpiObjHandle()->imageBuf + kLen),
            out);
}

TEST_F(Fw4847Read, BaseLengthModes) {
  SetBase(Samples(0x0102, {}), {}, 1);
  Bytes out;
  ASSERT_EQ(Read(&out), 0);
  EXPECT_EQ(out, Bytes(chip_.base.begin(), chip_.base.begin() + kLen));

  SetBase(Samples(0x0102, {}), {}, 0);
  ASSERT_EQ(Read(&out), 0);
  EXPECT_EQ(out, Bytes(kLen, 0xEE));
  EXPECT_EQ(Bytes(quorv_get_ZqSpiObjHandle()->imageBuf, quorv_get_ZqSpiObjHandle()->imageBuf + kLen),
            out);

  for (uint16_t len : {2, kLen - 2, kLen + 2, 25600, 60000}) {
    SetBase(Samples(0x0102, {}), {}, len);
    LibLogCapture log;
    EXPECT_EQ(Read(&out), -1) << len;
    EXPECT_EQ(out, Bytes(kLen, 0xEE));
    EXPECT_TRUE(HasLine(log, "image lenth error! zqSpiObj->baseLen = " + std::to_string(len) +
                                 ", image_length = 672"));
  }
}

TEST_F(Fw4847Read, MissingCallbacks) {
  struct Case {
    bool start, base, end;
    std::vector<std::string> events;
    size_t reads;
    std::string error;
  } cases[] = {
      {false, true, true, {}, 0, "fw4847_NoneSlideEnrollReadImage.....image read start error!"},
      {true, false, true, {"start"}, 0, "fw4847_NoneSlideEnrollReadImage.....image read base error!"},
      {true, true, false, {"start", "base"}, 1,
       "fw4847_NoneSlideEnrollReadImage.....image read start error!"},
  };
  for (const Case &c : cases) {
    chip_.ClearLog();
    chip_.events.clear();
    SetBase(Samples(0, {}), {});
    FakeImageChip::RegisterStart(c.start);
    FakeImageChip::RegisterBase(c.base);
    FakeImageChip::RegisterEnd(c.end);
    LibLogCapture log;
    Bytes out;
    EXPECT_EQ(Read(&out), -1);
    EXPECT_EQ(chip_.events, c.events);
    EXPECT_EQ(chip_.Reads().size(), c.reads);
    EXPECT_TRUE(HasLine(log, c.error)) << c.error;
  }
  // The reader itself reads its frames before it finds the base missing.
  chip_.ClearLog();
  FakeImageChip::RegisterBase(false);
  Bytes out(kLen);
  EXPECT_EQ(quorv_fp_sensor_read_fw4847_image(out.data(), 0), -1);
  EXPECT_EQ(chip_.Reads().size(), 1u);
}

TEST_F(Fw4847Read, SizesBeyondTheFrameBuffersAreRefused) {
  struct Case {
    uint8_t cols, rows;
    int32_t t;
    int want;
  } cases[] = {
      {64, 80, 1014, 0},   // 10,240 bytes: the largest image
      {72, 72, 1014, -1},  // 10,368 bytes
      {56, 6, QUORV_FW4847_XFER_MAX, 0},
      {56, 6, QUORV_FW4847_XFER_MAX + 1, -1},
      {56, 6, 0, -1},
  };
  for (const Case &c : cases) {
    chip_.ClearLog();
    quorv_SetimageColsRows(c.cols, c.rows);
    quorv_set_TransferBytesMax(c.t);
    chip_.base.assign(25600, 0);
    chip_.base_len = 1;
    Bytes out(2 * c.cols * c.rows);
    EXPECT_EQ(quorv_fp_sensor_read_fw4847_image(out.data(), 0), c.want) << int(c.cols) << " " << c.t;
    EXPECT_EQ(chip_.Reads().empty(), c.want != 0);
  }
}

}  // namespace
