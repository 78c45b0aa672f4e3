#include "src/FpSensorLib/quorv_slide_calls.h"

#include "src/FpSensorLib/quorv_enroll.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqRequiredImage.h"

namespace {

constexpr QuorvSlideCalls kReal = {
    ZqGetImagePhysicsArea, ZqWetImageAreaPercent,     ZqIsGetRequiredImage,
    ZqEnrollTipsTemplate,  ZqEnrollByTemplate,        ZqEnrollSpeedFastJustify,
    quorv_EnrollNonFingerPredict,
};

}  // namespace

extern "C" {

QuorvSlideCalls g_quorvSlideCore = kReal;

void quorv_SlideCallsResetForTest(void) { g_quorvSlideCore = kReal; }

}  // extern "C"
