// Asynchronous device operations: the application's start and stop calls,
// the completions drivers report, and the device state they maintain.
#define FP_COMPONENT "async"

#include <errno.h>
#include <glib.h>

#include "base/bq_util.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fp_internal.h"

namespace {

// The main driver's module family with an ATC switch.
constexpr uint32_t kAtcModuleType = 2;

fpi_atc_set_fn g_atc_hook = nullptr;

void AtcSet(fp_dev *dev, uint8_t on) {
  if (g_atc_hook != nullptr) g_atc_hook(dev, on);
}

// Products whose ATC is switched off while no result has been reported.
bool AtcOffProduct(uint16_t pid) {
  return pid == 0x3b15 || pid == 0x3b16 || pid == 0x3b19 || pid == 0x3b1a;
}

// The main driver's context of a device, or NULL for any other device.
quorvanta_ctx_t *MainDriverContext(fp_dev *dev) {
  if (dev->driver == nullptr || dev->driver->id != FPI_MAIN_DRIVER_ID ||
      dev->driver->type != DRIVER_IMAGING) {
    return nullptr;
  }
  auto *imgdev = static_cast<fp_img_dev *>(dev->priv);
  if (imgdev == nullptr) return nullptr;
  return static_cast<quorvanta_ctx_t *>(imgdev->priv);
}

// On entry to the enrol and identify stops of the main driver's devices.
void atc_switch(fp_dev *dev, bool identify) {
  quorvanta_ctx_t *ctx = MainDriverContext(dev);
  if (ctx == nullptr) return;
  if (ctx->module_type != kAtcModuleType) {
    fp_dbg("need enable atc here,%d", static_cast<int>(ctx->module_type));
    return;
  }
  if (identify) bq_msleep(20);
  if (!AtcOffProduct(ctx->pid)) AtcSet(dev, 1);
  if (ctx->result_reported == 0 && AtcOffProduct(ctx->pid)) AtcSet(dev, 0);
}

}  // namespace

extern "C" void fpi_set_atc_hook(fpi_atc_set_fn hook) { g_atc_hook = hook; }

// ---------------------------------------------------------------------------
// Open and close

extern "C" int fp_async_dev_open(struct fp_dscv_dev *ddev, fp_dev_open_cb callback,
                                 void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = ddev->drv;
  libusb_device_handle *handle = nullptr;
  int r = libusb_open(ddev->udev, &handle);
  if (r < 0) {
    fp_err("usb_open failed, error %d", r);
    return r;
  }

  fp_dev *dev = g_new0(fp_dev, 1);
  dev->driver = drv;
  dev->usb_handle = handle;
  dev->state = DEV_STATE_INITIALIZING;
  dev->enroll_stage = -1;
  dev->open_cb = callback;
  dev->open_cb_data = user_data;

  if (drv->open == nullptr) {
    fpi_drvcb_open_complete(dev, 0);
    return 0;
  }
  r = drv->open(dev, ddev->driver_data);
  if (r != 0) {
    fp_err("device initialisation failed, driver=%s", drv->name);
    libusb_close(handle);
    g_free(dev);
  }
  return r;
}

extern "C" void fpi_drvcb_open_complete(struct fp_dev *dev, int status) {
  fp_dbg("status %d", status);
  BUG_ON(dev->state != DEV_STATE_INITIALIZING);
  dev->state = status == 0 ? DEV_STATE_INITIALIZED : DEV_STATE_ERROR;
  fpi_opened_dev_add(dev);
  if (dev->open_cb != nullptr) dev->open_cb(dev, status, dev->open_cb_data);
}

extern "C" void fp_async_dev_close(struct fp_dev *dev, fp_operation_stop_cb callback,
                                   void *user_data) {
  fp_dbg("%s", "");
  if (!fpi_opened_dev_remove(dev)) fp_err("device %p not in opened list!", (void *)dev);
  dev->close_cb = callback;
  dev->close_cb_data = user_data;
  dev->state = DEV_STATE_DEINITIALIZING;
  if (dev->driver->close == nullptr) {
    fpi_drvcb_close_complete(dev);
    return;
  }
  dev->driver->close(dev);
}

extern "C" void fpi_drvcb_close_complete(struct fp_dev *dev) {
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_DEINITIALIZING);
  dev->state = DEV_STATE_DEINITIALIZED;
  if (dev->usb_handle != nullptr) libusb_close(dev->usb_handle);
  dev->usb_handle = nullptr;
  if (dev->close_cb != nullptr) dev->close_cb(dev, dev->close_cb_data);
  g_free(dev);
}

