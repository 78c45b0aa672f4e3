// The per-action step, the enrolment counters and the result mapping.
#define FP_COMPONENT "quorvanta"

#include "drivers/quorvanta/quorvanta_action.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/bq_log.h"
#include "drivers/chips/zq4846/zq4846.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/quorvanta_tpl.h"
#include "drivers/quorvanta/zq_sensor.h"
#include "drivers/zq4845/zq4845_image.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace {

constexpr const char *kTag = "quorvanta:core";

// Framework results.
constexpr int kComplete = 1, kFail = 2, kPass = 3;
constexpr int kRetry = 100, kRetryTooShort = 101, kRetryCenter = 102, kRetryRemove = 103;
constexpr int kNoMatch = 0, kMatch = 1;

// Bytes the brightness check averages.
constexpr uint16_t kAvgBytes = 5120;

// Enrolment counters: base, slow count and remaining extra images. The index
// of an image in the library's enrolment is (B - R) + stage, so every extra
// image the step adds moves later images one index on.
int g_base = 5, g_slow = 0, g_remaining = 5;

bool Is4845Product(uint16_t pid) {
  return pid == 0x3b15 || pid == 0x3b16 || pid == 0x3b19 || pid == 0x3b1a;
}

size_t FrameBytes(const quorvanta_ctx_t &ctx) {
  return static_cast<size_t>(ctx.sensor_info.sensor.cols) * ctx.sensor_info.sensor.rows;
}

bool HasSide80(const quorvanta_ctx_t &ctx) {
  return ctx.sensor_info.sensor.cols == 80 || ctx.sensor_info.sensor.rows == 80;
}

// The brightness class of the frame, averaged over at most the frame.
int FrameBrightness(const quorvanta_ctx_t &ctx) {
  size_t n = FrameBytes(ctx) < kAvgBytes ? FrameBytes(ctx) : kAvgBytes;
  return image_avg_check(ctx.raw_image, static_cast<uint16_t>(n));
}

void LogBadBrightness(int c) {
  if (c == 4)
    BQ_LOG_ERROR_MSG(kTag, "image too dark or white ,need check");
  else
    BQ_LOG_ERROR_MSG(kTag, "image too dark or white ,rek");
}

// Verify and identify: 0x3b15 modules with a side of 80 pixels reset the
// module after repeated bad frames.
void BrightnessCheck(const quorvanta_ctx_t &ctx) {
  if (ctx.pid != 0x3b15 || !HasSide80(ctx)) return;
  int c = FrameBrightness(ctx);
  if (c == 0) {
    zq4846_hw_reset_clear();
  } else {
    LogBadBrightness(c);
    zq4846_hw_reset();
  }
}

// Destroys, re-creates and reconfigures the sensor library: 0 or the error.
int RebuildLibrary() {
  quorv_SensorResourceDestroy();
  int r = quorv_SensorResourceCreate();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "quorv_SensorResourceCreate(..) = %d.", r);
    return r;
  }
  r = alg_do_config();
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "algo_do_config(..) = %d.", r);
    return r;
  }
  return 0;
}

