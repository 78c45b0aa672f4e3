// The bridge protocol against the emulated bridge: exact setup packets and
// payloads of every operation, register access, length bounds, the SPI
// callbacks, recovery after failed bulk transfers and serialisation.
#include <errno.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "base/bq_error.h"
#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/wire.h"
#include "drivers/zq_protocal/zq_bridge_state.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_sensor/bq_host_spi.h"
#include "drivers/zq_sensor/zq_usb.h"

namespace {

using bridge_emul::BridgeBench;
using bridge_emul::BulkIn;
using bridge_emul::BulkOut;
using bridge_emul::Transfers;
using bridge_emul::VendorIn;
using bridge_emul::VendorOut;
using usb_emul::Event;
using usb_emul::LogEntry;
using Bytes = std::vector<uint8_t>;

Bytes Iota(size_t n, uint8_t first = 0) {
  Bytes v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override { bench_.Open(); }
  std::vector<LogEntry> Wire() { return Transfers(bench_.device().Log()); }
  std::vector<Event> Events() {
    std::vector<Event> events;
    for (const LogEntry &e : bench_.device().Log()) events.push_back(e.event);
    return events;
  }

  BridgeBench bench_;
};

// --- every operation on the wire ----------------------------------------------

struct WireCase {
  std::string name;
  std::function<void(bridge_emul::BridgeModel &)> prepare;  // may be empty
  std::function<int()> op;
  int result;
  std::vector<LogEntry> wire;
  std::vector<unsigned> sleeps_ms;  // pauses taken, in order
};

void PrintTo(const WireCase &c, std::ostream *os) { *os << c.name; }

const Bytes kMailboxCmd = {0x11, 0xEE, 0x02, 0x00};
const Bytes kStatusFrame = {0x04, 0xFB, 0x85, 0x10, 0x00, 0x02, 0x00, 0x00};

// Results that the operations leave in caller memory, checked after the case.
struct Outputs {
  uint8_t cmd[3] = {};
  bool high = true;
  uint16_t version = 0;
  int busy = -1;
  uint8_t regs[2] = {};
  Bytes rx;
} out;

std::vector<WireCase> WireCases() {
  Bytes piece1 = Iota(64), piece2 = Iota(64, 64), piece3 = Iota(2, 128);
  return {
      {"WriteDataToMailbox", {},
       [] { return zq_interface_base_WriteData(0x85C0, kMailboxCmd.data(), 4); }, 0,
       {VendorOut(0x34, 2, 0), VendorOut(0x35, 4, 0x85C0), BulkOut(kMailboxCmd)}, {}},
      {"WriteDataRawSendsBulkOnly", {},
       [] { return zq_interface_base_WriteData(0xFFFF, kMailboxCmd.data(), 3); }, 0,
       {BulkOut({0x11, 0xEE, 0x02})}, {}},
      {"ReadData", [](auto &m) { m.QueueDataRead({9, 8, 7, 6, 5}); },
       [] {
         out.rx.assign(5, 0);
         return zq_interface_base_ReadData(out.rx.data(), 5);
       },
       0, {VendorOut(0x34, 3, 0), VendorOut(0x35, 5, 0), BulkIn({9, 8, 7, 6, 5})}, {}},
      {"Read4847BySpi", [](auto &m) { m.QueueSpiRead({1, 2, 3, 4, 5, 6}); },
       [] {
         out.rx.assign(6, 0);
         return zq_interface_base_4847_ReadData(0x7BB7, out.rx.data(), 6);
       },
       0, {VendorOut(0x79, 6, 4), BulkIn({1, 2, 3, 4, 5, 6})}, {}},
      {"Read4847StatusBlock",
       [](auto &m) { m.Set4847([](uint16_t, uint16_t n) { return Bytes(n, 0x11); }); },
       [] {
         out.rx.assign(4, 0);
         return zq_interface_base_4847_ReadData(0x9180, out.rx.data(), 4);
       },
       0,
       {VendorOut(0x34, 0xFF, 0), VendorOut(0x34, 3, 0), VendorOut(0x6F, 4, 0x9180),
        BulkIn({0x11, 0x11, 0x11, 0x11})},
       {}},
      {"Read4847LengthZeroHasNoBulk",
       [](auto &m) { m.Set4847([](uint16_t, uint16_t n) { return Bytes(n, 0); }); },
       [] { return zq_interface_base_4847_ReadData(0xFF00, nullptr, 0); }, 0,
       {VendorOut(0x34, 0xFF, 0), VendorOut(0x34, 3, 0), VendorOut(0x6F, 0, 0xFF00)}, {}},
      {"SendNBytes", {},
       [] {
         uint8_t cmd[3] = {0x06, 0xF9, 0x00};
         return zq_interface_base_SendNBytes(cmd);
       },
       0, {VendorOut(0x64, 0x0603, 0x00F9)}, {}},
      {"SendNBytesSfrReadAnswersInByteTwo", {},
       [] {
         out.cmd[0] = 0x90, out.cmd[1] = 0x34, out.cmd[2] = 0x12;
         return zq_interface_base_SendNBytes(out.cmd);
       },
       0, {VendorOut(0x64, 0x9001, 0x1234), VendorIn(0x60, 0, 1, {0xEF})}, {}},
      {"Select", {}, [] { return zq_interface_base_Select(0xFF); }, 0,
       {VendorOut(0x34, 0xFF, 0)}, {}},
      {"SensorReset", {}, [] { return zq_interface_base_SensorReset(); }, 0,
       {VendorOut(0x40, 0, 0)}, {}},
      {"ResetCallback", {}, [] { return zq_interface_base_ResetCallback(); }, 0,
       {VendorOut(0x40, 0, 0)}, {}},
      {"MCUDownloadMode", {}, [] { return zq_interface_base_MCUDownloadMode(); }, 0,
       {VendorOut(0x57, 0, 0)}, {}},
      {"WakeupSensor", {}, [] { return zq_sensorbase_WakeupSensor(); }, 0,
       {VendorOut(0x22, 0x70, 0x70), VendorOut(0x22, 0x70, 0x70)}, {5}},
      {"ReturnIdleByReset", {},
       [] {
         g_reset_delay = 180;
         return zq_sensorbase_ReturnIdleByReset();
       },
       0,
       {VendorOut(0x40, 0, 0), VendorOut(0x40, 0, 0), VendorOut(0x22, 0x70, 0x70),
        VendorOut(0x22, 0x70, 0x70)},
       {10, 180, 5, 2}},
      {"QuerySensorPinStatus", {}, [] { return zq_interface_base_QuerySensorPinStatus(&out.high); },
       0, {VendorIn(0x43, 0, 1, {0})}, {}},
      {"GetBridgeVersion", {}, [] { return zq_interface_base_GetBridgeVersion(&out.version); }, 0,
       {VendorIn(0x1A, 0, 2, {0x0E, 0x02})}, {}},
      {"QueryMCUStatus", {}, [] { return zq_sensorbase_QueryMCUStatus(&out.busy); }, 0,
       {VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A})}, {}},
      {"WriteRegister", {}, [] { return zq_interface_base_WriteRegister(0x76, 1); }, 0,
       {VendorOut(0x3B, 1, 0x76)}, {}},
      {"ReadTwoRegisters", {}, [] { return zq_interface_base_ReadRegister(0x14, out.regs, 2); },
       0, {VendorIn(0x3A, 0x14, 2, {96, 96})}, {}},
      {"ChipSelectAssert", {}, [] { return zq_interface_base_4847_ChipSelect(0); }, 0,
       {VendorOut(0x79, 1, 1)}, {}},
      {"ChipSelectRelease", {}, [] { return zq_interface_base_4847_ChipSelect(1); }, 0,
       {VendorOut(0x79, 1, 2)}, {}},
      {"ChipSelectOtherBusSendsNothing", {},
       [] {
         g_bus_type = 2;
         int r = zq_interface_base_4847_ChipSelect(0);
         g_bus_type = 1;
         return r;
       },
       0, {}, {}},
      {"SpiWriteBuf", {}, [] { return bq_spi_write_buf(kStatusFrame.data(), 8); }, 0,
       {VendorOut(0x34, 2, 0), VendorOut(0x35, 8, 0), BulkOut(kStatusFrame)}, {}},
      {"SpiWriteThenRead", [](auto &m) { m.QueueDataRead({0xAA, 0xBB}); },
       [] {
         out.rx.assign(2, 0);
         return bq_spi_write_then_read_buf(kMailboxCmd.data(), 4, out.rx.data(), 2);
       },
       0,
       {VendorOut(0x34, 2, 0), VendorOut(0x35, 4, 0), BulkOut(kMailboxCmd),
        VendorOut(0x34, 3, 0), VendorOut(0x35, 2, 0), BulkIn({0xAA, 0xBB})},
       {}},
      {"AlgoSpiReadAnswersMcuStatus", {},
       [] {
         out.rx = kStatusFrame;
         return bq_algo_spi_read(out.rx.data(), out.rx.data(), 8);
       },
       0, {VendorIn(0x3A, 0x20, 2, {0xA5, 0x5A})}, {}},
      {"AlgoSpiReadOtherAddressIsSilent", {},
       [] {
         Bytes frame = {0x04, 0xFB, 0x85, 0x0E, 0x00, 0x02, 0x77, 0x77};
         out.rx = frame;
         return bq_algo_spi_read(frame.data(), out.rx.data(), 8);
       },
       0, {}, {}},
      {"AlgoSpiReadRejectsWriteFrame", {},
       [] {
         Bytes frame = {0x05, 0xFA, 0x85, 0x10, 0x00, 0x02, 0x00, 0x00};
         return bq_algo_spi_read(frame.data(), frame.data(), 8);
       },
       BQ_ERROR_PROTOCOL, {}, {}},
      {"SpiWrite130BytesInThreePieces", {},
       [] {
         Bytes data = Iota(130);
         return SPI_write(data.data(), 130);
       },
       0,
       {VendorOut(0x79, 64, 3), BulkOut(piece1), VendorIn(0x3C, 0, 1, {0}),
        VendorOut(0x79, 64, 3), BulkOut(piece2), VendorIn(0x3C, 0, 1, {0}),
        VendorOut(0x79, 2, 3), BulkOut(piece3), VendorIn(0x3C, 0, 1, {0})},
       {}},
      {"SpiWriteEmptySendsNothing", {},
       [] {
         uint8_t b = 0;
         return SPI_write(&b, 0);
       },
       0, {}, {}},
      {"SpiRead", [](auto &m) { m.QueueSpiRead({4, 3}); },
       [] {
         out.rx.assign(2, 0);
         return SPI_read(out.rx.data(), 2);
       },
       0, {VendorOut(0x79, 2, 4), BulkIn({4, 3})}, {}},
  };
}

