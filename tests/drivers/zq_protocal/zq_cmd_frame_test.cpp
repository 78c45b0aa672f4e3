// The framed bulk protocol: frame layout, the module type 1 reader's checks
// against malformed replies, and the module type 2 exchange's retries.
#include "drivers/zq_protocal/zq_cmd_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/bq_error.h"
#include "bridge_emul/bridge_bench.h"
#include "drivers/quorvanta/bq_config.h"
#include "module_emul/moc_model.h"
#include "module_emul/module_test_util.h"
#include "module_emul/zq4846_model.h"
#include "support/stderr_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// --- frame layout (no device) -------------------------------------------------

TEST(CmdFrameBuild, LengthCommandPayloadAndCheck) {
  struct Case {
    uint8_t cmd;
    Bytes payload;
    Bytes frame;
  };
  const Case cases[] = {
      {0x35, {}, {0x02, 0x00, 0x01, 0x35, 0x34}},
      {0x88, {}, {0x02, 0x00, 0x01, 0x88, 0x89}},
      {0x31, {0x02}, {0x02, 0x00, 0x02, 0x31, 0x02, 0x31}},
      {0x37, {0x01, 0x01, 0x00}, {0x02, 0x00, 0x04, 0x37, 0x01, 0x01, 0x00, 0x33}},
  };
  for (const Case &c : cases) {
    uint8_t out[16];
    size_t n = zq_cmd_frame_build(out, sizeof out, c.cmd, c.payload.data(),
                                  static_cast<uint16_t>(c.payload.size()));
    EXPECT_EQ(Bytes(out, out + n), c.frame) << "command " << int(c.cmd);
  }
}

TEST(CmdFrameBuild, LongPayloadCarriesTheHighLengthByte) {
  Bytes payload(300, 0xAB);
  Bytes out(400);
  ASSERT_EQ(zq_cmd_frame_build(out.data(), out.size(), 0x38, payload.data(), 300), 305u);
  EXPECT_EQ(out[1], 0x01);  // 301 = 0x012D
  EXPECT_EQ(out[2], 0x2D);
  // 300 equal bytes cancel out in the check.
  EXPECT_EQ(out[304], 0x01 ^ 0x2D ^ 0x38);
}

TEST(CmdFrameBuild, RefusesAFrameThatDoesNotFit) {
  uint8_t out[6];
  const uint8_t payload[2] = {1, 2};
  EXPECT_EQ(zq_cmd_frame_build(out, sizeof out, 0x38, payload, 2), 0u);
  EXPECT_EQ(zq_cmd_frame_build(nullptr, 64, 0x38, payload, 2), 0u);
}

TEST(CmdFrameBuild, NullPayloadKeepsTheBufferBytes) {
  uint8_t out[8] = {0, 0, 0, 0, 0x11, 0x22, 0, 0};
  ASSERT_EQ(zq_cmd_frame_build(out, sizeof out, 0x38, nullptr, 2), 7u);
  EXPECT_EQ(out[4], 0x11);
  EXPECT_EQ(out[5], 0x22);
  EXPECT_EQ(out[6], 0x00 ^ 0x03 ^ 0x38 ^ 0x11 ^ 0x22);
}

// The frame's own bytes are all correct, check byte included, but only the
// first `received` of them arrived: whatever the check byte says, a frame
// running past what arrived is refused as truncated.
TEST(CmdFrameParse, FrameRunningPastTheReceivedBytesIsTruncated) {
  const uint8_t frame[] = {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8, 0x00};
  const struct {
    size_t received;
    zq_cmd_frame_error result;
  } cases[] = {
      {7, ZQ_FRAME_OK},        {8, ZQ_FRAME_OK},        // exactly the frame, one byte more
      {6, ZQ_FRAME_TRUNCATED}, {5, ZQ_FRAME_TRUNCATED},  // check byte, then payload missing
  };
  for (const auto &c : cases) {
    uint8_t status = 0xEE;
    uint16_t n = 0xEEEE;
    EXPECT_EQ(zq_cmd_frame_parse(frame, c.received, 2, &status, &n), c.result)
        << "received " << c.received;
    if (c.result == ZQ_FRAME_OK) {
      EXPECT_EQ(status, 0x04);
      EXPECT_EQ(n, 2);
    } else {
      EXPECT_EQ(status, 0xEE) << "received " << c.received;
      EXPECT_EQ(n, 0xEEEE) << "received " << c.received;
    }
  }
}

