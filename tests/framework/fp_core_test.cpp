// Library start-up and shut-down, the log level and the framework logger.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/bq_dump.h"
#include "base/bq_log.h"
#include "drivers/quorvanta/quorvanta.h"
#include "drivers/vfs0050/vfs0050.h"
#include "framework/fp_internal.h"
#include "framework/test_util.h"
#include "support/private_tmp.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::DumpLogLines;
using framework_test::StdoutCapture;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

const char kStart[] =
    "----8<----------------------------- LOG ------------------------------------";
const char kEnd[] =
    "---------------------------------------------------------------------->8----";

void SetEnv(const char *name, const char *value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}

// What fp_init followed by fp_exit writes for one environment.
struct EnvCase {
  const char *name;
  const char *debug;  // LIBFPDEV_DEBUG, nullptr when unset
  const char *dump;   // LIBFPDEV_DUMP, nullptr when unset
  Lines err;          // standard error
  bool dumping;       // whether a dump log is written
  Lines dump_lines;   // the dump log, prefixes removed
};

const Lines kConsoleDebug = {
    "fp:debug [fp_init] ",
    "fp:debug [register_driver] registered driver vfs0050",
    "fp:debug [register_driver] registered driver quorvanta",
    "fp:debug [fp_exit] ",
};
const Lines kDumpDebug = {
    kStart,
    "D fp:debug [fp_init] ",
    "D fp:debug [register_driver] registered driver vfs0050",
    "D fp:debug [register_driver] registered driver quorvanta",
    "D fp:debug [fp_exit] ",
    kEnd,
    "",
};

class InitExitTexts : public testing::TestWithParam<EnvCase> {};

