// The bridge firmware check and download against the emulated bridge: the
// piece sequences of the three write methods, the read-back compares, the
// retries with their USB resets, the bounded waits on a misbehaving bridge,
// and the MCU configuration.
#include <gtest/gtest.h>
#include <libusb.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/fw_files.h"
#include "bridge_emul/wire.h"
#include "drivers/zq_protocal/zq_feature_loadfirmware.h"
#include "drivers/zq_protocal/zq_fw_images.h"
#include "drivers/zq_protocal/zq_sensor_object.h"
#include "support/stderr_capture.h"
#include "zq_protocal/wire_filter.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BridgeConfig;
using bridge_emul::Transfers;
using bridge_emul::VendorIn;
using bridge_emul::VendorOut;
using usb_emul::LogEntry;
using zq_test::Bytes;
using zq_test::BulkSizes;
using zq_test::Count;
using zq_test::Setups;
using zq_test::SleepsMs;
using Req = std::pair<uint16_t, uint16_t>;

BridgeConfig NoFirmware(uint16_t board) {
  BridgeConfig c;
  c.app_running = false;
  c.board_version = board;
  return c;
}

void Select(int type, int edition) {
  g_sensor_type = type;
  g_boot_edition = edition;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
}

// The image the tests installed for the sensor object's type.
Bytes Image() { return bridge_emul::FillerImage(g_fw_image_type); }

Bytes Head(const Bytes &v, size_t n) { return Bytes(v.begin(), v.begin() + std::min(n, v.size())); }

// --- the three write methods ----------------------------------------------------

TEST(FirmwareWrite, OldBoardSends16BytePiecesAtWordAddressesAndWaitsForEach) {
  BridgeConfig config = NoFirmware(525);
  config.write_done_polls = 2;
  BridgeBench bench(config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W, ZQ_BOOT_EDITION_A);

  ASSERT_EQ(zq_sensorbase_DownloadSensorFirmware(), 0);

  std::vector<Req> pieces = Setups(bench, 0x35);
  ASSERT_EQ(pieces.size(), 669u);
  for (size_t i = 0; i + 1 < pieces.size(); ++i)
    ASSERT_EQ(pieces[i], Req(16, 8 * i)) << "piece " << i;
  EXPECT_EQ(pieces.back(), Req(2, 5344));
  std::vector<size_t> sizes = BulkSizes(bench, bridge_emul::kBulkOut);
  ASSERT_EQ(sizes.size(), 669u);
  EXPECT_EQ(sizes.back(), 2u);
  EXPECT_EQ(Count(bench, 0x3C), 669u * 3) << "two busy answers, then done, per piece";
  EXPECT_EQ(bench.model().ProgramMemory(), Image());
  EXPECT_TRUE(bench.model().AppRunning());
}

TEST(FirmwareWrite, EditionBOnNewBoardSendsOverlapping64BytePieces) {
  BridgeBench bench(NoFirmware(526));
  bench.Open();
  Select(ZQ_SENSOR_ZQ4842W, ZQ_BOOT_EDITION_B);

  ASSERT_EQ(zq_sensorbase_UpgradeSensorFirmware(), 0);

  std::vector<Req> setups = Setups(bench, 0x35);
  ASSERT_EQ(setups.size(), 173u + 1) << "173 pieces and the read-back";
  EXPECT_EQ(setups[0], Req(64, 0));
  EXPECT_EQ(setups[1], Req(64, 60));
  EXPECT_EQ(setups[2], Req(64, 122));
  EXPECT_EQ(setups[3], Req(64, 184));
  EXPECT_EQ(setups[172], Req(64, 62 * 173 - 64));
  EXPECT_EQ(setups[173], Req(10690 + 2, 0));
  std::vector<size_t> sizes = BulkSizes(bench, bridge_emul::kBulkOut);
  EXPECT_EQ(sizes, std::vector<size_t>(173, 64));
  std::vector<unsigned> sleeps = SleepsMs(bench);
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1u), 173) << "1 ms before each piece";
  EXPECT_EQ(Head(bench.model().ProgramMemory(), 10690), Image());
  EXPECT_TRUE(bench.model().AppRunning());
}

