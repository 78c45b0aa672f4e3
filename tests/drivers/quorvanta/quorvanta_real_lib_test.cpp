// The main driver through fp_* with the shipped sensor library, algorithm
// core and image chain (no stand-ins) on the emulated 0x4842 bridge (96 x
// 96) and the emulated 0x3b11 module (80 x 128), pressed with synthetic
// fingers: a whole enrolment, verification of the same and of another
// finger, and identification among three enrolled fingers.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "fingers/synth_fingers.h"
#include "module_emul/zq4846_model.h"
#include "quorvanta/driver_bench.h"

namespace {

using quorvanta_test::DriverBench;
using quorvanta_test::Outcome;

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

INSTANTIATE_TEST_SUITE_P(Devices, RealLibraryTest,
                         testing::Values(Device{"bridge_0x4842", 0x4842, 96, 96},
                                         Device{"module_0x3b11", 0x3b11, 80, 128}),
                         [](const testing::TestParamInfo<Device> &i) { return i.param.name; });

}  // namespace
