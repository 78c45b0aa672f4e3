// Synchronous operations on emulated devices of a scripted imaging driver:
// results and their texts, stage counting, stops, polling errors and the
// process-wide identify stop left by the first synchronous open.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "framework/fpi_img.h"
#include "framework/scripted_imaging_driver.h"
#include "framework/test_util.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::Driver;
using framework_test::FakeClock;
using framework_test::ImagingDeviceTest;
using framework_test::LinesStartingWith;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

bool Has(const Lines &lines, const std::string &line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A press whose capture the driver decides itself, completing the enrolment
// with a print of `items` samples it collected.
void QueueEnrollComplete(int items) {
  Driver().QueuePress([items](fp_img_dev *imgdev) {
    imgdev->enroll_data = fpi_print_data_new(imgdev->dev);
    for (int i = 0; i < items; ++i) {
      imgdev->enroll_data->prints =
          g_slist_prepend(imgdev->enroll_data->prints, fpi_print_data_item_new(4));
    }
    fpi_imgdev_end_action(imgdev, FP_ENROLL_COMPLETE);
  });
}

class SyncOps : public ImagingDeviceTest {
 protected:
  fp_dev *Open() {
    fp_dev *dev = fp_dev_open(Discovered());
    EXPECT_NE(dev, nullptr);
    return dev;
  }
};

TEST_F(SyncOps, OpenClearsTheIdentifyStopOfTheDriver) {
  EXPECT_NE(Driver().record.driver.identify_stop, nullptr);
  fp_dev *dev = Open();
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(fpi_opened_dev_count(), 1u);
  EXPECT_EQ(Driver().record.driver.identify_stop, nullptr);
  EXPECT_NE(Driver().record.driver.verify_stop, nullptr) << "only the identify stop";
  fp_dev_close(dev);
  EXPECT_EQ(fpi_opened_dev_count(), 0u);
  EXPECT_EQ(Driver().events, (Lines{"open 90", "close"}));
  fp_dev_close(nullptr);
}

TEST_F(SyncOps, FailedOpens) {
  struct Case {
    int open_return;
    int open_status;
    int closes;  // the device is closed again after a reported failure
  } cases[] = {{0, -5, 1}, {0, 3, 1}, {-19, 0, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.open_status);
    Driver().events.clear();
    Driver().open_return = c.open_return;
    Driver().open_status = c.open_status;
    StderrCapture err;
    EXPECT_EQ(fp_dev_open(Discovered()), nullptr);
    EXPECT_EQ(Driver().Count("close"), c.closes);
    EXPECT_EQ(fpi_opened_dev_count(), 0u);
    EXPECT_NE(Driver().record.driver.identify_stop, nullptr);
  }
}

TEST_F(SyncOps, EnrollStagesUntilComplete) {
  fp_dev *dev = Open();
  for (int r : {FP_ENROLL_PASS, FP_ENROLL_RETRY, FP_ENROLL_PASS, FP_ENROLL_PASS, FP_ENROLL_PASS}) {
    Driver().QueueResult(r);
  }
  QueueEnrollComplete(5);

  StderrCapture err;
  std::vector<int> got, stages;
  fp_print_data *print = nullptr;
  for (int call = 0; call < 6; ++call) {
    got.push_back(fp_enroll_finger_img(dev, &print, nullptr));
    stages.push_back(dev->enroll_stage);
    if (call < 5) {
      EXPECT_EQ(print, nullptr);
    }
  }
  EXPECT_EQ(got, (std::vector<int>{3, 100, 3, 3, 3, 1}));
  EXPECT_EQ(stages, (std::vector<int>{1, 1, 2, 3, 4, -1}));
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->driver_id, 0x7e);
  EXPECT_EQ(g_slist_length(print->prints), 5u);
  fp_print_data_free(print);
  EXPECT_EQ(Driver().Count("activate 1"), 1);
  EXPECT_EQ(Driver().Count("deactivate"), 1);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);

  Lines lines = err.Lines();
  EXPECT_EQ(LinesStartingWith(lines, "sync:debug [fp_enroll_finger_img] scripted will handle"),
            (Lines{"sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 0/4",
                   "sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 1/4",
                   "sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 1/4",
                   "sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 2/4",
                   "sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 3/4",
                   "sync:debug [fp_enroll_finger_img] scripted will handle enroll stage 4/4"}));
  EXPECT_TRUE(Has(lines, "sync:debug [fp_enroll_finger_img] enroll should retry"));
  EXPECT_TRUE(Has(lines, "sync:debug [fp_enroll_finger_img] enroll complete"));
  EXPECT_TRUE(Has(lines, "sync:debug [fp_enroll_finger_img] ending enrollment"));

  // The next call starts a new enrolment.
  Driver().QueueResult(FP_ENROLL_PASS);
  EXPECT_EQ(fp_enroll_finger_img(dev, &print, nullptr), FP_ENROLL_PASS);
  EXPECT_EQ(Driver().Count("activate 1"), 2);
  EXPECT_EQ(dev->enroll_stage, 1);
}

