// The quorvanta imaging driver: open and close, and the capture loop that
// waits for the finger, reads the frame and hands it to the per-action step.
#define FP_COMPONENT "quorvanta"

#include "drivers/quorvanta/quorvanta.h"

#include <errno.h>
#include <libusb.h>

#include <cstdlib>
#include <cstring>

#include "drivers/quorvanta/bq_dump_frame.h"
#include "base/bq_log.h"
#include "drivers/quorvanta/bq_config.h"
#include "framework/capture_flags.h"
#include "drivers/quorvanta/quorvanta_action.h"
#include "drivers/quorvanta/quorvanta_atc.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/zq_sensor.h"
#include "drivers/zq_moc/zq_moc.h"
#include "drivers/zq_protocal/zq_feature_devinit.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "framework/fpi_img.h"

namespace {

constexpr const char *kTag = "quorvanta:core";

// Capture-loop states.
enum LoopState {
  kActivateComplete = 0,
  kAwaitInterrupt,
  kPollFinger,
  kCapture,
  kSubmit,
  kContinue,
  kRestart,
  kLoopStates,
};

constexpr unsigned kEnrollTimeoutMs = 30000;
constexpr unsigned kPollMs = 50;
constexpr unsigned kRestartMs = 50;
constexpr size_t kDrainBytes = 0x8000;

// USB port-method hooks; installed only when the marker is 'Z', which
// nothing in this system does.
struct PortMethod {
  char marker;
  void (*resume)(void);
  void (*close)(void);
};
PortMethod g_port_method = {0, nullptr, nullptr};

quorvanta_ctx_t *Ctx(fp_img_dev *imgdev) { return static_cast<quorvanta_ctx_t *>(imgdev->priv); }

size_t FrameBytes(const quorvanta_ctx_t *ctx) {
  return static_cast<size_t>(ctx->sensor_info.sensor.cols) * ctx->sensor_info.sensor.rows;
}

void raw_image_reset(quorvanta_ctx_t *ctx) {
  if (ctx->raw_image != nullptr) std::memset(ctx->raw_image, 0xFF, FrameBytes(ctx));
}

void CancelTimeout(fpi_timeout **t) {
  if (*t != nullptr) {
    fpi_timeout_cancel(*t);
    *t = nullptr;
  }
}

bool Is4845Product(uint16_t pid) {
  return pid == 0x3b15 || pid == 0x3b16 || pid == 0x3b19 || pid == 0x3b1a;
}

// The driver record's width or height for the image, or the image's own.
bool sanitize_image(fp_img_dev *imgdev, fp_img *img) {
  fp_img_driver *idrv = fpi_driver_to_img_driver(imgdev->dev->driver);
  if (idrv->img_width > 0) {
    img->width = idrv->img_width;
  } else if (img->width <= 0) {
    BQ_LOG_ERROR_MSG(kTag, "no image width assigned.");
    return false;
  }
  if (idrv->img_height > 0) {
    img->height = idrv->img_height;
  } else if (img->height <= 0) {
    BQ_LOG_ERROR_MSG(kTag, "no image height assigned.");
    return false;
  }
  if (!fpi_img_size_ok(img)) {
    BQ_LOG_ERROR_MSG(kTag, "image is not sane!");
    return false;
  }
  return true;
}

// State 4: the frame as an image for the current action. False when the
// machine was aborted.
bool submit_image(fpi_ssm *ssm, fp_img_dev *imgdev, quorvanta_ctx_t *ctx) {
  fp_img *img = fpi_img_new_devsize(imgdev);
  if (img == nullptr) {
    BQ_LOG_ERROR_MSG(kTag, "failed to create image.");
    fpi_ssm_mark_aborted(ssm, BQ_ERROR_NOMEM);
    return false;
  }
  const size_t n = FrameBytes(ctx) < img->length ? FrameBytes(ctx) : img->length;
  std::memcpy(img->data, ctx->raw_image, n);
  if (ctx->module_type == 1 && bq_sensor_merge_image(img->data) != 0) {
    fp_img_free(img);
    fpi_ssm_mark_aborted(ssm, BQ_ERROR_NOMEM);
    return false;
  }
  if (imgdev->action_state != IMG_ACQUIRE_STATE_AWAIT_IMAGE) {
    BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:ignoring due to current state %d.", __LINE__,
           imgdev->action_state);
    fp_img_free(img);
    return true;
  }
  if (imgdev->action_result != 0) {
    BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:not overwriting existing action result.", __LINE__);
    fp_img_free(img);
    return true;
  }
  if (!sanitize_image(imgdev, img)) {
    imgdev->action_result = -EINVAL;
    fp_img_free(img);
  } else {
    fp_img_standardize(img);
    fp_img_free(imgdev->acquire_img);
    imgdev->acquire_img = img;
    quorvanta_image_captured(imgdev, img);
  }
  imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF;
  return true;
}