TEST_P(InitExitTexts, ConsoleAndDumpLog) {
  const EnvCase &c = GetParam();
  REQUIRE_PRIVATE_TMP();
  SetEnv("LIBFPDEV_DEBUG", c.debug);
  SetEnv("LIBFPDEV_DUMP", c.dump);
  StdoutCapture out;
  {
    StderrCapture err;
    ASSERT_EQ(fp_init(), 0);
    fp_exit();
    EXPECT_EQ(err.Lines(), c.err);
  }
  EXPECT_EQ(out.Lines(), Lines{});
  if (c.dumping) {
    EXPECT_EQ(DumpLogLines(), c.dump_lines);
  } else {
    EXPECT_EQ(bq_dump_session_number(), 0u) << "no dump log expected";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Env, InitExitTexts,
    testing::Values(
        EnvCase{"Unset", nullptr, nullptr, kConsoleDebug, false, {}},
        EnvCase{"DumpOn", nullptr, "1", kConsoleDebug, true, kDumpDebug},
        EnvCase{"DumpNotANumber", nullptr, "yes", kConsoleDebug, false, {}},
        EnvCase{"DumpZero", "4", "0", kConsoleDebug, false, {}},
        // Level 2: debug lines leave the console but still reach the dump.
        EnvCase{"Level2Dump", "2", "1", {}, true, kDumpDebug},
        // Level 0 silences the console and the dump copy; the markers stay.
        EnvCase{"Level0Dump", "0", "7", {}, true, {kStart, kEnd, ""}},
        EnvCase{"LevelNotANumber", "many", "1", {}, true, {kStart, kEnd, ""}}),
    [](const testing::TestParamInfo<EnvCase> &info) { return std::string(info.param.name); });

TEST(FrameworkLog, FixedLevelIgnoresSetDebugButDumpKeepsEverything) {
  REQUIRE_PRIVATE_TMP();
  setenv("LIBFPDEV_DEBUG", "2", 1);
  setenv("LIBFPDEV_DUMP", "1", 1);
  ASSERT_EQ(fp_init(), 0);
  fp_set_debug(4);
  StdoutCapture out;
  StderrCapture err;
  fpi_log_message(FPI_LOG_LEVEL_ERROR, "async", "f", "e %d", 1);
  fpi_log_message(FPI_LOG_LEVEL_WARNING, nullptr, "f", "w");
  fpi_log_message(FPI_LOG_LEVEL_INFO, nullptr, "f", "i");
  fpi_log_message(FPI_LOG_LEVEL_DEBUG, nullptr, "f", "d");
  EXPECT_EQ(err.Lines(), (Lines{"async:error [f] e 1", "fp:warning [f] w"}));
  EXPECT_EQ(out.Lines(), Lines{});
  Lines dump = DumpLogLines();
  Lines tail(dump.end() - 4, dump.end());
  // The dump head is "fp:debug" whatever the component and level.
  EXPECT_EQ(tail, (Lines{"E fp:debug [f] e 1", "W fp:debug [f] w", "I fp:debug [f] i",
                         "D fp:debug [f] d"}));
  fp_exit();
}

TEST(FrameworkLog, WarningAtDefaultLevelWithDump) {
  REQUIRE_PRIVATE_TMP();
  unsetenv("LIBFPDEV_DEBUG");
  setenv("LIBFPDEV_DUMP", "1", 1);
  ASSERT_EQ(fp_init(), 0);
  StderrCapture err;
  fpi_log_message(FPI_LOG_LEVEL_WARNING, nullptr, "f", "msg");
  EXPECT_EQ(err.Lines(), Lines{"fp:warning [f] msg"});
  EXPECT_EQ(DumpLogLines().back(), "W fp:debug [f] msg");
  fp_exit();
}

TEST(FrameworkLog, ZeroFromEnvironmentDoesNotFixTheLevel) {
  setenv("LIBFPDEV_DEBUG", "0", 1);
  unsetenv("LIBFPDEV_DUMP");
  ASSERT_EQ(fp_init(), 0);
  StdoutCapture out;
  StderrCapture err;
  fpi_log_message(FPI_LOG_LEVEL_ERROR, nullptr, "f", "silent");
  fp_set_debug(3);
  fpi_log_message(FPI_LOG_LEVEL_INFO, "sync", "f", "now %s", "heard");
  fpi_log_message(FPI_LOG_LEVEL_DEBUG, nullptr, "f", "too detailed");
  EXPECT_EQ(err.Lines(), Lines{});
  EXPECT_EQ(out.Lines(), Lines{"sync:info [f] now heard"});
  fp_exit();
}

// The console threshold compares unsigned: a negative log level lets every
// message through, including levels without a word.
TEST(FrameworkLog, ConsoleThresholdAndLevelWords) {
  struct Case {
    int log_level;
    int level;
    const char *line;  // expected on standard error, nullptr for none
  } cases[] = {
      {4, 1, "fp:error [f] m"},   {4, 2, "fp:warning [f] m"}, {4, 4, "fp:debug [f] m"},
      {4, 5, nullptr},            {1, 2, nullptr},            {1, 1, "fp:error [f] m"},
      {-1, 9, "fp:unknown [f] m"}, {-1, -3, "fp:unknown [f] m"}, {4, -3, nullptr},
      {4, 0, "fp:unknown [f] m"},  {0, 1, nullptr},
  };
  for (const Case &c : cases) {
    fp_set_debug(c.log_level);
    StderrCapture err;
    fpi_log_message(c.level, nullptr, "f", "m");
    Lines expected;
    if (c.line != nullptr) expected.push_back(c.line);
    EXPECT_EQ(err.Lines(), expected) << "log level " << c.log_level << ", level " << c.level;
  }
}

TEST(FrameworkLog, LongMessageIsCutInTheDumpOnly) {
  REQUIRE_PRIVATE_TMP();
  g_libfpdev_dump = 1;
  std::string message(3000, 'x');
  StderrCapture err;
  fpi_log_message(FPI_LOG_LEVEL_DEBUG, nullptr, "f", "%s", message.c_str());
  EXPECT_EQ(err.Lines(), Lines{"fp:debug [f] " + message});
  std::string dumped = DumpLogLines().back();
  EXPECT_EQ(dumped.rfind("D fp:debug [f] xxx", 0), 0u);
  EXPECT_LT(dumped.size(), 1023u);
}

TEST(UsbLogLevel, AlwaysWithinTheUsbLibraryRange) {
  struct Case {
    int level;
    int usb;
  } cases[] = {{0, LIBUSB_LOG_LEVEL_NONE},  {1, LIBUSB_LOG_LEVEL_NONE},
               {2, LIBUSB_LOG_LEVEL_ERROR}, {5, LIBUSB_LOG_LEVEL_DEBUG},
               {9, LIBUSB_LOG_LEVEL_DEBUG}, {-4, LIBUSB_LOG_LEVEL_NONE}};
  for (const Case &c : cases) EXPECT_EQ(fpi_usb_log_level(c.level), c.usb) << c.level;
}

TEST(Registry, BuiltInDriversInRegistrationOrderOnce) {
  unsetenv("LIBFPDEV_DEBUG");
  fp_set_debug(0);
  ASSERT_EQ(fp_init(), 0);
  libusb_context *ctx = fpi_usb_ctx;
  // A second start without fp_exit keeps the context and the registry.
  ASSERT_EQ(fp_init(), 0);
  EXPECT_EQ(fpi_usb_ctx, ctx);
  fp_driver *const *drivers = nullptr;
  ASSERT_EQ(fpi_registered_drivers(&drivers), 2u);
  EXPECT_EQ(drivers[0], &quorvanta_driver.driver);
  EXPECT_EQ(drivers[1], &vfs0050_driver.driver);
  EXPECT_EQ(quorvanta_driver.driver.type, DRIVER_IMAGING);
  EXPECT_EQ(vfs0050_driver.driver.type, DRIVER_IMAGING);
  fp_exit();
  EXPECT_EQ(fpi_registered_drivers(nullptr), 0u);
  EXPECT_EQ(fpi_usb_ctx, nullptr);
  // Without registered drivers discovery has nothing to offer.
  EXPECT_EQ(fp_discover_devs(), nullptr);
}

TEST(Registry, DriverListIsVfs0050ThenQuorvantaWhetherRegisteredOrNot) {
  fp_driver **list = fpdev_get_drivers();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list[0], &vfs0050_driver.driver);
  ASSERT_EQ(list[1], &quorvanta_driver.driver);
  EXPECT_EQ(list[2], nullptr);

  struct Expected {
    uint16_t id;
    const char *name;
    const char *full_name;
    fp_scan_type scan;
    size_t rows;
  } expected[] = {{20, "vfs0050", "Validity VFS0050", FP_SCAN_TYPE_SWIPE, 1},
                  {35, "quorvanta", "Validity ZQ4842", FP_SCAN_TYPE_PRESS, 13}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(fp_driver_get_driver_id(list[i]), expected[i].id);
    EXPECT_STREQ(fp_driver_get_name(list[i]), expected[i].name);
    EXPECT_STREQ(fp_driver_get_full_name(list[i]), expected[i].full_name);
    EXPECT_EQ(fp_driver_get_scan_type(list[i]), expected[i].scan);
    size_t rows = 0;
    for (const usb_id *row = fp_driver_get_id_table(list[i]); row->vendor != 0; ++row) ++rows;
    EXPECT_EQ(rows, expected[i].rows) << expected[i].name;
  }
  g_free(list);
}

