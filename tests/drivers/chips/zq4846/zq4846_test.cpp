// Module type 2 command set against the emulated module: request frames,
// sensor information with retries, frame scans (8-bit and 16-bit), and the
// hardware reset on every third call.
#include "drivers/chips/zq4846/zq4846.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/bq_error.h"
#include "bridge_emul/bridge_bench.h"
#include "drivers/quorvanta/quorvanta_atc.h"
#include "drivers/zq4845/zq4845_image.h"
#include "fingers/synth_fingers.h"
#include "module_emul/module_test_util.h"
#include "module_emul/zq4846_model.h"
#include "support/stderr_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A module of product `pid` on the bench, with the module state cleared.
class Zq4846Bench {
 public:
  explicit Zq4846Bench(uint16_t pid, module_emul::Zq4846Config config)
      : model_(std::make_shared<module_emul::Zq4846Model>(config)), bench_(model_, pid, 2) {
    g_zq4846_chip_id = g_zq4846_cols = g_zq4846_rows = g_zq4846_pid = 0;
    zq4846_hw_reset_clear();
    bench_.Open();
  }
  explicit Zq4846Bench(uint16_t pid) : Zq4846Bench(pid, module_emul::Zq4846ConfigFor(pid)) {}

  module_emul::Zq4846Model &model() { return *model_; }
  bridge_emul::BridgeBench &bench() { return bench_; }
  std::vector<Bytes> Sent() { return module_emul::SentFrames(bench_); }

 private:
  std::shared_ptr<module_emul::Zq4846Model> model_;
  bridge_emul::BridgeBench bench_;
};

class Zq4846Test : public ::testing::Test {
 protected:
  Zq4846Bench module_{0x3b11};
};

// A synthetic press of finger `finger` at the module's size.
fingers::Frame SyntheticPress(int finger, int cols, int rows, bool raw16) {
  fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(11, finger));
  fingers::Variation variation;
  variation.raw16 = raw16;
  fingers::ImpressionParams params =
      fingers::RandomImpression(master, fingers::PressSeed(master, 0), {cols, rows}, variation);
  return fingers::Render(master, params).frame;
}

TEST_F(Zq4846Test, EveryCommandSendsItsExactFrame) {
  g_zq4846_chip_id = 0x4843;  // lets the scan go out
  g_zq4846_cols = 80;
  g_zq4846_rows = 128;
  static Bytes img(80 * 128);
  static uint8_t byte;
  static uint16_t id;
  struct Case {
    const char *name;
    std::function<int()> call;
    Bytes frame;
  };
  const Case cases[] = {
      {"alive", [] { return zq4846_check_alive(); }, {0x02, 0x00, 0x01, 0x34, 0x35}},
      {"atc on", [] { return zq4846_IO_Set(1); }, {0x02, 0x00, 0x04, 0x37, 0x01, 0x01, 0x01, 0x32}},
      {"atc off", [] { return zq4846_IO_Set(0); }, {0x02, 0x00, 0x04, 0x37, 0x01, 0x01, 0x00, 0x33}},
      {"finger", [] { return zq4846_query_finger_status(); }, {0x02, 0x00, 0x02, 0x80, 0x02, 0x80}},
      {"cols", [] { return zq4846_get_sensor_cols(&byte); }, {0x02, 0x00, 0x02, 0x80, 0x03, 0x81}},
      {"rows", [] { return zq4846_get_sensor_rows(&byte); }, {0x02, 0x00, 0x02, 0x80, 0x04, 0x86}},
      {"chip id", [] { return zq4846_get_sensor_id(&id); }, {0x02, 0x00, 0x02, 0x80, 0x05, 0x87}},
      {"scan", [] { return zq4846_scan_sensor_data(img.data()); }, {0x02, 0x00, 0x01, 0x81, 0x80}},
      {"clear", [] { return zq4846_clear_img(); }, {0x02, 0x00, 0x02, 0x82, 0x78, 0xF8}},
  };
  for (const Case &c : cases) {
    module_.bench().device().ClearLog();
    EXPECT_EQ(c.call(), 0) << c.name;
    EXPECT_EQ(module_.Sent(), std::vector<Bytes>{c.frame}) << c.name;
  }
  EXPECT_EQ(module_.model().Atc(), 0);
  EXPECT_EQ(module_.model().Clears(), 1u);
}

