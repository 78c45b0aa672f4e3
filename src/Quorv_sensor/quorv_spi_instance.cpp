#include "src/Quorv_sensor/quorv_spi_instance.h"

#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"

namespace {

ZqSpiObj *g_spi = nullptr;

void FreeSpi(ZqSpiObj *obj) {
  if (obj == nullptr) return;
  ZqFree(obj->imageBuf);
  ZqFree(obj->baseBuf);
  ZqFree(obj->rawBuf);
  ZqFree(obj);
}

// Returns the instance for a setter, or logs on its behalf and gives NULL.
ZqSpiObj *SpiFor(const char *setter) {
  if (g_spi == nullptr) QUORV_LOG_IN(setter, QUORV_LOG_ERROR, "%s......ZqSpiObj is NULL", setter);
  return g_spi;
}

ZqSpiObj *quorv_create_spi_instance() {
  QUORV_LOGV("quorv_create_spi_instance enter.");
  FreeSpi(g_spi);
  g_spi = nullptr;
  auto *obj = static_cast<ZqSpiObj *>(ZqAlloc(sizeof(ZqSpiObj)));
  if (obj != nullptr) {
    obj->imageBuf = static_cast<uint8_t *>(ZqAlloc(QUORV_SPI_IMAGE_BUF_SIZE));
    obj->baseBuf = static_cast<uint8_t *>(ZqAlloc(QUORV_SPI_IMAGE_BUF_SIZE));
    obj->rawBuf = static_cast<uint8_t *>(ZqAlloc(QUORV_SPI_IMAGE_BUF_SIZE));
  }
  if (obj == nullptr || obj->imageBuf == nullptr || obj->baseBuf == nullptr ||
      obj->rawBuf == nullptr) {
    // A record without its buffers would be read through NULL later.
    FreeSpi(obj);
    QUORV_LOGE("quorv_create_spi_instance FAIL!");
    return nullptr;
  }
  obj->imagebit = QUORV_IMAGEBIT_8;
  obj->McuInterruptMode = 0;
  obj->TransferBytesMax = 1014;
  obj->imagewidth = 96;
  obj->imageheight = 96;
  obj->fw4847_imagewidth = 96;
  obj->fw4847_imageheight = 96;
  obj->icinfo = SENSOR_ZQ4842;
  obj->image_adjust = 0;
  obj->baseLen = 0;
  obj->saveImageEn = 1;
  obj->imageFilterEn = 0;
  g_spi = obj;
  QUORV_LOGI("quorv_create_spi_instance OK!");
  QUORV_LOGV("quorv_create_spi_instance leave.");
  return obj;
}

}  // namespace

extern "C" ZqSpiObj *quorv_get_spi_instance(void) { return quorv_create_spi_instance(); }

extern "C" void quorv_destroy_spi_instance(void) {
  FreeSpi(g_spi);
  g_spi = nullptr;
  quorv_DestroyImage();
}

extern "C" ZqSpiObj *quorv_get_ZqSpiObjHandle(void) { return g_spi; }

extern "C" uint8_t quorv_get_icinfo(void) { return g_spi != nullptr ? g_spi->icinfo : static_cast<uint8_t>(SENSOR_NONE); }

#define QUORV_SPI_SETTER(name, type, field)            \
  extern "C" void name(type value) {                   \
    if (ZqSpiObj *obj = SpiFor(#name)) obj->field = value; \
  }

QUORV_SPI_SETTER(quorv_set_imagebit, uint32_t, imagebit)
QUORV_SPI_SETTER(quorv_set_McuInterruptMode, uint32_t, McuInterruptMode)
QUORV_SPI_SETTER(quorv_set_imagewidth, uint8_t, imagewidth)
QUORV_SPI_SETTER(quorv_set_imageheight, uint8_t, imageheight)
QUORV_SPI_SETTER(quorv_set_fw4847_imagewidth, uint8_t, fw4847_imagewidth)
QUORV_SPI_SETTER(quorv_set_fw4847_imageheight, uint8_t, fw4847_imageheight)
QUORV_SPI_SETTER(quorv_set_TransferBytesMax, int32_t, TransferBytesMax)
QUORV_SPI_SETTER(quorv_fp_SetTransferBytesMax, int32_t, TransferBytesMax)
QUORV_SPI_SETTER(quorv_set_saveImageEn, uint8_t, saveImageEn)
QUORV_SPI_SETTER(quorv_set_imageFilterEn, uint8_t, imageFilterEn)

extern "C" void quorv_set_icinfo(uint8_t icinfo) {
  QUORV_LOGV("quorv_set_icinfo %d\n", icinfo);
  if (ZqSpiObj *obj = SpiFor(__func__)) obj->icinfo = icinfo;
}

extern "C" void quorv_set_image_adjust(uint8_t adjust) {
  QUORV_LOGV("quorv_set_image_adjust %d\n", adjust);
  if (ZqSpiObj *obj = SpiFor(__func__)) obj->image_adjust = adjust;
}

extern "C" void quorv_SetimageColsRows(uint8_t cols, uint8_t rows) {
  ZqSpiObj *obj = SpiFor(__func__);
  if (obj == nullptr) return;
  if (obj->icinfo == SENSOR_FW4847) {
    obj->fw4847_imagewidth = cols;
    obj->fw4847_imageheight = rows;
    if (cols == 56 && rows == 56) {
      // The 56 x 56 window is cut out of a full 64 x 80 read.
      cols = 64;
      rows = 80;
    }
  }
  obj->imagewidth = cols;
  obj->imageheight = rows;
}
