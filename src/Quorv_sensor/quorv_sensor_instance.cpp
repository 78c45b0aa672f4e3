#include "src/Quorv_sensor/quorv_sensor_instance.h"

#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

int32_t g_FW4859HScanTimes = 12;

namespace {

QuorvSensorInstance *g_sensor = nullptr;
uint8_t g_fw4856_base_enable = 0;
float g_fw4848_filter_thr = 0.40f;

QuorvSensorInstance *SensorFor(const char *setter) {
  if (g_sensor == nullptr) {
    QUORV_LOG_IN(setter, QUORV_LOG_ERROR, "%s......QuorvSensorInstance is NULL", setter);
  }
  return g_sensor;
}

}  // namespace

extern "C" QuorvSensorInstance *quorv_CreateSensorInstance(void) {
  ZqFree(g_sensor);
  g_sensor = static_cast<QuorvSensorInstance *>(ZqAlloc(sizeof(QuorvSensorInstance)));
  if (g_sensor == nullptr) {
    QUORV_LOGE("CreateSensorInstance FAIL!");
    return nullptr;
  }
  g_sensor->cols = 96;
  g_sensor->rows = 96;
  g_sensor->imageFilter = 0;
  g_sensor->imageSmall = 0;
  return g_sensor;
}

extern "C" void quorv_DestroySensorInstance(void) {
  ZqFree(g_sensor);
  g_sensor = nullptr;
}

extern "C" QuorvSensorInstance *quorv_GetSensorInstanceHandle(void) { return g_sensor; }

extern "C" void SetFpSensorColsRows(uint8_t cols, uint8_t rows) {
  if (QuorvSensorInstance *s = SensorFor(__func__)) {
    s->cols = cols;
    s->rows = rows;
  }
}

extern "C" void SetSensorImageFilter(uint8_t enable) {
  if (QuorvSensorInstance *s = SensorFor(__func__)) s->imageFilter = enable;
}

extern "C" void SetSensorImageSmall(uint8_t enable) {
  if (QuorvSensorInstance *s = SensorFor(__func__)) s->imageSmall = enable;
}

extern "C" void SetFW4856BaseEnable(uint8_t enable) { g_fw4856_base_enable = enable; }

extern "C" uint8_t quorv_get_FW4856BaseEnable(void) { return g_fw4856_base_enable; }

extern "C" void quorv_set_fw4859h_scan_time(int32_t times) {
  g_FW4859HScanTimes = times;
  QUORV_LOGV("%s......g_FW4859HScanTimes = %d", __func__, g_FW4859HScanTimes);
}

extern "C" void quorv_set_fw4848_filter_thr(float thr) {
  // Compared in float, so the literal ends are the float values.
  if (thr >= 0.35f && thr <= 0.40f) g_fw4848_filter_thr = thr;
  QUORV_LOGV("%s......fw4848 filter thr = %f", __func__, static_cast<double>(g_fw4848_filter_thr));
}

extern "C" float quorv_get_fw4848_filter_thr(void) { return g_fw4848_filter_thr; }
