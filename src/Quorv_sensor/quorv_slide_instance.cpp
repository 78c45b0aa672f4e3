#include "src/Quorv_sensor/quorv_slide_instance.h"

#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

namespace {

ZqSlideEnrollObj *g_slide = nullptr;

ZqSlideEnrollObj *SlideFor(const char *setter) {
  if (g_slide == nullptr) {
    QUORV_LOG_IN(setter, QUORV_LOG_ERROR, "%s......ZqSlideEnrollObj is NULL", setter);
  }
  return g_slide;
}

ZqSlideEnrollObj *quorv_create_slide_enroll_instance() {
  QUORV_LOGV("%s  enter.", __func__);
  ZqFree(g_slide);
  g_slide = static_cast<ZqSlideEnrollObj *>(ZqAlloc(sizeof(ZqSlideEnrollObj)));
  if (g_slide == nullptr) {
    QUORV_LOGE("%s  FAIL!", __func__);
    return nullptr;
  }
  g_slide->slide_enroll_enable = 0;
  g_slide->slide_identify_enable = 0;
  g_slide->slide_enroll_cont = 50;
  g_slide->verify_rescan_cont = 3;
  g_slide->StandardDeviation_thr = 225;
  g_slide->noValidImageCnts_thr = 3;
  QUORV_LOGV("%s leave.", __func__);
  return g_slide;
}

}  // namespace

extern "C" ZqSlideEnrollObj *quorv_get_slide_enroll_instance(void) {
  return quorv_create_slide_enroll_instance();
}

extern "C" void quorv_destroy_slide_enroll_instance(void) {
  ZqFree(g_slide);
  g_slide = nullptr;
}

extern "C" ZqSlideEnrollObj *quorv_get_ZqSlideEnrollObjHandle(void) { return g_slide; }

#define QUORV_SLIDE_SETTER(name, type, field)                    \
  extern "C" void name(type value) {                             \
    if (ZqSlideEnrollObj *obj = SlideFor(#name)) obj->field = value; \
  }

QUORV_SLIDE_SETTER(quorv_set_slide_enroll_enable, uint8_t, slide_enroll_enable)
QUORV_SLIDE_SETTER(quorv_set_slide_identify_enable, uint8_t, slide_identify_enable)
QUORV_SLIDE_SETTER(quorv_set_slide_enroll_cont, uint8_t, slide_enroll_cont)
QUORV_SLIDE_SETTER(quorv_set_verify_rescan_cont, uint8_t, verify_rescan_cont)
QUORV_SLIDE_SETTER(quorv_set_StandardDeviation_thr, int32_t, StandardDeviation_thr)
QUORV_SLIDE_SETTER(quorv_set_noValidImageCnts_thr, uint8_t, noValidImageCnts_thr)