// ---------------------------------------------------------------------------
// Enrolment

extern "C" int fp_async_enroll_start(struct fp_dev *dev, fp_enroll_stage_cb callback,
                                     void *user_data) {
  fp_driver *drv = dev->driver;
  if (dev->nr_enroll_stages == 0 || drv->enroll_start == nullptr) {
    fp_err("driver %s has 0 enroll stages or no enroll func", drv->name);
    return -ENOTSUP;
  }
  fp_dbg("starting enrollment");
  dev->enroll_stage_cb = callback;
  dev->enroll_stage_cb_data = user_data;
  dev->state = DEV_STATE_ENROLL_STARTING;
  int r = drv->enroll_start(dev);
  if (r < 0) {
    dev->enroll_stage_cb = nullptr;
    fp_err("failed to start enrollment");
    dev->state = DEV_STATE_ERROR;
  }
  return r;
}

extern "C" void fpi_drvcb_enroll_started(struct fp_dev *dev, int status) {
  fp_dbg("status %d", status);
  BUG_ON(dev->state != DEV_STATE_ENROLL_STARTING);
  g_resumed_from_sleep = 0;
  isNeedClearImgFirst = 1;
  if (status != 0) {
    if (status > 0) {
      status = -status;
      fp_dbg("adjusted to %d", status);
    }
    dev->state = DEV_STATE_ERROR;
    if (dev->enroll_stage_cb != nullptr) {
      dev->enroll_stage_cb(dev, status, nullptr, nullptr, dev->enroll_stage_cb_data);
    }
  } else {
    dev->state = DEV_STATE_ENROLLING;
  }
}

extern "C" void fpi_drvcb_enroll_stage_completed(struct fp_dev *dev, int result,
                                                 struct fp_print_data *data,
                                                 struct fp_img *img) {
  fp_dbg("result %d", result);
  BUG_ON(dev->state != DEV_STATE_ENROLLING);
  if (dev->enroll_stage_cb == nullptr) {
    fp_dbg("ignoring enroll result as no callback is subscribed");
    fp_print_data_free(data);
    fp_img_free(img);
    return;
  }
  if (result == FP_ENROLL_COMPLETE && data == nullptr) {
    fp_err("BUG: complete but no data?");
    result = FP_ENROLL_FAIL;
  }
  dev->enroll_stage_cb(dev, result, data, img, dev->enroll_stage_cb_data);
}

extern "C" int fp_async_enroll_stop(struct fp_dev *dev, fp_operation_stop_cb callback,
                                    void *user_data) {
  atc_switch(dev, false);
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  if (drv->enroll_start == nullptr) return -ENOTSUP;

  dev->enroll_stage_cb = nullptr;
  dev->enroll_stop_cb = callback;
  dev->enroll_stop_cb_data = user_data;
  dev->state = DEV_STATE_ENROLL_STOPPING;
  if (drv->enroll_stop == nullptr) {
    fpi_drvcb_enroll_stopped(dev);
    return 0;
  }
  int r = drv->enroll_stop(dev);
  if (r < 0) {
    fp_err("failed to stop enrollment");
    dev->enroll_stop_cb = nullptr;
  }
  return r;
}

extern "C" void fpi_drvcb_enroll_stopped(struct fp_dev *dev) {
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_ENROLL_STOPPING);
  dev->state = DEV_STATE_INITIALIZED;
  if (dev->enroll_stop_cb != nullptr) dev->enroll_stop_cb(dev, dev->enroll_stop_cb_data);
}

// ---------------------------------------------------------------------------
// Verification

extern "C" int fp_async_verify_start(struct fp_dev *dev, struct fp_print_data *data,
                                     fp_img_operation_cb callback, void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  if (drv->verify_start == nullptr) return -ENOTSUP;
  dev->verify_data = data;
  dev->state = DEV_STATE_VERIFY_STARTING;
  dev->verify_cb = callback;
  dev->verify_cb_data = user_data;
  int r = drv->verify_start(dev);
  if (r < 0) {
    dev->verify_cb = nullptr;
    dev->state = DEV_STATE_ERROR;
    fp_err("failed to start verification, error %d", r);
  }
  return r;
}

extern "C" void fpi_drvcb_verify_started(struct fp_dev *dev, int status) {
  fp_dbg("status %d", status);
  BUG_ON(dev->state != DEV_STATE_VERIFY_STARTING);
  if (status != 0) {
    if (status > 0) {
      status = -status;
      fp_dbg("adjusted to %d", status);
    }
    dev->state = DEV_STATE_ERROR;
    if (dev->verify_cb != nullptr) dev->verify_cb(dev, status, nullptr, dev->verify_cb_data);
  } else {
    dev->state = DEV_STATE_VERIFYING;
  }
}