TEST_F(Zq4846Test, TheDriversAtcHookSwitchesTheModule) {
  EXPECT_EQ(quorvanta_atc_set(&module_.bench().fpdev(), 1), 0);
  EXPECT_EQ(module_.model().Atc(), 1);
  EXPECT_EQ(quorvanta_atc_set(&module_.bench().fpdev(), 0), 0);
  EXPECT_EQ(module_.model().Atc(), 0);
  EXPECT_EQ(module_.Sent(), (std::vector<Bytes>{{0x02, 0x00, 0x04, 0x37, 0x01, 0x01, 0x01, 0x32},
                                                {0x02, 0x00, 0x04, 0x37, 0x01, 0x01, 0x00, 0x33}}));
}

TEST_F(Zq4846Test, QueriesReadTheirAnswers) {
  uint8_t cols = 0, rows = 0;
  uint16_t id = 0;
  ASSERT_EQ(zq4846_get_sensor_cols(&cols), 0);
  ASSERT_EQ(zq4846_get_sensor_rows(&rows), 0);
  ASSERT_EQ(zq4846_get_sensor_id(&id), 0);
  EXPECT_EQ(cols, 80);
  EXPECT_EQ(rows, 128);
  EXPECT_EQ(id, 0x4843);
  EXPECT_EQ(zq4846_query_finger_status(), 0);
  module_.model().Press(SyntheticPress(0, 80, 128, false));
  EXPECT_EQ(zq4846_query_finger_status(), 2);
}

TEST_F(Zq4846Test, ABadStatusGivesMinusElevenWithoutRetry) {
  module_.model().FailNext(0x09);
  testing_support::StderrCapture err;
  EXPECT_EQ(zq4846_IO_Set(1), BQ_ERROR_AGAIN);
  EXPECT_EQ(module_.model().Requests().size(), 1u);
  EXPECT_NE(err.Text().find("'zq4846_IO_Set' failed(st = 9)."), std::string::npos);
}

TEST_F(Zq4846Test, TransfersFailingFourTimesGiveMinusOne) {
  module_.model().DropIn(4);
  EXPECT_EQ(zq4846_check_alive(), -1);
  module_.model().DropOut(3);
  EXPECT_EQ(zq4846_check_alive(), 0);  // three lost frames are within the limit
}

// --- sensor information ----------------------------------------------------------------

TEST_F(Zq4846Test, SensorInfoKeepsTheModuleState) {
  zq_sensor_info_t info = {};
  module_.bench().clock().ClearSleeps();
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  EXPECT_EQ(info.chip_id, 0x4843);
  EXPECT_EQ(info.sensor.cols, 80);
  EXPECT_EQ(info.sensor.rows, 128);
  EXPECT_EQ(g_zq4846_chip_id, 0x4843);
  EXPECT_EQ(g_zq4846_cols, 80);
  EXPECT_EQ(g_zq4846_rows, 128);
  EXPECT_EQ(g_zq4846_pid, 0x3b11);
  EXPECT_EQ(module_.Sent(), (std::vector<Bytes>{{0x02, 0x00, 0x02, 0x80, 0x05, 0x87},
                                                {0x02, 0x00, 0x02, 0x80, 0x03, 0x81},
                                                {0x02, 0x00, 0x02, 0x80, 0x04, 0x86}}));
  // 10 ms before the chip id, then the exchange gap of each query.
  EXPECT_EQ(module_.bench().clock().Sleeps(),
            (std::vector<unsigned>{10000, 10000, 10000, 10000}));
}

TEST_F(Zq4846Test, SensorInfoRetriesEachQueryUpToFourTimes) {
  zq_sensor_info_t info = {};
  module_.model().FailNext(0x09, 3);  // the chip id fails three times
  testing_support::StderrCapture err;
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b12), 0);
  EXPECT_EQ(info.chip_id, 0x4843);
  EXPECT_EQ(module_.model().Requests().size(), 6u);
  EXPECT_NE(err.Text().find("'zq4846_get_sensor_id(&info->chip_id)' failed, try again (3/3)."),
            std::string::npos);
}

