// SPI, slide and sensor instances: defaults, recreation, destruction,
// allocation failures (no leak, no write through a missing record), the
// setters and the chip switches.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_sensor_type.h"

namespace {

using testing_support::FailAllocationsAfter;
using testing_support::IsLibErrorLine;
using testing_support::LibLogCapture;
using testing_support::StopAllocFailures;

void ExpectSpiDefaults(const ZqSpiObj *s) {
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->imagebit, 1u);
  EXPECT_EQ(s->McuInterruptMode, 0u);
  EXPECT_EQ(s->TransferBytesMax, 1014);
  EXPECT_EQ(s->imagewidth, 96);
  EXPECT_EQ(s->imageheight, 96);
  EXPECT_EQ(s->fw4847_imagewidth, 96);
  EXPECT_EQ(s->fw4847_imageheight, 96);
  EXPECT_EQ(s->icinfo, SENSOR_ZQ4842);
  EXPECT_EQ(s->image_adjust, 0);
  EXPECT_EQ(s->baseLen, 0);
  EXPECT_EQ(s->saveImageEn, 1);
  EXPECT_EQ(s->imageFilterEn, 0);
  for (const uint8_t *buf : {s->imageBuf, s->baseBuf, s->rawBuf}) {
    ASSERT_NE(buf, nullptr);
    for (int i = 0; i < QUORV_SPI_IMAGE_BUF_SIZE; ++i) ASSERT_EQ(buf[i], 0) << i;
  }
}

TEST(SpiInstance, CreatedWithDefaultsAndLogged) {
  const int32_t start = ZqGetMallocCnts();
  LibLogCapture log;
  EXPECT_EQ(quorv_get_ZqSpiObjHandle(), nullptr);
  ZqSpiObj *s = quorv_get_spi_instance();
  EXPECT_EQ(s, quorv_get_ZqSpiObjHandle());
  ExpectSpiDefaults(s);
  EXPECT_EQ(ZqGetMallocCnts(), start + 4);  // record and three buffers
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"quorv_create_spi_instance enter.",
                                      "quorv_create_spi_instance OK!",
                                      "quorv_create_spi_instance leave."}));
  quorv_destroy_spi_instance();
  EXPECT_EQ(quorv_get_ZqSpiObjHandle(), nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(SpiInstance, SecondCreationLeavesOneRecordWithDefaults) {
  const int32_t start = ZqGetMallocCnts();
  ZqSpiObj *first = quorv_get_spi_instance();
  ASSERT_NE(first, nullptr);
  quorv_set_imagewidth(40);
  quorv_set_icinfo(SENSOR_FW4843);
  first->imageBuf[7] = 9;
  ZqSpiObj *second = quorv_get_spi_instance();
  ExpectSpiDefaults(second);
  EXPECT_EQ(ZqGetMallocCnts(), start + 4);
  quorv_destroy_spi_instance();
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(SpiInstance, DestroyEmptiesTheImageList) {
  const int32_t start = ZqGetMallocCnts();
  quorv_get_spi_instance();
  quorv_SetimageColsRows(4, 4);
  const uint8_t img[16] = {};
  quorv_SaveImage(img);
  quorv_SaveImage(img);
  ASSERT_NE(g_imageSave, nullptr);
  quorv_destroy_spi_instance();
  EXPECT_EQ(g_imageSave, nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
  quorv_destroy_spi_instance();  // twice is harmless
}

TEST(SpiInstance, FailedCreationLeavesNoRecordAndNoLeak) {
  // The record, then each of its three buffers, fails in turn.
  for (int ok = 0; ok < 4; ++ok) {
    quorv_get_spi_instance();
    const int32_t start = ZqGetMallocCnts() - 4;
    LibLogCapture log;
    FailAllocationsAfter(ok);
    EXPECT_EQ(quorv_get_spi_instance(), nullptr) << ok;
    StopAllocFailures();
    EXPECT_EQ(quorv_get_ZqSpiObjHandle(), nullptr) << ok;
    EXPECT_EQ(ZqGetMallocCnts(), start) << ok;  // the old record went too
    std::vector<std::string> lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(IsLibErrorLine(lines.back(), "quorv_create_spi_instance",
                               "src/Quorv_sensor/quorv_spi_instance.cpp",
                               "quorv_create_spi_instance FAIL!"))
        << lines.back();
  }
}

TEST(SpiInstance, SettersWithoutRecordWriteNothing) {
  LibLogCapture log;
  quorv_set_imagebit(2);
  quorv_set_icinfo(7);
  quorv_SetimageColsRows(56, 56);
  quorv_set_McuInterruptMode(1);
  EXPECT_EQ(quorv_get_icinfo(), SENSOR_NONE);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "quorv_set_imagebit......ZqSpiObj is NULL",
                                "quorv_set_icinfo 7", "",
                                "quorv_set_icinfo......ZqSpiObj is NULL",
                                "quorv_SetimageColsRows......ZqSpiObj is NULL",
                                "quorv_set_McuInterruptMode......ZqSpiObj is NULL"}));
}

