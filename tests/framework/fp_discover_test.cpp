// Choosing a driver for a USB device: id tables, discover callbacks and
// their scores, against fake descriptors and driver records.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "drivers/quorvanta/quorvanta.h"
#include "drivers/vfs0050/vfs0050.h"
#include "framework/fp_internal.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

libusb_device_descriptor Descriptor(uint16_t vendor, uint16_t product) {
  libusb_device_descriptor dsc = {};
  dsc.idVendor = vendor;
  dsc.idProduct = product;
  return dsc;
}

// Scripted results of the fake drivers' discover callbacks, in call order:
// {result, devtype}.
struct DiscoverResult {
  int result;
  uint32_t devtype;
};
std::deque<DiscoverResult> g_script;

int ScriptedDiscover(const libusb_device_descriptor *, uint32_t *devtype) {
  DiscoverResult next = g_script.front();
  g_script.pop_front();
  if (next.result > 0) *devtype = next.devtype;
  return next.result;
}

// Two rows share the device 1234:5678 (driver data 1 and 2); a third row is
// another device.
const usb_id kTableA[] = {{0x1234, 0x5678, 1}, {0x1234, 0x5678, 2}, {0x1234, 0x9999, 3}, {0, 0, 0}};
const usb_id kTableB[] = {{0x1234, 0x5678, 7}, {0, 0, 0}};

fp_driver MakeDriver(const char *name, const usb_id *table, bool with_discover) {
  fp_driver drv = {};
  drv.id = 99;
  drv.name = name;
  drv.id_table = table;
  if (with_discover) drv.discover = ScriptedDiscover;
  return drv;
}

// Each case lists the drivers in registry order (a name and whether it has
// discover), the scripted discover results, and the expected choice.
struct ScoreCase {
  const char *name;
  bool a_discovers;
  bool b_discovers;
  std::vector<DiscoverResult> script;
  const char *chosen;  // "A", "B" or nullptr
  unsigned long driver_data;
  uint32_t devtype;
  Lines log;
};

class ChooseDriverScoring : public testing::TestWithParam<ScoreCase> {};

const char kSupportsA[] = "fp:debug [find_supporting_driver] driver A supports USB device 1234:5678";
const char kSupportsB[] = "fp:debug [find_supporting_driver] driver B supports USB device 1234:5678";

TEST_P(ChooseDriverScoring, ChoosesByScore) {
  const ScoreCase &c = GetParam();
  fp_driver a = MakeDriver("A", kTableA, c.a_discovers);
  fp_driver b = MakeDriver("B", kTableB, c.b_discovers);
  fp_driver *const drivers[] = {&a, &b};
  g_script.assign(c.script.begin(), c.script.end());

  libusb_device_descriptor dsc = Descriptor(0x1234, 0x5678);
  unsigned long data = 12345;
  uint32_t devtype = 54321;
  StderrCapture err;
  fp_driver *chosen = fpi_choose_driver(drivers, 2, &dsc, &data, &devtype);

  if (c.chosen == nullptr) {
    EXPECT_EQ(chosen, nullptr);
  } else {
    ASSERT_NE(chosen, nullptr);
    EXPECT_STREQ(chosen->name, c.chosen);
    EXPECT_EQ(data, c.driver_data);
    EXPECT_EQ(devtype, c.devtype);
  }
  EXPECT_EQ(err.Lines(), c.log);
  EXPECT_TRUE(g_script.empty()) << "discover called fewer times than scripted";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseDriverScoring,
    testing::Values(
        // Without discover the first matching row of the first driver wins.
        ScoreCase{"TableOnlyFirstDriverFirstRow", false, false, {}, "A", 1, 0, {kSupportsA}},
        // A claim by discover (100) beats a table match (50) of an earlier driver.
        ScoreCase{"DiscoverBeatsEarlierTableMatch", false, true, {{1, 7}}, "B", 7, 7,
                  {kSupportsA, kSupportsB}},
        // ... and a later table match cannot replace it.
        ScoreCase{"TableMatchCannotReplaceDiscover", true, false, {{1, 3}}, "A", 1, 3,
                  {kSupportsA}},
        // A later discover success replaces an earlier one.
        ScoreCase{"LaterDiscoverReplaces", true, true, {{1, 3}, {5, 9}}, "B", 7, 9,
                  {kSupportsA, kSupportsB}},
        // A declined row is skipped: the next matching row is asked.
        ScoreCase{"DeclinedRowTriesNextRow", true, false, {{0, 0}, {2, 4}}, "A", 2, 4,
                  {kSupportsA}},
        // A failing discover is logged and its row skipped.
        ScoreCase{"FailingDiscoverIsSkipped", true, false, {{-1, 0}, {0, 0}}, "B", 7, 0,
                  {"fp:error [find_supporting_driver] A discover failed, code -1", kSupportsB}},
        ScoreCase{"EveryoneDeclines", true, true, {{0, 0}, {0, 0}, {0, 0}}, nullptr, 0, 0,
                  {}}),
    [](const testing::TestParamInfo<ScoreCase> &info) { return std::string(info.param.name); });