TEST_F(Zq4846Test, SensorInfoGivesUpAfterTheFourthFailure) {
  zq_sensor_info_t info = {};
  module_.model().FailNext(0x09, 5);  // chip id four times, then the first cols
  EXPECT_EQ(zq4846_get_sensor_info(&info, 0x3b11), BQ_ERROR_AGAIN);
  EXPECT_EQ(module_.model().Requests().size(), 4u);
  EXPECT_EQ(info.chip_id, 0);
  EXPECT_EQ(g_zq4846_chip_id, 0);
  EXPECT_EQ(zq4846_get_sensor_info(nullptr, 0x3b11), BQ_ERROR_NULL_POINTER);
}

TEST_F(Zq4846Test, SensorInfoWritesOnlyTheLowBytesOfTheSize) {
  zq_sensor_info_t info = {};
  info.sensor.cols = 0x1200;
  info.sensor.rows = 0x3400;
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  EXPECT_EQ(info.sensor.cols, 0x1200 + 80);
  EXPECT_EQ(info.sensor.rows, 0x3400 + 128);
}

// --- frame scan -------------------------------------------------------------------

TEST_F(Zq4846Test, ScanBeforeTheChipIdSendsNothing) {
  Bytes img(80 * 128);
  EXPECT_EQ(zq4846_scan_sensor_data(img.data()), BQ_ERROR_NO_DEVICE);
  EXPECT_TRUE(module_emul::BulkData(module_.bench(), bridge_emul::kBulkOut).empty());
  EXPECT_TRUE(module_emul::BulkData(module_.bench(), bridge_emul::kBulkIn).empty());
}

TEST_F(Zq4846Test, EightBitScanDeliversThePress) {
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  fingers::Frame press = SyntheticPress(1, 80, 128, false);
  module_.model().Press(press);
  Bytes img(80 * 128);
  ASSERT_EQ(zq4846_scan_sensor_data(img.data()), 0);
  EXPECT_EQ(img, press.gray);
  EXPECT_EQ(module_.model().PendingPresses(), 0u);
}

TEST_F(Zq4846Test, ScanWithABadStatusGivesMinusEleven) {
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  module_.model().FailNext(0x05);
  Bytes img(80 * 128, 0xEE);
  EXPECT_EQ(zq4846_scan_sensor_data(img.data()), BQ_ERROR_AGAIN);
  EXPECT_EQ(img, Bytes(80 * 128, 0xEE));
}

TEST_F(Zq4846Test, ScanLosingFramesWithinTheLimitStillDelivers) {
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  fingers::Frame press = SyntheticPress(2, 80, 128, false);
  module_.model().Press(press);
  module_.model().DropOut(2);
  module_.model().DropIn(3);
  testing_support::StderrCapture err;
  Bytes img(80 * 128);
  ASSERT_EQ(zq4846_scan_sensor_data(img.data()), 0);
  EXPECT_EQ(img, press.gray);
  EXPECT_NE(err.Text().find("'(usb_bulk_in_transfer((uint8_t*)rx_buf, sizeof(rx_buffer), "
                            "&transferred, 1000) < 0)' failed, try again (3/3)."),
            std::string::npos);
}

// Module answers for columns and rows that the reply cannot hold.
struct OversizeCase {
  const char *name;
  uint8_t cols, rows;
  bool sixteen_bit;
};

class ScanOversize : public ::testing::TestWithParam<OversizeCase> {};