TEST(SpiInstance, SettersWriteTheirField) {
  quorv_get_spi_instance();
  const ZqSpiObj *s = quorv_get_ZqSpiObjHandle();
  struct Case {
    const char *name;
    std::function<void()> set;
    std::function<int64_t()> get;
    int64_t expected;
  } cases[] = {
      {"imagebit", [] { quorv_set_imagebit(3); }, [s] { return s->imagebit; }, 3},
      {"McuInterruptMode", [] { quorv_set_McuInterruptMode(0x1234); },
       [s] { return s->McuInterruptMode; }, 0x1234},
      {"imagewidth", [] { quorv_set_imagewidth(80); }, [s] { return s->imagewidth; }, 80},
      {"imageheight", [] { quorv_set_imageheight(128); }, [s] { return s->imageheight; }, 128},
      {"fw4847 width", [] { quorv_set_fw4847_imagewidth(56); },
       [s] { return s->fw4847_imagewidth; }, 56},
      {"fw4847 height", [] { quorv_set_fw4847_imageheight(57); },
       [s] { return s->fw4847_imageheight; }, 57},
      {"TransferBytesMax", [] { quorv_set_TransferBytesMax(7752); },
       [s] { return s->TransferBytesMax; }, 7752},
      {"fp_SetTransferBytesMax", [] { quorv_fp_SetTransferBytesMax(1000); },
       [s] { return s->TransferBytesMax; }, 1000},
      {"icinfo", [] { quorv_set_icinfo(12); }, [s] { return s->icinfo; }, 12},
      {"image_adjust", [] { quorv_set_image_adjust(1); }, [s] { return s->image_adjust; }, 1},
      {"saveImageEn", [] { quorv_set_saveImageEn(0); }, [s] { return s->saveImageEn; }, 0},
      {"imageFilterEn", [] { quorv_set_imageFilterEn(2); }, [s] { return s->imageFilterEn; }, 2},
  };
  for (const Case &c : cases) {
    c.set();
    EXPECT_EQ(c.get(), c.expected) << c.name;
  }
  quorv_destroy_spi_instance();
}

TEST(SpiInstance, ColsRowsByChip) {
  struct Case {
    uint8_t icinfo, cols, rows;
    uint8_t width, height, crop_w, crop_h;
  } cases[] = {
      {SENSOR_FW4847, 56, 56, 64, 80, 56, 56},
      {SENSOR_FW4847, 88, 88, 88, 88, 88, 88},
      {SENSOR_FW4847, 56, 64, 56, 64, 56, 64},
      {SENSOR_FW4848, 56, 56, 56, 56, 96, 96},
      {SENSOR_FW4843, 80, 128, 80, 128, 96, 96},
  };
  for (const Case &c : cases) {
    ZqSpiObj *s = quorv_get_spi_instance();
    quorv_set_icinfo(c.icinfo);
    quorv_SetimageColsRows(c.cols, c.rows);
    EXPECT_EQ(s->imagewidth, c.width) << int(c.icinfo) << " " << int(c.cols);
    EXPECT_EQ(s->imageheight, c.height) << int(c.icinfo) << " " << int(c.cols);
    EXPECT_EQ(s->fw4847_imagewidth, c.crop_w) << int(c.icinfo) << " " << int(c.cols);
    EXPECT_EQ(s->fw4847_imageheight, c.crop_h) << int(c.icinfo) << " " << int(c.cols);
  }
  quorv_destroy_spi_instance();
}

TEST(SlideInstance, DefaultsSettersAndRecreation) {
  const int32_t start = ZqGetMallocCnts();
  LibLogCapture log;
  ZqSlideEnrollObj *o = quorv_get_slide_enroll_instance();
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o, quorv_get_ZqSlideEnrollObjHandle());
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"quorv_create_slide_enroll_instance  enter.",
                                      "quorv_create_slide_enroll_instance leave."}));
  const ZqSlideEnrollObj defaults = {0, 0, 50, 3, 225, 3};
  auto same = [](const ZqSlideEnrollObj &a, const ZqSlideEnrollObj &b) {
    return a.slide_enroll_enable == b.slide_enroll_enable &&
           a.slide_identify_enable == b.slide_identify_enable &&
           a.slide_enroll_cont == b.slide_enroll_cont &&
           a.verify_rescan_cont == b.verify_rescan_cont &&
           a.StandardDeviation_thr == b.StandardDeviation_thr &&
           a.noValidImageCnts_thr == b.noValidImageCnts_thr;
  };
  EXPECT_TRUE(same(*o, defaults));
  quorv_set_slide_enroll_enable(1);
  quorv_set_slide_identify_enable(2);
  quorv_set_slide_enroll_cont(20);
  quorv_set_verify_rescan_cont(4);
  quorv_set_StandardDeviation_thr(15 * 15 + 1);
  quorv_set_noValidImageCnts_thr(5);
  EXPECT_TRUE(same(*o, ZqSlideEnrollObj{1, 2, 20, 4, 226, 5}));
  o = quorv_get_slide_enroll_instance();
  EXPECT_TRUE(same(*o, defaults));
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);
  quorv_destroy_slide_enroll_instance();
  EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle(), nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(SlideInstance, FailedCreation) {
  quorv_get_slide_enroll_instance();
  LibLogCapture log;
  FailAllocationsAfter(0);
  EXPECT_EQ(quorv_get_slide_enroll_instance(), nullptr);
  StopAllocFailures();
  EXPECT_EQ(quorv_get_ZqSlideEnrollObjHandle(), nullptr);
  quorv_set_slide_enroll_cont(9);
  quorv_set_StandardDeviation_thr(9);
  std::vector<std::string> m = log.Messages();
  EXPECT_EQ(m, (std::vector<std::string>{
                   "quorv_create_slide_enroll_instance  enter.",
                   "ZqSafeAlloc...udata == NULL, size = 12",
                   "quorv_create_slide_enroll_instance  FAIL!",
                   "quorv_set_slide_enroll_cont......ZqSlideEnrollObj is NULL",
                   "quorv_set_StandardDeviation_thr......ZqSlideEnrollObj is NULL"}));
}