// The template of the finished enrolment as the image device's enrol print.
int CompleteEnrolment(fp_img_dev *imgdev, fp_img *img) {
  std::unique_ptr<uint8_t, decltype(&std::free)> buf(
      static_cast<uint8_t *>(std::calloc(1, QUORVANTA_TPL_BUF_SIZE)), &std::free);
  if (!buf) {
    BQ_LOG_ERROR_MSG(kTag, "template_manager_new(%u) = '%s'.", QUORVANTA_TPL_BUF_SIZE,
                     bq_strerror(BQ_ERROR_NOMEM));
    return kFail;
  }
  int r = bq_sensor_save_template(buf.get());
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "quorv_SaveAlgTplData(..) = %d.", r);
    return kFail;
  }
  // The last image must yield minutiae, as every print of the framework does.
  if (img == nullptr) return kFail;
  if (img->minutiae == nullptr) {
    r = fpi_img_detect_minutiae(img);
    if (r < 0) return kFail;
    if (img->minutiae == nullptr || img->minutiae->count == 0) {
      BQ_LOG(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: no minutiae after successful detection?",
             "fp_img_to_print_data", "quorvanta.c", __LINE__);
      return kFail;
    }
  }
  const uint8_t *bytes = buf.get();
  uint32_t len = static_cast<uint32_t>(bytes[3]) | static_cast<uint32_t>(bytes[4]) << 8 |
                 static_cast<uint32_t>(bytes[5]) << 16 | static_cast<uint32_t>(bytes[6]) << 24;
  const size_t item_len = static_cast<size_t>(len) + QUORVANTA_TPL_HEAD;
  fp_print_data_item *item = fpi_print_data_item_new(item_len);
  if (item == nullptr) return kFail;
  std::memcpy(item->data, bytes, item_len);
  if (imgdev->enroll_data == nullptr) imgdev->enroll_data = fpi_print_data_new(imgdev->dev);
  if (imgdev->enroll_data == nullptr) {
    g_free(item);
    return kFail;
  }
  imgdev->enroll_data->type = FP_PRINT_DATA_MINUTIAE;
  imgdev->enroll_data->prints = g_slist_prepend(imgdev->enroll_data->prints, item);
  return kComplete;
}

void EnrolStep(fp_img_dev *imgdev, quorvanta_ctx_t &ctx, fp_img *img) {
  int e = libfp_enroll_by_image(imgdev->enroll_stage);
  imgdev->action_result = remap_acquired_info(e);
  if (ctx.pid == 0x3b15 && (e == -3 || e == -4 || e == -5)) {
    if (HasSide80(ctx)) {
      int c = FrameBrightness(ctx);
      if (c != 0) {
        LogBadBrightness(c);
        zq4846_hw_reset();
      }
    }
  } else {
    zq4846_hw_reset_clear();
  }
  if (e != 0) return;
  imgdev->action_result = kPass;
  imgdev->enroll_stage++;
  if (imgdev->enroll_stage == imgdev->dev->nr_enroll_stages)
    imgdev->action_result = CompleteEnrolment(imgdev, img);
}

void VerifyStep(fp_img_dev *imgdev, quorvanta_ctx_t &ctx) {
  BrightnessCheck(ctx);
  fp_print_data *print = imgdev->dev->verify_data;
  quorvanta_tpl t{};
  const fp_print_data_item *item =
      print != nullptr && print->prints != nullptr
          ? static_cast<const fp_print_data_item *>(print->prints->data)
          : nullptr;
  if (item == nullptr || quorvanta_tpl_parse(item->data, item->length, &t) != 0) {
    imgdev->action_result = kNoMatch;
    return;
  }
  imgdev->action_result = remap_acquired_info(bq_sensor_verify_by_template(&t));
}

