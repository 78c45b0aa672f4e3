// The main driver through fp_* with the shipped sensor library, algorithm
// core and image chain (no stand-ins) on the emulated 0x4842 bridge (96 x
// 96) and the emulated 0x3b11 module (80 x 128), pressed with synthetic
// fingers: a whole enrolment, verification of the same and of another
// finger, and identification among three enrolled fingers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "drivers/quorvanta/fp_template.h"
#include "fingers/synth_fingers.h"
#include "module_emul/zq4846_model.h"
#include "quorvanta/driver_bench.h"
#include "src/ZqAlg/ZqCrc16.h"
#include "support/stderr_capture.h"

namespace {

using quorvanta_test::DriverBench;
using quorvanta_test::Outcome;
using quorvanta_test::PrintWithItem;
using quorvanta_test::TemplateItem;
using Bytes = std::vector<uint8_t>;

constexpr int kComplete = 1, kPass = 3, kNoMatch = 0, kMatch = 1;

struct Device {
  const char *name;
  uint16_t pid;
  int cols, rows;
};

void PrintTo(const Device &d, std::ostream *os) { *os << d.name; }

class RealLibraryTest : public testing::TestWithParam<Device> {
 protected:
  void SetUp() override {
    const Device &d = GetParam();
    if (d.pid == 0x4842) {
      auto bridge = std::make_shared<bridge_emul::BridgeModel>(bridge_emul::BridgeConfig{});
      press_ = [bridge](const fingers::Frame &f) { bridge->Press(f.gray); };
      bench_ = std::make_unique<DriverBench>(bridge_emul::BridgeDesc(d.pid), bridge);
    } else {
      auto module = std::make_shared<module_emul::Zq4846Model>(module_emul::Zq4846ConfigFor(d.pid));
      press_ = [module](const fingers::Frame &f) { module->Press(f); };
      bench_ = std::make_unique<DriverBench>(bridge_emul::BridgeDesc(d.pid), module);
    }
    ASSERT_TRUE(bench_->Open());
  }
  void TearDown() override { bench_.reset(); }

  static fingers::MasterFinger Master(int finger) {
    return fingers::MakeMaster(fingers::PopulationFinger(4842, finger));
  }
  // Press number `press` of m, its centre moved by (dx, dy), turned by rot.
  fingers::Frame Render(const fingers::MasterFinger &m, int press, double dx, double dy,
                        double rot) const {
    return fingers::FullContactPress(m, press, dx, dy, rot, GetParam().cols, GetParam().rows).frame;
  }
  // One press through the running action; its result.
  int PressOnce(const fingers::Frame &f, Outcome *out) {
    const size_t before = out->results.size();
    press_(f);
    EXPECT_TRUE(bench_->RunUntil([&] { return out->results.size() > before; }, 20000));
    return out->results.size() > before ? out->results.back() : -1;
  }
  // A full enrolment of m: presses walk a spiral until the driver completes.
  fp_print_data *Enroll(const fingers::MasterFinger &m) {
    Outcome out;
    EXPECT_EQ(bench_->StartEnroll(&out), 0);
    int result = 0;
    for (int i = 0; i < 60 && result != kComplete; ++i) {
      const double dx = 14.0 * ((i % 5) - 2), dy = 12.0 * (((i / 5) % 5) - 2);
      result = PressOnce(Render(m, i, dx, dy, 0.06 * ((i % 3) - 1)), &out);
      EXPECT_TRUE(result == kPass || result == kComplete || result >= 100) << "press " << i;
    }
    EXPECT_EQ(result, kComplete);
    EXPECT_TRUE(bench_->StopEnroll(&out));
    fp_print_data *print = out.print;
    out.print = nullptr;
    return print;
  }
  // One identification over `gallery` with one press; the result, the match
  // offset in *offset.
  int IdentifyOnce(fp_print_data **gallery, const fingers::Frame &f, size_t *offset) {
    Outcome out;
    EXPECT_EQ(bench_->StartIdentify(gallery, &out), 0);
    int r = PressOnce(f, &out);
    EXPECT_TRUE(bench_->StopIdentify(&out));
    *offset = out.offset;
    return r;
  }
  int Verify(fp_print_data *print, const fingers::Frame &f) {
    Outcome out;
    EXPECT_EQ(bench_->StartVerify(print, &out), 0);
    int r = PressOnce(f, &out);
    EXPECT_TRUE(bench_->StopVerify(&out));
    return r;
  }

