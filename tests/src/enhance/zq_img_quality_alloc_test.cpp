// Allocation failures of the quality scorers: every refused block gives the
// scorer's allocation code, writes no score and leaks nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/alloc_failure.h"
#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqImgQualityLegacy.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailHeapAfter;

TEST(QualityAlloc, EveryRefusedBlockFailsCleanly) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(32, 0));
  fingers::ImpressionParams p;
  p.width = 64;
  p.height = 80;
  const std::vector<uint8_t> img = fingers::Render(master, p).frame.gray;
  struct Case {
    const char *name;
    uint16_t code;
    bool withMap;
  };
  const Case cases[] = {{"general", 0, false}, {"general, caller's map", 0, true},
                        {"ZE4850 code 9", 9, false}, {"ZE4850 code 8", 8, false}};
  for (const Case &c : cases) {
    SetSensorName(c.code);
    bool succeeded = false;
    for (int allowed = 0; allowed < 40 && !succeeded; ++allowed) {
      const int32_t live = ZqGetMallocCnts();
      std::vector<uint8_t> map(64 * 80 / 8 + 1, 0);
      uint8_t area = 0xEE, quality = 0xEE, cond = 0xEE, contrast = 0xEE;
      int32_t rc;
      {
        FailHeapAfter fail(allowed);
        rc = ZqImgQuality(img.data(), 64, 80, &area, &quality, &cond, &contrast,
                          c.withMap ? map.data() : nullptr);
      }
      EXPECT_EQ(ZqGetMallocCnts(), live) << c.name << " after " << allowed;
      if (rc == 0) {
        succeeded = true;
        continue;
      }
      // The general scorer's own validMap is its first block and reports
      // -1; everything else is -2, or -3 from a step whose scratch failed.
      if (c.code == 0 && allowed == 0 && !c.withMap)
        EXPECT_EQ(rc, -1) << c.name;
      else if (c.code == 0)
        EXPECT_EQ(rc, -2) << c.name << " after " << allowed;
      else
        EXPECT_TRUE(rc == -2 || rc == -3) << c.name << " after " << allowed << ": " << rc;
      EXPECT_EQ(area, 0xEE) << c.name;
      EXPECT_EQ(quality, 0xEE) << c.name;
      EXPECT_EQ(cond, 0xEE) << c.name;
    }
    EXPECT_TRUE(succeeded) << c.name;
  }
  NonFingerSettingsResetForTest();
}

TEST(QualityAlloc, OlderScorersFailCleanly) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(32, 1));
  fingers::ImpressionParams p;
  p.width = 64;
  p.height = 80;
  const std::vector<uint8_t> img = fingers::Render(master, p).frame.gray;
  uint8_t a = 0, q = 0, b = 0, z = 0;
  std::vector<uint8_t> out(img.size());
  struct Case {
    const char *name;
    std::function<int32_t()> run;
  };
  const Case cases[] = {
      {"ZE4850", [&] { return ZqImgQuality_ZE4850(img.data(), 64, 80, &a, &q, &b, nullptr); }},
      {"Other_v2",
       [&] { return ZqImgQuality_Other_v2(img.data(), 64, 80, &a, &q, &b, &z, nullptr); }},
      {"ZE4850_v2", [&] { return ZqImgQuality_ZE4850_v2(img.data(), 64, 80, &a, &q, &b, nullptr); }},
      {"ZE4850_v3", [&] { return ZqImgQuality_ZE4850_v3(img.data(), 64, 80, &a, &q, &b, nullptr); }},
      {"DO4851_Brun_v2",
       [&] {
         return ZqImgQuality_DO4851_Brun_v2(img.data(), 64, 80, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr);
       }},
      {"DynThreshold", [&] { return ZqDynThreshold(img.data(), out.data(), 64, 80, 3, 5, 1); }},
      {"ImgStretch", [&] { return ZqImgStretch(img.data(), 80, 64, out.data()); }},
  };
  for (const Case &c : cases) {
    bool succeeded = false;
    for (int allowed = 0; allowed < 40 && !succeeded; ++allowed) {
      const int32_t live = ZqGetMallocCnts();
      int32_t rc;
      {
        FailHeapAfter fail(allowed);
        rc = c.run();
      }
      EXPECT_EQ(ZqGetMallocCnts(), live) << c.name << " after " << allowed;
      succeeded = rc == 0;
      if (succeeded) continue;
      EXPECT_LT(rc, 0) << c.name;
      // A refused first block reports -1 for DO4851 (its own validMap),
      // -2 elsewhere.
      if (allowed == 0) {
        EXPECT_EQ(rc, std::string(c.name) == "DO4851_Brun_v2" ? -1 : -2) << c.name;
      }
    }
    EXPECT_TRUE(succeeded) << c.name;
  }
}

}  // namespace
