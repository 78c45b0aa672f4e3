// Slide enrolment engines V6 and V7 when the heap refuses at each step in
// turn: the call reports -1 for its own allocations (or what the shortened
// slide gives), leaves the action mode idle and keeps nothing it made.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/slide_script.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/alloc_failure.h"
#include "src/image/ZqMemoryManager.h"

namespace sensorlib_test {
namespace {

using testing_support::FailHeapAfter;
using testing_support::RefusedAllocations;

void DropEverythingKept() {
  quorv_ReleaseTemplateCur();
  quorv_DestroyEnrollImage();
  quorv_DestroyRescanImage();
  quorv_DestroyImage();
}

TEST_F(OneImageSlideTest, RefusedMemoryAtEveryStep) {
  quorv_SetImageSaveEn(1);
  uint8_t out = 0;
  for (auto engine : {quorv_SlideEnroll_V6, quorv_SlideEnroll_V7}) {
    const std::vector<Frame> frames = Slide({Props{}, Props{}, Props{}});
    const std::string name = engine == quorv_SlideEnroll_V6 ? "quorv_SlideEnroll_V6" : "quorv_SlideEnroll_V7";
    std::set<std::string> seen;  // the engine's own refusal messages
    for (int n = 0;; ++n) {
      SCOPED_TRACE(n);
      ASSERT_LT(n, 1000);
      DropEverythingKept();
      const int32_t baseline = gMallocCnts;
      fake_sensor::PushSlide(0, frames);
      HostLog().clear();
      int ret;
      int refused;
      {
        FailHeapAfter fail(n);
        ret = engine(0, 0, &out);
        refused = RefusedAllocations();
      }
      EXPECT_EQ(gQuorvActionMode, 0u);
      if (refused == 0) {
        EXPECT_EQ(ret, 0);
        EXPECT_EQ(EnrollImages(), (std::vector<Frame>{frames[2]}));
        break;
      }
      // A refused slide image leaves fewer images; a refused list append
      // after the enrolment changes nothing of the result.
      EXPECT_TRUE(ret == 0 || ret == -1 || ret == -8) << ret;
      for (const std::string &line : HostLog()) {
        if (line.rfind(name, 0) != 0 || line.find("16.4..leave") != std::string::npos) continue;
        if (line.find(", ret = -1") != std::string::npos) {
          EXPECT_EQ(ret, -1) << line;
          seen.insert(line.substr(name.size()));
        }
      }
      DropEverythingKept();
      EXPECT_EQ(gMallocCnts, baseline);
    }
    for (const char *m : {"...template_fist = NULL, ret = -1", "...template_end = NULL, ret = -1",
                          "...ZqAlloc image buf error!, ret = -1"})
      EXPECT_EQ(seen.count(m), 1u) << m;
    EXPECT_GE(seen.size(), 5u);  // and the fresh templates of the choice
  }
  DropEverythingKept();
}

}  // namespace
}  // namespace sensorlib_test
