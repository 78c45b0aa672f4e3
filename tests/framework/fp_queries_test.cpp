// Queries on drivers, discovered and open devices, and print compatibility.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/quorvanta/quorvanta.h"
#include "drivers/vfs0050/vfs0050.h"
#include "framework/fp_internal.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

TEST(PrintCompatibility, FirstDifferenceIsLogged) {
  struct Case {
    uint16_t id1;
    uint32_t devtype1;
    int type1;
    uint16_t id2;
    uint32_t devtype2;
    int type2;
    int result;
    const char *line;
  } cases[] = {
      {35, 0, 1, 35, 0, 1, 1, nullptr},
      {35, 1, 0, 20, 2, 1, 0, "driver ID mismatch: 23 vs 14"},
      {35, 1, 0, 35, 0x12, 1, 0, "devtype mismatch: 0001 vs 0012"},
      {35, 1, 0, 35, 1, 1, 0, "type mismatch: 0 vs 1"},
  };
  for (const Case &c : cases) {
    StderrCapture err;
    EXPECT_EQ(fpi_print_data_compatible(c.id1, c.devtype1, c.type1, c.id2, c.devtype2, c.type2),
              c.result);
    Lines expected;
    if (c.line != nullptr) expected.push_back(std::string("fp:debug [fpi_print_data_compatible] ") + c.line);
    EXPECT_EQ(err.Lines(), expected);
  }
}

TEST(PrintCompatibility, DataTypeFollowsTheDriverType) {
  fp_driver drv = {};
  drv.type = DRIVER_PRIMITIVE;
  EXPECT_EQ(fpi_driver_get_data_type(&drv), FP_PRINT_DATA_RAW);
  drv.type = DRIVER_IMAGING;
  EXPECT_EQ(fpi_driver_get_data_type(&drv), FP_PRINT_DATA_MINUTIAE);
  drv.type = 7;
  StderrCapture err;
  EXPECT_EQ(fpi_driver_get_data_type(&drv), FP_PRINT_DATA_RAW);
  EXPECT_EQ(err.Lines(), Lines{"fp:error [fpi_driver_get_data_type] unrecognised drv type 7"});
}

// Devices of the VFS0050 driver (imaging, id 20).
class DeviceQueries : public testing::Test {
 protected:
  void SetUp() override {
    fp_set_debug(0);
    fpi_imgdrv_fill_slots(&vfs0050_driver);
    dev_.driver = &vfs0050_driver.driver;
    dev_.priv = &img_dev_;
    dscv_.drv = &vfs0050_driver.driver;
  }
  fp_img_dev img_dev_ = {};
  fp_dev dev_ = {};
  fp_dscv_dev dscv_ = {};
};

TEST_F(DeviceQueries, SupportsPrintsOfItsDriverDevtypeAndDataType) {
  struct Case {
    fp_print_data print;
    int supported;
  } cases[] = {
      {{20, 0, FP_PRINT_DATA_MINUTIAE, nullptr}, 1},
      {{20, 0, FP_PRINT_DATA_RAW, nullptr}, 0},
      {{20, 1, FP_PRINT_DATA_MINUTIAE, nullptr}, 0},
      {{35, 0, FP_PRINT_DATA_MINUTIAE, nullptr}, 0},
  };
  for (Case &c : cases) {
    EXPECT_EQ(fp_dev_supports_print_data(&dev_, &c.print), c.supported);
    EXPECT_EQ(fp_dscv_dev_supports_print_data(&dscv_, &c.print), c.supported);
  }
  // Stored prints compare driver id and device type only.
  fp_dscv_print stored = {20, 0, 1, nullptr};
  EXPECT_EQ(fp_dev_supports_dscv_print(&dev_, &stored), 1);
  EXPECT_EQ(fp_dscv_dev_supports_dscv_print(&dscv_, &stored), 1);
  stored.devtype = 3;
  EXPECT_EQ(fp_dev_supports_dscv_print(&dev_, &stored), 0);
  EXPECT_EQ(fp_dscv_dev_supports_dscv_print(&dscv_, &stored), 0);
}

TEST_F(DeviceQueries, FirstDiscoveredDeviceSupportingAPrint) {
  fp_dscv_dev quorvanta = {};
  quorvanta.drv = &quorvanta_driver.driver;
  fp_dscv_dev other_vfs = dscv_;
  fp_dscv_dev *devs[] = {&quorvanta, &dscv_, &other_vfs, nullptr};
  fp_print_data print = {20, 0, FP_PRINT_DATA_MINUTIAE, nullptr};
  EXPECT_EQ(fp_dscv_dev_for_print_data(devs, &print), &dscv_);
  fp_dscv_print stored = {35, 0, 2, nullptr};
  EXPECT_EQ(fp_dscv_dev_for_dscv_print(devs, &stored), &quorvanta);
  stored.driver_id = 1;
  EXPECT_EQ(fp_dscv_dev_for_dscv_print(devs, &stored), nullptr);
}

TEST_F(DeviceQueries, ImageSizeOfImagingDevicesOnly) {
  EXPECT_EQ(fp_dev_get_img_width(&dev_), 100);
  EXPECT_EQ(fp_dev_get_img_height(&dev_), 0);  // variable

  fp_set_debug(4);
  dev_.priv = nullptr;  // no imaging record yet
  StderrCapture err;
  EXPECT_EQ(fp_dev_get_img_width(&dev_), -1);
  fp_driver primitive = {};
  primitive.type = DRIVER_PRIMITIVE;
  dev_.driver = &primitive;
  dev_.priv = &img_dev_;
  EXPECT_EQ(fp_dev_get_img_height(&dev_), -1);
  EXPECT_EQ(err.Lines(),
            (Lines{"fp:debug [fp_dev_get_img_width] get image width for non-imaging device",
                   "fp:debug [fp_dev_get_img_height] get image height for non-imaging device"}));
}

TEST_F(DeviceQueries, CapabilitiesFollowTheDriverSlots) {
  fp_driver drv = {};
  dev_.driver = &drv;
  EXPECT_EQ(fp_dev_supports_imaging(&dev_), 0);
  EXPECT_EQ(fp_dev_supports_identification(&dev_), 0);
  drv.capture_start = [](fp_dev *) { return 0; };
  drv.identify_start = [](fp_dev *) { return 0; };
  EXPECT_EQ(fp_dev_supports_imaging(&dev_), 1);
  EXPECT_EQ(fp_dev_supports_identification(&dev_), 1);
}

}  // namespace
