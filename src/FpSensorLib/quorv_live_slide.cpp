#include "src/FpSensorLib/quorv_live_slide.h"

#include <string.h>

#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

namespace quorv_live {

SlideView::SlideView(const QuorvConfigInfo *c, QuorvImgeBuf *b)
    : c_(c), buf_(b), work_(nullptr), len_(static_cast<uint16_t>(b->bufSize)) {
  work_ = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(b->bufSize)));
}

SlideView::~SlideView() { ZqFree(work_); }

void SlideView::Load(uint8_t pos, uint8_t *dst) const { quorv_get_sensor_image_buff(dst, len_, pos); }

int SlideView::AreaOf(uint8_t pos, uint8_t *dst) const {
  Load(pos, dst);
  uint8_t q[4] = {0, 0, 0, 0};
  if (ZqGetImageQuality(dst, q) < 0) return 0;
  return q[1];
}

int SlideView::Cover(const uint8_t *a, const uint8_t *b) const {
  return quorv_CoverArea(a, b, static_cast<uint16_t>(c_->sensor_rows),
                         static_cast<uint16_t>(c_->sensor_cols), 5);
}

int SlideView::Prune(const char *func, bool lastValidLog, bool shortCountLog) const {
  uint8_t n = 0;
  quorv_get_sensor_image_num(&n);
  int first = 0;
  for (int j = 1; j <= n; ++j) {
    if (AreaOf(static_cast<uint8_t>(j), image()) != 0) {
      first = j;
      break;
    }
    quorv_set_sensor_image_invalid(static_cast<uint8_t>(j));
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...2.1 image %d is invalid", func, j);
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...2.1...first_valid_image = %d, get_img_num = %d", func,
               first, n);
  if (first != 0) {
    for (int k = first + 1; k <= n; ++k) {
      Load(static_cast<uint8_t>(k - 1), image());
      Load(static_cast<uint8_t>(k), work());
      const int r = Cover(image(), work());
      if (r == 1 || r == -1) {
        quorv_set_sensor_image_invalid(static_cast<uint8_t>(k));
        QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...2.2 image %d is invalid", func, k);
      }
    }
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...2.2...first_valid_image = %d, get_img_num = %d", func,
               first, n);
  int last = n;
  while (last > 0 && AreaOf(static_cast<uint8_t>(last), image()) <= c_->enroll_valid_area) {
    quorv_set_sensor_image_invalid(static_cast<uint8_t>(last));
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...3 image %d is invalid", func, last);
    --last;
  }
  if (lastValidLog)
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...3...last_valid_image = %d", func, last);
  quorv_delete_invalid_sensor_image();
  uint8_t m = 0;
  quorv_get_sensor_image_num(&m);
  if (shortCountLog)
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s..4..get_img_num = %d, get_img_index = %d", func, m, m);
  else
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...4...get_img_num = %d, get_img_index = %d", func, m,
                 m);
  if (m == 0) QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...NOT finger image, ret = %d", func, -1);
  return m;
}

void SaveIfOn(const QuorvConfigInfo *c, const uint8_t *img) {
  if (c->image_save == 1) quorv_SaveRescanImage(img);
}

}  // namespace quorv_live