TEST_P(ScanOversize, IsRefusedBeforeAnyCopy) {
  const OversizeCase &c = GetParam();
  module_emul::Zq4846Config config;
  config.cols = c.cols;
  config.rows = c.rows;
  config.sixteen_bit = c.sixteen_bit;
  config.chip_id = c.sixteen_bit ? 0x4845 : 0x4843;
  Zq4846Bench module(0x3b11, config);
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b11), 0);
  // The module then sends a smaller frame than its answers announce.
  module.model().SetSize(8, 8);
  Bytes img(static_cast<size_t>(c.cols) * c.rows, 0xEE);
  EXPECT_EQ(zq4846_scan_sensor_data(img.data()), BQ_ERROR_SENSOR_DIMENSION);
  EXPECT_EQ(img, Bytes(img.size(), 0xEE));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ScanOversize,
    ::testing::Values(OversizeCase{"Max8Bit", 255, 255, false},
                      OversizeCase{"Max16Bit", 255, 255, true},
                      OversizeCase{"Normal8BitShortFrame", 80, 128, false},
                      OversizeCase{"Normal16BitShortFrame", 80, 64, true}),
    [](const ::testing::TestParamInfo<OversizeCase> &info) { return std::string(info.param.name); });

// The scan reply's checks on their own: a reply must hold its header, the
// success status and the whole frame, within the reply buffer.
TEST(Zq4846ScanReply, ChecksHeaderStatusAndSize) {
  g_zq4846_chip_id = 0x4843;
  g_zq4846_pid = 0x3b11;
  g_zq4846_cols = 2;
  g_zq4846_rows = 3;
  Bytes reply = {0x02, 0x00, 0x07, 0x04, 1, 2, 3, 4, 5, 6, 7};
  const struct {
    const char *name;
    int received;
    uint8_t status;
    int result;
  } cases[] = {
      {"whole frame", 10, 0x04, 0},
      {"frame and more", 11, 0x04, 0},
      {"one pixel short", 9, 0x04, BQ_ERROR_SENSOR_DIMENSION},
      {"header only", 4, 0x04, BQ_ERROR_SENSOR_DIMENSION},
      {"no status byte", 3, 0x04, BQ_ERROR_SENSOR_DIMENSION},
      {"nothing", 0, 0x04, BQ_ERROR_SENSOR_DIMENSION},
      {"negative count", -1, 0x04, BQ_ERROR_SENSOR_DIMENSION},
      {"bad status", 10, 0x05, BQ_ERROR_AGAIN},
      {"beyond the buffer", ZQ4846_SCAN_REPLY_SIZE + 1, 0x04, BQ_ERROR_SENSOR_DIMENSION},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Bytes rx = reply;
    rx[3] = c.status;
    Bytes img(6, 0xEE);
    EXPECT_EQ(zq4846_decode_scan_reply(rx.data(), c.received, img.data()), c.result);
    const Bytes expected = c.result == 0 ? Bytes{1, 2, 3, 4, 5, 6} : Bytes(6, 0xEE);
    EXPECT_EQ(img, expected);
  }
  Bytes img(6);
  EXPECT_EQ(zq4846_decode_scan_reply(nullptr, 10, img.data()), BQ_ERROR_NULL_POINTER);
  EXPECT_EQ(zq4846_decode_scan_reply(reply.data(), 10, nullptr), BQ_ERROR_NULL_POINTER);
  g_zq4846_chip_id = g_zq4846_cols = g_zq4846_rows = g_zq4846_pid = 0;
}

// Which modules send 16-bit samples.
struct WidthCase {
  const char *name;
  uint16_t pid;
  uint16_t chip_id;
  uint8_t cols, rows;
  bool sixteen_bit;
};

class ScanSampleWidth : public ::testing::TestWithParam<WidthCase> {};

