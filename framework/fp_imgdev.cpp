// The imaging-device layer: the generic operation slots of imaging drivers,
// the action cycle (activate, wait for the finger, capture, wait for the
// finger to leave, report) and the reports imaging drivers make.
#include <errno.h>
#include <glib.h>

#include "framework/fp_internal.h"

namespace {

fp_img_driver *ImgDriver(fp_img_dev *imgdev) {
  return fpi_driver_to_img_driver(imgdev->dev->driver);
}

fp_img_dev *ImgDev(fp_dev *dev) { return static_cast<fp_img_dev *>(dev->priv); }

// Releases what the imaging device holds of the current action.
void ReleaseActionData(fp_img_dev *imgdev) {
  fp_print_data_free(imgdev->acquire_data);
  fp_print_data_free(imgdev->enroll_data);
  fp_img_free(imgdev->acquire_img);
  imgdev->acquire_data = nullptr;
  imgdev->enroll_data = nullptr;
  imgdev->acquire_img = nullptr;
  imgdev->action_result = 0;
}

void dev_change_state(fp_img_dev *imgdev, fp_imgdev_state state) {
  fp_img_driver *idrv = ImgDriver(imgdev);
  if (idrv->change_state != nullptr) idrv->change_state(imgdev, state);
}

int dev_activate(fp_img_dev *imgdev, fp_imgdev_state state) {
  fp_img_driver *idrv = ImgDriver(imgdev);
  if (idrv->activate == nullptr) return 0;
  int r = idrv->activate(imgdev, state);
  if (r < 0) fp_err("activation failed with error %d", r);
  return r;
}

void dev_deactivate(fp_img_dev *imgdev) {
  fp_img_driver *idrv = ImgDriver(imgdev);
  imgdev->action_state = IMG_ACQUIRE_STATE_DEACTIVATING;
  if (idrv->deactivate != nullptr) idrv->deactivate(imgdev);
  ReleaseActionData(imgdev);
}

int img_dev_open(fp_dev *dev, unsigned long driver_data) {
  fp_img_driver *idrv = fpi_driver_to_img_driver(dev->driver);
  fp_img_dev *imgdev = g_new0(fp_img_dev, 1);
  imgdev->dev = dev;
  imgdev->usb_handle = dev->usb_handle;
  imgdev->enroll_stage = 0;
  dev->priv = imgdev;
  dev->nr_enroll_stages = 5;

  if (idrv->open == nullptr) {
    fpi_drvcb_open_complete(dev, 0);
    return 0;
  }
  int r = idrv->open(imgdev, driver_data);
  if (r != 0) {
    dev->priv = nullptr;
    g_free(imgdev);
  }
  return r;
}

void img_dev_close(fp_dev *dev) {
  fp_img_dev *imgdev = ImgDev(dev);
  fp_img_driver *idrv = fpi_driver_to_img_driver(dev->driver);
  if (imgdev == nullptr) {
    fpi_drvcb_close_complete(dev);
  } else if (idrv->close == nullptr) {
    fpi_imgdev_close_complete(imgdev);
  } else {
    idrv->close(imgdev);
  }
}

int generic_acquire_start(fp_dev *dev, int action) {
  fp_img_dev *imgdev = ImgDev(dev);
  fp_dbg("action %d", action);
  // An identification ended without deactivation leaves its last image,
  // print and result behind; they must not leak into this action.
  ReleaseActionData(imgdev);
  imgdev->action = action;
  imgdev->action_state = IMG_ACQUIRE_STATE_ACTIVATING;
  imgdev->enroll_stage = 0;
  return dev_activate(imgdev, IMGDEV_STATE_AWAIT_FINGER_ON);
}

void generic_acquire_stop(fp_img_dev *imgdev) { dev_deactivate(imgdev); }

int img_dev_enroll_start(fp_dev *dev) { return generic_acquire_start(dev, IMG_ACTION_ENROLL); }

int img_dev_verify_start(fp_dev *dev) { return generic_acquire_start(dev, IMG_ACTION_VERIFY); }

int img_dev_identify_start(fp_dev *dev) {
  return generic_acquire_start(dev, IMG_ACTION_IDENTIFY);
}

int img_dev_capture_start(fp_dev *dev) {
  // Capture without a finger is not offered by imaging devices.
  if (dev->unconditional_capture) return -ENOTSUP;
  return generic_acquire_start(dev, IMG_ACTION_CAPTURE);
}

int img_dev_enroll_stop(fp_dev *dev) {
  fp_img_dev *imgdev = ImgDev(dev);
  BUG_ON(imgdev->action != IMG_ACTION_ENROLL);
  generic_acquire_stop(imgdev);
  return 0;
}

int img_dev_verify_stop(fp_dev *dev, bool iterating) {
  (void)iterating;
  fp_img_dev *imgdev = ImgDev(dev);
  BUG_ON(imgdev->action != IMG_ACTION_VERIFY);
  generic_acquire_stop(imgdev);
  return 0;
}

int img_dev_identify_stop(fp_dev *dev, bool iterating) {
  (void)iterating;
  fp_img_dev *imgdev = ImgDev(dev);
  BUG_ON(imgdev->action != IMG_ACTION_IDENTIFY);
  generic_acquire_stop(imgdev);
  imgdev->identify_match_offset = 0;
  return 0;
}

int img_dev_capture_stop(fp_dev *dev) {
  fp_img_dev *imgdev = ImgDev(dev);
  BUG_ON(imgdev->action != IMG_ACTION_CAPTURE);
  generic_acquire_stop(imgdev);
  return 0;
}

// Reports the capture's result when the finger has left.
void ReportResult(fp_img_dev *imgdev) {
  fp_dev *dev = imgdev->dev;
  int r = imgdev->action_result;
  fp_img *img = imgdev->acquire_img;
  fp_print_data *data = imgdev->acquire_data;
  imgdev->acquire_img = nullptr;
  imgdev->acquire_data = nullptr;
  // The enrolment keeps its samples in enroll_data and verification and
  // identification only compare the acquired print: it is released here.
  fp_print_data_free(data);

  switch (imgdev->action) {
    case IMG_ACTION_ENROLL:
      fp_dbg("reporting enroll result");
      if (r == FP_ENROLL_COMPLETE) {
        fp_print_data *enrolled = imgdev->enroll_data;
        imgdev->enroll_data = nullptr;
        fpi_drvcb_enroll_stage_completed(dev, r, enrolled, img);
        return;
      }
      fpi_drvcb_enroll_stage_completed(dev, r, nullptr, img);
      // The callback may have stopped the enrolment; only a running one that
      // passed or should retry waits for the next finger.
      if (imgdev->action == IMG_ACTION_ENROLL &&
          imgdev->action_state == IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF && r > FP_ENROLL_FAIL) {
        imgdev->action_result = 0;
        imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_FINGER_ON;
        dev_change_state(imgdev, IMGDEV_STATE_AWAIT_FINGER_ON);
      }
      return;
    case IMG_ACTION_VERIFY:
      fpi_drvcb_report_verify_result(dev, r, img);
      imgdev->action_result = 0;
      return;
    case IMG_ACTION_IDENTIFY:
      fpi_drvcb_report_identify_result(dev, r, imgdev->identify_match_offset, img);
      imgdev->action_result = 0;
      return;
    case IMG_ACTION_CAPTURE:
      fpi_drvcb_report_capture_result(dev, r, img);
      imgdev->action_result = 0;
      return;
    default:
      fp_err("unhandled action %d", imgdev->action);
      fp_img_free(img);
      return;
  }
}

}  // namespace