TEST(FirmwareWrite, EditionAOnNewBoardSendsOneSetupAndContiguousPieces) {
  BridgeBench bench(NoFirmware(526));
  bench.Open();
  Select(ZQ_SENSOR_ZQ4841W, ZQ_BOOT_EDITION_A);

  ASSERT_EQ(zq_sensorbase_DownloadSensorFirmware(), 0);

  EXPECT_EQ(Setups(bench, 0x03),
            (std::vector<Req>{{0xFF, 0xC8}, {0xFF, 0xCA}, {0xFF, 0xCB}, {0xBF, 0xB9}, {0xFF, 0xB9}}));
  EXPECT_EQ(Setups(bench, 0x35), (std::vector<Req>{{64, 0}, {14184 + 2, 0}}));
  std::vector<size_t> sizes = BulkSizes(bench, bridge_emul::kBulkOut);
  EXPECT_EQ(sizes, std::vector<size_t>(222, 64)) << "the last piece runs past the image";
  Bytes program = bench.model().ProgramMemory();
  ASSERT_EQ(program.size(), 222u * 64);
  EXPECT_EQ(Head(program, 14184), Image());
  EXPECT_EQ(Bytes(program.begin() + 14184, program.end()), Bytes(222 * 64 - 14184, 0))
      << "padding, not bytes from beyond the image";
  EXPECT_EQ(g_fw_version, 0x30) << "read from register 0x1A after the download";
}

TEST(FirmwareWrite, NullImageIsRejectedBeforeAnyTraffic) {
  BridgeBench bench;
  bench.Open();
  EXPECT_EQ(zq_interface_base_WriteFirmware(nullptr, 16), -201);
  uint8_t buf[4];
  EXPECT_EQ(zq_interface_base_ReadFirmware(nullptr, 4), -201);
  EXPECT_EQ(zq_interface_base_ReadFirmware(buf, 70000), -200);
  EXPECT_TRUE(Transfers(bench.device().Log()).empty());
}

// --- read-back compare and retries ------------------------------------------------

struct ReadbackCase {
  std::string name;
  int type;
  int edition;
  size_t corrupt_offset;  // from the end of the image when `from_end`
  bool from_end;
  unsigned corrupt_count;
  int result;
  unsigned resets;
};

void PrintTo(const ReadbackCase &c, std::ostream *os) { *os << c.name; }

class Readback : public ::testing::TestWithParam<ReadbackCase> {};