extern "C" void fpi_drvcb_report_verify_result(struct fp_dev *dev, int result,
                                               struct fp_img *img) {
  fp_dbg("result %d", result);
  BUG_ON(dev->state != DEV_STATE_VERIFYING);
  if (result <= FP_VERIFY_MATCH) dev->state = DEV_STATE_VERIFY_DONE;
  if (dev->verify_cb == nullptr) {
    fp_dbg("ignoring verify result as no callback is subscribed");
    fp_img_free(img);
    return;
  }
  dev->verify_cb(dev, result, img, dev->verify_cb_data);
}

extern "C" int fp_async_verify_stop(struct fp_dev *dev, fp_operation_stop_cb callback,
                                    void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  bool iterating = dev->state == DEV_STATE_VERIFYING;
  BUG_ON(dev->state != DEV_STATE_ERROR && dev->state != DEV_STATE_VERIFYING &&
         dev->state != DEV_STATE_VERIFY_DONE);
  // Refused before anything changes, so the device is not left stopping.
  if (drv->verify_start == nullptr) return -ENOTSUP;

  dev->verify_cb = nullptr;
  dev->verify_stop_cb = callback;
  dev->verify_stop_cb_data = user_data;
  dev->state = DEV_STATE_VERIFY_STOPPING;
  if (drv->verify_stop == nullptr) {
    fpi_drvcb_verify_stopped(dev);
    return 0;
  }
  int r = drv->verify_stop(dev, iterating);
  if (r < 0) {
    fp_err("failed to stop verification");
    dev->verify_stop_cb = nullptr;
  }
  return r;
}

extern "C" void fpi_drvcb_verify_stopped(struct fp_dev *dev) {
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_VERIFY_STOPPING);
  dev->state = DEV_STATE_INITIALIZED;
  if (dev->verify_stop_cb != nullptr) dev->verify_stop_cb(dev, dev->verify_stop_cb_data);
}

// ---------------------------------------------------------------------------
// Identification

extern "C" int fp_async_identify_start(struct fp_dev *dev, struct fp_print_data **gallery,
                                       fp_identify_cb callback, void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  if (drv->identify_start == nullptr) return -ENOTSUP;
  dev->identify_gallery = gallery;
  dev->state = DEV_STATE_IDENTIFY_STARTING;
  dev->identify_cb = callback;
  dev->identify_cb_data = user_data;
  int r = drv->identify_start(dev);
  if (r < 0) {
    fp_err("identify_start failed with error %d", r);
    dev->state = DEV_STATE_ERROR;
    dev->identify_cb = nullptr;
  }
  return r;
}

extern "C" void fpi_drvcb_identify_started(struct fp_dev *dev, int status) {
  fp_dbg("status %d", status);
  BUG_ON(dev->state != DEV_STATE_IDENTIFY_STARTING);
  if (status != 0) {
    if (status > 0) {
      status = -status;
      fp_dbg("adjusted to %d", status);
    }
    dev->state = DEV_STATE_ERROR;
    if (dev->identify_cb != nullptr) {
      dev->identify_cb(dev, status, 0, nullptr, dev->identify_cb_data);
    }
  } else {
    dev->state = DEV_STATE_IDENTIFYING;
  }
}

extern "C" void fpi_drvcb_report_identify_result(struct fp_dev *dev, int result,
                                                 size_t match_offset, struct fp_img *img) {
  fp_dbg("result %d", result);
  BUG_ON(dev->state != DEV_STATE_IDENTIFYING && dev->state != DEV_STATE_ERROR);
  if (result > FP_VERIFY_MATCH) {
    g_identify_error = 0;
  } else {
    dev->state = DEV_STATE_IDENTIFY_DONE;
    g_identify_error = result < 0 ? 1 : 0;
  }
  if (dev->identify_cb == nullptr) {
    fp_dbg("ignoring identify result as no callback is subscribed");
    fp_img_free(img);
    return;
  }
  dev->identify_cb(dev, result, match_offset, img, dev->identify_cb_data);
}