TEST_F(SyncOps, EnrollResults) {
  struct Case {
    int driver_result;
    int returned;
    bool ends;
    std::string line;
  } cases[] = {
      {FP_ENROLL_FAIL, 2, true, "sync:error [fp_enroll_finger_img] enroll failed"},
      {101, 101, false, "sync:debug [fp_enroll_finger_img] swipe was too short, enroll should retry"},
      {102, 102, false,
       "sync:debug [fp_enroll_finger_img] finger was not centered, enroll should retry"},
      {103, 103, false, "sync:debug [fp_enroll_finger_img] scan failed, remove finger and retry"},
      {0, -22, true, "sync:error [fp_enroll_finger_img] unrecognised return code 0"},
      {7, -22, true, "sync:error [fp_enroll_finger_img] unrecognised return code 7"},
      {-4, -22, true, "sync:error [fp_enroll_finger_img] unrecognised return code -4"},
  };
  fp_dev *dev = Open();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.driver_result);
    int deactivations = Driver().Count("deactivate");
    Driver().QueueResult(c.driver_result);
    StderrCapture err;
    EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), c.returned);
    EXPECT_TRUE(Has(err.Lines(), c.line)) << testing::PrintToString(err.Lines());
    EXPECT_EQ(dev->enroll_stage, c.ends ? -1 : 0);
    EXPECT_EQ(Driver().Count("deactivate"), deactivations + (c.ends ? 1 : 0));
    if (!c.ends) {
      // A failure ends the running enrolment.
      Driver().QueueResult(FP_ENROLL_FAIL);
      EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), FP_ENROLL_FAIL);
      EXPECT_EQ(dev->enroll_stage, -1);
    }
    EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  }
}

TEST_F(SyncOps, EnrollBeyondTheDriversStages) {
  Driver().nr_enroll_stages = 2;
  fp_dev *dev = Open();
  for (int i = 0; i < 3; ++i) Driver().QueueResult(FP_ENROLL_PASS);
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), FP_ENROLL_PASS);
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), FP_ENROLL_PASS);
  StderrCapture err;
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), -22);
  EXPECT_TRUE(Has(err.Lines(), "sync:error [fp_enroll_finger_img] exceeding number of enroll "
                               "stages for device claimed by driver scripted (2 stages)"));
  EXPECT_EQ(dev->enroll_stage, -1);
  EXPECT_EQ(Driver().Count("deactivate"), 1);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
}

TEST_F(SyncOps, EnrollStartFailureKeepsNoEnrolment) {
  fp_dev *dev = Open();
  Driver().activate_return = -16;
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), -16);
  EXPECT_EQ(dev->enroll_stage, -1);
  Driver().activate_return = 0;
  Driver().activate_status = -5;
  dev->state = DEV_STATE_INITIALIZED;
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), -22) << "the started failure";
  EXPECT_EQ(dev->enroll_stage, -1);
}

TEST_F(SyncOps, PollingErrorEndsTheEnrolment) {
  FakeClock clock(1000000);
  fp_dev *dev = Open();
  Driver().QueueResult(FP_ENROLL_PASS);
  Driver().QueueResult(FP_ENROLL_PASS);  // its finger wait stays pending
  ASSERT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), FP_ENROLL_PASS);
  ASSERT_GT(Driver().Pending(), 0u);

  clock.Fail(EIO);
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), -EIO);
  EXPECT_EQ(dev->enroll_stage, -1);
  EXPECT_EQ(Driver().Count("deactivate"), 1);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);

  clock.Fail(0);
  Driver().QueueResult(FP_ENROLL_PASS);
  EXPECT_EQ(fp_enroll_finger_img(dev, nullptr, nullptr), FP_ENROLL_PASS);
  EXPECT_EQ(Driver().Count("activate 1"), 2) << "a new enrolment";
}