class BridgeWire : public Bridge, public ::testing::WithParamInterface<WireCase> {};

TEST_P(BridgeWire, SendsExactlyTheseTransfers) {
  const WireCase &c = GetParam();
  if (c.prepare) c.prepare(bench_.model());
  EXPECT_EQ(c.op(), c.result);
  EXPECT_EQ(Wire(), c.wire);
  std::vector<unsigned> sleeps_ms;
  for (unsigned us : bench_.clock().Sleeps()) sleeps_ms.push_back(us / 1000);
  EXPECT_EQ(sleeps_ms, c.sleeps_ms);
  EXPECT_EQ(bench_.model().Resets(), 0u) << "no successful operation resets the device";
}

INSTANTIATE_TEST_SUITE_P(Ops, BridgeWire, ::testing::ValuesIn(WireCases()),
                         [](const auto &info) { return info.param.name; });

// --- what the operations leave for their callers --------------------------------

TEST_F(Bridge, RepliesReachTheCaller) {
  uint8_t cmd[3] = {0x90, 0x00, 0x00};
  ASSERT_EQ(zq_interface_base_SendNBytes(cmd), 0);
  EXPECT_EQ(Bytes(cmd, cmd + 3), (Bytes{0xEF, 0x00, 0xEF}));

  uint16_t version = 0;
  ASSERT_EQ(zq_interface_base_GetBridgeVersion(&version), 0);
  EXPECT_EQ(version, 526);

  int busy = -1;
  ASSERT_EQ(zq_sensorbase_QueryMCUStatus(&busy), 0);
  EXPECT_EQ(busy, 0);
  bench_.model().SetAppRunning(false);
  ASSERT_EQ(zq_sensorbase_QueryMCUStatus(&busy), 0);
  EXPECT_EQ(busy, 1);

  bool high = true;
  ASSERT_EQ(zq_interface_base_QuerySensorPinStatus(&high), 0);
  EXPECT_FALSE(high);

  Bytes rx(6);
  bench_.model().QueueDataRead({1, 2, 3, 4, 5, 6});
  ASSERT_EQ(zq_interface_base_ReadData(rx.data(), 6), 0);
  EXPECT_EQ(rx, (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(Bridge, MailboxAndSpiFramesReachTheBridge) {
  ASSERT_EQ(zq_interface_base_WriteData(0x85C0, kMailboxCmd.data(), 4), 0);
  ASSERT_EQ(bq_spi_write_buf(kStatusFrame.data(), 8), 0);
  EXPECT_EQ(bench_.model().SramWord(0x85C0), 0x11EE);
  ASSERT_EQ(bench_.model().AddressedWrites().size(), 1u);
  EXPECT_EQ(bench_.model().AddressedWrites()[0].data, kMailboxCmd);
  EXPECT_EQ(bench_.model().SpiFrames(), std::vector<Bytes>{kStatusFrame});
}

TEST_F(Bridge, AlgoSpiReadPutsTheStatusWordAtByteSix) {
  Bytes frame = kStatusFrame;
  ASSERT_EQ(bq_algo_spi_read(frame.data(), frame.data(), 8), 0);
  EXPECT_EQ(frame, (Bytes{0x04, 0xFB, 0x85, 0x10, 0x00, 0x02, 0xA5, 0x5A}));
  bench_.model().SetAppRunning(false);
  ASSERT_EQ(bq_algo_spi_read(frame.data(), frame.data(), 8), 0);
  EXPECT_EQ(frame[6], 0x00);
  EXPECT_EQ(frame[7], 0x00);
}

TEST_F(Bridge, RegisterWriteReadRoundTrip) {
  struct Case {
    uint8_t reg;
    uint8_t value;
  } cases[] = {{0x41, 0x0F}, {0x30, 0xBB}, {0x76, 3}, {0xA9, 1}};
  for (const Case &c : cases) {
    ASSERT_EQ(zq_interface_base_WriteRegister(c.reg, c.value), 0);
    uint8_t got = 0;
    ASSERT_EQ(zq_interface_base_ReadRegister(c.reg, &got, 1), 0);
    EXPECT_EQ(got, c.value) << "register 0x" << std::hex << +c.reg;
    EXPECT_EQ(bench_.model().Register(c.reg), c.value);
  }
  // Two-byte reads cover the next register as well.
  ASSERT_EQ(zq_interface_base_WriteRegister(0x22, 0x00), 0);
  ASSERT_EQ(zq_interface_base_WriteRegister(0x23, 0x0E), 0);
  uint8_t pair[4] = {0xFF, 0xFF, 0xCC, 0xCC};
  ASSERT_EQ(zq_interface_base_ReadRegister(0x22, pair, 2), 0);
  EXPECT_EQ(Bytes(pair, pair + 4), (Bytes{0x00, 0x0E, 0xCC, 0xCC})) << "exactly 2 bytes copied";
}

// --- bounds and argument errors ----------------------------------------------------

TEST_F(Bridge, LengthsAndPointersAreCheckedBeforeAnyTraffic) {
  uint8_t buf[32] = {};
  const zq_usb_setup_t long_in = {0xC0, 0x3A, 0, 0x20, 17};
  const zq_usb_setup_t short_in = {0xC0, 0x3A, 0, 0x20, 2};
  Bytes frame6 = {0x04, 0xFB, 0x85, 0x10, 0x00, 0x00};
  Bytes frame9 = {0x04, 0xFB, 0x85, 0x10, 0x00, 0x02, 0, 0, 0};
  Bytes frame3 = {0x04, 0xFB, 0x85};
  struct Case {
    const char *name;
    std::function<int()> op;
    int result;
  } cases[] = {
      {"read request above 4 bytes", [&] { return zq_interface_base_ReadRequest(0x3A, 0, buf, 5); },
       BQ_ERROR_OVERFLOW},
      {"read register above 4 bytes", [&] { return zq_interface_base_ReadRegister(0x14, buf, 8); },
       BQ_ERROR_OVERFLOW},
      {"wLength beyond the scratch area",
       [&] { return zq_interface_base_VendorRequest(&long_in, buf, 17, nullptr); },
       BQ_ERROR_OVERFLOW},
      {"reply length beyond the scratch area",
       [&] { return zq_interface_base_VendorRequest(&short_in, buf, 20, nullptr); },
       BQ_ERROR_OVERFLOW},
      {"data stage without a reply buffer",
       [&] { return zq_interface_base_VendorRequest(&short_in, nullptr, 0, nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"null setup", [&] { return zq_interface_base_VendorRequest(nullptr, buf, 1, nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"read request into null", [&] { return zq_interface_base_ReadRequest(0x3A, 0, nullptr, 1); },
       BQ_ERROR_NULL_POINTER},
      {"write null data", [&] { return zq_interface_base_WriteData(0, nullptr, 4); },
       BQ_ERROR_NULL_POINTER},
      {"read into null", [&] { return zq_interface_base_ReadData(nullptr, 4); },
       BQ_ERROR_NULL_POINTER},
      {"4847 read into null", [&] { return zq_interface_base_4847_ReadData(0x9180, nullptr, 4); },
       BQ_ERROR_NULL_POINTER},
      {"SPI write of null", [&] { return SPI_write(nullptr, 4); }, BQ_ERROR_NULL_POINTER},
      {"send bytes of null", [&] { return zq_interface_base_SendNBytes(nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"pin into null", [&] { return zq_interface_base_QuerySensorPinStatus(nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"version into null", [&] { return zq_interface_base_GetBridgeVersion(nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"status into null", [&] { return zq_sensorbase_QueryMCUStatus(nullptr); },
       BQ_ERROR_NULL_POINTER},
      {"algo read of null tx", [&] { return bq_algo_spi_read(nullptr, buf, 8); },
       BQ_ERROR_NULL_POINTER},
      {"algo read into null rx", [&] { return bq_algo_spi_read(frame6.data(), nullptr, 8); },
       BQ_ERROR_NULL_POINTER},
      {"algo status read of 6 bytes leaves no room",
       [&] { return bq_algo_spi_read(frame6.data(), buf, 6); }, BQ_ERROR_BAD_PARAMS},
      {"algo status read of 9 bytes passes the register",
       [&] { return bq_algo_spi_read(frame9.data(), buf, 9); }, BQ_ERROR_BAD_PARAMS},
      {"algo status read with a negative length",
       [&] { return bq_algo_spi_read(frame9.data(), buf, -1); }, BQ_ERROR_PROTOCOL},
      {"algo read of a 3-byte frame", [&] { return bq_algo_spi_read(frame3.data(), buf, 3); },
       BQ_ERROR_PROTOCOL},
  };
  for (const Case &c : cases) EXPECT_EQ(c.op(), c.result) << c.name;
  EXPECT_EQ(Wire(), std::vector<LogEntry>{}) << "nothing reached the device";
}

TEST_F(Bridge, ShortAnswersAreErrorsAndLeaveTheCallerBufferAlone) {
  // The bridge answers its version in 2 bytes; a 4-byte read of it is short.
  uint8_t version[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(zq_interface_base_ReadRequest(0x1A, 0, version, 4), BQ_ERROR_PROTOCOL);
  EXPECT_EQ(Bytes(version, version + 4), (Bytes{0xCC, 0xCC, 0xCC, 0xCC}));

  // A bulk read that delivers fewer bytes than announced.
  bench_.model().QueueDataRead({1, 2, 3});
  uint8_t data[8] = {};
  EXPECT_EQ(zq_interface_base_ReadData(data, 8), BQ_ERROR_PROTOCOL);
  EXPECT_EQ(bench_.model().Resets(), 0u) << "a short read is not a failed transfer";
}

TEST_F(Bridge, AlgoSpiReadOfSevenBytesReadsOneRegisterByte) {
  Bytes frame = {0x04, 0xFB, 0x85, 0x10, 0x00, 0x01, 0x00};
  ASSERT_EQ(bq_algo_spi_read(frame.data(), frame.data(), 7), 0);
  EXPECT_EQ(frame[6], 0xA5);
  EXPECT_EQ(Wire(), std::vector<LogEntry>{VendorIn(0x3A, 0x20, 1, {0xA5})});
}

// --- failures --------------------------------------------------------------------

TEST_F(Bridge, StalledControlRequestFailsWithoutReset) {
  bench_.model().StallRequest(0x34);
  uint8_t buf[4];
  EXPECT_EQ(zq_interface_base_ReadData(buf, 4), LIBUSB_ERROR_PIPE);
  EXPECT_EQ(zq_interface_base_Select(0xFF), LIBUSB_ERROR_PIPE);
  EXPECT_EQ(bench_.model().Resets(), 0u);
  // The first failing step ends the operation.
  ASSERT_EQ(Wire().size(), 2u);
  EXPECT_EQ(Wire()[0].status, -EPIPE);
}

TEST_F(Bridge, StalledChip4847ReadSetupSendsNoBulk) {
  uint8_t buf[4] = {};
  EXPECT_EQ(zq_interface_base_4847_ReadData(0x9180, buf, 4), LIBUSB_ERROR_PIPE);
  auto wire = Wire();
  ASSERT_EQ(wire.size(), 3u);
  EXPECT_EQ(wire[2].setup.request, 0x6F);
  EXPECT_EQ(wire[2].status, -EPIPE);
}

TEST_F(Bridge, FailedBulkTransferResetsTheDeviceAndReturnsItsOwnError) {
  struct Case {
    const char *name;
    std::function<void(bridge_emul::BridgeModel &)> fail;
    std::function<int()> op;
    uint8_t endpoint;
  } cases[] = {
      {"bulk IN", [](auto &m) { m.FailNextBulkIn(); },
       [] {
         uint8_t buf[16];
         return zq_interface_base_ReadData(buf, 16);
       },
       bridge_emul::kBulkIn},
      {"bulk OUT", [](auto &m) { m.FailNextBulkOut(); },
       [] { return zq_interface_base_WriteData(0, kMailboxCmd.data(), 4); },
       bridge_emul::kBulkOut},
  };
  for (const Case &c : cases) {
    bench_.device().ClearLog();
    unsigned resets = bench_.model().Resets();
    c.fail(bench_.model());
    EXPECT_EQ(c.op(), LIBUSB_ERROR_PIPE) << c.name;
    EXPECT_EQ(bench_.model().Resets(), resets + 1) << c.name;
    // The failed transfer is followed by the reset and nothing else between.
    std::vector<LogEntry> log = bench_.device().Log();
    size_t failed = 0;
    while (failed < log.size() && !(log[failed].event == Event::kBulk && log[failed].status != 0))
      ++failed;
    ASSERT_LT(failed, log.size()) << c.name;
    EXPECT_EQ(log[failed].endpoint, c.endpoint) << c.name;
    EXPECT_EQ(log[failed].status, -EPIPE) << c.name;
    std::vector<Event> after;
    for (size_t i = failed + 1; i < log.size(); ++i) after.push_back(log[i].event);
    EXPECT_EQ(after, (std::vector<Event>{Event::kRelease, Event::kReset, Event::kClaim})) << c.name;
    EXPECT_FALSE(bench_.device().Halted(c.endpoint)) << c.name;
  }
  // The device works again on the same handle.
  libusb_device_handle *handle = bench_.imgdev().usb_handle;
  bench_.model().QueueDataRead({7, 7});
  uint8_t buf[2] = {};
  EXPECT_EQ(zq_interface_base_ReadData(buf, 2), 0);
  EXPECT_EQ(buf[0], 7);
  EXPECT_EQ(bench_.imgdev().usb_handle, handle);
}

TEST_F(Bridge, SpiWriteStopsAtTheFirstFailingPiece) {
  bench_.model().FailNextBulkOut();
  Bytes data = Iota(100);
  EXPECT_EQ(SPI_write(data.data(), 100), LIBUSB_ERROR_PIPE);
  auto wire = Wire();
  ASSERT_EQ(wire.size(), 2u) << "no poll and no second piece";
  EXPECT_EQ(wire[0], VendorOut(0x79, 64, 3));
}

TEST_F(Bridge, SpiWritePollsWriteDoneUntilZeroAtMost100Times) {
  struct Case {
    unsigned busy_polls;
    size_t polls_seen;
  } cases[] = {{0, 1}, {3, 4}, {99, 100}, {150, 100}};
  for (const Case &c : cases) {
    bench_.device().ClearLog();
    bench_.model().SetWriteDonePolls(c.busy_polls);
    uint8_t byte = 0x5A;
    EXPECT_EQ(SPI_write(&byte, 1), 0) << "an exhausted poll is not an error";
    size_t polls = 0;
    for (const LogEntry &e : Wire())
      if (e.event == Event::kControl && e.setup.request == 0x3C) ++polls;
    EXPECT_EQ(polls, c.polls_seen) << c.busy_polls;
  }
}

TEST_F(Bridge, Chip4847WakeupRetriesWhileTheStatusLooksAsleep) {
  struct Case {
    int asleep_reads;
    int status_reads;
  } cases[] = {{0, 1}, {1, 2}, {2, 3}, {5, 3}};
  for (const Case &c : cases) {
    bench_.device().ClearLog();
    std::atomic<int> left{c.asleep_reads};
    bench_.model().Set4847([&left](uint16_t selector, uint16_t n) -> std::optional<Bytes> {
      if (selector != 0x9180) return Bytes(n, 0);
      return left-- > 0 ? Bytes(n, 0x33) : Bytes{0x00, 0x11, 0x22, 0x33};
    });
    EXPECT_EQ(zq_feature_4847_WakeupSensor(), 0);
    size_t status_reads = 0;
    for (const LogEntry &e : Wire())
      if (e.event == Event::kControl && e.setup.request == 0x6F && e.setup.index == 0x9180)
        ++status_reads;
    EXPECT_EQ(status_reads, static_cast<size_t>(c.status_reads)) << c.asleep_reads;
  }
}

TEST_F(Bridge, ReloadDriverFromErrorResetsAndClaims) {
  EXPECT_EQ(zq_interface_base_reloadDriverFromError(), 0);
  EXPECT_EQ(bench_.model().Resets(), 1u);
  EXPECT_TRUE(bench_.device().Claimed(0));
  EXPECT_EQ(bench_.clock().Sleeps(), std::vector<unsigned>{5000});
}

// --- serialisation ------------------------------------------------------------------

TEST_F(Bridge, ConcurrentCallersNeverOverlapTransfers) {
  bench_.model().SetAnswerDelay(std::chrono::milliseconds(1));
  constexpr int kRounds = 15;
  std::atomic<int> failures{0};
  auto writer = [&] {
    for (int i = 0; i < kRounds; ++i)
      if (zq_interface_base_WriteData(0, kMailboxCmd.data(), 4) != 0) ++failures;
  };
  auto reader = [&] {
    for (int i = 0; i < kRounds; ++i) {
      uint8_t regs[2];
      if (zq_interface_base_ReadRegister(0x14, regs, 2) != 0) ++failures;
    }
  };
  std::thread a(writer), b(reader);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(bench_.model().MaxPendingUrbs(), 1u) << "two transfers were on the bus at once";
  EXPECT_EQ(Wire().size(), static_cast<size_t>(kRounds * 3 + kRounds));
}

TEST_F(Bridge, RecoveryCompletesBeforeAnotherCallerTransfers) {
  std::atomic<bool> stop{false};
  std::thread other([&] {
    while (!stop) {
      uint8_t reg = 0;
      zq_interface_base_ReadRegister(0x14, &reg, 1);
    }
  });
  for (int i = 0; i < 5; ++i) {
    bench_.model().FailNextBulkIn();
    uint8_t buf[4];
    EXPECT_EQ(zq_interface_base_ReadData(buf, 4), LIBUSB_ERROR_PIPE);
  }
  stop = true;
  other.join();
  std::vector<LogEntry> log = bench_.device().Log();
  int failed = 0;
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].event != Event::kBulk || log[i].status == 0) continue;
    ++failed;
    ASSERT_LT(i + 3, log.size());
    EXPECT_EQ(log[i + 1].event, Event::kRelease);
    EXPECT_EQ(log[i + 2].event, Event::kReset);
    EXPECT_EQ(log[i + 3].event, Event::kClaim);
  }
  EXPECT_EQ(failed, 5);
}

}  // namespace
