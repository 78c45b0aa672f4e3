// Blocking forms of the device operations: each starts the asynchronous
// operation with a callback that records the outcome, polls until the
// callback has run, and stops the operation again.
#define FP_COMPONENT "sync"

#include <errno.h>
#include <glib.h>

#include "framework/fp_internal.h"

namespace {

struct sync_open_data {
  fp_dev *dev;     // NULL until the callback
  int status;
  bool abandoned;  // polling failed: the callback closes the device and frees this
};

struct sync_enroll_data {
  bool done;
  int result;
  fp_print_data *data;
  fp_img *img;
};

struct sync_img_data {  // verify and capture
  bool done;
  int result;
  fp_img *img;
};

struct sync_identify_data {
  bool done;
  int result;
  size_t match_offset;
  fp_img *img;
};

// Hands an image to the caller, or releases it when there is no place for it.
void HandOver(fp_img *img, fp_img **out) {
  if (out != nullptr) {
    *out = img;
  } else {
    fp_img_free(img);
  }
}

void sync_open_cb(fp_dev *dev, int status, void *user_data) {
  fp_dbg("status %d", status);
  auto *odata = static_cast<sync_open_data *>(user_data);
  if (odata->abandoned) {
    g_free(odata);
    fp_async_dev_close(dev, nullptr, nullptr);
    return;
  }
  odata->dev = dev;
  odata->status = status;
}

void sync_close_cb(fp_dev *dev, void *user_data) {
  (void)dev;
  fp_dbg("%s", "");
  *static_cast<bool *>(user_data) = true;
}

void enroll_stop_cb(fp_dev *dev, void *user_data) {
  (void)dev;
  fp_dbg("%s", "");
  *static_cast<bool *>(user_data) = true;
}

void verify_stop_cb(fp_dev *dev, void *user_data) {
  (void)dev;
  fp_dbg("%s", "");
  *static_cast<bool *>(user_data) = true;
}

void identify_stop_cb(fp_dev *dev, void *user_data) {
  (void)dev;
  fp_dbg("identify_stop_cb entet");
  if (user_data != nullptr) *static_cast<bool *>(user_data) = true;
  fp_dbg("identify_stop_cb leave");
}

void capture_stop_cb(fp_dev *dev, void *user_data) {
  (void)dev;
  fp_dbg("%s", "");
  *static_cast<bool *>(user_data) = true;
}

void sync_enroll_cb(fp_dev *dev, int result, fp_print_data *data, fp_img *img,
                    void *user_data) {
  (void)dev;
  fp_dbg("result %d", result);
  auto *edata = static_cast<sync_enroll_data *>(user_data);
  // A report the caller has not collected yet is replaced, not leaked.
  fp_print_data_free(edata->data);
  fp_img_free(edata->img);
  edata->result = result;
  edata->data = data;
  edata->img = img;
  edata->done = true;
}

void sync_verify_cb(fp_dev *dev, int result, fp_img *img, void *user_data) {
  (void)dev;
  auto *vdata = static_cast<sync_img_data *>(user_data);
  fp_img_free(vdata->img);
  vdata->result = result;
  vdata->img = img;
  vdata->done = true;
}

void sync_capture_cb(fp_dev *dev, int result, fp_img *img, void *user_data) {
  (void)dev;
  auto *cdata = static_cast<sync_img_data *>(user_data);
  fp_img_free(cdata->img);
  cdata->result = result;
  cdata->img = img;
  cdata->done = true;
}

void sync_identify_cb(fp_dev *dev, int result, size_t match_offset, fp_img *img,
                      void *user_data) {
  (void)dev;
  auto *idata = static_cast<sync_identify_data *>(user_data);
  fp_img_free(idata->img);
  idata->result = result;
  idata->match_offset = match_offset;
  idata->img = img;
  idata->done = true;
}

// Polls until *flag is set; returns 0, or the polling error.
int PollUntil(const bool *flag) {
  while (!*flag) {
    int r = fp_handle_events();
    if (r < 0) return r;
  }
  return 0;
}

// Waits for a stop that its start function accepted (returned 0). When
// polling fails the callback's flag is unhooked, as it lives on the stack.
void AwaitStop(int started, const bool *stopped, fp_operation_stop_cb *slot) {
  if (started != 0) return;
  if (PollUntil(stopped) < 0 && !*stopped) *slot = nullptr;
}

void FreeEnrollData(sync_enroll_data *edata) {
  if (edata == nullptr) return;
  fp_print_data_free(edata->data);
  fp_img_free(edata->img);
  g_free(edata);
}

}  // namespace