void enroll_timeout_cb(void *data) {
  fpi_ssm *ssm = static_cast<fpi_ssm *>(data);
  fp_img_dev *imgdev = static_cast<fp_img_dev *>(ssm->priv);
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:enrollment timeouted.", __LINE__);
  ctx->enroll_timeout = nullptr;
  CancelTimeout(&ctx->poll_timeout);
  // The enrolment ends with a time-out the caller hears of, rather than
  // silently.
  if (ctx->loop_running) fpi_ssm_mark_aborted(ssm, -ETIMEDOUT);
}

void poll_timeout_cb(void *data) {
  fpi_ssm *ssm = static_cast<fpi_ssm *>(data);
  quorvanta_ctx_t *ctx = Ctx(static_cast<fp_img_dev *>(ssm->priv));
  ctx->poll_timeout = nullptr;
  if (ctx->loop_running) fpi_ssm_jump_to_state(ssm, ssm->cur_state);
}

void loop_restart_timeout_cb(void *data) {
  fpi_ssm_jump_to_state(static_cast<fpi_ssm *>(data), kAwaitInterrupt);
}

// State 1: the start of one press cycle.
void AwaitInterrupt(fpi_ssm *ssm, fp_img_dev *imgdev, quorvanta_ctx_t *ctx) {
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:waiting for device interrupt.", __LINE__);
  if (ctx->module_type != 2) {
    BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:need enable atc here", __LINE__);
    // Only the 4847 answers the drain; on other bridges and module type 1
    // it would cost a bulk time-out and a USB reset on every press.
    if (isNeedClearImgFirst && ctx->sensor_info.sensor_type == ZQ_SENSOR_ZQ4847W) {
      BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:clear img start..", __LINE__);
      uint8_t *drain = static_cast<uint8_t *>(std::malloc(kDrainBytes));
      if (drain != nullptr) {
        zq_feature_4847_CaptureData(drain);
        std::free(drain);
      }
    }
  }
  if (imgdev->action == IMG_ACTION_ENROLL) {
    CancelTimeout(&ctx->enroll_timeout);
    ctx->enroll_timeout = fpi_timeout_add(kEnrollTimeoutMs, enroll_timeout_cb, ssm);
    zq_ClearIRQBit();
    if (ctx->module_type == 2 && Is4845Product(ctx->pid)) {
      isNeedClearImgFirst = 1;
      zq_feature_devinit_ClearImg();
    }
  }
  fpi_ssm_next_state(ssm);
}

// State 2: one finger poll; without a finger the poll repeats after 50 ms.
void PollFinger(fpi_ssm *ssm, fp_img_dev *imgdev, quorvanta_ctx_t *ctx) {
  int r = bq_sensor_query_finger_status();
  if (r == ZQ_FINGER_ON) {
    BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:got the device interrupt.", __LINE__);
    isNeedClearImgFirst = 1;
    fpi_imgdev_report_finger_status(imgdev, true);
    CancelTimeout(&ctx->enroll_timeout);
    fpi_ssm_next_state(ssm);
    return;
  }
  if (r < 0) {
    int e = bq_sensor_esd_check();
    if (e != 0) {
      BQ_LOG_ERROR_MSG(kTag, "oops!");
      fpi_ssm_mark_aborted(ssm, e);
      return;
    }
  }
  ctx->poll_timeout = fpi_timeout_add(kPollMs, poll_timeout_cb, ssm);
  if (ctx->poll_timeout == nullptr) fpi_ssm_mark_aborted(ssm, -ETIME);
}