TEST_P(Readback, ACorruptByteFailsTheAttemptAndTheNextRetriesAfterAReset) {
  const ReadbackCase &c = GetParam();
  BridgeBench bench(NoFirmware(526));
  bench.Open();
  Select(c.type, c.edition);
  size_t offset = c.from_end ? g_fw_size - 1 - c.corrupt_offset : c.corrupt_offset;
  bench.model().CorruptReadbacks(c.corrupt_count, offset);

  EXPECT_EQ(zq_feature_loadfirmware_DistributeSensorFirmware(), c.result);
  EXPECT_EQ(bench.model().Resets(), c.resets);
  EXPECT_EQ(bench.model().AppRunning(), c.result == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, Readback,
    ::testing::Values(
        ReadbackCase{"EditionAFirstByteOnce", ZQ_SENSOR_ZQ4841W, ZQ_BOOT_EDITION_A, 0, false, 1, 0, 1},
        ReadbackCase{"EditionALastByteAlways", ZQ_SENSOR_ZQ4856W, ZQ_BOOT_EDITION_A, 0, true, 3, -1, 3},
        ReadbackCase{"EditionBFirstByteOnce", ZQ_SENSOR_ZQ4856W, ZQ_BOOT_EDITION_B, 0, false, 1, 0, 1},
        ReadbackCase{"EditionBLastByteTwice", ZQ_SENSOR_ZQ4842W, ZQ_BOOT_EDITION_B, 0, true, 2, 0, 2},
        ReadbackCase{"EditionBLastByteAlways", ZQ_SENSOR_ZQ4844W, ZQ_BOOT_EDITION_B, 0, true, 3, -1, 3}),
    [](const auto &info) { return info.param.name; });

// --- a bridge that never gets there ----------------------------------------------

struct StuckCase {
  std::string name;
  int edition;
  std::function<void(BridgeConfig &)> config;
  std::function<void(bridge_emul::BridgeModel &)> model;
  int result;
};

void PrintTo(const StuckCase &c, std::ostream *os) { *os << c.name; }

class StuckBridge : public ::testing::TestWithParam<StuckCase> {};

TEST_P(StuckBridge, EveryAttemptEndsWithinItsBoundAndAReset) {
  const StuckCase &c = GetParam();
  BridgeConfig config = NoFirmware(526);
  if (c.config) c.config(config);
  BridgeBench bench(config);
  bench.Open();
  if (c.model) c.model(bench.model());
  Select(ZQ_SENSOR_ZQ4842W, c.edition);

  EXPECT_EQ(zq_feature_loadfirmware_DistributeSensorFirmware(), c.result);
  EXPECT_EQ(bench.model().Resets(), 3u) << "each failed attempt resets the device";
  EXPECT_LT(bench.clock().NowMs(), 3u * 4000) << "each attempt gives up within about 3 s";
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, StuckBridge,
    ::testing::Values(
        StuckCase{"LoaderNeverAnswers", ZQ_BOOT_EDITION_B,
                  [](BridgeConfig &c) { c.loader_answers = false; }, {}, -1},
        StuckCase{"VerifyNeverGood", ZQ_BOOT_EDITION_B,
                  [](BridgeConfig &c) { c.verify_good = false; }, {}, -1},
        StuckCase{"EditionBAppNeverStarts", ZQ_BOOT_EDITION_B,
                  [](BridgeConfig &c) { c.app_starts = false; }, {}, -1},
        StuckCase{"EditionAAppNeverStarts", ZQ_BOOT_EDITION_A,
                  [](BridgeConfig &c) { c.app_starts = false; }, {}, -1},
        StuckCase{"DownloadModeStalls", ZQ_BOOT_EDITION_A, {},
                  [](bridge_emul::BridgeModel &m) { m.StallRequest(0x57); }, LIBUSB_ERROR_PIPE}),
    [](const auto &info) { return info.param.name; });

TEST(FirmwareDownload, TheLoaderIsAwaitedThroughResetsUntilItAnswers) {
  BridgeConfig config = NoFirmware(526);
  config.loader_wait = 4;
  BridgeBench bench(config);
  bench.Open();
  Select(ZQ_SENSOR_ZQ4844W, ZQ_BOOT_EDITION_B);
  ASSERT_EQ(zq_sensorbase_UpgradeSensorFirmware(), 0);
  std::vector<Req> resets = Setups(bench, 0x40);
  EXPECT_EQ(resets.size(), 5u + 2) << "five loader polls, then the two resets that start the app";
}

// --- check and configure -------------------------------------------------------------

struct ConfigCase {
  std::string name;
  int type;
  std::vector<LogEntry> config_wire;  // after the check
};

void PrintTo(const ConfigCase &c, std::ostream *os) { *os << c.name; }

class RunningFirmware : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(RunningFirmware, GetsNoDownloadOnlyTheConfiguration) {
  const ConfigCase &c = GetParam();
  BridgeBench bench;
  bench.Open();
  Select(c.type, ZQ_BOOT_EDITION_A);

  ASSERT_EQ(zq_feature_loadfirmware_LoadFW(), 0);

  std::vector<LogEntry> wire = {
      VendorOut(0x22, 0x70, 0x70), VendorOut(0x22, 0x70, 0x70), VendorIn(0x3A, 0x76, 1, {0}),
      VendorOut(0x3B, 0, 0x1E),    VendorOut(0x3B, 0, 0x1F),    VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A}),
      VendorIn(0x3A, 0x30, 1, {0xBB})};
  wire.insert(wire.end(), c.config_wire.begin(), c.config_wire.end());
  EXPECT_EQ(Transfers(bench.device().Log()), wire);
}

