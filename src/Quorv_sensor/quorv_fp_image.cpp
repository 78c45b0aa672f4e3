#include "src/Quorv_sensor/quorv_fp_image.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_fw4856_base.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_image_read.h"
#include "src/quorv_fp_spi/quorv_mcu_cmd.h"

namespace {

constexpr int kScratchBytes = 51200;
// 2 x QUORV_FW4856_FAST_PIXELS unpacked bytes plus the 6 a packed group may
// read past them.
constexpr int kFastWorkBytes = 2 * QUORV_FW4856_FAST_PIXELS + 6;

}  // namespace

extern "C" void AppFastModeDataConvent(uint8_t *buf) {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || buf == nullptr || spi->imagebit != QUORV_IMAGEBIT_10) return;
  const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  if (n > QUORV_FW4856_FAST_PIXELS) {
    QUORV_LOGE("AppFastModeDataConvent: %ld pixels exceed %d", n, QUORV_FW4856_FAST_PIXELS);
    return;
  }
  uint8_t *scratch = static_cast<uint8_t *>(ZqAlloc(kScratchBytes));
  if (scratch == nullptr) {
    QUORV_LOGE("AppFastModeDataConvent: memory ZqAlloc error!");
    return;
  }
  const long length = 2 * n;
  QUORV_LOGD("AppFastModeDataConvent***image_w = %d, image_h = %d, Length = %ld",
             spi->imagewidth, spi->imageheight, length);
  // One six-byte group per eight output bytes.
  for (long o = 0, d = 0; d < length; o += 6, d += 8) {
    const uint8_t *b = buf + o;
    uint8_t *s = scratch + d;
    if (o == 0) {
      QUORV_LOGD("before: %02x %02x %02x %02x %02x %02x", b[0], b[1], b[2], b[3], b[4], b[5]);
    }
    s[0] = b[0] & 0x0F;
    s[1] = b[1];
    s[2] = b[2] & 0x0F;
    s[3] = b[3];
    s[4] = b[4] & 0x0F;
    s[5] = b[5];
    s[6] = b[0] >> 4;
    s[7] = static_cast<uint8_t>((b[2] & 0xF0) | (b[4] >> 4));
    if (o == 0) {
      QUORV_LOGD("after: %02x %02x %02x %02x %02x %02x %02x %02x", s[0], s[1], s[2], s[3], s[4],
                 s[5], s[6], s[7]);
    }
  }
  std::memcpy(buf, scratch, static_cast<size_t>(length));
  ZqFree(scratch);
  QUORV_LOGD("%s...date convent finish!", __func__);
}

extern "C" int GetFpImageSimple(uint8_t *img, uint32_t index) {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || img == nullptr) return -1;
  int ret;
  if (spi->imagebit == QUORV_IMAGEBIT_10 && spi->icinfo == SENSOR_FW4856) {
    const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
    if (n > QUORV_FW4856_FAST_PIXELS) {
      QUORV_LOGE("%s: %ld pixels exceed %d", __func__, n, QUORV_FW4856_FAST_PIXELS);
      return -1;
    }
    static uint8_t work[kFastWorkBytes];
    std::memset(work, 0, sizeof work);
    ret = quorv_fp_sensor_read_image(work, index);
    if (quorv_get_FW4856BaseEnable() == 1) {
      AppFastModeDataConvent(work);
      App_Quorv_Base_Process(work);
    }
    for (long p = 0; p < n; ++p) {
      const int v = work[2 * p] << 8 | work[2 * p + 1];
      img[p] = static_cast<uint8_t>((4092 - v) >> 4);
    }
  } else {
    ret = quorv_fp_sensor_read_image(img, index);
  }
  QUORV_LOGD("%s...finish, ret = %d", __func__, ret);
  return ret;
}

extern "C" int GetFpImage(uint8_t *img, uint32_t index) {
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGI("GetFpImage......mcu is busy now!");
    return -1;
  }
  QUORV_LOGV("GetFpImage......image scan");
  quorv_fp_sensor_image_scan();
  int polls = 0;
  while (quorv_fp_mcu_status() != 0) {
    if (++polls > QUORV_SCAN_WAIT_POLLS) {
      QUORV_LOGE("GetFpImage......mcu still busy after %d polls", QUORV_SCAN_WAIT_POLLS);
      return -1;
    }
    quorv_usleep(6);
  }
  QUORV_LOGV("GetFpImage......image read start");
  const int ret = GetFpImageSimple(img, index);
  QUORV_LOGD("GetFpImage......image read end");
  return ret;
}
