// The 4847 dead-pixel test on the emulated chip behind the bridge: the noise
// check, the two bad-pixel stages over the counted pixels, and the factory
// exit on every path.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "drivers/zq_protocal/zq_dead_pixel_4847.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

constexpr int kW = 64;
constexpr int kH = 80;
constexpr int kN = kW * kH;

// A chip whose samples sit at 1000 at the power-up DAC (0x80) and rise by
// 500 per DAC step down, with a small noise that differs between frames.
// `bad_low` pixels read 700 below the rest (still following the DAC);
// `dead` pixels stay at 1000 whatever the DAC; `quiet` frames have no noise.
struct Sensor {
  std::set<int> bad_low;
  std::set<int> dead;
  bool quiet = false;

  bridge_emul::Chip4847::RawFrameFn Frames() const {
    return [s = *this](unsigned frame, uint8_t dac) {
      std::vector<uint16_t> samples(kN);
      for (int i = 0; i < kN; ++i) {
        int v = 1000 + (0x80 - dac) * 500;
        if (!s.quiet) v += static_cast<int>((i * 7u + frame * 13u) % 11u);
        if (s.bad_low.count(i)) v -= 700;
        if (s.dead.count(i)) v = 1000;
        samples[i] = static_cast<uint16_t>(v);
      }
      return samples;
    };
  }
};

// The first `count` counted pixels from row 2 on.
std::set<int> Counted(int count) {
  std::set<int> out;
  for (int i = 2 * kW; static_cast<int>(out.size()) < count; ++i)
    if (i % kW >= 2 && i % kW <= kW - 3) out.insert(i);
  return out;
}

TEST(DeadPixel4847, CountsBadPixelsOfBothStagesOverTheCountedArea) {
  std::set<int> outside;  // never counted: first row, columns 0, 1, 62, 63, last row
  for (int r = 0; r < kH; ++r)
    for (int c : {0, 1, 62, 63}) outside.insert(r * kW + c);
  for (int c = 0; c < kW; ++c) outside.insert(c);
  for (int i = kN - 64; i < kN; ++i) outside.insert(i);
  struct Case {
    std::string name;
    Sensor sensor;
    int result;
  } cases[] = {
      {"clean", {}, 0},
      {"50 counted pixels below 400", {Counted(50), {}, false}, 0},
      {"51 counted pixels below 400", {Counted(51), {}, false}, -1},
      {"50 pixels that ignore the DAC", {{}, Counted(50), false}, 0},
      {"51 pixels that ignore the DAC", {{}, Counted(51), false}, -1},
      {"bad pixels outside the counted area", {outside, outside, false}, 0},
  };
  for (const Case &c : cases) {
    zq4847_test::BridgeBus bus;
    bus.chip().SetRawFrames(c.sensor.Frames());
    EXPECT_EQ(do_dead_pixel_test_4847(kW, kH), c.result) << c.name;
    EXPECT_EQ(bus.chip().RawFramesTaken(), 3u) << c.name << ": two for the noise, one a DAC down";
    EXPECT_EQ(bus.chip().Dac(), 0x7F) << c.name;
    EXPECT_EQ(bus.chip().FactoryExits(), 1u) << c.name;
  }
}

TEST(DeadPixel4847, ANoiseCheckThatNeverPassesGivesUpAfterSevenPasses) {
  zq4847_test::BridgeBus bus;
  Sensor quiet;
  quiet.quiet = true;  // identical frames: variance 0
  bus.chip().SetRawFrames(quiet.Frames());
  bus.bench().clock().ClearSleeps();
  EXPECT_EQ(do_dead_pixel_test_4847(kW, kH), -1);
  EXPECT_EQ(bus.chip().RawFramesTaken(), 14u);
  EXPECT_EQ(bus.chip().HardwareResets(), 6u) << "a reset between passes, none after the last";
  EXPECT_EQ(bus.chip().Dac(), 0x80) << "the DAC stage never ran";
  EXPECT_EQ(bus.chip().FactoryExits(), 1u);
  unsigned long long waited_ms = 0;
  for (unsigned us : bus.bench().clock().Sleeps()) waited_ms += us / 1000;
  EXPECT_GE(waited_ms, 6u * 400) << "400 ms after each reset, on the virtual clock";
}

TEST(DeadPixel4847, SensorsWithoutCountedPixelsReadNoFramesAndStillExit) {
  struct Case {
    uint16_t w, h;
    int result;
  } cases[] = {{0, 80, 0}, {64, 0, 0}, {10, 13, -1}};
  for (const Case &c : cases) {
    zq4847_test::BridgeBus bus;
    bus.chip().SetRawFrames(Sensor{}.Frames());
    EXPECT_EQ(do_dead_pixel_test_4847(c.w, c.h), c.result) << c.w << "x" << c.h;
    EXPECT_EQ(bus.chip().RawFramesTaken(), 0u) << c.w << "x" << c.h;
    EXPECT_EQ(bus.chip().FactoryExits(), 1u) << c.w << "x" << c.h;
  }
}

}  // namespace
