#include "src/FpSensorLib/quorv_core_calls.h"

#include "src/FpSensorLib/quorv_enroll.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

namespace {

constexpr QuorvCoreCalls kReal = {
    ZqGetImageQuality, ZqGetTemplate,  ZqVerifyByTemplate, ZqVerifyByTemplateExtra,
    ZqJudgeIsNeedToReIdentify, ZqBadPixRepair, ZqAbnormalImageDetect, ZqRootFilter,
    ZqTemplateUpdate,  ZqVerifyTwoTemplate,
    ZqGetImagePhysicsArea, ZqWetImageAreaPercent, ZqIsGetRequiredImage, ZqEnrollTipsTemplate,
    ZqEnrollByTemplate, ZqEnrollSpeedFastJustify,
    quorv_EnrollNonFingerPredict, quorv_IdentifyNonFingerPredict, quorv_FakeFingerPredict,
};

}  // namespace

extern "C" {

QuorvCoreCalls g_quorvCore = kReal;

void quorv_CoreCallsResetForTest(void) { g_quorvCore = kReal; }

}  // extern "C"