const std::vector<LogEntry> kBaseConfig = {VendorOut(0x3B, 1, 0x01), VendorOut(0x3B, 0x0F, 0x41),
                                           VendorOut(0x3B, 0xBB, 0x30),
                                           VendorIn(0x3A, 0x30, 1, {0xBB})};

std::vector<LogEntry> WithTypeTwoThree() {
  std::vector<LogEntry> w = kBaseConfig;
  w.push_back(VendorOut(0x3B, 0, 0x22));
  w.push_back(VendorOut(0x3B, 0x0E, 0x23));
  return w;
}

INSTANTIATE_TEST_SUITE_P(Types, RunningFirmware,
                         ::testing::Values(ConfigCase{"Type1", ZQ_SENSOR_ZQ4841W, kBaseConfig},
                                           ConfigCase{"Type2", ZQ_SENSOR_ZQ4842W, WithTypeTwoThree()},
                                           ConfigCase{"Type3", ZQ_SENSOR_ZQ4844W, WithTypeTwoThree()},
                                           ConfigCase{"Type7", ZQ_SENSOR_ZQ4856W, kBaseConfig}),
                         [](const auto &info) { return info.param.name; });

TEST(FirmwareCheck, AWrongMarkerOnARunningBridgeLeadsToADownload) {
  BridgeBench bench;
  bench.Open();
  bench.model().SetRegister(0x30, 0x00);
  Select(ZQ_SENSOR_ZQ4842W, ZQ_BOOT_EDITION_A);
  ASSERT_EQ(zq_feature_loadfirmware_LoadFW(), 0);
  EXPECT_EQ(Head(bench.model().ProgramMemory(), g_fw_size), Image());
  EXPECT_EQ(bench.model().Register(0x30), 0xBB);
}

TEST(FirmwareCheck, AMarkerThatDoesNotStickIsAnError) {
  BridgeConfig config;
  config.marker_sticks = false;
  BridgeBench bench(config);
  bench.Open();
  bench.model().SetRegister(0x30, 0xBB);
  Select(ZQ_SENSOR_ZQ4841W, ZQ_BOOT_EDITION_A);
  EXPECT_EQ(zq_sensorbase_InitMcuConfig(), 0) << "the marker is still there";
  bench.model().SetRegister(0x30, 0x00);
  EXPECT_EQ(zq_sensorbase_InitMcuConfig(), -1);
}

TEST(FirmwareVerify, ComparesWithTheStartOfTheImage) {
  g_sensor_type = ZQ_SENSOR_ZQ4842W;
  ASSERT_EQ(zq_feature_devinit_CreateSensor(), 0);
  bridge_emul::InstallFillerFirmware();
  ASSERT_EQ(zq_fw_images_Load(ZQ_SENSOR_ZQ4842W, &g_fw_image), 0);
  Bytes image = Image();
  EXPECT_EQ(zq_sensorbase_DownloadVerify(image.data(), g_fw_size), 0);
  EXPECT_EQ(zq_sensorbase_DownloadVerify(image.data(), 10), 0);
  EXPECT_EQ(zq_sensorbase_DownloadVerify(image.data(), 0), -1);
  EXPECT_EQ(zq_sensorbase_DownloadVerify(nullptr, 10), -201);
  image[g_fw_size - 1] ^= 1;
  EXPECT_EQ(zq_sensorbase_DownloadVerify(image.data(), g_fw_size), -1);
  image.push_back(0);
  EXPECT_EQ(zq_sensorbase_DownloadVerify(image.data(), static_cast<uint16_t>(g_fw_size + 1)), -1)
      << "never reads past the image";
}