extern "C" void fpi_imgdrv_fill_slots(struct fp_img_driver *idrv) {
  fp_driver *drv = &idrv->driver;
  drv->type = DRIVER_IMAGING;
  drv->open = img_dev_open;
  drv->close = img_dev_close;
  drv->enroll_start = img_dev_enroll_start;
  drv->enroll_stop = img_dev_enroll_stop;
  drv->verify_start = img_dev_verify_start;
  drv->verify_stop = img_dev_verify_stop;
  drv->identify_start = img_dev_identify_start;
  drv->identify_stop = img_dev_identify_stop;
  drv->capture_start = img_dev_capture_start;
  drv->capture_stop = img_dev_capture_stop;
}

extern "C" void fpi_imgdev_open_complete(struct fp_img_dev *imgdev, int status) {
  fp_dbg("status %d", status);
  fpi_drvcb_open_complete(imgdev->dev, status);
}

extern "C" void fpi_imgdev_close_complete(struct fp_img_dev *imgdev) {
  fp_dbg("%s", "");
  fp_dev *dev = imgdev->dev;
  dev->priv = nullptr;
  ReleaseActionData(imgdev);
  g_free(imgdev);
  fpi_drvcb_close_complete(dev);
}

extern "C" void fpi_imgdev_activate_complete(struct fp_img_dev *imgdev, int status) {
  fp_dbg("status %d", status);
  fp_dev *dev = imgdev->dev;
  switch (imgdev->action) {
    case IMG_ACTION_ENROLL:
      fpi_drvcb_enroll_started(dev, status);
      break;
    case IMG_ACTION_VERIFY:
      fpi_drvcb_verify_started(dev, status);
      break;
    case IMG_ACTION_IDENTIFY:
      fpi_drvcb_identify_started(dev, status);
      break;
    case IMG_ACTION_CAPTURE:
      fpi_drvcb_capture_started(dev, status);
      break;
    default:
      fp_err("unhandled action %d", imgdev->action);
      return;
  }
  if (status == 0) {
    imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_FINGER_ON;
    dev_change_state(imgdev, IMGDEV_STATE_AWAIT_FINGER_ON);
  }
}

