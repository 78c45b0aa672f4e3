#include "src/quorv_fp_spi/quorv_callback_readers.h"

#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

int FromHost(uint8_t *buf, uint32_t index, const char *name) {
  if (g_quorvHostCallbacks.GetImage == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s Leave...", name);
    return -1;
  }
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s Leave...", name);
  return g_quorvHostCallbacks.GetImage(buf, index);
}

}  // namespace

extern "C" int quorv_fp_sensor_read_fw4848_image(uint8_t *buf, uint32_t index) {
  QUORV_LOGD("%s Enter...", __func__);
  return FromHost(buf, index, __func__);
}

extern "C" int quorv_fp_sensor_read_fw4845_image(uint8_t *buf, uint32_t index) {
  QUORV_LOGD("%s Enter...", __func__);
  return FromHost(buf, index, __func__);
}

extern "C" int quorv_fp_sensor_read_ze4850_image(uint8_t *buf, uint32_t index) {
  QUORV_LOGD("%s Enter...", __func__);
  return FromHost(buf, index, __func__);
}

extern "C" int quorv_fp_sensor_read_fw4843_image(uint8_t *buf, uint32_t index) {
  return FromHost(buf, index, __func__);
}

extern "C" int fw4848_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index) {
  return quorv_fp_sensor_read_fw4848_image(buf, index);
}

extern "C" int fw4845_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index) {
  return quorv_fp_sensor_read_fw4845_image(buf, index);
}

extern "C" int ze4850_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index) {
  return quorv_fp_sensor_read_ze4850_image(buf, index);
}

extern "C" int fw4843_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index) {
  return quorv_fp_sensor_read_fw4843_image(buf, index);
}
