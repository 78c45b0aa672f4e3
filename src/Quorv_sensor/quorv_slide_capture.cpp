#include "src/Quorv_sensor/quorv_slide_capture.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_callback_readers.h"
#include "src/quorv_fp_spi/quorv_fw4847_read.h"
#include "src/quorv_fp_spi/quorv_image_read.h"

namespace {

using ReadFn = int (*)(uint8_t *, uint32_t);

// What a member does with a failed read.
enum class OnError {
  kFail,       // logged, -1 at once
  kClear,      // logged, image cleared, result 0, go on
  kKeep,       // logged as a warning with 0, result 0, go on with the image
  kKeepSaved,  // logged, result 0, the image is saved as read
};

struct Member {
  const char *name;
  ReadFn read;
  bool enroll;          // N from slide_enroll_cont and the list emptied first
  bool handshake;       // ReadImageStart / GetImageBase ... ReadImageEnd
  bool variance;        // images are judged
  bool keep_unusable;   // unusable images are saved; stop at noValidImageCnts_thr
  OnError on_error;
};

// Dropped unusable images end the burst when the run exceeds this.
constexpr int kDroppedRunLimit = 2;

int RunBurst(const Member &m, uint8_t *img) {
  ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  const ZqSlideEnrollObj *slide = quorv_get_ZqSlideEnrollObjHandle();
  if (spi == nullptr || slide == nullptr || img == nullptr) {
    QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s...instance or image missing", m.name);
    return -1;
  }
  const int count = m.enroll ? slide->slide_enroll_cont : slide->verify_rescan_cont;
  if (m.enroll) quorv_DestroyImage();
  if (m.handshake) {
    if (g_quorvHostCallbacks.ReadImageStart == nullptr) {
      QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s.....image read start error!", m.name);
      return -1;
    }
    g_quorvHostCallbacks.ReadImageStart();
    if (g_quorvHostCallbacks.GetImageBase == nullptr) {
      QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s.....image read base error!", m.name);
      return -1;
    }
    g_quorvHostCallbacks.GetImageBase(spi->baseBuf, &spi->baseLen);
    QUORV_LOG_IN(m.name, QUORV_LOG_INFO, "read image...baselen = %d", spi->baseLen);
  }
  if (m.enroll) {
    QUORV_LOG_IN(m.name, QUORV_LOG_INFO, "%s...enroll_image_cnt = %d", m.name, count);
  } else {
    QUORV_LOG_IN(m.name, QUORV_LOG_INFO, "%s...identify_image_cnt = %d", m.name, count);
  }

  const uint8_t cols = spi->imagewidth, rows = spi->imageheight;
  const uint32_t thr = static_cast<uint32_t>(slide->StandardDeviation_thr);
  const bool saves_all = m.keep_unusable || !m.variance;
  int ret = 0;
  uint8_t run = 0;
  for (int i = 0; i < count; ++i) {
    ret = m.read(img, static_cast<uint32_t>(i));
    if (ret < 0) {
      switch (m.on_error) {
        case OnError::kFail:
          QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s...get image error = %d", m.name, ret);
          return -1;
        case OnError::kClear:
          std::memset(img, 0, static_cast<size_t>(cols) * rows);
          QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s...get image error = %d", m.name, ret);
          break;
        case OnError::kKeep:
          QUORV_LOG_IN(m.name, QUORV_LOG_WARNING, "%s...get image error, ret = %d", m.name, 0);
          break;
        case OnError::kKeepSaved:
          QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s...get image error = %d", m.name, ret);
          break;
      }
      ret = 0;
    }
    const bool usable = !m.variance || quorv_StandardDeviation(img, cols, rows, 16, 16) >= thr;
    if (usable) {
      quorv_SaveImage(img);
      run = 0;
    } else {
      ++run;
      if (m.keep_unusable) quorv_SaveImage(img);
      const bool stop = m.keep_unusable ? run >= slide->noValidImageCnts_thr
                                        : run > kDroppedRunLimit;
      if (stop) {
        QUORV_LOG_IN(m.name, QUORV_LOG_INFO, "%s......read image finish! no_usefull_image = %d",
                     m.name, run);
        break;
      }
    }
    if (saves_all) QUORV_LOG_IN(m.name, QUORV_LOG_INFO, "%s......save image index = %d", m.name, i);
  }

  if (m.handshake) {
    if (g_quorvHostCallbacks.ReadImageEnd == nullptr) {
      QUORV_LOG_IN(m.name, QUORV_LOG_ERROR, "%s.....image read start error!", m.name);
      return -1;
    }
    g_quorvHostCallbacks.ReadImageEnd();
  }
  return ret;
}

}  // namespace