// --- module type 1 reader against the emulated module ----------------------------

class ModuleOneReader : public ::testing::Test {
 protected:
  void SetUp() override { bench_.Open(); }

  // Sends a status request, and makes the module answer it with `reply`.
  void ScriptReply(Bytes reply) {
    model_->ReplaceNextReply(std::move(reply));
    ASSERT_EQ(usb_bulk_write_cmd(0x88, nullptr, 0), 0);
  }

  std::shared_ptr<module_emul::MocModel> model_ = std::make_shared<module_emul::MocModel>();
  bridge_emul::BridgeBench bench_{model_, module_emul::kMocProduct, 1};
};

TEST_F(ModuleOneReader, WriteSendsTheExactFrame) {
  const uint8_t dac[2] = {0x7F, 0x81};
  ASSERT_EQ(usb_bulk_write_cmd(0x38, dac, 2), 0);
  EXPECT_EQ(module_emul::SentFrames(bench_),
            (std::vector<Bytes>{{0x02, 0x00, 0x03, 0x38, 0x7F, 0x81, 0xC5}}));
}

struct ReplyCase {
  const char *name;
  Bytes reply;      // what the module sends
  uint16_t dst_len;
  bool null_dst;
  int result;
  Bytes copied;     // dst afterwards (prefilled with 0xEE)
};

class MalformedReply : public ModuleOneReader, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(MalformedReply, GivesItsResult) {
  const ReplyCase &c = GetParam();
  ScriptReply(c.reply);
  Bytes dst(c.dst_len, 0xEE);
  int r = usb_bulk_read_cmd(c.null_dst ? nullptr : dst.data(), c.dst_len);
  EXPECT_EQ(r, c.result);
  if (!c.null_dst) {
    EXPECT_EQ(dst, c.copied);
  }
}

const Bytes kUntouched2 = {0xEE, 0xEE};