TEST_P(ScanSampleWidth, DecodesWhatTheModuleSends) {
  const WidthCase &c = GetParam();
  module_emul::Zq4846Config config;
  config.chip_id = c.chip_id;
  config.cols = c.cols;
  config.rows = c.rows;
  config.sixteen_bit = c.sixteen_bit;
  Zq4846Bench module(c.pid, config);
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, c.pid), 0);
  fingers::Frame press = SyntheticPress(3, c.cols, c.rows, true);
  module.model().Press(press);
  Bytes img(static_cast<size_t>(c.cols) * c.rows);
  ASSERT_EQ(zq4846_scan_sensor_data(img.data()), 0);
  if (!c.sixteen_bit) {
    EXPECT_EQ(img, press.gray);
    return;
  }
  std::vector<int16_t> raw(press.raw.begin(), press.raw.end());
  Bytes expected(img.size());
  zq4845_normalize_contrast(raw.data(), c.cols, c.rows, expected.data());
  EXPECT_EQ(img, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Products, ScanSampleWidth,
    ::testing::Values(WidthCase{"Pid3b11", 0x3b11, 0x4843, 80, 128, false},
                      WidthCase{"Pid3b18", 0x3b18, 0x4843, 80, 64, false},
                      WidthCase{"Pid3b15", 0x3b15, 0x4843, 80, 64, true},
                      WidthCase{"Pid3b16", 0x3b16, 0x4843, 80, 64, true},
                      WidthCase{"Pid3b19", 0x3b19, 0x4843, 80, 64, true},
                      WidthCase{"Pid3b1a", 0x3b1a, 0x4843, 80, 64, true},
                      WidthCase{"Chip4845", 0x3b12, 0x4845, 80, 64, true},
                      WidthCase{"Size40x152", 0x3b13, 0x4843, 40, 152, true}),
    [](const ::testing::TestParamInfo<WidthCase> &info) { return std::string(info.param.name); });

// Pearson correlation of two equally long byte images.
double Correlation(const Bytes &a, const Bytes &b) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= static_cast<double>(a.size());
  mb /= static_cast<double>(b.size());
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

TEST(Zq4845Scan, SixteenBitPressComesBackWithDarkRidges) {
  Zq4846Bench module(0x3b15);
  zq_sensor_info_t info = {};
  ASSERT_EQ(zq4846_get_sensor_info(&info, 0x3b15), 0);
  EXPECT_EQ(info.chip_id, 0x4845);
  fingers::Frame press = SyntheticPress(4, 80, 64, true);
  module.model().Press(press);
  Bytes img(80 * 64);
  ASSERT_EQ(zq4846_scan_sensor_data(img.data()), 0);
  // The raw samples have ridges high; after negation and stretching the
  // image follows the generator's 8-bit picture, dark ridges included.
  EXPECT_GT(Correlation(img, press.gray), 0.8);
  EXPECT_LT(*std::min_element(img.begin(), img.end()), 20);
  EXPECT_GT(*std::max_element(img.begin(), img.end()), 200);
}

// --- hardware reset -------------------------------------------------------------------

TEST_F(Zq4846Test, HardwareResetActsOnEveryThirdCall) {
  const Bytes reset = {0x02, 0x00, 0x02, 0x82, 0x72, 0xF2};
  std::vector<size_t> sent_after;
  for (int call = 1; call <= 6; ++call) {
    EXPECT_EQ(zq4846_hw_reset(), 0);
    sent_after.push_back(module_.Sent().size());
  }
  EXPECT_EQ(sent_after, (std::vector<size_t>{0, 0, 1, 1, 1, 2}));
  EXPECT_EQ(module_.Sent(), (std::vector<Bytes>{reset, reset}));
  EXPECT_EQ(module_.model().HwResets(), 2u);
}

TEST_F(Zq4846Test, ClearingTheCounterPostponesTheReset) {
  module_.bench().clock().ClearSleeps();
  zq4846_hw_reset();
  zq4846_hw_reset();
  zq4846_hw_reset_clear();
  zq4846_hw_reset();
  zq4846_hw_reset();
  EXPECT_TRUE(module_.Sent().empty());
  EXPECT_TRUE(module_.bench().clock().Sleeps().empty());
  testing_support::StderrCapture err;
  EXPECT_EQ(zq4846_hw_reset(), 0);
  EXPECT_EQ(module_.Sent().size(), 1u);
  // 10 ms before the command, then the exchange gap.
  EXPECT_EQ(module_.bench().clock().Sleeps(), (std::vector<unsigned>{10000, 10000}));
  EXPECT_NE(err.Text().find("hw reset success"), std::string::npos);
}

TEST_F(Zq4846Test, AFailedResetStillRestartsTheCount) {
  zq4846_hw_reset();
  zq4846_hw_reset();
  module_.model().FailNext(0x08);
  EXPECT_EQ(zq4846_hw_reset(), BQ_ERROR_AGAIN);
  EXPECT_EQ(g_zq4846_reset_count, 0);
}

}  // namespace
