// The template store services: blobs of a finger slot in and out, sizes,
// the template buffer, finger deletion and template update.
#include "src/FpSensorLib/quorv_template_store.h"

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/enhance/ZqStepClock.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// A slot the 16-bit store calls can take without changing it; others
// would wrap onto a real slot.
bool SlotFitsInt16(int slot) { return slot >= INT16_MIN && slot <= INT16_MAX; }

// Loads a blob into slot; a slot the store's 16-bit id cannot hold is
// refused rather than narrowed onto another slot.
int LoadSlot(int slot, uint8_t type, uint32_t len, const uint8_t *data) {
  if (!SlotFitsInt16(slot)) return -1;
  return ZqIniAlgTplData(static_cast<int16_t>(slot), type, len, data);
}

// Writes slot's blob; the store's result narrowed to 16 bits and widened.
int SaveSlot(int slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  if (!SlotFitsInt16(slot)) return -1;
  return static_cast<int16_t>(ZqSaveTplData(static_cast<int16_t>(slot), type, len, data));
}

// The update gate: small-area update on, a template-data operation ran, or
// the current image, rated again, has a cond above the identify threshold.
// A rating that fails allows nothing.
bool UpdateAllowed(const QuorvConfigInfo &c) {
  if (c.small_area_update == 1 || g_quorvTplDataFlag == 1) return true;
  if (g_fp_image_buf == nullptr || g_fp_image_buf->g_fpImageBuf == nullptr) return false;
  uint8_t rating[4] = {255, 255, 255, 255};
  if (g_quorvCore.GetImageQuality(g_fp_image_buf->g_fpImageBuf, rating) < 0) return false;
  return rating[2] > c.verify_cond;
}

}  // namespace

extern "C" {

int quorv_InitAlgTplData(uint8_t slot, uint8_t type, uint32_t len, const uint8_t *data) {
  return LoadSlot(slot, type, len, data);
}

int quorv_SaveAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  return SaveSlot(slot, type, len, data);
}

int quorv_InitAlgTplData_frr_far(uint16_t slot, uint8_t type, uint32_t len, const uint8_t *data) {
  return LoadSlot(slot, type, len, data);
}

int quorv_SaveAlgTplData_frr_far(uint16_t slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  return SaveSlot(slot, type, len, data);
}

int quorv_GetAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data) {
  if (!SlotFitsInt16(slot)) return -1;
  return ZqGetTplData(static_cast<int16_t>(slot), type, len, data);
}

int quorv_GetAlgTplDataSize(uint16_t slot) { return static_cast<int>(ZqGetTplDataSize(slot)); }

uint32_t quorv_GetTemplateVersion(void) { return ZqGetTemplateVersion(); }

int quorv_GetSubtemplatesNum(uint8_t slot) { return ZqGetSubtemplatesNum(slot); }

int quorv_GetTempalteBufSize(void) { return static_cast<int>(ZqGetTempalteBufSize()); }

int quorv_GetTempalteBufData(uint8_t *buffer, int32_t *length) {
  if (buffer == nullptr || length == nullptr) return -1;
  uint32_t size = 0;
  const int ret = ZqGetTempalteBufData(buffer, &size);
  *length = static_cast<int32_t>(size);
  return ret;
}

int quorv_InitTempalteBufData(uint32_t size, const uint8_t *blob, int32_t *consumed) {
  if (blob == nullptr || consumed == nullptr) return -1;
  uint32_t used = 0;
  const int ret = ZqInitTempalteBufData(size, blob, &used);
  *consumed = static_cast<int32_t>(used);
  return ret;
}

int quorv_DelFinger(unsigned finger_id) {
  const uint8_t slot = static_cast<uint8_t>(finger_id);
  quorv_ReleaseTemplateCur();
  quorv_DestroyEnrollImage();
  quorv_ClearMachArray(slot);
  quorv_DestroyImageTpl();
  quorv_DestroyRescanImage();
  const int ret = ZqDelTpl(slot);
  ZqClearNegativeTempalteBuf();
  QUORV_LOGI("%s...leave, ret = %d", __func__, ret);
  return ret;
}

int quorv_UpdateTemplate(uint8_t update, uint8_t *slot) {
  if (slot == nullptr) {
    QUORV_LOGE("%s..input error", __func__);
    return -1;
  }
  *slot = QUORV_NO_FINGER;
  const QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return -1;
  zq::StepClock clock;

  const bool allowed = UpdateAllowed(*c);
  int ret = -1;
  if (allowed) {
    uint32_t updated = 0;
    ret = g_quorvCore.TemplateUpdate(update, &updated) == 0 ? 0 : -1;
    *slot = static_cast<uint8_t>(updated);
    if (ret == 0 && c->fake_mode == 1) {
      (void)ZqGetUpdateTemplateId();
      ZqClearUpdateTemplateId();
    }
  } else {
    QUORV_LOGW("%s..NO Need Update Template! cond < thr", __func__);
  }
  if (clock.on()) {
    QUORV_LOGW("quorv_UpdateTemplate.........ZqTemplateUpdate cost time = %d ms", clock.Total());
  }
  QUORV_LOGI("%s...leave, ret = %d, update_en = %d, fid = %d", __func__, ret, allowed ? 1 : 0,
             *slot);
  return ret;
}

int quorv_UpdateTemplateBuffer(uint8_t enable) {
  zq::StepClock clock;
  if (enable != 0) ZqTemplateUpdateEnhance();
  if (clock.on()) {
    QUORV_LOGW("%s...quorv_UpdateTemplateBuffer cost time = %d ms", __func__, clock.Total());
  }
  return 0;
}

int quorv_LoadCurrentUpdateTemplate(int16_t fingerId, int16_t subIndex, int32_t length,
                                    const uint8_t *data) {
  if (length < 0 || length > UINT16_MAX) return -1;
  return ZqLoadCurrentUpdateTemplate(fingerId, subIndex, static_cast<uint16_t>(length), data);
}

void quorv_GetSlideEnrollImage(uint8_t *dst, uint8_t index) {
  const QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return;
  quorv_get_sensor_image_buff(dst, static_cast<uint16_t>(c->sensor_cols * c->sensor_rows), index);
}

}  // extern "C"