void activate_loop(fpi_ssm *ssm) {
  fp_img_dev *imgdev = static_cast<fp_img_dev *>(ssm->priv);
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  BQ_LOG(BQ_LOG_VERBOSE, kTag, "[%4d]:main loop state1: %d", __LINE__, ssm->cur_state);
  if (ctx->first_loop) {
    ctx->first_loop = 0;
    ctx->result_reported = 0;
    if (ctx->module_type != 2) BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:need enable atc here", __LINE__);
  }
  if (ctx->stop_requested) {
    BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:deactivating, marking completed.", __LINE__);
    CancelTimeout(&ctx->enroll_timeout);
    fpi_ssm_mark_completed(ssm);
    return;
  }
  switch (ssm->cur_state) {
    case kActivateComplete:
      fpi_imgdev_activate_complete(imgdev, 0);
      fpi_ssm_next_state(ssm);
      break;
    case kAwaitInterrupt:
      AwaitInterrupt(ssm, imgdev, ctx);
      break;
    case kPollFinger:
      PollFinger(ssm, imgdev, ctx);
      break;
    case kCapture: {
      int r = bq_sensor_capture_image();
      if (r != 0) {
        BQ_LOG_ERROR_MSG(kTag, "failed to capture data: %d.", r);
        fpi_ssm_mark_aborted(ssm, r);
        break;
      }
      fpi_ssm_next_state(ssm);
      break;
    }
    case kSubmit:
      if (!submit_image(ssm, imgdev, ctx)) break;
      if (bq_config->dump_images) {
        dump_fingerprint_data(0);
        if (ctx->module_type == 1) dump_fingerprint_data(1);
      }
      raw_image_reset(ctx);
      fpi_imgdev_report_finger_status(imgdev, false);
      fpi_ssm_next_state(ssm);
      break;
    case kContinue:
      if (imgdev->action_state == IMG_ACQUIRE_STATE_AWAIT_FINGER_ON)
        fpi_ssm_next_state(ssm);
      else
        fpi_ssm_mark_completed(ssm);
      break;
    case kRestart:
      if (fpi_timeout_add(kRestartMs, loop_restart_timeout_cb, ssm) == nullptr)
        fpi_ssm_mark_aborted(ssm, -ETIME);
      break;
    default:
      BQ_LOG_ERROR_MSG(kTag, "unknown state: %d.", ssm->cur_state);
      fpi_ssm_mark_aborted(ssm, -EINVAL);
      break;
  }
}

void activate_loop_complete(fpi_ssm *ssm) {
  fp_img_dev *imgdev = static_cast<fp_img_dev *>(ssm->priv);
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  const int error = ssm->error;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:capture finishing.", __LINE__);
  // No time-out may outlive the machine it would resume.
  CancelTimeout(&ctx->enroll_timeout);
  CancelTimeout(&ctx->poll_timeout);
  ctx->loop_running = 0;
  fpi_ssm_free(ssm);
  if (ctx->stop_requested) {
    ctx->stop_requested = 0;
    fpi_imgdev_deactivate_complete(imgdev);
  } else if (error != 0) {
    fpi_imgdev_session_error(imgdev, error);
  }
}

void open_loop(fpi_ssm *ssm) {
  if (ssm->cur_state == 0) fpi_ssm_next_state(ssm);
}

void open_loop_complete(fpi_ssm *ssm) {
  fp_img_dev *imgdev = static_cast<fp_img_dev *>(ssm->priv);
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  int r = bq_sensor_init(ctx);
  if (r == 0) {
    const int w = ctx->sensor_info.sensor.cols;
    const int h = ctx->sensor_info.sensor.rows;
    quorvanta_driver.img_width = w;
    quorvanta_driver.img_height = h;
    imgdev->dev->nr_enroll_stages = (w == 40 || h == 40) ? 20 : 12;
    ctx->raw_image = static_cast<uint8_t *>(std::calloc(1, FrameBytes(ctx)));
    if (ctx->raw_image == nullptr) {
      BQ_LOG_ERROR_MSG(kTag, "fingerprint_image_new(%u) = '%s'.",
                       static_cast<unsigned>(FrameBytes(ctx)), bq_strerror(BQ_ERROR_NOMEM));
      r = BQ_ERROR_NOMEM;
    } else {
      raw_image_reset(ctx);
    }
  }
  if (ctx->module_type == 2) ctx->first_loop = 1;
  fpi_imgdev_open_complete(imgdev, r);
  fpi_ssm_free(ssm);
}

void FreeContext(fp_img_dev *imgdev) {
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  if (ctx == nullptr) return;
  if (quorvanta_ctx == ctx) quorvanta_ctx = nullptr;
  std::free(ctx->raw_image);
  std::free(ctx);
  imgdev->priv = nullptr;
}