TEST_F(SyncOps, VerifyResults) {
  struct Case {
    int driver_result;
    int returned;
    std::string line;
  } cases[] = {
      {0, 0, "sync:debug [fp_verify_finger_img] result: no match"},
      {1, 1, "sync:debug [fp_verify_finger_img] result: match"},
      {100, 100, "sync:debug [fp_verify_finger_img] verify should retry"},
      {101, 101, "sync:debug [fp_verify_finger_img] swipe was too short, verify should retry"},
      {102, 102, "sync:debug [fp_verify_finger_img] finger was not centered, verify should retry"},
      {103, 103, "sync:debug [fp_verify_finger_img] scan failed, remove finger and retry"},
      {7, -22, "sync:error [fp_verify_finger_img] unrecognised return code 7"},
      {-4, -22, "sync:error [fp_verify_finger_img] unrecognised return code -4"},
  };
  fp_dev *dev = Open();
  fp_print_data *enrolled = fpi_print_data_new(dev);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.driver_result);
    int deactivations = Driver().Count("deactivate");
    Driver().QueueResult(c.driver_result);
    StderrCapture err;
    EXPECT_EQ(fp_verify_finger_img(dev, enrolled, nullptr), c.returned);
    Lines lines = err.Lines();
    EXPECT_TRUE(Has(lines, "sync:debug [fp_verify_finger_img] to be handled by scripted"));
    EXPECT_TRUE(Has(lines, c.line)) << testing::PrintToString(lines);
    EXPECT_TRUE(Has(lines, "sync:debug [fp_verify_finger_img] ending verification"));
    EXPECT_EQ(Driver().Count("deactivate"), deactivations + 1);
    EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
    EXPECT_EQ(dev->verify_data, enrolled);
  }
  fp_print_data_free(enrolled);
}

TEST_F(SyncOps, VerifyRefusesMissingAndForeignPrints) {
  fp_dev *dev = Open();
  fp_print_data *foreign = fpi_print_data_new(dev);
  foreign->driver_id = 0x23;
  StderrCapture err;
  EXPECT_EQ(fp_verify_finger_img(dev, foreign, nullptr), -22);
  EXPECT_EQ(fp_verify_finger_img(dev, nullptr, nullptr), -22);
  EXPECT_EQ(err.Lines(),
            (Lines{"fp:debug [fpi_print_data_compatible] driver ID mismatch: 7e vs 23",
                   "sync:error [fp_verify_finger_img] print is not compatible with device",
                   "sync:error [fp_verify_finger_img] no print given"}));
  EXPECT_EQ(Driver().Count("activate 1"), 0);
  fp_print_data_free(foreign);

  Driver().activate_return = -16;
  fp_print_data *own = fpi_print_data_new(dev);
  EXPECT_EQ(fp_verify_finger_img(dev, own, nullptr), -16);
  EXPECT_EQ(dev->state, DEV_STATE_ERROR);
  fp_print_data_free(own);
}

TEST_F(SyncOps, IdentifyResults) {
  struct Case {
    int driver_result;
    size_t offset;
    int returned;
    size_t offset_out;
    std::string line;
  } cases[] = {
      {1, 2, 1, 2, "sync:debug [fp_identify_finger_img] result: match at offset 2"},
      {0, 2, 0, 99, "sync:debug [fp_identify_finger_img] result: no match"},
      {100, 0, 100, 99, "sync:debug [fp_identify_finger_img] identify should retry"},
      {103, 0, 103, 99, "sync:debug [fp_identify_finger_img] scan failed, remove finger and retry"},
      {-4, 0, -22, 99, "sync:error [fp_identify_finger_img] unrecognised return code -4"},
  };
  fp_dev *dev = Open();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.driver_result);
    Driver().QueuePress([c](fp_img_dev *imgdev) {
      imgdev->identify_match_offset = c.offset;
      fpi_imgdev_end_action(imgdev, c.driver_result);
    });
    size_t offset = 99;
    StderrCapture err;
    EXPECT_EQ(fp_identify_finger_img(dev, nullptr, &offset, nullptr), c.returned);
    EXPECT_EQ(offset, c.offset_out);
    Lines lines = err.Lines();
    EXPECT_TRUE(Has(lines, c.line)) << testing::PrintToString(lines);
    // The stop completes inside fp_async_identify_stop.
    EXPECT_EQ(LinesStartingWith(lines, "sync:debug [identify_stop_cb]"),
              (Lines{"sync:debug [identify_stop_cb] identify_stop_cb entet",
                     "sync:debug [identify_stop_cb] identify_stop_cb leave"}));
    EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  }
  EXPECT_EQ(Driver().Count("deactivate"), 0) << "identify stops do not deactivate";

  Driver().activate_return = -16;
  StderrCapture err;
  EXPECT_EQ(fp_identify_finger_img(dev, nullptr, nullptr, nullptr), -16);
  EXPECT_TRUE(Has(err.Lines(), "sync:error [fp_identify_finger_img] identify_start error -16"));
  EXPECT_TRUE(LinesStartingWith(err.Lines(), "async:debug [fp_async_identify_stop]").empty())
      << "no stop after a failed start";
}

