// The imaging-device layer's generic image path with a scripted imaging
// driver and the scripted minutiae detector and matcher: checking and
// standardising images, minutiae counts, enrol samples and the Bozorth3
// decisions at the driver's threshold.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/fpi_img.h"
#include "framework/scripted_imaging_driver.h"
#include "support/minutiae_standin.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::Driver;
using framework_test::ImagingDeviceTest;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

bool Has(const Lines &lines, const std::string &line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// `n` minutiae whose first one sits at column `x0`.
std::vector<minutiae_standin::Minutia> Minutiae(int n, int x0 = 1) {
  std::vector<minutiae_standin::Minutia> m;
  for (int i = 0; i < n; ++i) m.push_back({x0 + i, 2 + i, 10 * i});
  return m;
}

// A width x height image with pixel value row * width + column, stored with
// `flags`.
fp_img *NewImage(int width, int height, uint16_t flags = 0) {
  fp_img *img = fpi_img_new(static_cast<size_t>(width) * height);
  img->width = width;
  img->height = height;
  img->flags = flags;
  for (int i = 0; i < width * height; ++i) img->data[i] = static_cast<unsigned char>(i);
  return img;
}

// A press delivering an image in which the detector finds `minutiae`.
void QueueImage(std::vector<minutiae_standin::Minutia> minutiae, int width = 8, int height = 6,
                uint16_t flags = 0, int detect_result = 0) {
  Driver().QueuePress([=](fp_img_dev *imgdev) {
    minutiae_standin::ScriptDetection(minutiae, detect_result);
    fpi_imgdev_image_captured(imgdev, NewImage(width, height, flags));
  });
}

// Column of the first minutia of a print item's xyt record.
int32_t FirstX(const fp_print_data_item *item) {
  int32_t x;
  std::memcpy(&x, item->data + 4, sizeof x);
  return x;
}

class ImagePath : public ImagingDeviceTest {
 protected:
  void SetUp() override {
    minutiae_standin::Reset();
    ImagingDeviceTest::SetUp();
  }
};

TEST_F(ImagePath, EnrolmentCollectsTheSamplesNewestFirst) {
  fp_dev *dev = OpenAsync();
  for (int press = 0; press < 5; ++press) QueueImage(Minutiae(12, 10 * press + 1));
  std::vector<int> results;
  fp_print_data *print = nullptr;
  for (int call = 0; call < 5; ++call) {
    results.push_back(fp_enroll_finger_img(dev, &print, nullptr));
  }
  EXPECT_EQ(results, (std::vector<int>{3, 3, 3, 3, 1}));
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->type, FP_PRINT_DATA_MINUTIAE);
  std::vector<int32_t> first_x;
  for (GSList *l = print->prints; l != nullptr; l = l->next) {
    first_x.push_back(FirstX(static_cast<fp_print_data_item *>(l->data)));
  }
  EXPECT_EQ(first_x, (std::vector<int32_t>{41, 31, 21, 11, 1}));
  fp_print_data_free(print);
  EXPECT_EQ(minutiae_standin::LiveLists(), 0) << "the images went with their minutiae";
}

// Prints of one sample each, made through one-stage enrolments.
std::vector<fp_print_data *> EnrolPrints(fp_dev *dev, int n) {
  std::vector<fp_print_data *> prints;
  for (int i = 0; i < n; ++i) {
    QueueImage(Minutiae(12, i + 1));
    fp_print_data *print = nullptr;
    EXPECT_EQ(fp_enroll_finger_img(dev, &print, nullptr), FP_ENROLL_COMPLETE);
    prints.push_back(print);
  }
  return prints;
}