int dev_open(fp_img_dev *imgdev, unsigned long) {
  quorvanta_ctx_t *ctx = static_cast<quorvanta_ctx_t *>(std::calloc(1, sizeof(quorvanta_ctx_t)));
  if (ctx == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  ctx->imgdev = imgdev;
  imgdev->priv = ctx;
  // The framework's enrol and identify stops switch the module's ATC.
  fpi_set_atc_hook(quorvanta_atc_set);
  if (g_port_method.marker != 'Z') quorv_usb_device_port_method_init(&g_port_method);

  int r = libusb_reset_device(imgdev->usb_handle);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "failed to reset the device: %d.", r);
    FreeContext(imgdev);
    return r;
  }
  r = libusb_claim_interface(imgdev->usb_handle, 0);
  if (r != 0) {
    BQ_LOG_ERROR_MSG(kTag, "failed to claim interface: %s.", libusb_error_name(r));
    FreeContext(imgdev);
    return r;
  }
  fpi_ssm *ssm = fpi_ssm_new(imgdev->dev, open_loop, 1);
  ssm->priv = imgdev;
  fpi_ssm_start(ssm, open_loop_complete);
  return 0;
}

void dev_close(fp_img_dev *imgdev) {
  libusb_release_interface(imgdev->usb_handle, 0);
  bq_sensor_deinit();
  FreeContext(imgdev);
  fpi_imgdev_close_complete(imgdev);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:%s leave", __LINE__, "dev_close");
  if (g_port_method.marker == 'Z' && g_port_method.close != nullptr) g_port_method.close();
}

int quorvanta_activate(fp_img_dev *imgdev, fp_imgdev_state) {
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  // One loop per device: a second one would share the frame and time-outs.
  if (ctx->loop_running) {
    BQ_LOG_ERROR_MSG(kTag, "capture loop already running.");
    return -EBUSY;
  }
  ctx->stop_requested = 0;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:device interrupt thread started.", __LINE__);
  ctx->loop_running = 1;
  fpi_ssm *ssm = fpi_ssm_new(imgdev->dev, activate_loop, kLoopStates);
  ssm->priv = imgdev;
  fpi_ssm_start(ssm, activate_loop_complete);
  return 0;
}

void quorvanta_deactivate(fp_img_dev *imgdev) {
  quorvanta_ctx_t *ctx = Ctx(imgdev);
  if (ctx == nullptr || !ctx->loop_running) {
    fpi_imgdev_deactivate_complete(imgdev);
    return;
  }
  ctx->stop_requested = 1;
}

}  // namespace

extern "C" int quorv_usb_device_port_method_init(void *) {
  BQ_LOG(BQ_LOG_DEBUG, "quorvanta", "[%4d]:%s enter\n", __LINE__, __func__);
  return -1;
}

const struct usb_id quorvanta_id_table[] = {
    {0x3c5d, 0x3b11, 0x3b11}, {0x3c5d, 0x3b12, 0x3b12}, {0x3c5d, 0x3b13, 0x3b13},
    {0x3c5d, 0x3b14, 0x3b14}, {0x3c5d, 0x3b15, 0x3b15}, {0x3c5d, 0x3b16, 0x3b16},
    {0x3c5d, 0x3b11, 0x3b11}, {0x3c5d, 0x4841, 0x4841}, {0x3c5d, 0x4842, 0x4842},
    {0x3c5d, 0x3b17, 0x4843}, {0x3c5d, 0x3b18, 0x3b18}, {0x3c5d, 0x3b19, 0x3b19},
    {0x3c5d, 0x3b1a, 0x3b1a}, {0, 0, 0},
};

struct fp_img_driver quorvanta_driver = {
    .driver =
        {
            .id = 35,
            .name = "quorvanta",
            .full_name = "Validity ZQ4842",
            .id_table = quorvanta_id_table,
            .type = DRIVER_IMAGING,
            .scan_type = FP_SCAN_TYPE_PRESS,
            .priv = nullptr,
            .discover = nullptr,
            // The generic slots are filled at registration.
            .open = nullptr,
            .close = nullptr,
            .enroll_start = nullptr,
            .enroll_stop = nullptr,
            .verify_start = nullptr,
            .verify_stop = nullptr,
            .identify_start = nullptr,
            .identify_stop = nullptr,
            .capture_start = nullptr,
            .capture_stop = nullptr,
        },
    .flags = 0,
    // Replaced by the sensor's size at the first open.
    .img_width = 160,
    .img_height = 160,
    .bz3_threshold = 20,
    .open = dev_open,
    .close = dev_close,
    .activate = quorvanta_activate,
    .change_state = nullptr,
    .deactivate = quorvanta_deactivate,
};