TEST(Discovery, NoSupportedDeviceGivesAnEmptyArray) {
  fp_set_debug(0);
  ASSERT_EQ(fp_init(), 0);
  fp_dscv_dev **devs = fp_discover_devs();
  ASSERT_NE(devs, nullptr);
  EXPECT_EQ(devs[0], nullptr);
  fp_dscv_devs_free(devs);
  fp_dscv_devs_free(nullptr);
  fp_exit();
}

TEST(Exit, ClosesDevicesLeftOpen) {
  unsetenv("LIBFPDEV_DEBUG");
  ASSERT_EQ(fp_init(), 0);
  for (int i = 0; i < 2; ++i) {
    fp_dev *dev = g_new0(fp_dev, 1);
    dev->driver = &quorvanta_driver.driver;
    dev->state = DEV_STATE_INITIALIZED;
    fpi_opened_dev_add(dev);
  }
  StderrCapture err;
  fp_exit();
  // Each leftover goes through the driver's close and its completion before
  // the next one is closed.
  const Lines one_close = {"sync:debug [fp_dev_close] ", "async:debug [fp_async_dev_close] ",
                           "async:debug [fpi_drvcb_close_complete] ",
                           "sync:debug [sync_close_cb] "};
  Lines want = {"fp:debug [fp_exit] ", "fp:debug [fp_exit] naughty app left devices open on exit!"};
  want.insert(want.end(), one_close.begin(), one_close.end());
  want.insert(want.end(), one_close.begin(), one_close.end());
  EXPECT_EQ(err.Lines(), want);
  EXPECT_EQ(fpi_opened_dev_count(), 0u);
}

TEST(Exit, KeepsLevelAndDumpSwitch) {
  REQUIRE_PRIVATE_TMP();
  setenv("LIBFPDEV_DEBUG", "3", 1);
  setenv("LIBFPDEV_DUMP", "1", 1);
  ASSERT_EQ(fp_init(), 0);
  fp_exit();
  unsetenv("LIBFPDEV_DEBUG");
  unsetenv("LIBFPDEV_DUMP");
  ASSERT_EQ(fp_init(), 0);
  EXPECT_EQ(g_libfpdev_log_level, 3);
  EXPECT_EQ(g_libfpdev_dump, 1);
  fp_set_debug(4);
  EXPECT_EQ(g_libfpdev_log_level, 3);
  fp_exit();
}

}  // namespace