TEST_F(ImagePath, VerifyAtTheThreshold) {
  struct Case {
    int driver_threshold;
    int score;
    int result;
  } cases[] = {
      {0, 40, FP_VERIFY_MATCH},  {0, 39, FP_VERIFY_NO_MATCH},  {0, 0, FP_VERIFY_NO_MATCH},
      {24, 24, FP_VERIFY_MATCH}, {24, 23, FP_VERIFY_NO_MATCH}, {24, 100, FP_VERIFY_MATCH},
  };
  Driver().nr_enroll_stages = 1;
  fp_dev *dev = OpenAsync();
  fp_print_data *enrolled = EnrolPrints(dev, 1)[0];
  ASSERT_NE(enrolled, nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.driver_threshold << "/" << c.score);
    Driver().record.bz3_threshold = c.driver_threshold;
    minutiae_standin::ScriptScores({c.score});
    QueueImage(Minutiae(12));
    fp_img *img = nullptr;
    EXPECT_EQ(fp_verify_finger_img(dev, enrolled, &img), c.result);
    ASSERT_NE(img, nullptr) << "the image goes to the caller";
    EXPECT_EQ(img->width, 8);
    fp_img_free(img);
  }
  fp_print_data_free(enrolled);
}

TEST_F(ImagePath, IdentifySearchesTheGalleryInOrder) {
  struct Case {
    std::vector<int> scores;
    int result;
    size_t offset;
  } cases[] = {
      {{10, 45, 50}, FP_VERIFY_MATCH, 1},
      {{40, 0, 0}, FP_VERIFY_MATCH, 0},
      {{10, 20, 39}, FP_VERIFY_NO_MATCH, 99},
  };
  Driver().nr_enroll_stages = 1;
  fp_dev *dev = OpenAsync();
  std::vector<fp_print_data *> gallery = EnrolPrints(dev, 3);
  gallery.push_back(nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.scores));
    minutiae_standin::ScriptScores(c.scores);
    QueueImage(Minutiae(12));
    size_t offset = 99;
    EXPECT_EQ(fp_identify_finger_img(dev, gallery.data(), &offset, nullptr), c.result);
    EXPECT_EQ(offset, c.offset);
  }
  for (fp_print_data *print : gallery) fp_print_data_free(print);
}

TEST_F(ImagePath, TooFewMinutiaeAskForARetryWithoutMatching) {
  Driver().nr_enroll_stages = 1;
  fp_dev *dev = OpenAsync();
  fp_print_data *enrolled = EnrolPrints(dev, 1)[0];
  QueueImage(Minutiae(9));
  StderrCapture err;
  EXPECT_EQ(fp_verify_finger_img(dev, enrolled, nullptr), FP_VERIFY_RETRY);
  EXPECT_TRUE(minutiae_standin::ScoreCalls().empty());
  EXPECT_TRUE(Has(err.Lines(), "fp:debug [fpi_imgdev_image_captured] not enough minutiae, 9/10"));

  // Ten are enough.
  QueueImage(Minutiae(10));
  minutiae_standin::ScriptScores({40});
  EXPECT_EQ(fp_verify_finger_img(dev, enrolled, nullptr), FP_VERIFY_MATCH);
  EXPECT_EQ(minutiae_standin::ScoreCalls().size(), 1u);

  // A failed detection asks for a retry as well.
  QueueImage({}, 8, 6, 0, -3);
  StderrCapture err2;
  EXPECT_EQ(fp_verify_finger_img(dev, enrolled, nullptr), FP_VERIFY_RETRY);
  EXPECT_TRUE(Has(err2.Lines(),
                  "fp:error [fpi_imgdev_image_captured] image to print data conversion error: -3"));
  fp_print_data_free(enrolled);
}

TEST_F(ImagePath, EnrolRetriesDoNotCountAsSamples) {
  Driver().nr_enroll_stages = 2;
  fp_dev *dev = OpenAsync();
  QueueImage(Minutiae(12));
  QueueImage(Minutiae(3));
  QueueImage(Minutiae(12));
  fp_print_data *print = nullptr;
  EXPECT_EQ(fp_enroll_finger_img(dev, &print, nullptr), FP_ENROLL_PASS);
  EXPECT_EQ(fp_enroll_finger_img(dev, &print, nullptr), FP_ENROLL_RETRY);
  EXPECT_EQ(fp_enroll_finger_img(dev, &print, nullptr), FP_ENROLL_COMPLETE);
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(g_slist_length(print->prints), 2u);
  fp_print_data_free(print);
}

