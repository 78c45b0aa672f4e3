#include "support/sensorlib_standin.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

namespace sensorlib_standin {
namespace {

struct State {
  Script script;
  std::vector<std::string> calls;
  std::map<int, Template> slots;
  size_t frame_bytes = 0;
  std::vector<std::vector<uint8_t>> frames;
  HostCallbacks host;
};

State &S() {
  static State s;
  return s;
}

__attribute__((format(printf, 1, 2))) void Rec(const char *fmt, ...) {
  char line[256];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  S().calls.emplace_back(line);
}

void KeepFrame(const uint8_t *frame) {
  if (frame != nullptr && S().frame_bytes > 0)
    S().frames.emplace_back(frame, frame + S().frame_bytes);
}

int WriteTemplate(const Template &t, uint8_t *type, uint32_t *len, uint8_t *data) {
  if (type == nullptr || len == nullptr || data == nullptr) return -1;
  if (t.data.size() > QUORV_TPL_DATA_MAX) return -1;
  *type = t.type;
  *len = static_cast<uint32_t>(t.data.size());
  if (!t.data.empty()) std::memcpy(data, t.data.data(), t.data.size());
  return 0;
}

}  // namespace

Script &script() { return S().script; }

void Reset() {
  S() = State{};
}

const std::vector<std::string> &Calls() { return S().calls; }

std::vector<std::string> CallsFrom(const std::string &first) {
  const auto &c = S().calls;
  for (size_t i = c.size(); i-- > 0;)
    if (c[i] == first) return {c.begin() + static_cast<long>(i), c.end()};
  return {};
}

std::vector<std::string> CallsStartingWith(const std::string &prefix) {
  std::vector<std::string> out;
  for (const auto &c : S().calls)
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  return out;
}

void ClearCalls() { S().calls.clear(); }

std::optional<Template> Slot(int slot) {
  auto it = S().slots.find(slot);
  if (it == S().slots.end()) return std::nullopt;
  return it->second;
}

void SetFrameBytes(size_t n) { S().frame_bytes = n; }
const std::vector<std::vector<uint8_t>> &Frames() { return S().frames; }
const HostCallbacks &Host() { return S().host; }

}  // namespace sensorlib_standin

using sensorlib_standin::Rec;
using sensorlib_standin::S;