// --- image files ----------------------------------------------------------------

void WriteBytes(const std::string &path, const Bytes &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

struct FileCase {
  std::string name;
  int result;
  // Plants what stands under the image's name in `folder` (may do nothing).
  std::function<void(const std::string &path)> plant;
};

void PrintTo(const FileCase &c, std::ostream *os) { *os << c.name; }

class FirmwareFile : public ::testing::TestWithParam<FileCase> {};

// A bridge without its application and without a usable image file: the
// check fails with the file's path in the log and not one firmware byte, not
// even the download-mode request, reaches the bridge.
TEST_P(FirmwareFile, UnusableFileFailsBeforeAnyFirmwareTraffic) {
  const FileCase &c = GetParam();
  BridgeBench bench(NoFirmware(600));
  bench.Open();
  Select(ZQ_SENSOR_ZQ4841W, ZQ_BOOT_EDITION_A);
  const std::string path = bridge_emul::InstallEmptyFirmwareFolder() + "zq4841w.bin";
  c.plant(path);

  testing_support::StderrCapture err;
  EXPECT_EQ(zq_feature_loadfirmware_LoadFW(), c.result);
  EXPECT_NE(err.Text().find(path), std::string::npos) << "the log names the file";
  EXPECT_EQ(Count(bench, 0x57), 0u) << "no download mode";
  EXPECT_EQ(Count(bench, 0x35), 0u) << "no piece set-up";
  EXPECT_TRUE(BulkSizes(bench, bridge_emul::kBulkOut).empty()) << "no firmware bytes";
  EXPECT_EQ(bench.model().Resets(), 0u) << "no USB reset for a retry";
  EXPECT_FALSE(bench.model().AppRunning());
  bridge_emul::InstallFillerFirmware();
}

INSTANTIATE_TEST_SUITE_P(
    Files, FirmwareFile,
    ::testing::Values(
        FileCase{"Missing", -2, [](const std::string &) {}},
        FileCase{"OneByteShort", -5,
                 [](const std::string &p) {
                   const Bytes &b = bridge_emul::FillerImage(ZQ_SENSOR_ZQ4841W);
                   WriteBytes(p, Bytes(b.begin() + 1, b.end()));
                 }},
        FileCase{"OneByteLong", -5,
                 [](const std::string &p) {
                   Bytes b = bridge_emul::FillerImage(ZQ_SENSOR_ZQ4841W);
                   b.push_back(0);
                   WriteBytes(p, b);
                 }},
        FileCase{"Fifo", -2, [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        FileCase{"Folder", -2, [](const std::string &p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }}),
    [](const auto &info) { return info.param.name; });

TEST(FirmwareFile, EachTypeSendsTheBytesOfItsOwnFile) {
  for (int type : {ZQ_SENSOR_ZQ4842W, ZQ_SENSOR_ZQ4844W}) {
    BridgeBench bench(NoFirmware(600));
    bench.Open();
    Select(type, ZQ_BOOT_EDITION_A);
    const std::string folder = bridge_emul::InstallEmptyFirmwareFolder();
    Bytes own(zq_fw_images_Size(type));
    for (size_t i = 0; i < own.size(); ++i) own[i] = static_cast<uint8_t>(i * 7 + type);
    WriteBytes(folder + zq_fw_images_FileName(type), own);

    ASSERT_EQ(zq_feature_loadfirmware_LoadFW(), 0) << "type " << type;
    EXPECT_EQ(Head(bench.model().ProgramMemory(), own.size()), own) << "type " << type;
    bridge_emul::InstallFillerFirmware();
  }
}

}  // namespace