// Captures report the checked, standardised image, or -22 for an image
// the layer cannot use.
TEST_F(ImagePath, CaptureChecksAndStandardisesTheImage) {
  struct Case {
    int driver_width, driver_height;
    int width, height;
    int result;
    const char *line;  // logged by sanitize_image, or nullptr
  } cases[] = {
      {-1, -1, 0, 6, -22, "fp:error [sanitize_image] no image width assigned"},
      {-1, -1, 8, 0, -22, "fp:error [sanitize_image] no image height assigned"},
      {16, -1, 8, 6, -22, "fp:error [sanitize_image] image is not sane!"},
      {8, 6, 0, 0, 0, nullptr},
      {-1, -1, 8, 6, 0, nullptr},
  };
  fp_dev *dev = OpenAsync();
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    Driver().record.img_width = c.driver_width;
    Driver().record.img_height = c.driver_height;
    Driver().QueuePress([c](fp_img_dev *imgdev) {
      fp_img *img = NewImage(8, 6);
      img->width = c.width;
      img->height = c.height;
      fpi_imgdev_image_captured(imgdev, img);
    });
    int result = 1;
    fp_img *got = nullptr;
    struct Out {
      int *result;
      fp_img **img;
    } out{&result, &got};
    auto on_capture = [](fp_dev *, int r, fp_img *img, void *data) {
      *static_cast<Out *>(data)->result = r;
      *static_cast<Out *>(data)->img = img;
    };
    StderrCapture err;
    ASSERT_EQ(fp_async_capture_start(dev, 0, on_capture, &out), 0);
    Drain();
    EXPECT_EQ(result, c.result);
    if (c.line != nullptr) {
      EXPECT_TRUE(Has(err.Lines(), c.line)) << testing::PrintToString(err.Lines());
      EXPECT_EQ(got, nullptr);
    } else {
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(got->width, 8);
      EXPECT_EQ(got->height, 6);
    }
    EXPECT_TRUE(minutiae_standin::DetectCalls().empty()) << "captures detect nothing";
    fp_img_free(got);
    ASSERT_EQ(fp_async_capture_stop(dev, nullptr, nullptr), 0);
    Drain();
  }

  // A flipped, inverted 3x2 image arrives turned by 180 degrees and inverted.
  Driver().record.img_width = -1;
  Driver().record.img_height = -1;
  Driver().QueuePress([](fp_img_dev *imgdev) {
    fpi_imgdev_image_captured(
        imgdev, NewImage(3, 2, FP_IMG_V_FLIPPED | FP_IMG_H_FLIPPED | FP_IMG_COLORS_INVERTED));
  });
  fp_img *img = nullptr;
  EXPECT_EQ(fp_dev_img_capture(dev, 0, &img), 0);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->flags, 0);
  EXPECT_EQ(std::vector<int>(img->data, img->data + 6),
            (std::vector<int>{250, 251, 252, 253, 254, 255}));
  fp_img_free(img);
}

// Images arriving out of turn are logged and released (the sanitizer build
// checks the release).
TEST_F(ImagePath, ImagesOutOfTurn) {
  fp_dev *dev = OpenAsync();
  ASSERT_EQ(fp_async_verify_start(dev, nullptr, nullptr, nullptr), 0);
  Drain();
  fp_img_dev *imgdev = ImgDev(dev);
  ASSERT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_AWAIT_FINGER_ON);
  StderrCapture err;
  fpi_imgdev_image_captured(imgdev, NewImage(8, 6));
  imgdev->action_state = IMG_ACQUIRE_STATE_AWAIT_IMAGE;
  imgdev->action_result = FP_VERIFY_MATCH;
  fpi_imgdev_image_captured(imgdev, NewImage(8, 6));
  EXPECT_EQ(err.Lines(),
            (Lines{"fp:debug [fpi_imgdev_image_captured] ",
                   "fp:debug [fpi_imgdev_image_captured] ignoring due to current state 2",
                   "fp:debug [fpi_imgdev_image_captured] ",
                   "fp:debug [fpi_imgdev_image_captured] not overwriting existing action result"}));
  EXPECT_EQ(imgdev->acquire_img, nullptr);
  EXPECT_EQ(imgdev->action_state, IMG_ACQUIRE_STATE_AWAIT_IMAGE);
  EXPECT_TRUE(minutiae_standin::DetectCalls().empty());
}

}  // namespace