extern "C" struct fp_dev *fp_dev_open(struct fp_dscv_dev *ddev) {
  fp_dbg("%s", "");
  auto *odata = g_new0(sync_open_data, 1);
  int r = fp_async_dev_open(ddev, sync_open_cb, odata);
  if (r != 0) {
    g_free(odata);
    return nullptr;
  }
  while (odata->dev == nullptr) {
    if (fp_handle_events() < 0) {
      // The open is still under way and will report into odata.
      odata->abandoned = true;
      return nullptr;
    }
  }

  fp_dev *dev = odata->dev;
  int status = odata->status;
  g_free(odata);
  if (status == 0) {
    // For the rest of the process an identify stop of this driver's devices
    // completes at once, without deactivating the device.
    dev->driver->identify_stop = nullptr;
    return dev;
  }
  fp_dev_close(dev);
  return nullptr;
}

extern "C" void fp_dev_close(struct fp_dev *dev) {
  if (dev == nullptr) return;
  fp_dbg("%s", "");
  // A synchronous enrolment still running goes with the device.
  if (dev->enroll_stage_cb == sync_enroll_cb) {
    FreeEnrollData(static_cast<sync_enroll_data *>(dev->enroll_stage_cb_data));
    dev->enroll_stage_cb = nullptr;
    dev->enroll_stage_cb_data = nullptr;
  }
  bool closed = false;
  fp_async_dev_close(dev, sync_close_cb, &closed);
  if (PollUntil(&closed) < 0 && !closed) dev->close_cb = nullptr;
}

extern "C" int fp_enroll_finger_img(struct fp_dev *dev, struct fp_print_data **print_data,
                                    struct fp_img **img) {
  fp_driver *drv = dev->driver;
  int stage = dev->enroll_stage;
  int r;

  if (stage == -1) {
    auto *edata = g_new0(sync_enroll_data, 1);
    r = fp_async_enroll_start(dev, sync_enroll_cb, edata);
    if (r < 0) {
      g_free(edata);
      return r;
    }
    dev->enroll_stage = stage = 0;
  } else if (stage >= dev->nr_enroll_stages) {
    fp_err("exceeding number of enroll stages for device claimed by driver %s (%d stages)",
           drv->name, dev->nr_enroll_stages);
    dev->enroll_stage = -1;
    r = -EINVAL;
    goto out;
  }
  fp_dbg("%s will handle enroll stage %d/%d", drv->name, stage, dev->nr_enroll_stages - 1);

  {
    auto *edata = static_cast<sync_enroll_data *>(dev->enroll_stage_cb_data);
    r = PollUntil(&edata->done);
    if (r < 0) {
      dev->enroll_stage = -1;
      goto out;
    }
    edata->done = false;
    HandOver(edata->img, img);
    edata->img = nullptr;
    r = edata->result;
    switch (r) {
      case FP_ENROLL_COMPLETE:
        fp_dbg("enroll complete");
        dev->enroll_stage = -1;
        if (print_data != nullptr) {
          *print_data = edata->data;
        } else {
          fp_print_data_free(edata->data);
        }
        edata->data = nullptr;
        break;
      case FP_ENROLL_FAIL:
        fp_err("enroll failed");
        dev->enroll_stage = -1;
        break;
      case FP_ENROLL_PASS:
        fp_dbg("enroll stage passed");
        dev->enroll_stage = stage + 1;
        return r;
      case FP_ENROLL_RETRY:
        fp_dbg("enroll should retry");
        return r;
      case FP_ENROLL_RETRY_TOO_SHORT:
        fp_dbg("swipe was too short, enroll should retry");
        return r;
      case FP_ENROLL_RETRY_CENTER_FINGER:
        fp_dbg("finger was not centered, enroll should retry");
        return r;
      case FP_ENROLL_RETRY_REMOVE_FINGER:
        fp_dbg("scan failed, remove finger and retry");
        return r;
      default:
        fp_err("unrecognised return code %d", r);
        dev->enroll_stage = -1;
        r = -EINVAL;
        break;
    }
  }

out:
  fp_dbg("ending enrollment");
  FreeEnrollData(static_cast<sync_enroll_data *>(dev->enroll_stage_cb_data));
  dev->enroll_stage_cb_data = nullptr;
  bool stopped = false;
  AwaitStop(fp_async_enroll_stop(dev, enroll_stop_cb, &stopped), &stopped, &dev->enroll_stop_cb);
  return r;
}

