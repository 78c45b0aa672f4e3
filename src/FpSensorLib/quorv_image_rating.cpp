// Rating of the current image; see quorv_image_rating.h.
#include "src/FpSensorLib/quorv_image_rating.h"

#include <string.h>

#include "src/FpSensorLib/quorv_resources.h"
#include "src/ZqAlg/ZqQualityWrappers.h"

extern "C" int quorv_RateImage(uint8_t record[QUORV_QUALITY_RECORD_BYTES], int ask_handler,
                               int *from_handler) {
  memset(record, 0xff, QUORV_QUALITY_RECORD_BYTES);
  if (from_handler != nullptr) *from_handler = 0;
  if (ask_handler && g_quorvImgQualityHandler != nullptr) {
    const int ret = g_quorvImgQualityHandler(&record[0], &record[1], &record[2], &record[3]);
    const bool complete = record[0] != 0xff && record[1] != 0xff && record[2] != 0xff &&
                          record[3] != 0xff;
    if (ret >= 0 && complete && g_quorvImgQualityHandler != nullptr) {
      if (from_handler != nullptr) *from_handler = 1;
      return 0;
    }
    memset(record, 0xff, QUORV_QUALITY_RECORD_BYTES);  // drop a partial rating
  }
  if (g_fp_image_buf == nullptr || g_fp_image_buf->g_fpImageBuf == nullptr) return -1;
  return ZqGetImageQuality(g_fp_image_buf->g_fpImageBuf, record);
}