  std::function<void(const fingers::Frame &)> press_;
  std::unique_ptr<DriverBench> bench_;
};

TEST_P(RealLibraryTest, EnrolVerifyAndIdentify) {
  const fingers::MasterFinger a = Master(0), b = Master(1), c = Master(2);
  fp_print_data *pa = Enroll(a);
  ASSERT_NE(pa, nullptr);
  EXPECT_EQ(Verify(pa, Render(a, 100, 5, -4, 0.05)), kMatch) << "a new press of the same finger";
  EXPECT_EQ(Verify(pa, Render(b, 100, 0, 0, 0.0)), kNoMatch) << "another finger";

  fp_print_data *pb = Enroll(b);
  fp_print_data *pc = Enroll(c);
  ASSERT_NE(pb, nullptr);
  ASSERT_NE(pc, nullptr);
  fp_print_data *gallery[] = {pa, pb, pc, nullptr};
  Outcome out;
  ASSERT_EQ(bench_->StartIdentify(gallery, &out), 0);
  EXPECT_EQ(PressOnce(Render(b, 101, -4, 6, -0.05), &out), kMatch);
  EXPECT_EQ(out.offset, 1u);
  EXPECT_TRUE(bench_->StopIdentify(&out));
  fp_print_data_free(pa);
  fp_print_data_free(pb);
  fp_print_data_free(pc);
}

// --- Stored prints ---------------------------------------------------------

uint32_t U32(const Bytes &b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const Bytes &b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
void Put32(Bytes *b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(Bytes *b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}
// Rewrites the last two bytes as the CRC of the bytes before them.
void FixCrc(Bytes *b) { Put16(b, b->size() - 2, ZqCalCrc16(b->data(), b->size() - 2)); }

// The template blob of a print's item.
Bytes BlobOf(fp_print_data *print) {
  const auto *item = static_cast<const fp_print_data_item *>(print->prints->data);
  return Bytes(item->data + 7, item->data + item->length);
}

// Byte offsets of the current blob: the finger header and the records.
constexpr size_t kCount = 200, kValidFlg = 202, kRecords = 216;
constexpr size_t kRecHead = 489, kBin = 1160, kMask = 1153;

// The current blob of a finger as the older 96-slot blob with 4-byte
// pointers (flag 0x1415926d): old records of 2792 bytes, the finger's
// trailer, the features of the used slots and the CRC. Slot 0's condition
// byte is set to `cond0`.
Bytes LegacyOf(const Bytes &cur, uint8_t cond0) {
  constexpr size_t kRecord = 2792, kImage = 268240;
  Bytes out(4 + kImage);
  Put32(&out, 0, 0x1415926d);
  Bytes features;
  const uint16_t count = U16(cur, kCount);
  size_t r = kRecords;
  for (size_t i = 0; i < 96; i++) {
    const size_t feat = U32(cur, r + 4);
    uint8_t *o = out.data() + 4 + i * kRecord;
    o[4] = cur[r + 452];
    o[5] = cur[r + 453];
    for (int k = 0; k < 6; k++) o[6 + k] = cur[r + 454 + k];  // class .. extra
    o[11] = static_cast<uint8_t>(U16(cur, r + 24));          // extendArea
    o[12] = cur[r + 26];                                     // rootIndex
    o[13] = cur[r + 27];
    std::copy_n(&cur[r + 16], 4, o + 16);                    // reservedInt
    std::copy_n(&cur[r + 464], 25, o + 20);                  // coinFlg
    std::copy_n(&cur[r + kRecHead + feat + kBin], kMask, o + 45);
    std::copy_n(&cur[r + 28], 40, o + 1200);                 // rootHmatrix
    std::copy_n(&cur[r + 20], 4, o + 1240);                  // binWordCnt
    std::copy_n(&cur[r + kRecHead + feat], kBin, o + 1248);
    std::copy_n(&cur[r + 68], 384, o + 2408);                // simpleHmatrix
    if (i == 0) o[9] = cond0;
    if (i < count) features.insert(features.end(), &cur[r + kRecHead], &cur[r + kRecHead + feat]);
    r += kRecHead + feat + kBin + kMask;
  }
  const size_t t = 4 + 96 * kRecord;
  std::copy_n(&cur[8], 192 + 2 + 2 + 4, &out[t]);  // order, count, validFlg, enrollResult
  Put32(&out, t + 200, static_cast<uint32_t>(kImage));
  std::copy_n(&cur[212], 4, &out[t + 204]);        // coverageArea
  out.insert(out.end(), features.begin(), features.end());
  out.resize(out.size() + 2);
  FixCrc(&out);
  return out;
}

struct Damage {
  const char *name;
  // The damaged item of the good print `item`.
  Bytes (*make)(const Bytes &blob);
};

Bytes Item(const Bytes &blob) { return TemplateItem(0, 121, blob); }

const Damage kDamages[] = {
    {"template cut, lengths consistent",
     [](const Bytes &b) { return Item(Bytes(b.begin(), b.begin() + b.size() / 2)); }},
    {"bytes flipped under a stale CRC",
     [](const Bytes &b) {
       Bytes d = b;
       for (size_t at = d.size() / 3; at < d.size() / 3 + 8; at++) d[at] ^= 0x5A;
       return Item(d);
     }},
    {"changed head, CRC fixed",
     [](const Bytes &b) {
       Bytes d = b;
       Put32(&d, 4, 209);
       FixCrc(&d);
       return Item(d);
     }},
    {"zero-length template", [](const Bytes &) { return Item({}); }},
    {"48 MiB of zeros", [](const Bytes &) { return Item(Bytes(48u << 20, 0)); }},
    {"48 MiB, valid flag and CRC",
     [](const Bytes &b) {
       Bytes d(48u << 20, 0);
       std::copy(b.begin(), b.end() - 2, d.begin());
       FixCrc(&d);
       return Item(d);
     }},
    {"not finalised, CRC fixed",
     [](const Bytes &b) {
       Bytes d = b;
       Put16(&d, kValidFlg, 0);
       FixCrc(&d);
       return Item(d);
     }},
    {"no sub-template, CRC fixed",
     [](const Bytes &b) {
       Bytes d = b;
       Put16(&d, kCount, 0);
       FixCrc(&d);
       return Item(d);
     }},
    {"slot 255", [](const Bytes &b) { return TemplateItem(255, 121, b); }},
};

class StoredPrintTest : public RealLibraryTest {};

// One stored print damaged in each way, between two good fingers: both good
// fingers are still identified under their own gallery positions, and the
// log names the damaged one.
TEST_P(StoredPrintTest, DamagedPrintNeverCostsTheOtherFingers) {
  const fingers::MasterFinger a = Master(0), b = Master(1), c = Master(2);
  fp_print_data *pa = Enroll(a);
  fp_print_data *pb = Enroll(b);
  fp_print_data *pc = Enroll(c);
  ASSERT_TRUE(pa != nullptr && pb != nullptr && pc != nullptr);
  const Bytes blob = BlobOf(pb);
  int press = 200;
  for (const Damage &d : kDamages) {
    SCOPED_TRACE(d.name);
    fp_print_data *damaged = PrintWithItem(d.make(blob));
    fp_print_data *gallery[] = {pa, damaged, pc, nullptr};
    for (size_t want : {size_t{0}, size_t{2}}) {
      testing_support::StderrCapture err;
      size_t offset = 99;
      const fingers::MasterFinger &m = want == 0 ? a : c;
      EXPECT_EQ(IdentifyOnce(gallery, Render(m, press++, 3, -2, 0.03), &offset), kMatch);
      EXPECT_EQ(offset, want);
      const std::string log = err.Text();
      EXPECT_NE(log.find("gallery print 1 skipped"), std::string::npos) << log;
    }
    fp_print_data_free(damaged);
  }
  // A print of another driver is skipped too.
  fp_print_data *foreign = PrintWithItem(Item(blob));
  foreign->driver_id = 7;
  fp_print_data *gallery[] = {foreign, pc, nullptr};
  size_t offset = 99;
  EXPECT_EQ(IdentifyOnce(gallery, Render(b, press++, 0, 0, 0.0), &offset), kNoMatch);
  EXPECT_EQ(IdentifyOnce(gallery, Render(c, press++, 0, 0, 0.0), &offset), kMatch);
  EXPECT_EQ(offset, 1u);
  fp_print_data_free(foreign);
  fp_print_data_free(pa);
  fp_print_data_free(pb);
  fp_print_data_free(pc);
}

// A finger stored by an older build with a condition byte of 101 loads,
// matches, is updated, and the updated print loads and matches again.
TEST_P(StoredPrintTest, LegacyFingerWithConditionAbove100SurvivesItsUpdate) {
  const fingers::MasterFinger a = Master(3);
  fp_print_data *pa = Enroll(a);
  ASSERT_NE(pa, nullptr);
  fp_print_data *legacy = PrintWithItem(Item(LegacyOf(BlobOf(pa), 101)));
  fp_print_data *gallery[] = {legacy, nullptr};
  size_t offset = 99;
  ASSERT_EQ(IdentifyOnce(gallery, Render(a, 300, 2, 3, 0.02), &offset), kMatch);
  EXPECT_EQ(offset, 0u);
  fp_print_data *updated = nullptr;
  int slot = -1;
  ASSERT_EQ(fp_template_data_update(&updated, &slot), 0);
  ASSERT_NE(updated, nullptr);
  const Bytes saved = BlobOf(updated);
  ASSERT_GT(saved.size(), kRecords + kRecHead);
  EXPECT_EQ(U32(saved, 0), 0x1415927du) << "saved as a current blob";

  // The saved print, loaded again by the next identification.
  fp_print_data *again[] = {updated, nullptr};
  testing_support::StderrCapture err;
  EXPECT_EQ(IdentifyOnce(again, Render(a, 301, -3, 2, -0.02), &offset), kMatch);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(err.Text().find("skipped"), std::string::npos) << err.Text();
  fp_print_data_free(updated);
  fp_print_data_free(legacy);
  fp_print_data_free(pa);
}

INSTANTIATE_TEST_SUITE_P(Bridge96, StoredPrintTest,
                         testing::Values(Device{"bridge_0x4842", 0x4842, 96, 96}),
                         [](const testing::TestParamInfo<Device> &i) { return i.param.name; });

INSTANTIATE_TEST_SUITE_P(Devices, RealLibraryTest,
                         testing::Values(Device{"bridge_0x4842", 0x4842, 96, 96},
                                         Device{"module_0x3b11", 0x3b11, 80, 128}),
                         [](const testing::TestParamInfo<Device> &i) { return i.param.name; });

}  // namespace