INSTANTIATE_TEST_SUITE_P(
    Replies, MalformedReply,
    ::testing::Values(
        ReplyCase{"StatusOnlyNullDst", {0x02, 0x00, 0x01, 0x04, 0x05}, 0, true, 0, {}},
        ReplyCase{"Payload", {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8}, 2, false, 0, {0xA5, 0x5A}},
        ReplyCase{"StatusOnlyCopiesNothing", {0x02, 0x00, 0x01, 0x04, 0x05}, 2, false, 0,
                  kUntouched2},
        ReplyCase{"BadMagic", {0x03, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8}, 2, false, 1, kUntouched2},
        ReplyCase{"LengthZero", {0x02, 0x00, 0x00, 0x04, 0x04}, 0, true, 1, {}},
        ReplyCase{"LengthZeroWithRoom", {0x02, 0x00, 0x00, 0x04, 0x04, 0x00, 0x00}, 2, false, 1,
                  kUntouched2},
        ReplyCase{"OverLength", {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8}, 1, false, 1, {0xEE}},
        ReplyCase{"LengthFFFF", {0x02, 0xFF, 0xFF, 0x04, 0xA5, 0x5A, 0x00}, 2, false, 1,
                  kUntouched2},
        ReplyCase{"FrameLongerThanSent", {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A}, 2, false, 1,
                  kUntouched2},
        ReplyCase{"ShortReply", {0x02, 0x00}, 0, true, 1, {}},
        ReplyCase{"BadCheck", {0x02, 0x00, 0x01, 0x04, 0x06}, 0, true, 1, {}},
        ReplyCase{"BadCheckOverPayload", {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5B, 0xF8}, 2, false, 1,
                  kUntouched2},
        ReplyCase{"Status05", {0x02, 0x00, 0x01, 0x05, 0x04}, 0, true, 5, {}},
        ReplyCase{"StatusWithPayloadIsNotCopied", {0x02, 0x00, 0x03, 0x09, 0xA5, 0x5A, 0xF5}, 2,
                  false, 9, kUntouched2},
        ReplyCase{"PayloadForNullDst", {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8}, 2, true,
                  BQ_ERROR_NULL_POINTER, {}}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

// A reply cut short after a complete one: the shared buffer still holds the
// earlier reply's check byte where the short one's would be, and the short
// reply is still refused.
TEST_F(ModuleOneReader, ShortReplyAfterAFullOneIsRefused) {
  const Bytes full = {0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8};
  ScriptReply(full);
  Bytes dst(2, 0xEE);
  ASSERT_EQ(usb_bulk_read_cmd(dst.data(), 2), 0);
  ScriptReply(Bytes(full.begin(), full.end() - 1));
  dst.assign(2, 0xEE);
  EXPECT_EQ(usb_bulk_read_cmd(dst.data(), 2), 1);
  EXPECT_EQ(dst, kUntouched2);
}

TEST_F(ModuleOneReader, LogsEachFramingErrorByName) {
  struct Case {
    Bytes reply;
    uint16_t dst_len;
    const char *text;
  };
  const Case cases[] = {
      {{0x03, 0x00, 0x01, 0x04, 0x05}, 0, "magic error: 1"},
      {{0x02, 0x00, 0x01, 0x04, 0x06}, 0, "bcc check error: 1"},
      {{0x02, 0x00, 0x00, 0x04, 0x04}, 0, "bad length: 1"},
      // Last: the module's unread byte stays queued.
      {{0x02, 0x00, 0x03, 0x04, 0xA5, 0x5A, 0xF8}, 1, "over length: 1"},
  };
  for (const Case &c : cases) {
    ScriptReply(c.reply);
    testing_support::StderrCapture err;
    Bytes dst(c.dst_len + 1);
    EXPECT_EQ(usb_bulk_read_cmd(dst.data(), c.dst_len), 1);
    EXPECT_NE(err.Text().find(c.text), std::string::npos) << err.Text();
  }
}

TEST_F(ModuleOneReader, CommandDumpFlagLogsBothFrames) {
  for (uint8_t flag : {0, 1}) {
    bq_config_reset();
    bq_config->dump_commands = flag;
    testing_support::StderrCapture err;
    ASSERT_EQ(usb_bulk_write_cmd(0x88, nullptr, 0), 0);
    uint8_t status[2];
    ASSERT_EQ(usb_bulk_read_cmd(status, 2), 0);
    const std::string text = err.Text();
    EXPECT_EQ(text.find("quorvanta:moc: write cmd(5, ...):") != std::string::npos, flag == 1);
    EXPECT_EQ(text.find("quorvanta:moc: read cmd(7, ...):") != std::string::npos, flag == 1);
  }
}

TEST_F(ModuleOneReader, RefusesAReadBeyondTheBuffer) {
  Bytes dst(ZQ_CMD_BUFFER_SIZE);
  EXPECT_EQ(usb_bulk_read_cmd(dst.data(), ZQ_CMD_BUFFER_SIZE - ZQ_CMD_OVERHEAD + 1),
            BQ_ERROR_OVERFLOW);
  EXPECT_TRUE(module_emul::BulkData(bench_, bridge_emul::kBulkIn).empty());
  Bytes payload(ZQ_CMD_BUFFER_SIZE);
  EXPECT_EQ(usb_bulk_write_cmd(0x38, payload.data(), ZQ_CMD_BUFFER_SIZE - ZQ_CMD_OVERHEAD + 1),
            BQ_ERROR_OVERFLOW);
  EXPECT_TRUE(module_emul::SentFrames(bench_).empty());
}

TEST_F(ModuleOneReader, ATransferErrorIsReturnedAsIs) {
  ASSERT_EQ(usb_bulk_write_cmd(0x88, nullptr, 0), 0);
  model_->DropIn(1);
  uint8_t dst[2];
  EXPECT_LT(usb_bulk_read_cmd(dst, 2), 0);
  EXPECT_EQ(model_->Resets(), 1u);  // the transfer layer reset the device
}

// --- module type 2 exchange: retries ------------------------------------------------

class ModuleTwoExchange : public ::testing::Test {
 protected:
  void SetUp() override { bench_.Open(); }

  std::shared_ptr<module_emul::Zq4846Model> model_ = std::make_shared<module_emul::Zq4846Model>();
  bridge_emul::BridgeBench bench_{model_, 0x3b11, 2};
};

struct DropCase {
  const char *name;
  unsigned drop_out;
  unsigned drop_in;
  int result;
  size_t requests_seen;  // requests the module executed
};

class ExchangeDrops : public ModuleTwoExchange, public ::testing::WithParamInterface<DropCase> {};

TEST_P(ExchangeDrops, RetriesFourTimesEachWay) {
  const DropCase &c = GetParam();
  model_->DropOut(c.drop_out);
  model_->DropIn(c.drop_in);
  uint8_t rx[64];
  int received = 0;
  const uint8_t sub = 0x03;
  EXPECT_EQ(zq_cmd_exchange(0x80, &sub, 1, rx, sizeof rx, 1000, &received), c.result);
  EXPECT_EQ(model_->Requests().size(), c.requests_seen);
  EXPECT_EQ(model_->Resets(), std::min(c.drop_out, 4u) + (c.drop_out < 4 ? std::min(c.drop_in, 4u) : 0));
  if (c.result == 0) {
    EXPECT_EQ(Bytes(rx, rx + received), (Bytes{0x02, 0x00, 0x02, 0x04, 80, 0x06 ^ 80}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drops, ExchangeDrops,
    ::testing::Values(DropCase{"None", 0, 0, 0, 1}, DropCase{"ThreeOut", 3, 0, 0, 1},
                      DropCase{"FourOut", 4, 0, -1, 0}, DropCase{"ThreeIn", 0, 3, 0, 1},
                      DropCase{"FourIn", 0, 4, -1, 1}, DropCase{"ThreeEachWay", 3, 3, 0, 1}),
    [](const ::testing::TestParamInfo<DropCase> &info) { return std::string(info.param.name); });

TEST_F(ModuleTwoExchange, LogsEachRetryWithItsTransfer) {
  model_->DropOut(2);
  model_->DropIn(1);
  testing_support::StderrCapture err;
  uint8_t rx[64];
  ASSERT_EQ(zq_cmd_exchange(0x34, nullptr, 0, rx, sizeof rx, 500, nullptr), 0);
  const std::string text = err.Text();
  for (const char *line :
       {"'(usb_bulk_out_transfer((uint8_t*)tx_buf, tx_len, &transferred, 500) < 0)' failed, try "
        "again (1/3).",
        "'(usb_bulk_out_transfer((uint8_t*)tx_buf, tx_len, &transferred, 500) < 0)' failed, try "
        "again (2/3).",
        "'(usb_bulk_in_transfer((uint8_t*)rx_buf, 64, &transferred, 500) < 0)' failed, try again "
        "(1/3)."}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(text.find("(3/3)"), std::string::npos);
}

TEST_F(ModuleTwoExchange, WaitsTenMillisecondsBeforeTheReply) {
  bench_.clock().ClearSleeps();
  uint8_t rx[64];
  ASSERT_EQ(zq_cmd_exchange(0x34, nullptr, 0, rx, sizeof rx, 1000, nullptr), 0);
  EXPECT_EQ(bench_.clock().Sleeps(), (std::vector<unsigned>{10000}));
}

TEST_F(ModuleTwoExchange, RejectsMissingBuffersAndOversizedRequests) {
  EXPECT_EQ(zq_cmd_exchange(0x34, nullptr, 0, nullptr, 64, 1000, nullptr), BQ_ERROR_NULL_POINTER);
  uint8_t payload[64] = {};
  uint8_t rx[64];
  EXPECT_EQ(zq_cmd_exchange(0x34, payload, sizeof payload, rx, sizeof rx, 1000, nullptr),
            BQ_ERROR_OVERFLOW);
  EXPECT_TRUE(module_emul::SentFrames(bench_).empty());
}

}  // namespace