void IdentifyStep(fp_img_dev *imgdev, quorvanta_ctx_t &ctx) {
  BrightnessCheck(ctx);
  fp_print_data **gallery = imgdev->dev->identify_gallery;
  size_t count = 0;
  while (gallery != nullptr && gallery[count] != nullptr) count++;
  // The templates that load, and the gallery index of each, so that a match
  // reports the gallery position even when an earlier print was skipped.
  std::vector<quorvanta_tpl> tpls;
  std::vector<size_t> positions;
  try {
    tpls.reserve(count);
    positions.reserve(count);
  } catch (const std::bad_alloc &) {
    BQ_LOG_ERROR_MSG(kTag, "template_manager_new(%u) = '%s'.",
                     static_cast<unsigned>(count + 1), bq_strerror(BQ_ERROR_NOMEM));
    imgdev->action_result = kRetryRemove;
    return;
  }
  const fp_driver *driver = imgdev->dev->driver;
  for (size_t i = 0; i < count; i++) {
    // Only this driver's prints hold its templates.
    if (driver != nullptr && gallery[i]->driver_id != driver->id) {
      BQ_LOG_ERROR_MSG(kTag, "gallery print %zu skipped: print of driver %d.", i,
                       gallery[i]->driver_id);
      continue;
    }
    const fp_print_data_item *item =
        gallery[i]->prints != nullptr
            ? static_cast<const fp_print_data_item *>(gallery[i]->prints->data)
            : nullptr;
    quorvanta_tpl t{};
    if (item == nullptr || quorvanta_tpl_parse(item->data, item->length, &t) != 0) {
      BQ_LOG_ERROR_MSG(kTag, "gallery print %zu skipped: not a template.", i);
      continue;
    }
    tpls.push_back(t);
    positions.push_back(i);
  }
  if (tpls.empty() && count > 0) {
    // Nothing of the gallery can answer for the finger.
    imgdev->action_result = remap_acquired_info(QUORV_ERR_ALGORITHM);
    imgdev->identify_match_offset = QUORV_NO_FINGER;
    return;
  }
  std::vector<const quorvanta_tpl *> list;
  for (const auto &t : tpls) list.push_back(&t);
  list.push_back(nullptr);
  uint32_t fid = QUORV_NO_FINGER;
  int e = bq_sensor_identify_by_gallery(list.data(), positions.data(), &fid);
  imgdev->action_result = remap_acquired_info(e);
  imgdev->identify_match_offset = e == 0 && fid < positions.size() ? positions[fid] : fid;
}

}  // namespace

extern "C" {

int image_avg_check(const uint8_t *frame, uint16_t n) {
  if (n == 0 || frame == nullptr) {
    std::printf("iamge avg=%d", 0);
    return 2;
  }
  unsigned long sum = 0;
  for (uint16_t i = 0; i < n; i++) sum += frame[i];
  int avg = static_cast<int>(sum / n);
  std::printf("iamge avg=%d", avg);
  if (avg < 60) return 2;
  if (avg > 200) return 1;
  if (avg >= 80 && avg <= 180) return 0;
  return 4;
}

int enrollment_tips_parameter_restore(int tips, int p1, int p2, uint8_t p4) {
  BQ_LOG_ENTER(kTag);
  const quorvanta_ctx_t *ctx = quorvanta_ctx;
  quorv_SetEnrollmentTipsEn(static_cast<uint32_t>(ctx != nullptr && ctx->module_type == 1 ? tips * 2 : tips));
  quorv_SetEnrollmentTipsParameter(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2), 0, p4);
  BQ_LOG_LEAVE(kTag);
  return 0;
}

int libfp_enroll_by_image(int stage) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr || ctx->raw_image == nullptr) return QUORV_ERR_INPUT;
  if (stage == 0) {
    quorv_ClearEnrollPara();
    g_base = 5;
    g_slow = 0;
    g_remaining = 5;
    enrollment_tips_parameter_restore(1, 40, 70, 10);
  }
  const uint8_t index = static_cast<uint8_t>(g_base - g_remaining + stage);
  BQ_LOG_ENTER(kTag);
  int e = quorv_EnrollByImage(0, index, ctx->raw_image);
  if (ctx->module_type == 1) {
    // Two half frames per capture.
    const uint8_t *second = ctx->raw_image + FrameBytes(*ctx) / 2;
    if (index == 0) {
      g_base += 10;
      g_remaining += 10;
    }
    if (e == 0) {
      if (quorv_EnrollByImage(0, static_cast<uint8_t>(index + 1), second) == 0 &&
          g_remaining != 0)
        g_remaining--;
      BQ_LOG_LEAVE(kTag);
      BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:quorv_Enroll err = %d, enroll_index = %d.", __LINE__, 0,
             index);
      return 0;
    }
    e = quorv_EnrollByImage(0, index, second);
  }
  BQ_LOG_LEAVE(kTag);
  if (e == QUORV_ERR_MUST_MOVE) {
    uint8_t out = 0;
    if (stage < 2) {
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:move too slow stage %d.", __LINE__, 1);
      enrollment_tips_parameter_restore(1, 50, 80, 5);
      g_slow = 0;
      e = quorv_ForceEnroll(0, index, &out);
    } else {
      if (stage < 5) {
        BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:move too slow stage %d.", __LINE__, 2);
        enrollment_tips_parameter_restore(2, 50, 80, 5);
      } else {
        BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:move too slow stage %d.", __LINE__, 3);
        enrollment_tips_parameter_restore(1, 50, 80, 5);
      }
      const int was = g_slow++;
      if (was >= 2) {
        g_slow = 0;
        e = quorv_ForceEnroll(0, index, &out);
      } else if (g_remaining != 0) {
        quorv_ForceEnroll(0, index, &out);
        BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:move too slow remaining = %d.", __LINE__,
               g_remaining);
        g_remaining--;
      }
    }
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:quorv_Enroll err = %d, enroll_index = %d.", __LINE__, e,
         index);
  return e;
}