#define SETTER1(name, type)                                                \
  void name(type v) { Rec(#name "(%d)", static_cast<int>(v)); }
#define SETTER1_RET(name, type)                                            \
  int name(type v) {                                                       \
    Rec(#name "(%d)", static_cast<int>(v));                                \
    return 0;                                                              \
  }

extern "C" {

void quorv_SetFpSensorColsRows(uint8_t cols, uint8_t rows) {
  Rec("quorv_SetFpSensorColsRows(%d, %d)", cols, rows);
}
SETTER1(quorv_IcInfoSwitch, uint8_t)
SETTER1_RET(quorv_SetImageBit, uint8_t)
SETTER1(quorv_SetModuleType, uint16_t)
SETTER1(quorv_SetAlgoMode, uint8_t)
void quorv_SetNonFingerDetect(uint8_t a, uint8_t b, uint8_t c) {
  Rec("quorv_SetNonFingerDetect(%d, %d, %d)", a, b, c);
}
void quorv_SetFakeFingerDetect(uint8_t a, uint8_t b, uint8_t c) {
  Rec("quorv_SetFakeFingerDetect(%d, %d, %d)", a, b, c);
}
SETTER1(quorv_SetNonFingerDetectVer, uint8_t)
SETTER1(quorv_SetForeignBodyAttackSwitch, uint8_t)
SETTER1(quorv_SpaEn, uint8_t)
SETTER1(quorv_SetAdjustMatchEn, uint8_t)
SETTER1(quorv_SetSlideEnrollEn, uint8_t)
SETTER1(quorv_SetTemplateBuffEn, uint8_t)
SETTER1(quorv_SetNegativeTemplateBuffEn, uint8_t)
SETTER1(quorv_SetMulTemplateCrossCheckEn, uint8_t)
SETTER1(quorv_SetMultiAreaMatchEn, uint8_t)
SETTER1(quorv_SetClassifierOn, uint8_t)
SETTER1(quorv_UpdateTemplateOutsideEn, uint8_t)
SETTER1(quorv_SetBinImageEnhance, uint8_t)
SETTER1(quorv_SetImageStretchEn, uint8_t)
SETTER1(quorv_SetBadPixBitRef, uint8_t)
SETTER1(quorv_SetAlgFarLevel, uint8_t)
SETTER1(quorv_SetUpdateTemplateFarLevel, uint8_t)
SETTER1(quorv_SetFpAlgMaxTpl, uint8_t)
SETTER1(quorv_SetEnrollMaxTpl, uint8_t)
SETTER1(quorv_SetImageRescanCnt, uint8_t)
SETTER1(quorv_SetSlideEnrollGetImageCnt, uint8_t)
SETTER1(quorv_DebugInfoSwitch, uint8_t)
SETTER1(quorv_PrintFuncTime, uint8_t)
SETTER1(quorv_SetValidBitRef, uint8_t)
SETTER1(quorv_SetUpdateTemplateThreshold, uint16_t)
SETTER1(quorv_SetUpdateTemplateAreaThreshold, uint16_t)
SETTER1(quorv_SetImprovedFrrEn, uint8_t)
SETTER1(quorv_SetImprovedLevel, uint8_t)
SETTER1_RET(quorv_SetMcuStateCheckMode, uint8_t)
SETTER1(quorv_InitImageAdjust, uint8_t)
SETTER1(quorv_InitImageFilter, uint8_t)
SETTER1(quorv_InitImageSmall, uint8_t)
SETTER1(quorv_InitStandardDeviationThr, int32_t)
SETTER1_RET(quorv_SetFW4856BaseEnable, uint8_t)
SETTER1(quorv_VerifyQuicklyEn, uint8_t)
SETTER1(quorv_FilterEnhanceEn, uint8_t)
SETTER1(quorv_SetEnrollmentTipsEn, uint32_t)
SETTER1(quorv_SetImageQualityScore, uint8_t)
SETTER1(quorv_SetImageVerifyQualityScore, uint8_t)
SETTER1(quorv_EnrollmentDuplicateCheckEn, uint8_t)
SETTER1_RET(quorv_SetImageValidCondScale, uint8_t)
SETTER1_RET(quorv_SetImageVerifyValidCondScale, uint8_t)
SETTER1(quorv_SetImageWetCondThr, uint8_t)
SETTER1(quorv_EnrollNonFingerDetect, uint8_t)
SETTER1(quorv_EnrollNonFingerDetectNet, uint8_t)
SETTER1(quorv_IdentifyNonFingerDetect, uint8_t)
SETTER1(quorv_SetImproveFeatureEn, uint8_t)
SETTER1(quorv_SetAbnormalImgDetectMode, uint8_t)
SETTER1(quorv_SetForceIdentifyEnable, uint8_t)
SETTER1(quorv_SetImageRepeatEn, uint8_t)
SETTER1(quorv_SetNormalImageRescanCnt, uint8_t)
SETTER1(quorv_SetImageSaveEn, uint8_t)
SETTER1(quorv_SetOneSlideEnrollMaxTpls, uint8_t)
SETTER1(quorv_SetSlideEnrollArealapThreshold, uint8_t)
SETTER1(quorv_SetSlideEnrollSpeedThreshold, uint8_t)
SETTER1(quorv_SetSlideVerifySpeedThreshold, uint8_t)
SETTER1(quorv_SetSmallAreaImageUpdateEn, uint8_t)
SETTER1_RET(quorv_SetMcuInterrupMode, uint8_t)
SETTER1(quorv_SetImageNoiseFilter, uint8_t)
SETTER1(quorv_IdentifyNonFingerDetectNet, uint8_t)
SETTER1(quorv_SetRescanOverlapAreaThreshold, uint8_t)
SETTER1(quorv_SetMLOGOEnhance, uint8_t)
int quorv_SetImageValidAreaScale(float f) {
  Rec("quorv_SetImageValidAreaScale(%g)", static_cast<double>(f));
  return 0;
}
int quorv_SetImageVerifyValidAreaScale(float f) {
  Rec("quorv_SetImageVerifyValidAreaScale(%g)", static_cast<double>(f));
  return 0;
}
void quorv_SetEnrollmentTipsParameter(uint32_t a, uint32_t b, uint8_t c, uint8_t d) {
  Rec("quorv_SetEnrollmentTipsParameter(%u, %u, %d, %d)", a, b, c, d);
}
void quorv_FilterEnhance(uint8_t a, uint8_t b) { Rec("quorv_FilterEnhance(%d, %d)", a, b); }
void quorv_SetImageContrastEnhance(uint8_t a, uint8_t b, uint8_t c) {
  Rec("quorv_SetImageContrastEnhance(%d, %d, %d)", a, b, c);
}
void quorv_SetDirtyParameter(uint8_t a, uint8_t b, uint8_t c) {
  Rec("quorv_SetDirtyParameter(%d, %d, %d)", a, b, c);
}
void quorv_SetOptimizeIdentifyLevel(int a, int b, int c) {
  Rec("quorv_SetOptimizeIdentifyLevel(%d, %d, %d)", a, b, c);
}
SETTER1(quorv_SetTransferBytesMax, int32_t)

void quorv_InitFuncSpiWrite(QuorvSpiWriteFunc f) {
  Rec("quorv_InitFuncSpiWrite");
  S().host.spi_write = f;
}
void quorv_InitFuncSpiRead(QuorvSpiReadFunc f) {
  Rec("quorv_InitFuncSpiRead");
  S().host.spi_read = f;
}
void quorv_InitFuncUsleep(QuorvUsleepFunc f) {
  Rec("quorv_InitFuncUsleep");
  S().host.usleep = f;
}
void quorv_InitFuncGetSystemTime(QuorvGetSystemTimeFunc f) {
  Rec("quorv_InitFuncGetSystemTime");
  S().host.system_time = f;
}
void quorv_InitFuncGetMcuStatus(QuorvGetMcuStatusFunc f) {
  Rec("quorv_InitFuncGetMcuStatus");
  S().host.mcu_status = f;
}

int8_t quorv_SensorResourceCreate(void) {
  Rec("quorv_SensorResourceCreate()");
  return static_cast<int8_t>(S().script.resource_create);
}
void quorv_SensorResourceDestroy(void) {
  Rec("quorv_SensorResourceDestroy()");
  S().slots.clear();
}
int quorv_InitFpAlg(void) {
  Rec("quorv_InitFpAlg()");
  return S().script.init_fp_alg;
}
void quorv_ShowSensorConfig(void) { Rec("quorv_ShowSensorConfig()"); }

int quorv_ClearEnrollPara(void) {
  Rec("quorv_ClearEnrollPara()");
  return 0;
}
int quorv_EnrollByImage(int slot, uint8_t index, const uint8_t *frame) {
  Rec("quorv_EnrollByImage(%d, %d)", slot, index);
  sensorlib_standin::KeepFrame(frame);
  if (frame == nullptr) return -1;
  auto &q = S().script.enroll;
  if (q.empty()) return 0;
  int r = q.front();
  q.pop_front();
  return r;
}
int quorv_ForceEnroll(int slot, uint8_t index, uint8_t *) {
  Rec("quorv_ForceEnroll(%d, %d)", slot, index);
  auto &q = S().script.force_enroll;
  if (q.empty()) return 0;
  int r = q.front();
  q.pop_front();
  return r;
}
int quorv_IdentifyByImage(const uint8_t *frame, int mode, uint8_t *fid, uint8_t *update) {
  Rec("quorv_IdentifyByImage(%d)", mode);
  sensorlib_standin::KeepFrame(frame);
  if (frame == nullptr || fid == nullptr || update == nullptr) return -1;
  auto &sc = S().script;
  *fid = QUORV_NO_FINGER;
  *update = 0;
  if (!sc.identify.empty()) {
    auto [r, f] = sc.identify.front();
    sc.identify.pop_front();
    *fid = f;
    if (r == 0) *update = sc.identify_update;
    return r;
  }
  if (sc.match_template) {
    for (const auto &[slot, t] : S().slots) {
      if (t.data == *sc.match_template) {
        *fid = static_cast<uint8_t>(slot);
        *update = sc.identify_update;
        return 0;
      }
    }
  }
  return sc.identify_miss;
}

int quorv_DelFinger(unsigned finger_id) {
  Rec("quorv_DelFinger(%u)", finger_id);
  S().slots.erase(static_cast<int>(finger_id & 0xFF));
  return 0;
}
int quorv_InitAlgTplData(uint8_t slot, uint8_t type, uint32_t len, const uint8_t *data) {
  Rec("quorv_InitAlgTplData(%d, %d, %u)", slot, type, len);
  if (S().script.init_tpl != 0) return S().script.init_tpl;
  if (data == nullptr || slot >= QUORV_FINGER_SLOTS) return -1;
  std::vector<uint8_t> blob(data, data + len);
  for (const auto &refused : S().script.refuse_templates)
    if (refused == blob) return S().script.refuse_code;
  S().slots[slot] = sensorlib_standin::Template{type, std::move(blob)};
  return 0;
}
int quorv_SaveAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  Rec("quorv_SaveAlgTplData(%d)", slot);
  if (S().script.save_result != 0) return S().script.save_result;
  return sensorlib_standin::WriteTemplate(S().script.saved, type, len, data);
}
int quorv_GetAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  Rec("quorv_GetAlgTplData(%d)", slot);
  if (S().script.get_result != 0) return S().script.get_result;
  return sensorlib_standin::WriteTemplate(S().script.updated, type, len, data);
}
int quorv_UpdateTemplate(uint8_t update, uint8_t *slot) {
  Rec("quorv_UpdateTemplate(%d)", update);
  if (slot == nullptr) return -1;
  *slot = QUORV_NO_FINGER;
  if (S().script.update_result != 0) return S().script.update_result;
  *slot = S().script.update_slot;
  return 0;
}

int quorv_Init_frr_far(void) {
  Rec("quorv_Init_frr_far()");
  return S().script.init_frr_far;
}
int quorv_SendImageAndGetQualityArea(const unsigned char *, unsigned char *quality,
                                     unsigned char *area) {
  Rec("quorv_SendImageAndGetQualityArea()");
  if (quality == nullptr || area == nullptr) return -1;
  *quality = 0;
  *area = 0;
  return S().script.quality_area;
}
int quorv_Enroll_frr_far(const unsigned char *) {
  Rec("quorv_Enroll_frr_far()");
  return S().script.enroll_frr_far;
}
int quorv_SetTplValid(int flag) {
  Rec("quorv_SetTplValid(%d)", flag);
  return S().script.set_tpl_valid;
}
int quorv_Identify_frr_far(const unsigned char *) {
  Rec("quorv_Identify_frr_far()");
  return S().script.identify_frr_far;
}

}  // extern "C"