extern "C" uint32_t quorv_StandardDeviation(const uint8_t *img, uint8_t cols, uint8_t rows,
                                            uint8_t winW, uint8_t winH) {
  if (img == nullptr || winW == 0 || winH == 0 || winW > cols || winH > rows) {
    QUORV_LOGE("%s......window %dx%d does not fit image %dx%d", __func__, winW, winH, cols, rows);
    return 0;
  }
  const int x0 = (cols - winW) / 2, y0 = (rows - winH) / 2;
  const uint32_t size = static_cast<uint32_t>(winW) * winH;
  uint8_t *win = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(size)));
  if (win == nullptr) return 0;
  for (int y = 0; y < winH; ++y) {
    std::memcpy(win + y * winW, img + (y0 + y) * cols + x0, winW);
  }
  uint32_t sum = 0;
  for (uint32_t i = 0; i < size; ++i) sum += win[i];
  const uint32_t mean = sum / size;
  QUORV_LOGD("%s......pixel_average = %u", __func__, mean);
  uint32_t sq = 0;
  for (uint32_t i = 0; i < size; ++i) {
    const int d = static_cast<int>(win[i]) - static_cast<int>(mean);
    sq += static_cast<uint32_t>(d * d);
  }
  const uint32_t variance = sq / size;
  ZqFree(win);
  QUORV_LOGD("%s......standard_deviation = %u", __func__, variance);
  return variance;
}

extern "C" int fw4847_SlideEnrollReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4847_image, true, true, true, false,
                   OnError::kFail}, img);
}

extern "C" int fw4847_SlideVerifyReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4847_image, false, true, true, false,
                   OnError::kFail}, img);
}

extern "C" int fw4845_SlideVerifyReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4845_image, false, true, true, false,
                   OnError::kFail}, img);
}

extern "C" int ze4850_SlideVerifyReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_ze4850_image, false, false, true, false,
                   OnError::kFail}, img);
}

extern "C" int fw4848_SlideEnrollReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4848_image, true, false, true, true,
                   OnError::kClear}, img);
}

extern "C" int fw4845_SlideEnrollReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4845_image, true, false, true, true,
                   OnError::kKeep}, img);
}

extern "C" int ze4850_SlideEnrollReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_ze4850_image, true, false, true, true,
                   OnError::kKeep}, img);
}

extern "C" int fw4843_SlideEnrollReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4843_image, true, false, true, true,
                   OnError::kKeep}, img);
}

extern "C" int fw4848_SlideVerifyReadImage(uint8_t *img) {
  return RunBurst({__func__, quorv_fp_sensor_read_fw4848_image, false, true, false, false,
                   OnError::kKeepSaved}, img);
}

extern "C" int quorv_SlideEnrollReadImage(uint8_t *img) {
  switch (quorv_get_icinfo()) {
    case SENSOR_FW4847: return fw4847_SlideEnrollReadImage(img);
    case SENSOR_FW4848: return fw4848_SlideEnrollReadImage(img);
    case SENSOR_FW4845: return fw4845_SlideEnrollReadImage(img);
    case SENSOR_ZE4850:
    case SENSOR_DO4851: return ze4850_SlideEnrollReadImage(img);
    default: return quorv_fp_sensor_read_image(img, 0);
  }
}

extern "C" int quorv_SlideVerifyReadImage(uint8_t *img) {
  switch (quorv_get_icinfo()) {
    case SENSOR_FW4847: return fw4847_SlideVerifyReadImage(img);
    case SENSOR_FW4848: return fw4848_SlideVerifyReadImage(img);
    case SENSOR_FW4845: return fw4845_SlideVerifyReadImage(img);
    case SENSOR_ZE4850:
    case SENSOR_DO4851: return ze4850_SlideVerifyReadImage(img);
    default: return quorv_fp_sensor_read_image(img, 0);
  }
}
