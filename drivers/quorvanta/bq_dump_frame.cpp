#include "drivers/quorvanta/bq_dump_frame.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/bq_dump.h"
#include "base/bq_image.h"
#include "base/bq_log.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fpi_img_dev.h"

namespace {

constexpr const char *kTag = "quorvanta:dump";
constexpr size_t kPathMax = 4096;

// Formats a path into a kPathMax buffer; longer paths are cut at 4095
// characters.
__attribute__((format(printf, 2, 3))) void FormatPath(char *out, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(out, kPathMax, fmt, ap);
  va_end(ap);
}

// Frame name parts derived from the imaging device's action and result.
struct Outcome {
  char letter;
  unsigned number;
  bool success;
  const char *folder_kind;  // "enroll", "verify", or NULL for raw_samples
};

Outcome Classify(int action, int result, int stage) {
  Outcome o{};
  if (action == IMG_ACTION_ENROLL) {
    o.letter = 'E';
    o.success = result == 1 || result == 3;  // COMPLETE or PASS
    o.number = static_cast<unsigned>(o.success ? stage : stage + 1);
    o.folder_kind = "enroll";
  } else {
    o.letter = action == IMG_ACTION_NONE ? 'U' : 'A';
    o.success = result == 1;
    o.number = o.success ? 100 : 0;
    o.folder_kind = (action == IMG_ACTION_VERIFY || action == IMG_ACTION_IDENTIFY) ? "verify"
                                                                                   : nullptr;
  }
  return o;
}

}  // namespace

extern "C" int dump_fingerprint_data(int image_index) {
  BQ_LOG_ENTER(kTag);
  if (!bq_dump_session_is_open() && create_new_dumping_session() != 0) return BQ_ERROR_AGAIN;

  uint32_t count = bq_dump_next_capture();
  const char *root = bq_dump_root();
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:dumping data to '%s'...", __LINE__, root);

  const quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr || ctx->imgdev == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  const fp_img_dev *imgdev = ctx->imgdev;
  int result = imgdev->action_result;
  Outcome o = Classify(imgdev->action, result, imgdev->enroll_stage);

  char stamp[32];
  bq_dump_format_stamp(stamp, sizeof stamp);
  char name[128];
  std::snprintf(name, sizeof name, "%s-%04u-I%04u-%c%03u", stamp, count,
                static_cast<unsigned>(result), o.letter, o.number);

  char folder[kPathMax];
  if (o.folder_kind != nullptr) {
    FormatPath(folder, "%s/%s_%s", root, o.folder_kind,
                  o.success ? "success" : "failure");
  } else {
    FormatPath(folder, "%s/%s", root, "raw_samples");
  }
  int rc = bq_dump_private_dir(folder);
  if (rc != 0) {
    BQ_LOG_ERRNO(kTag, rc);
    return rc;
  }

  char path[kPathMax];
  FormatPath(path, "%s/%s.bmp", folder, name);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:saving '%s'...", __LINE__, path);

  // Module type 1 delivers two half-width frames side by side in one buffer.
  int width = ctx->module_type == 1 ? static_cast<int>(ctx->sensor_info.sensor.cols * 0.5)
                                    : ctx->sensor_info.sensor.cols;
  int height = ctx->sensor_info.sensor.rows;
  if (ctx->raw_image == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  // The buffer holds one sensor frame; a frame number past it is refused
  // instead of being read beyond the buffer's end.
  size_t frame_bytes = static_cast<size_t>(width) * static_cast<size_t>(height);
  size_t buffer_bytes = static_cast<size_t>(ctx->sensor_info.sensor.cols) *
                        static_cast<size_t>(ctx->sensor_info.sensor.rows);
  size_t frame = static_cast<size_t>(image_index) % 256;
  if ((frame + 1) * frame_bytes > buffer_bytes) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_BAD_PARAMS);
    return BQ_ERROR_BAD_PARAMS;
  }

  bq_image *img = bq_image_new(width, height);
  if (img == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (frame_bytes > 0) std::memcpy(img->data, ctx->raw_image + frame * frame_bytes, frame_bytes);

  rc = bq_image_save_bmp(img, path, 0);
  if (rc != 0) BQ_LOG_ERRNO(kTag, rc);
  bq_image_destroy(&img);
  BQ_LOG_LEAVE(kTag);
  return rc;
}
