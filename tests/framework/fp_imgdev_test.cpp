// The imaging-device layer's action cycle with a scripted imaging driver on
// an emulated device: the sensing states asked of the driver, finger reports
// out of turn, re-arming after enrol results and misuse lines.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/fpi_img.h"
#include "framework/scripted_imaging_driver.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::Driver;
using framework_test::ImagingDeviceTest;
using framework_test::IsBugLine;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

using ImgDevLayer = ImagingDeviceTest;

std::vector<int> g_results;
void OnImg(fp_dev *, int result, fp_img *, void *) { g_results.push_back(result); }
void OnEnroll(fp_dev *, int result, fp_print_data *print, fp_img *, void *) {
  g_results.push_back(result);
  fp_print_data_free(print);
}

TEST_F(ImgDevLayer, OnePressStepByStep) {
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  EXPECT_EQ(imgdev->dev, dev);
  EXPECT_EQ(imgdev->usb_handle, dev->usb_handle);
  EXPECT_NE(imgdev->usb_handle, nullptr);
  Driver().events.clear();
  g_results.clear();
  Driver().QueueResult(FP_VERIFY_MATCH);

  ASSERT_EQ(fp_async_verify_start(dev, nullptr, OnImg, nullptr), 0);
  EXPECT_EQ(imgdev->action, IMG_ACTION_VERIFY);
  struct Expect {
    int action_state;
    Lines events;
  } steps[] = {
      {IMG_ACQUIRE_STATE_ACTIVATING, {"activate 1"}},
      {IMG_ACQUIRE_STATE_AWAIT_FINGER_ON, {"activate 1", "state 1"}},
      {IMG_ACQUIRE_STATE_AWAIT_IMAGE, {"activate 1", "state 1", "state 2"}},
      {IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF, {"activate 1", "state 1", "state 2", "state 3"}},
  };
  for (const Expect &e : steps) {
    SCOPED_TRACE(e.action_state);
    EXPECT_EQ(imgdev->action_state, e.action_state);
    EXPECT_EQ(Driver().events, e.events);
    EXPECT_TRUE(g_results.empty());
    Step();
  }
  EXPECT_EQ(g_results, std::vector<int>{FP_VERIFY_MATCH});
  EXPECT_EQ(imgdev->action_result, 0);
  EXPECT_EQ(Driver().Pending(), 0u) << "verification waits for no further finger";

  ASSERT_EQ(fp_async_verify_stop(dev, nullptr, nullptr), 0);
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_DEACTIVATING);
  Step();
  EXPECT_EQ(imgdev->action, IMG_ACTION_NONE);
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_NONE);
}

TEST_F(ImgDevLayer, FingerReportsOutOfTurnAreIgnored) {
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  g_results.clear();
  ASSERT_EQ(fp_async_capture_start(dev, 0, OnImg, nullptr), 0);
  struct Case {
    int action_state;
    bool present;
  } cases[] = {
      {IMG_ACQUIRE_STATE_ACTIVATING, true},        {IMG_ACQUIRE_STATE_ACTIVATING, false},
      {IMG_ACQUIRE_STATE_AWAIT_FINGER_ON, false},  {IMG_ACQUIRE_STATE_AWAIT_IMAGE, true},
      {IMG_ACQUIRE_STATE_AWAIT_IMAGE, false},      {IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.action_state << " " << c.present);
    imgdev->action_state = c.action_state;
    imgdev->action_result = 1;
    Driver().events.clear();
    StderrCapture err;
    fpi_imgdev_report_finger_status(imgdev, c.present);
    EXPECT_EQ(err.Lines(),
              (Lines{std::string("fp:debug [fpi_imgdev_report_finger_status] ") +
                         (c.present ? "finger on sensor" : "finger removed"),
                     "fp:debug [fpi_imgdev_report_finger_status] ignoring status report"}));
    EXPECT_EQ(imgdev->action_state, c.action_state);
    EXPECT_TRUE(Driver().events.empty());
  }
  EXPECT_TRUE(g_results.empty());
}

// After an enrol stage result reported at finger removal, the layer waits
// for the next finger only for a pass or a retry.
TEST_F(ImgDevLayer, EnrollRearmsAfterPassAndRetries) {
  struct Case {
    int result;
    bool rearmed;
  } cases[] = {{FP_ENROLL_PASS, true},  {FP_ENROLL_RETRY, true}, {103, true},
               {FP_ENROLL_FAIL, false}, {0, false},              {-22, false}};
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.result);
    g_results.clear();
    Driver().QueueResult(c.result);
    ASSERT_EQ(fp_async_enroll_start(dev, OnEnroll, nullptr), 0);
    Drain();
    EXPECT_EQ(g_results, std::vector<int>{c.result});
    Driver().events.clear();
    EXPECT_EQ(Driver().Pending(), 0u);
    // A queued press shows whether the layer waits for a finger again.
    Driver().QueueResult(FP_ENROLL_PASS);
    EXPECT_EQ(Driver().Pending(), c.rearmed ? 1u : 0u);
    EXPECT_EQ(imgdev->action_state, c.rearmed ? IMG_ACQUIRE_STATE_AWAIT_FINGER_ON
                                              : IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF);
    Driver().presses.clear();
    ASSERT_EQ(fp_async_enroll_stop(dev, nullptr, nullptr), 0);
    Drain();
  }
}