TEST(ChooseDriver, UnknownDeviceAndDriversWithoutTable) {
  fp_driver none = {};
  none.name = "none";
  fp_driver a = MakeDriver("A", kTableA, false);
  fp_driver *const drivers[] = {&none, &a};
  libusb_device_descriptor dsc = Descriptor(0x1234, 0x0001);
  StderrCapture err;
  EXPECT_EQ(fpi_choose_driver(drivers, 2, &dsc, nullptr, nullptr), nullptr);
  EXPECT_EQ(err.Lines(), Lines{});
}

// The built-in records in registry order (quorvanta first).
TEST(ChooseDriver, BuiltInTables) {
  fp_set_debug(0);
  fp_driver *const drivers[] = {&quorvanta_driver.driver, &vfs0050_driver.driver};
  struct Case {
    uint16_t vendor, product;
    const fp_driver *driver;
    unsigned long data;
  } cases[] = {
      {0x138a, 0x0050, &vfs0050_driver.driver, 0},
      {0x3c5d, 0x3b11, &quorvanta_driver.driver, 0x3b11},
      {0x3c5d, 0x3b17, &quorvanta_driver.driver, 0x4843},
      {0x3c5d, 0x3b1a, &quorvanta_driver.driver, 0x3b1a},
      {0x3c5d, 0x4842, &quorvanta_driver.driver, 0x4842},
      {0x3c5d, 0x3b10, nullptr, 0},
      {0x138a, 0x0051, nullptr, 0},
      {0x0050, 0x138a, nullptr, 0},
  };
  for (const Case &c : cases) {
    libusb_device_descriptor dsc = Descriptor(c.vendor, c.product);
    unsigned long data = 0xdead;
    uint32_t devtype = 0xdead;
    fp_driver *chosen = fpi_choose_driver(drivers, 2, &dsc, &data, &devtype);
    EXPECT_EQ(chosen, c.driver) << std::hex << c.vendor << ":" << c.product;
    if (c.driver != nullptr) {
      EXPECT_EQ(data, c.data) << std::hex << c.product;
      EXPECT_EQ(devtype, 0u);
    }
  }
}

// A device in both built-in tables goes to the driver registered last.
TEST(ChooseDriver, SharedDeviceGoesToTheFirstInRegistryOrder) {
  fp_set_debug(0);
  const usb_id shared[] = {{0x3c5d, 0x3b11, 0}, {0, 0, 0}};
  fp_driver vfs = vfs0050_driver.driver;
  vfs.id_table = shared;
  fp_driver *const drivers[] = {&quorvanta_driver.driver, &vfs};
  libusb_device_descriptor dsc = Descriptor(0x3c5d, 0x3b11);
  EXPECT_EQ(fpi_choose_driver(drivers, 2, &dsc, nullptr, nullptr), &quorvanta_driver.driver);
}

}  // namespace
