// The emulated VFS0050 driven directly through libusb: command framing,
// answers, arming and the scripted finger events.
#include <gtest/gtest.h>
#include <libusb.h>

#include <memory>
#include <vector>

#include "emul/testbed.h"
#include "vfs0050_emul/vfs0050_model.h"

namespace {

using vfs0050_emul::FingerEvent;

std::vector<uint8_t> Packet(std::vector<uint8_t> head) {
  head.resize(125, 0);
  return head;
}

class Vfs0050ModelTest : public testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_shared<vfs0050_emul::Vfs0050Model>();
    device_ = &bed_.AddDevice(vfs0050_emul::Vfs0050Desc(), model_);
    ASSERT_EQ(libusb_init(&ctx_), 0);
    handle_ = libusb_open_device_with_vid_pid(ctx_, 0x138a, 0x0050);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(libusb_claim_interface(handle_, 0), 0);
  }
  void TearDown() override {
    if (handle_ != nullptr) libusb_close(handle_);
    libusb_exit(ctx_);
  }

  void Write(const std::vector<uint8_t> &data) {
    int done = 0;
    ASSERT_EQ(libusb_bulk_transfer(handle_, 0x01, const_cast<uint8_t *>(data.data()),
                                   static_cast<int>(data.size()), &done, 100),
              0);
    ASSERT_EQ(done, static_cast<int>(data.size()));
  }
  // Reads up to `length` bytes from `ep` and returns them; the libusb
  // result goes to `error` when given.
  std::vector<uint8_t> Read(uint8_t ep, size_t length, int *error = nullptr, unsigned timeout = 100) {
    std::vector<uint8_t> buf(length);
    int done = 0;
    int r = ep == 0x83 ? libusb_interrupt_transfer(handle_, ep, buf.data(),
                                                   static_cast<int>(length), &done, timeout)
                       : libusb_bulk_transfer(handle_, ep, buf.data(), static_cast<int>(length),
                                              &done, timeout);
    if (error != nullptr) *error = r;
    buf.resize(static_cast<size_t>(done));
    return buf;
  }
  // Packet 1 and the set-up blob with their answers, then the drain of 0x83.
  void Arm() {
    Write(Packet({0x39, 0x20, 0xbf}));
    EXPECT_EQ(Read(0x81, 2).size(), 2u);
    Write(std::vector<uint8_t>(985, 0x02));
    EXPECT_EQ(Read(0x81, 1106).size(), 1106u);
    EXPECT_EQ(Read(0x83, 5), std::vector<uint8_t>(5, 0));
    int r = 0;
    EXPECT_TRUE(Read(0x83, 65536, &r, 20).empty());
    EXPECT_EQ(r, LIBUSB_ERROR_TIMEOUT);
  }

  usb_emul::Testbed bed_;
  std::shared_ptr<vfs0050_emul::Vfs0050Model> model_;
  usb_emul::Device *device_ = nullptr;
  libusb_context *ctx_ = nullptr;
  libusb_device_handle *handle_ = nullptr;
};

TEST_F(Vfs0050ModelTest, FramesCommandsAcrossWritesAndAnswersThem) {
  std::vector<uint8_t> blob(985, 0x11);
  blob[0] = 0x02;
  Write({0x04});
  Write(Packet({0x39, 0x01}));
  Write(std::vector<uint8_t>(blob.begin(), blob.begin() + 500));
  EXPECT_EQ(model_->Commands().size(), 2u);
  Write(std::vector<uint8_t>(blob.begin() + 500, blob.end()));
  EXPECT_EQ(model_->Commands(),
            (std::vector<std::vector<uint8_t>>{{0x04}, Packet({0x39, 0x01}), blob}));
  EXPECT_EQ(Read(0x81, 2), (std::vector<uint8_t>{0x04, 0x00}));
  EXPECT_EQ(Read(0x81, 2), (std::vector<uint8_t>{0x39, 0x00}));
  EXPECT_EQ(Read(0x81, 1106).size(), 1106u);
  EXPECT_EQ(Read(0x83, 5), std::vector<uint8_t>(5, 0));
}

TEST_F(Vfs0050ModelTest, PlaysEventsOnlyAtTheFingerWaitAfterArming) {
  const std::vector<uint8_t> lines = vfs0050_emul::SteppedRecords(3, 1, 1);
  model_->AddEvent({vfs0050_emul::FingerInterrupt(), lines});
  // A 5-byte interrupt read before arming gets nothing.
  int r = 0;
  EXPECT_TRUE(Read(0x83, 5, &r, 20).empty());
  EXPECT_EQ(r, LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(model_->PendingEvents(), 1u);

  Arm();
  EXPECT_EQ(Read(0x83, 5, &r, 200), vfs0050_emul::FingerInterrupt());
  EXPECT_EQ(Read(0x82, 65536), lines);
  EXPECT_EQ(model_->PendingEvents(), 0u);

  // Armed again without an event: the wait finds nothing.
  Arm();
  EXPECT_TRUE(Read(0x83, 5, &r, 20).empty());
  EXPECT_EQ(model_->IdleWaits(), 1u);
}

TEST(Vfs0050RecordsTest, SteppedRecordsLookAheadAtTheLineStepsLater) {
  const std::vector<uint8_t> data = vfs0050_emul::SteppedRecords(6, 2, 3);
  ASSERT_EQ(data.size(), 9u * 148);
  for (size_t k = 0; k < 9; ++k) {
    const uint8_t *line = &data[k * 148];
    const uint8_t marker = k < 6 ? vfs0050_emul::kFingerMarker : vfs0050_emul::kBlankMarker;
    EXPECT_EQ(line[4], marker);
    EXPECT_EQ(line[5], marker);
    if (k + 2 < 9) {
      EXPECT_EQ(std::vector<uint8_t>(line + 108, line + 140),
                std::vector<uint8_t>(line + 2 * 148 + 41, line + 2 * 148 + 73))
          << "line " << k;
    }
  }
}

}  // namespace
