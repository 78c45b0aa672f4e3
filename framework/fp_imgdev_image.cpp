// The generic image path of the imaging-device layer: an image captured by
// the driver is checked, standardised, turned into a print and decided.
#include <errno.h>
#include <glib.h>

#include "framework/fp_internal.h"
#include "framework/fpi_img.h"

namespace {

// Fewest minutiae a usable scan has.
constexpr int kMinAcceptableMinutiae = 10;
// The match threshold of drivers that set none.
constexpr int kDefaultBz3Threshold = 40;

// Gives the image the driver's fixed size and checks it; 0 or -22.
int sanitize_image(fp_img_dev *imgdev, fp_img *img) {
  fp_img_driver *idrv = fpi_driver_to_img_driver(imgdev->dev->driver);
  if (idrv->img_width > 0) {
    img->width = idrv->img_width;
  } else if (img->width <= 0) {
    fp_err("no image width assigned");
    return -EINVAL;
  }
  if (idrv->img_height > 0) {
    img->height = idrv->img_height;
  } else if (img->height <= 0) {
    fp_err("no image height assigned");
    return -EINVAL;
  }
  if (!fpi_img_size_ok(img)) {
    fp_err("image is not sane!");
    return -EINVAL;
  }
  return 0;
}

// Moves the one sample of a new print to the front of the enrolment print.
void CollectSample(fp_img_dev *imgdev, fp_print_data *print) {
  fp_dev *dev = imgdev->dev;
  if (imgdev->enroll_data == nullptr) imgdev->enroll_data = fpi_print_data_new(dev);
  BUG_ON(g_slist_length(print->prints) != 1);
  if (print->prints != nullptr) {
    imgdev->enroll_data->prints = g_slist_prepend(imgdev->enroll_data->prints, print->prints->data);
    print->prints = g_slist_delete_link(print->prints, print->prints);
  }
  fp_print_data_free(print);
  imgdev->acquire_data = nullptr;
  imgdev->enroll_stage++;
  imgdev->action_result =
      imgdev->enroll_stage == dev->nr_enroll_stages ? FP_ENROLL_COMPLETE : FP_ENROLL_PASS;
}

// The image has been decided: wait for the finger to leave.
void AwaitFingerOff(fp_img_dev *imgdev) {
  imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF;
  fp_img_driver *idrv = fpi_driver_to_img_driver(imgdev->dev->driver);
  if (idrv->change_state != nullptr) idrv->change_state(imgdev, IMGDEV_STATE_AWAIT_FINGER_OFF);
}

}  // namespace

extern "C" void fpi_imgdev_image_captured(struct fp_img_dev *imgdev, struct fp_img *img) {
  fp_dbg("%s", "");
  if (imgdev->action_state != IMG_ACQUIRE_STATE_AWAIT_IMAGE) {
    fp_dbg("ignoring due to current state %d", imgdev->action_state);
    fp_img_free(img);
    return;
  }
  if (imgdev->action_result != 0) {
    fp_dbg("not overwriting existing action result");
    fp_img_free(img);
    return;
  }

  fp_dev *dev = imgdev->dev;
  int r = sanitize_image(imgdev, img);
  if (r < 0) {
    imgdev->action_result = r;
    fp_img_free(img);
    AwaitFingerOff(imgdev);
    return;
  }
  fp_img_standardize(img);
  fp_img_free(imgdev->acquire_img);
  imgdev->acquire_img = img;
  if (imgdev->action == IMG_ACTION_CAPTURE) {
    imgdev->action_result = 0;
    AwaitFingerOff(imgdev);
    return;
  }

  fp_print_data *print = nullptr;
  r = fpi_img_to_print_data(imgdev, img, &print);
  if (r < 0) {
    fp_err("image to print data conversion error: %d", r);
    imgdev->action_result = FP_ENROLL_RETRY;
    AwaitFingerOff(imgdev);
    return;
  }
  int count = img->minutiae != nullptr ? img->minutiae->count : 0;
  if (count < kMinAcceptableMinutiae) {
    fp_dbg("not enough minutiae, %d/%d", count, kMinAcceptableMinutiae);
    fp_print_data_free(print);
    imgdev->action_result = FP_ENROLL_RETRY;
    AwaitFingerOff(imgdev);
    return;
  }

  fp_print_data_free(imgdev->acquire_data);
  imgdev->acquire_data = print;
  int threshold = fpi_driver_to_img_driver(dev->driver)->bz3_threshold;
  if (threshold == 0) threshold = kDefaultBz3Threshold;
  switch (imgdev->action) {
    case IMG_ACTION_ENROLL:
      CollectSample(imgdev, print);
      break;
    case IMG_ACTION_VERIFY: {
      int score = dev->verify_data != nullptr
                      ? fpi_img_compare_print_data(dev->verify_data, print)
                      : -EINVAL;
      if (score >= threshold) {
        imgdev->action_result = FP_VERIFY_MATCH;
      } else {
        imgdev->action_result = score <= 0 ? score : FP_VERIFY_NO_MATCH;
      }
      break;
    }
    case IMG_ACTION_IDENTIFY: {
      size_t offset = 0;
      r = dev->identify_gallery != nullptr
              ? fpi_img_compare_print_data_to_gallery(print, dev->identify_gallery, threshold,
                                                      &offset)
              : FP_VERIFY_NO_MATCH;
      imgdev->action_result = r;
      if (r == FP_VERIFY_MATCH) imgdev->identify_match_offset = offset;
      break;
    }
    default:
      BUG();
      break;
  }
  AwaitFingerOff(imgdev);
}