int remap_acquired_info(int e) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  const bool enrol = ctx != nullptr && ctx->imgdev != nullptr &&
                     ctx->imgdev->action == IMG_ACTION_ENROLL;
  int r;
  switch (e) {
    case 0:
      r = enrol ? kPass : kMatch;
      break;
    case -1:
      BQ_LOG_ERROR_MSG(kTag, "image error.");
      r = RebuildLibrary() == 0 ? kRetryRemove : (enrol ? kFail : BQ_ERROR_NOMEM);
      break;
    case -2:
      if (enrol)
        BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:maybe the sensor is dirty.", __LINE__);
      else
        BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:verify failure.", __LINE__);
      r = enrol ? kRetry : kNoMatch;
      break;
    case -3:
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:low image quality.", __LINE__);
      r = kRetry;
      break;
    case -4:
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:low image coverage.", __LINE__);
      r = kRetryCenter;
      break;
    case -5:
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:it's not a fingerprint image.", __LINE__);
      r = kRetryCenter;
      break;
    case -6:
      if (enrol) BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:the finger is moving too slow.", __LINE__);
      r = enrol ? kRetryTooShort : -1;
      break;
    case -7:
      if (enrol) BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:this finger has been enrolled2.", __LINE__);
      r = enrol ? kRetryRemove : -1;
      break;
    case -8:
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:the finger is moving too fast.", __LINE__);
      r = kRetryRemove;
      break;
    case -9:
      if (enrol) BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:it's wet finger.", __LINE__);
      r = enrol ? kFail : -1;
      break;
    case -10:
      BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:it's white image.", __LINE__);
      r = kRetryRemove;
      break;
    default:
      BQ_LOG_ERROR_MSG(kTag, "%d.", e);
      r = -1;
      break;
  }
  if (ctx != nullptr) {
    ctx->result_reported = 1;
    if (Is4845Product(ctx->pid)) {
      zq4845_match_hook(e == 0 ? 0 : 1);
      if (r == kMatch) zq4846_IO_Set(0);
    }
  }
  return r;
}

void quorvanta_image_captured(struct fp_img_dev *imgdev, struct fp_img *img) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (imgdev == nullptr || ctx == nullptr) return;
  switch (imgdev->action) {
    case IMG_ACTION_ENROLL:
      EnrolStep(imgdev, *ctx, img);
      break;
    case IMG_ACTION_VERIFY:
      VerifyStep(imgdev, *ctx);
      break;
    case IMG_ACTION_IDENTIFY:
      IdentifyStep(imgdev, *ctx);
      break;
    case IMG_ACTION_CAPTURE:
      imgdev->action_result = 0;
      break;
    default:
      fpi_log_message(FPI_LOG_LEVEL_ERROR, "quorvanta", "fp_imgdev_image_captured",
                      "BUG at %s:%d", "drivers/quorvanta.c", __LINE__);
      break;
  }
}

}  // extern "C"