extern "C" int fp_async_identify_stop(struct fp_dev *dev, fp_operation_stop_cb callback,
                                      void *user_data) {
  fp_driver *drv = dev->driver;
  bool iterating = dev->state == DEV_STATE_IDENTIFYING;
  atc_switch(dev, true);
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_IDENTIFYING && dev->state != DEV_STATE_IDENTIFY_DONE);
  // Refused before anything changes, so the device is not left stopping.
  if (drv->identify_start == nullptr) return -ENOTSUP;

  dev->state = DEV_STATE_IDENTIFY_STOPPING;
  dev->identify_cb = nullptr;
  dev->identify_stop_cb = callback;
  dev->identify_stop_cb_data = user_data;
  if (drv->identify_stop == nullptr) {
    fpi_drvcb_identify_stopped(dev);
    return 0;
  }
  int r = drv->identify_stop(dev, iterating);
  if (r < 0) {
    fp_err("failed to stop identification");
    dev->identify_stop_cb = nullptr;
  }
  return r;
}

extern "C" void fpi_drvcb_identify_stopped(struct fp_dev *dev) {
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_IDENTIFY_STOPPING);
  dev->state = DEV_STATE_INITIALIZED;
  if (dev->identify_stop_cb != nullptr) dev->identify_stop_cb(dev, dev->identify_stop_cb_data);
}

// ---------------------------------------------------------------------------
// Capture

extern "C" int fp_async_capture_start(struct fp_dev *dev, int unconditional,
                                      fp_img_operation_cb callback, void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  if (drv->capture_start == nullptr) return -ENOTSUP;
  dev->unconditional_capture = unconditional;
  dev->state = DEV_STATE_CAPTURE_STARTING;
  dev->capture_cb = callback;
  dev->capture_cb_data = user_data;
  int r = drv->capture_start(dev);
  if (r < 0) {
    dev->capture_cb = nullptr;
    dev->state = DEV_STATE_ERROR;
    fp_err("failed to start capture, error %d", r);
  }
  return r;
}

extern "C" void fpi_drvcb_capture_started(struct fp_dev *dev, int status) {
  fp_dbg("status %d", status);
  BUG_ON(dev->state != DEV_STATE_CAPTURE_STARTING);
  if (status != 0) {
    if (status > 0) {
      status = -status;
      fp_dbg("adjusted to %d", status);
    }
    dev->state = DEV_STATE_ERROR;
    if (dev->capture_cb != nullptr) dev->capture_cb(dev, status, nullptr, dev->capture_cb_data);
  } else {
    dev->state = DEV_STATE_CAPTURING;
  }
}

extern "C" void fpi_drvcb_report_capture_result(struct fp_dev *dev, int result,
                                                struct fp_img *img) {
  fp_dbg("result %d", result);
  BUG_ON(dev->state != DEV_STATE_CAPTURING);
  if (result <= 0) dev->state = DEV_STATE_CAPTURE_DONE;
  if (dev->capture_cb == nullptr) {
    fp_dbg("ignoring capture result as no callback is subscribed");
    fp_img_free(img);
    return;
  }
  dev->capture_cb(dev, result, img, dev->capture_cb_data);
}

extern "C" int fp_async_capture_stop(struct fp_dev *dev, fp_operation_stop_cb callback,
                                     void *user_data) {
  fp_dbg("%s", "");
  fp_driver *drv = dev->driver;
  BUG_ON(dev->state != DEV_STATE_ERROR && dev->state != DEV_STATE_CAPTURING &&
         dev->state != DEV_STATE_CAPTURE_DONE);
  // Refused before anything changes, so the device is not left stopping.
  if (drv->capture_start == nullptr) return -ENOTSUP;

  dev->capture_cb = nullptr;
  dev->capture_stop_cb = callback;
  dev->capture_stop_cb_data = user_data;
  dev->state = DEV_STATE_CAPTURE_STOPPING;
  if (drv->capture_stop == nullptr) {
    fpi_drvcb_capture_stopped(dev);
    return 0;
  }
  int r = drv->capture_stop(dev);
  if (r < 0) {
    fp_err("failed to stop capture: error %d", r);
    dev->capture_stop_cb = nullptr;
  }
  return r;
}

extern "C" void fpi_drvcb_capture_stopped(struct fp_dev *dev) {
  fp_dbg("%s", "");
  BUG_ON(dev->state != DEV_STATE_CAPTURE_STOPPING);
  dev->state = DEV_STATE_INITIALIZED;
  if (dev->capture_stop_cb != nullptr) dev->capture_stop_cb(dev, dev->capture_stop_cb_data);
}

// ---------------------------------------------------------------------------
// Forced end

extern "C" void fp_async_enforce_exit(struct fp_dev *dev) {
  fp_dbg("%s", "");
  if (dev->driver->type != DRIVER_IMAGING || dev->priv == nullptr) return;
  fpi_imgdev_session_error(static_cast<fp_img_dev *>(dev->priv), -EINTR);
}
