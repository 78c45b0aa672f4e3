#include <cstring>

#include "src/Quorv_sensor/quorv_slide_x.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

extern "C" void quorv_BitConventer(uint8_t *img) {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || img == nullptr || spi->fw4847_imagewidth == spi->imagewidth) return;
  const int cols = spi->imagewidth, rows = spi->imageheight;
  const int cw = spi->fw4847_imagewidth, ch = spi->fw4847_imageheight;
  if (cw > cols || ch > rows) {
    QUORV_LOGE("BitConventer......crop %dx%d larger than image %dx%d", cw, ch, cols, rows);
    return;
  }
  uint8_t *block = static_cast<uint8_t *>(ZqAlloc(cw * ch));
  if (block == nullptr) return;
  const int start_w = (cols - cw) / 2, start_h = (rows - ch) / 2;
  for (int i = 0; i < ch; ++i) {
    std::memcpy(block + i * cw, img + (start_h + i) * cols + start_w, static_cast<size_t>(cw));
  }
  std::memset(img, 0, static_cast<size_t>(cw) * ch);
  std::memcpy(img, block, static_cast<size_t>(cw) * ch);
  ZqFree(block);
  QUORV_LOGD(
      "BitConventer......sZqSensor->image_cols = %d, sZqSensor->image_rows = %d, start_w = %d, "
      "start_h = %d",
      cw, ch, start_w, start_h * cols);
}