TEST(SensorInstance, DefaultsSettersAndFailure) {
  const int32_t start = ZqGetMallocCnts();
  QuorvSensorInstance *s = quorv_CreateSensorInstance();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->cols, 96);
  EXPECT_EQ(s->rows, 96);
  EXPECT_EQ(s->imageFilter, 0);
  EXPECT_EQ(s->imageSmall, 0);
  SetFpSensorColsRows(80, 64);
  SetSensorImageFilter(1);
  SetSensorImageSmall(1);
  EXPECT_EQ(s->cols, 80);
  EXPECT_EQ(s->rows, 64);
  EXPECT_EQ(s->imageFilter, 1);
  EXPECT_EQ(s->imageSmall, 1);
  EXPECT_EQ(ZqGetMallocCnts(), start + 1);

  LibLogCapture log;
  FailAllocationsAfter(0);
  EXPECT_EQ(quorv_CreateSensorInstance(), nullptr);
  StopAllocFailures();
  EXPECT_EQ(quorv_GetSensorInstanceHandle(), nullptr);
  EXPECT_EQ(ZqGetMallocCnts(), start);
  SetFpSensorColsRows(1, 2);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSafeAlloc...udata == NULL, size = 4",
                                "CreateSensorInstance FAIL!",
                                "SetFpSensorColsRows......QuorvSensorInstance is NULL"}));
  quorv_DestroySensorInstance();
}

TEST(ChipSwitches, Fw4848FilterThresholdRange) {
  EXPECT_FLOAT_EQ(quorv_get_fw4848_filter_thr(), 0.40f);
  struct Case {
    float value;
    float after;
  } cases[] = {
      {0.34f, 0.40f}, {0.35f, 0.35f}, {0.41f, 0.35f}, {0.37f, 0.37f},
      {0.40f, 0.40f}, {-1.0f, 0.40f}, {0.3501f, 0.3501f},
  };
  for (const Case &c : cases) {
    quorv_set_fw4848_filter_thr(c.value);
    EXPECT_FLOAT_EQ(quorv_get_fw4848_filter_thr(), c.after) << c.value;
  }
}

TEST(ChipSwitches, Fw4859hScanTimesAndFw4856Base) {
  EXPECT_EQ(g_FW4859HScanTimes, 12);
  EXPECT_EQ(quorv_get_FW4856BaseEnable(), 0);
  LibLogCapture log;
  quorv_set_fw4859h_scan_time(8);
  SetFW4856BaseEnable(1);
  EXPECT_EQ(g_FW4859HScanTimes, 8);
  EXPECT_EQ(quorv_get_FW4856BaseEnable(), 1);
  EXPECT_EQ(log.Messages(),
            std::vector<std::string>{"quorv_set_fw4859h_scan_time......g_FW4859HScanTimes = 8"});
}

TEST(SensorType, NameTables) {
  const std::vector<std::string> names = {"NONE",   "ZQ4841", "ZQ4842", "ZQ4844", "FW4847",
                                          "FW4859H", "FW4848", "FW4856", "FW4845", "ZE4850",
                                          "DO4851", "FW4849", "FW4843", "FW4854", "FW4853",
                                          "FW4852", "FW4855"};
  ASSERT_EQ(names.size(), size_t{QUORV_CHIP_NAME_COUNT});
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(chipName[i], names[i]) << i;
  const std::vector<std::string> bits = {"16bit", "8bit", "10bit", "12bit"};
  for (size_t i = 0; i < bits.size(); ++i) EXPECT_EQ(chipBit[i], bits[i]) << i;
  EXPECT_EQ(chipBit[QUORV_IMAGEBIT_8], std::string("8bit"));
}

}  // namespace
