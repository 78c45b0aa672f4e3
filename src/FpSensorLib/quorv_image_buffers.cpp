// Copies into and out of the image work buffers; see quorv_resources.h.
// Every copy is bounded by the buffers' size: the configured size may have
// changed since the buffers were built, and callers pass their own lengths.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// The buffers that an incoming image needs, or NULL.
QuorvImgeBuf *InputBuffers() {
  QuorvImgeBuf *b = g_fp_image_buf;
  if (b == nullptr || b->g_fpImageBuf == nullptr || b->g_fpImageBufAlg == nullptr ||
      b->g_fpImageBufBeforeSpa == nullptr) {
    return nullptr;
  }
  return b;
}

// True when len bytes fit the work buffers.
bool Fits(uint32_t len) { return g_fp_image_buf != nullptr && len <= g_fp_image_buf->bufSize; }

uint8_t *CopyOut(uint8_t *dst, uint8_t *QuorvImgeBuf::*field, uint16_t len) {
  if (dst == nullptr || !Fits(len) || g_fp_image_buf->*field == nullptr) return nullptr;
  memcpy(dst, g_fp_image_buf->*field, len);
  return dst;
}

}  // namespace

extern "C" {

int quorv_CopyImageData(const uint8_t *image, uint16_t len) {
  QuorvImgeBuf *b = InputBuffers();
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (image == nullptr || len == 0 || b == nullptr || c == nullptr) return -1;
  if (len > c->sensor_cols * c->sensor_rows || !Fits(len)) return -1;
  memcpy(b->g_fpImageBuf, image, len);
  memcpy(b->g_fpImageBufAlg, image, len);
  return 0;
}

int quorv_CopyImageDataToAlgo(const uint8_t *image, uint16_t width, uint16_t height,
                              uint16_t stride) {
  QuorvImgeBuf *b = InputBuffers();
  if (image == nullptr || b == nullptr) return -1;
  if (width == 0 || height == 0 || stride == 0) return -1;
  if (stride < width || stride > width + 3) return -1;
  if (width % 4 == 0 && width == stride) {
    const uint32_t bytes = static_cast<uint32_t>(width) * height;
    if (bytes > 0xffffu) return -1;  // beyond any length the plain copy takes
    return quorv_CopyImageData(image, static_cast<uint16_t>(bytes));
  }
  const uint32_t packed = static_cast<uint32_t>(width) * height;
  if (!Fits(packed)) return -1;
  for (uint32_t row = 0; row < height; ++row) {
    memcpy(b->g_fpImageBuf + row * width, image + row * stride, width);
  }
  memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, packed);
  return 0;
}

int quorv_CopyImageAlg(const uint8_t *image, uint16_t len) {
  if (image == nullptr || !Fits(len) || g_fp_image_buf->g_fpImageBufAlg == nullptr) return -1;
  memcpy(g_fp_image_buf->g_fpImageBufAlg, image, len);
  return 0;
}

uint8_t *quorv_GetFpImageBuffEnroll(uint8_t *dst, uint16_t len) {
  return CopyOut(dst, &QuorvImgeBuf::g_fpImageBuf, len);
}

uint8_t *quorv_GetFpImageAlgBuff(uint8_t *dst, uint16_t len) {
  return CopyOut(dst, &QuorvImgeBuf::g_fpImageBufAlg, len);
}

void quorv_GetFpSpaImageBuff(uint8_t *dst, uint16_t len, uint8_t selector) {
  if (selector == 0) {
    QUORV_LOGV("quorv tips : quorv_GetFpSpaImageBuff before spa");
    CopyOut(dst, &QuorvImgeBuf::g_fpImageBufBeforeSpa, len);
  } else if (selector == 1) {
    QUORV_LOGV("quorv tips : quorv_GetFpSpaImageBuff after spa");
    CopyOut(dst, &QuorvImgeBuf::g_fpImageBufAfterSpa, len);
  }
}

int quorv_GetImageRawData(uint8_t *dst, uint16_t len) {
  if (dst == nullptr) {
    QUORV_LOGE("input buf = NULL");
    return -1;
  }
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || spi->rawBuf == nullptr || len > QUORV_SPI_IMAGE_BUF_SIZE) return -1;
  memcpy(dst, spi->rawBuf, len);
  return 0;
}

}  // extern "C"