TEST_F(SyncOps, CaptureResults) {
  struct Case {
    int driver_result;
    int returned;
    std::string line;
  } cases[] = {
      {0, 0, "sync:debug [fp_dev_img_capture] result: complete"},
      {1, 1, "sync:debug [fp_dev_img_capture] result: fail"},
      {-5, -22, "sync:error [fp_dev_img_capture] unrecognised return code -5"},
  };
  fp_dev *dev = Open();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.driver_result);
    Driver().QueueResult(c.driver_result);
    StderrCapture err;
    EXPECT_EQ(fp_dev_img_capture(dev, 0, nullptr), c.returned);
    EXPECT_TRUE(Has(err.Lines(), c.line)) << testing::PrintToString(err.Lines());
    EXPECT_TRUE(Has(err.Lines(), "sync:debug [fp_dev_img_capture] ending capture"));
    EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  }

  // Imaging devices capture only with a finger.
  EXPECT_EQ(fp_dev_img_capture(dev, 1, nullptr), -95);
  EXPECT_EQ(dev->state, DEV_STATE_ERROR);

  Driver().record.driver.capture_start = nullptr;
  StderrCapture err;
  EXPECT_EQ(fp_dev_img_capture(dev, 0, nullptr), -95);
  EXPECT_EQ(err.Lines(), (Lines{"sync:debug [fp_dev_img_capture] image capture is not supported "
                                "on scripted device"}));
}

// The first synchronous open changes the driver record for the whole
// process: an identify stop on any device of that driver, even one opened
// asynchronously afterwards, completes before it returns and leaves the
// imaging device active.
class IdentifyStopPin : public ImagingDeviceTest {
 protected:
  IdentifyStopPin() : ImagingDeviceTest(2) {}
};

TEST_F(IdentifyStopPin, LaterDevicesStopAtOnce) {
  fp_dev *first = fp_dev_open(Discovered(0));
  ASSERT_NE(first, nullptr);
  fp_dev *second = OpenAsync(1);
  ASSERT_NE(second, nullptr);

  Driver().QueueResult(FP_VERIFY_NO_MATCH);
  ASSERT_EQ(fp_async_identify_start(second, nullptr, nullptr, nullptr), 0);
  Drain();
  ASSERT_EQ(second->state, DEV_STATE_IDENTIFY_DONE);
  bool stopped = false;
  auto on_stop = [](fp_dev *, void *data) { *static_cast<bool *>(data) = true; };
  EXPECT_EQ(fp_async_identify_stop(second, on_stop, &stopped), 0);
  EXPECT_EQ(Driver().Count("deactivate"), 0);
  // Without the pin the stop is still under way: the blocking verify below
  // would then wait for ever, so end here.
  ASSERT_TRUE(stopped) << "the stop did not complete inside the call";
  ASSERT_EQ(second->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(ImgDev(second)->action, IMG_ACTION_IDENTIFY) << "the imaging device stays active";

  // The next action starts afresh on the still active imaging device.
  Driver().QueueResult(FP_VERIFY_MATCH);
  fp_print_data *enrolled = fpi_print_data_new(second);
  EXPECT_EQ(fp_verify_finger_img(second, enrolled, nullptr), FP_VERIFY_MATCH);
  fp_print_data_free(enrolled);
  EXPECT_EQ(Driver().Count("deactivate"), 1);
}

}  // namespace
