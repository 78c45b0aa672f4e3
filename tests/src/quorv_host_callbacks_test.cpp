// Host-callback slots: empty at load, each registration fills its own slot,
// the pass-throughs fall back when a slot is empty, and the registrations
// kept for the interface store nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "src/quorv_base/quorv_host_callbacks.h"

namespace {

std::vector<uint32_t> g_sleeps;

int SpiWrite(const uint8_t *, uint16_t) { return 1; }
int SpiRead(uint8_t *, uint8_t *, uint32_t) { return 2; }
void Usleep(uint32_t us) { g_sleeps.push_back(us); }
int McuStatus() { return 3; }
uint64_t Clock() { return 0x123456789ull; }
int GetImage(uint8_t *, uint32_t) { return 4; }
void Step() {}
void Step2() {}
void Step3() {}
void GetImageBase(uint8_t *, uint16_t *) {}
void Unused() {}

bool AllEmpty() {
  const QuorvHostCallbacks empty = {};
  return std::memcmp(&g_quorvHostCallbacks, &empty, sizeof empty) == 0 &&
         quorv_fp_get_system_time == nullptr && quorv_fp_log == nullptr;
}

TEST(HostCallbacks, EmptyAtLoadWithFallbacks) {
  EXPECT_TRUE(AllEmpty());
  quorv_usleep(1000);  // no pause, no crash
  EXPECT_EQ(quorv_fp_system_time(), 0u);
}

TEST(HostCallbacks, EachRegistrationFillsItsSlot) {
  InitFuncSpiWrite(SpiWrite);
  InitFuncSpiRead(SpiRead);
  InitFuncUsleep(Usleep);
  InitFuncGetMcuStatus(McuStatus);
  InitFuncGetSystemTime(Clock);
  InitFuncGetImage(GetImage);
  InitFuncReadImageInit(Step);
  InitFuncReadImageStart(Step2);
  InitFuncReadImageEnd(Step3);
  InitFuncGetImageBase(GetImageBase);
  const QuorvHostCallbacks &h = g_quorvHostCallbacks;
  EXPECT_EQ(h.SpiWrite, SpiWrite);
  EXPECT_EQ(h.SpiRead, SpiRead);
  EXPECT_EQ(h.Usleep, Usleep);
  EXPECT_EQ(h.GetMcuStatus, McuStatus);
  EXPECT_EQ(quorv_fp_get_system_time, Clock);
  EXPECT_EQ(h.GetImage, GetImage);
  EXPECT_EQ(h.ReadImageInit, Step);
  EXPECT_EQ(h.ReadImageStart, Step2);
  EXPECT_EQ(h.ReadImageEnd, Step3);
  EXPECT_EQ(h.GetImageBase, GetImageBase);

  g_sleeps.clear();
  quorv_usleep(6);
  EXPECT_EQ(g_sleeps, std::vector<uint32_t>{6});
  EXPECT_EQ(quorv_fp_system_time(), 0x123456789ull);

  QuorvHostCallbacks before = g_quorvHostCallbacks;
  InitFuncFW4848GetImage(Unused);
  InitFuncWhilePointHandle(Unused);
  InitFuncSetWetFingerHandle(Unused);
  InitFuncDynamicDiffHandle(Unused);
  EXPECT_EQ(std::memcmp(&before, &g_quorvHostCallbacks, sizeof before), 0);

  InitFuncSpiWrite(nullptr);
  InitFuncSpiRead(nullptr);
  InitFuncUsleep(nullptr);
  InitFuncGetMcuStatus(nullptr);
  InitFuncGetSystemTime(nullptr);
  InitFuncGetImage(nullptr);
  InitFuncReadImageInit(nullptr);
  InitFuncReadImageStart(nullptr);
  InitFuncReadImageEnd(nullptr);
  InitFuncGetImageBase(nullptr);
  EXPECT_TRUE(AllEmpty());
}

}  // namespace
