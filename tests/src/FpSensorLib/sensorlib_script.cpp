#include "src/FpSensorLib/sensorlib_script.h"

#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

namespace sensorlib_test {

CoreScript &Script() {
  static CoreScript script;
  return script;
}

namespace {

int32_t Quality(const uint8_t *, uint8_t *out) {
  ++Script().quality_calls;
  if (Script().quality_ret >= 0) memcpy(out, Script().rating, 4);
  return Script().quality_ret;
}

int32_t Template(uint8_t *, ST_SubTemplate *, const uint8_t *quality) {
  Script().template_had_record.push_back(quality != nullptr);
  return Script().template_ret;
}

int Verify(const ST_SubTemplate *, uint16_t *fid, int16_t *upd, ST_FullHMatrix *, uint8_t option) {
  CoreScript &s = Script();
  const size_t i = s.verify_modes.size();
  s.verify_modes.push_back(gQuorvActionMode);
  s.verify_options.push_back(option);
  const int r = i < s.verify.size() ? s.verify[i] : -1;
  if (r == 0) {
    *fid = s.fid;
    *upd = s.upd;
  }
  return r;
}

int Extra(const ST_SubTemplate *, uint16_t *fid, int16_t *upd, ST_FullHMatrix *, uint8_t) {
  ++Script().extra_calls;
  if (Script().extra == 0) {
    *fid = Script().fid;
    *upd = Script().upd;
  }
  return Script().extra;
}

uint8_t Judge() { return Script().judge; }
int32_t Repair(uint8_t *, uint16_t, uint16_t) { return Script().repair; }
int32_t Abnormal(const uint8_t *, int, int) { return Script().abnormal; }
int32_t Root(const uint8_t *, int, int, uint16_t, uint8_t *) {
  ++Script().root_calls;
  return 0;
}
int Update(int flag, uint32_t *slot) {
  ++Script().update_calls;
  Script().update_flag = flag;
  *slot = Script().update_slot;
  return Script().update_ret;
}
int Two(const ST_SubTemplate *, const ST_SubTemplate *, ST_FullHMatrix *h, uint8_t, uint8_t) {
  CoreScript &s = Script();
  const size_t i = s.rebak.size();
  s.rebak.push_back(gRebak);
  if (i == 1) *h = s.reverse_h;
  return i < s.two.size() ? s.two[i] : 0;
}

}  // namespace

void ScriptedLibTest::SetUp() {
  SensorLibTest::SetUp();
  Script() = CoreScript{};
  g_quorvCore.GetImageQuality = Quality;
  g_quorvCore.GetTemplate = Template;
  g_quorvCore.VerifyByTemplate = Verify;
  g_quorvCore.VerifyByTemplateExtra = Extra;
  g_quorvCore.JudgeIsNeedToReIdentify = Judge;
  g_quorvCore.BadPixRepair = Repair;
  g_quorvCore.AbnormalImageDetect = Abnormal;
  g_quorvCore.RootFilter = Root;
  g_quorvCore.TemplateUpdate = Update;
  g_quorvCore.VerifyTwoTemplate = Two;
  ZqMachInfoResetForTest();
  Create();
  quorv_SetFpSensorColsRows(80, 64);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  HostLog().clear();
}

void ScriptedLibTest::TearDown() {
  SensorLibTest::TearDown();
  ZqMachInfoResetForTest();
  gQuorvActionMode = QUORV_ACTION_IDLE;
}

}  // namespace sensorlib_test