// A stop from within the result's callback is not undone by re-arming.
TEST_F(ImgDevLayer, EnrollStoppedFromItsCallbackStaysStopped) {
  fp_dev *dev = OpenAsync();
  Driver().QueueResult(FP_ENROLL_PASS);
  Driver().QueueResult(FP_ENROLL_PASS);
  int stops = 0;
  auto on_enroll = [](fp_dev *d, int, fp_print_data *, fp_img *, void *data) {
    ASSERT_EQ(fp_async_enroll_stop(d, [](fp_dev *, void *n) { ++*static_cast<int *>(n); }, data),
              0);
  };
  ASSERT_EQ(fp_async_enroll_start(dev, on_enroll, &stops), 0);
  Drain();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(Driver().presses.size(), 1u) << "no second press was taken";
  EXPECT_EQ(ImgDev(dev)->action_state, IMG_ACQUIRE_STATE_NONE);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
}

TEST_F(ImgDevLayer, DriverWithoutChangeState) {
  Driver().record.change_state = nullptr;
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  g_results.clear();
  ASSERT_EQ(fp_async_identify_start(dev, nullptr,
                                    [](fp_dev *, int r, size_t offset, fp_img *, void *) {
                                      g_results.push_back(r);
                                      g_results.push_back(static_cast<int>(offset));
                                    },
                                    nullptr),
            0);
  Step();
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_AWAIT_FINGER_ON);
  fpi_imgdev_report_finger_status(imgdev, true);
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_AWAIT_IMAGE);
  imgdev->identify_match_offset = 3;
  fpi_imgdev_end_action(imgdev, FP_VERIFY_MATCH);
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_AWAIT_FINGER_OFF);
  fpi_imgdev_report_finger_status(imgdev, false);
  EXPECT_EQ(g_results, (std::vector<int>{1, 3}));
  ASSERT_EQ(fp_async_identify_stop(dev, nullptr, nullptr), 0);
  EXPECT_EQ(imgdev->identify_match_offset, 0u);
  Step();
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(Driver().events, (Lines{"open 90", "activate 1", "deactivate"}));
}

TEST_F(ImgDevLayer, MisuseAndUnhandledActions) {
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  {
    StderrCapture err;
    fpi_imgdev_activate_complete(imgdev, 0);
    fpi_imgdev_deactivate_complete(imgdev);
    EXPECT_EQ(err.Lines(), (Lines{"fp:debug [fpi_imgdev_activate_complete] status 0",
                                  "fp:error [fpi_imgdev_activate_complete] unhandled action 0",
                                  "fp:debug [fpi_imgdev_deactivate_complete] ",
                                  "fp:error [fpi_imgdev_deactivate_complete] unhandled action 0"}));
    EXPECT_TRUE(Driver().events.size() == 1) << "no state asked of the driver";
  }
  ASSERT_EQ(fp_async_enroll_start(dev, nullptr, nullptr), 0);
  Step();
  {
    StderrCapture err;
    fpi_imgdev_session_error(imgdev, 0);
    Lines lines = err.Lines();
    ASSERT_EQ(lines.size(), 4u) << testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "fp:debug [fpi_imgdev_session_error] error 0");
    EXPECT_TRUE(IsBugLine(lines[1], "fp:error [fpi_imgdev_session_error] ", "fp_imgdev.cpp"))
        << lines[1];
  }
  {
    // Stopping a verification while enrolling: both layers log the misuse
    // and the stop still runs.
    StderrCapture err;
    dev->state = DEV_STATE_VERIFYING;
    ASSERT_EQ(fp_async_verify_stop(dev, nullptr, nullptr), 0);
    Lines lines = err.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &l) {
                              return IsBugLine(l, "fp:error [img_dev_verify_stop] ",
                                               "fp_imgdev.cpp");
                            }),
              1)
        << testing::PrintToString(lines);
    EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_DEACTIVATING);
  }
}

// Prints and images the imaging device still holds are released with it.
TEST_F(ImgDevLayer, CloseReleasesWhatTheImagingDeviceHolds) {
  fp_dev *dev = OpenAsync();
  fp_img_dev *imgdev = ImgDev(dev);
  imgdev->enroll_data = fpi_print_data_new(dev);
  imgdev->acquire_data = fpi_print_data_new(dev);
  imgdev->acquire_img = fpi_img_new(64);
  fp_dev_close(dev);
  EXPECT_EQ(fpi_opened_dev_count(), 0u);
  // The sanitizer build checks that nothing leaked.
}

TEST_F(ImgDevLayer, ImageGeometryOfTheDriver) {
  struct Case {
    int width, height, want_width, want_height;
  } cases[] = {{100, -1, 100, 0}, {-1, -1, 0, 0}, {160, 160, 160, 160}};
  fp_dev *dev = OpenAsync();
  for (const Case &c : cases) {
    Driver().record.img_width = c.width;
    Driver().record.img_height = c.height;
    EXPECT_EQ(img_dev_get_width(ImgDev(dev)), c.want_width);
    EXPECT_EQ(img_dev_get_height(ImgDev(dev)), c.want_height);
  }
}

}  // namespace