extern "C" void fpi_imgdev_deactivate_complete(struct fp_img_dev *imgdev) {
  fp_dbg("%s", "");
  fp_dev *dev = imgdev->dev;
  int action = imgdev->action;
  // Idle before the application hears of it: its stop callback may start
  // the next action.
  imgdev->action = IMG_ACTION_NONE;
  imgdev->action_state = IMG_ACQUIRE_STATE_NONE;
  switch (action) {
    case IMG_ACTION_ENROLL:
      fpi_drvcb_enroll_stopped(dev);
      break;
    case IMG_ACTION_VERIFY:
      fpi_drvcb_verify_stopped(dev);
      break;
    case IMG_ACTION_IDENTIFY:
      fpi_drvcb_identify_stopped(dev);
      break;
    case IMG_ACTION_CAPTURE:
      fpi_drvcb_capture_stopped(dev);
      break;
    default:
      fp_err("unhandled action %d", action);
      break;
  }
}

extern "C" void fpi_imgdev_report_finger_status(struct fp_img_dev *imgdev, bool present) {
  if (present) {
    fp_dbg("finger on sensor");
    if (imgdev->action_state != IMG_ACQUIRE_STATE_AWAIT_FINGER_ON) {
      fp_dbg("ignoring status report");
      return;
    }
    dev_change_state(imgdev, IMGDEV_STATE_CAPTURE);
    imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_IMAGE;
    return;
  }
  fp_dbg("finger removed");
  if (imgdev->action_state != IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF) {
    fp_dbg("ignoring status report");
    return;
  }
  ReportResult(imgdev);
}

extern "C" void fpi_imgdev_end_action(struct fp_img_dev *imgdev, int result) {
  fp_dbg("result %d", result);
  imgdev->action_result = result;
  imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF;
  dev_change_state(imgdev, IMGDEV_STATE_AWAIT_FINGER_OFF);
}

extern "C" void fpi_imgdev_session_error(struct fp_img_dev *imgdev, int error) {
  fp_dbg("error %d", error);
  BUG_ON(error == 0);
  fp_dev *dev = imgdev->dev;
  switch (imgdev->action) {
    case IMG_ACTION_ENROLL:
      fpi_drvcb_enroll_stage_completed(dev, error, nullptr, nullptr);
      break;
    case IMG_ACTION_VERIFY:
      fpi_drvcb_report_verify_result(dev, error, nullptr);
      break;
    case IMG_ACTION_IDENTIFY:
      fpi_drvcb_report_identify_result(dev, error, 0, nullptr);
      break;
    case IMG_ACTION_CAPTURE:
      fpi_drvcb_report_capture_result(dev, error, nullptr);
      break;
    default:
      fp_err("unhandled action %d", imgdev->action);
      break;
  }
}

extern "C" int img_dev_get_width(struct fp_img_dev *imgdev) {
  int width = ImgDriver(imgdev)->img_width;
  return width == -1 ? 0 : width;
}

extern "C" int img_dev_get_height(struct fp_img_dev *imgdev) {
  int height = ImgDriver(imgdev)->img_height;
  return height == -1 ? 0 : height;
}