extern "C" int fp_verify_finger_img(struct fp_dev *dev, struct fp_print_data *enrolled_print,
                                    struct fp_img **img) {
  if (enrolled_print == nullptr) {
    fp_err("no print given");
    return -EINVAL;
  }
  if (!fp_dev_supports_print_data(dev, enrolled_print)) {
    fp_err("print is not compatible with device");
    return -EINVAL;
  }

  fp_dbg("to be handled by %s", dev->driver->name);
  auto *vdata = g_new0(sync_img_data, 1);
  int r = fp_async_verify_start(dev, enrolled_print, sync_verify_cb, vdata);
  if (r < 0) {
    fp_dbg("verify_start error %d", r);
    g_free(vdata);
    return r;
  }

  r = PollUntil(&vdata->done);
  HandOver(vdata->img, img);
  if (r == 0) {
    r = vdata->result;
    switch (r) {
      case FP_VERIFY_NO_MATCH:
        fp_dbg("result: no match");
        break;
      case FP_VERIFY_MATCH:
        fp_dbg("result: match");
        break;
      case FP_VERIFY_RETRY:
        fp_dbg("verify should retry");
        break;
      case FP_VERIFY_RETRY_TOO_SHORT:
        fp_dbg("swipe was too short, verify should retry");
        break;
      case FP_VERIFY_RETRY_CENTER_FINGER:
        fp_dbg("finger was not centered, verify should retry");
        break;
      case FP_VERIFY_RETRY_REMOVE_FINGER:
        fp_dbg("scan failed, remove finger and retry");
        break;
      default:
        fp_err("unrecognised return code %d", r);
        r = -EINVAL;
        break;
    }
  }
  g_free(vdata);

  fp_dbg("ending verification");
  bool stopped = false;
  AwaitStop(fp_async_verify_stop(dev, verify_stop_cb, &stopped), &stopped, &dev->verify_stop_cb);
  return r;
}

extern "C" int fp_identify_finger_img(struct fp_dev *dev, struct fp_print_data **print_gallery,
                                      size_t *match_offset, struct fp_img **img) {
  fp_dbg("to be handled by %s", dev->driver->name);
  auto *idata = g_new0(sync_identify_data, 1);
  int r = fp_async_identify_start(dev, print_gallery, sync_identify_cb, idata);
  if (r < 0) {
    fp_err("identify_start error %d", r);
    g_free(idata);
    return r;
  }

  r = PollUntil(&idata->done);
  HandOver(idata->img, img);
  idata->img = nullptr;
  if (r == 0) {
    r = idata->result;
    switch (r) {
      case FP_VERIFY_MATCH:
        fp_dbg("result: match at offset %zd", idata->match_offset);
        if (match_offset != nullptr) *match_offset = idata->match_offset;
        break;
      case FP_VERIFY_NO_MATCH:
        fp_dbg("result: no match");
        break;
      case FP_VERIFY_RETRY:
        fp_dbg("identify should retry");
        break;
      case FP_VERIFY_RETRY_TOO_SHORT:
        fp_dbg("swipe was too short, identify should retry");
        break;
      case FP_VERIFY_RETRY_CENTER_FINGER:
        fp_dbg("finger was not centered, identify should retry");
        break;
      case FP_VERIFY_RETRY_REMOVE_FINGER:
        fp_dbg("scan failed, remove finger and retry");
        break;
      default:
        fp_err("unrecognised return code %d", r);
        r = -EINVAL;
        break;
    }
  }

  bool stopped = false;
  AwaitStop(fp_async_identify_stop(dev, identify_stop_cb, &stopped), &stopped,
            &dev->identify_stop_cb);
  g_free(idata);
  return r;
}

extern "C" int fp_dev_img_capture(struct fp_dev *dev, int unconditional, struct fp_img **img) {
  fp_driver *drv = dev->driver;
  if (drv->capture_start == nullptr) {
    fp_dbg("image capture is not supported on %s device", drv->name);
    return -ENOTSUP;
  }
  fp_dbg("to be handled by %s", drv->name);
  auto *cdata = g_new0(sync_img_data, 1);
  int r = fp_async_capture_start(dev, unconditional, sync_capture_cb, cdata);
  if (r < 0) {
    fp_dbg("capture_start error %d", r);
    g_free(cdata);
    return r;
  }

  r = PollUntil(&cdata->done);
  HandOver(cdata->img, img);
  if (r == 0) {
    r = cdata->result;
    switch (r) {
      case 0:
        fp_dbg("result: complete");
        break;
      case 1:
        fp_dbg("result: fail");
        break;
      default:
        fp_err("unrecognised return code %d", r);
        r = -EINVAL;
        break;
    }
  }
  g_free(cdata);

  fp_dbg("ending capture");
  bool stopped = false;
  AwaitStop(fp_async_capture_stop(dev, capture_stop_cb, &stopped), &stopped,
            &dev->capture_stop_cb);
  return r;
}
