// The emulator seen through the real libusb, as a driver sees a device.
#include <errno.h>
#include <gtest/gtest.h>
#include <libusb.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

#include "emul/scripted_model.h"
#include "emul/testbed.h"

namespace {

using namespace std::chrono_literals;
using usb_emul::Device;
using usb_emul::DeviceDesc;
using usb_emul::Event;
using usb_emul::LogEntry;
using usb_emul::Reply;
using usb_emul::ScriptedModel;
using usb_emul::SetupPacket;
using usb_emul::Testbed;
using usb_emul::TransferType;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kBulkIn = 0x81, kBulkOut = 0x02, kIntIn = 0x83;
constexpr uint8_t kVendorOut = 0x40;  // vendor request, host to device
constexpr uint8_t kVendorIn = 0xc0;   // vendor request, device to host

DeviceDesc SensorDesc(uint8_t address = 2, uint16_t product_id = 0x4842,
                      uint32_t capabilities = usb_emul::kDefaultCapabilities) {
  return DeviceDesc{
      .vendor_id = 0x3c5d,
      .product_id = product_id,
      .bcd_device = 0x0123,
      .address = address,
      .product = "Emulated sensor",
      .configurations = {{.interfaces = {{.number = 0,
                                          .endpoints = {{kBulkIn, TransferType::kBulk, 512},
                                                        {kBulkOut, TransferType::kBulk, 512},
                                                        {kIntIn, TransferType::kInterrupt, 16, 4}}}}}},
      .capabilities = capabilities,
  };
}

// A device with 16-bit registers: vendor OUT 0x01 writes register wIndex with
// wValue, vendor IN 0x02 reads it back as two little-endian bytes.
class RegisterModel : public usb_emul::DeviceModel {
 public:
  Reply Control(Device &, const SetupPacket &s, std::span<const uint8_t>) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (s.request_type == kVendorOut && s.request == 0x01) {
      regs_[s.index] = s.value;
      return Reply::Ack();
    }
    if (s.request_type == kVendorIn && s.request == 0x02) {
      uint16_t v = regs_[s.index];
      return Reply::Ack({static_cast<uint8_t>(v & 0xff), static_cast<uint8_t>(v >> 8)});
    }
    return Reply::Stall();
  }

 private:
  std::mutex mu_;
  std::map<uint16_t, uint16_t> regs_;
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t k = 0; k < n; ++k) v[k] = static_cast<uint8_t>(seed + k * 7 + (k >> 8));
  return v;
}

double CpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A testbed with one scripted device (and room for more), and libusb started
// on top of it. Members are destroyed after TearDown has closed libusb.
class Emul : public ::testing::Test {
 protected:
  // Adds the main device, starts libusb, opens the device and claims interface 0.
  void Open(const DeviceDesc &desc = SensorDesc(),
            std::shared_ptr<usb_emul::DeviceModel> model = nullptr) {
    if (!model) model = scripted_;
    dev_ = &bed_.AddDevice(desc, model);
    StartLibusb();
    handle_ = libusb_open_device_with_vid_pid(ctx_, desc.vendor_id, desc.product_id);
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(libusb_claim_interface(handle_, 0), 0);
  }
  void StartLibusb() { ASSERT_EQ(libusb_init(&ctx_), 0); }
  void TearDown() override {
    if (handle_ != nullptr) libusb_close(handle_);
    if (ctx_ != nullptr) libusb_exit(ctx_);
  }
  // Runs the event loop until `*done` or `limit` passes.
  void RunUntil(const bool *done, std::chrono::milliseconds limit = 1000ms) {
    auto end = Clock::now() + limit;
    while (!*done && Clock::now() < end) {
      timeval tv{0, 50000};
      libusb_handle_events_timeout_completed(ctx_, &tv, nullptr);
    }
  }
  std::vector<LogEntry> Transfers(Event event) const {
    std::vector<LogEntry> out;
    for (const LogEntry &e : dev_->Log())
      if (e.event == event) out.push_back(e);
    return out;
  }

  Testbed bed_;
  std::shared_ptr<ScriptedModel> scripted_ = std::make_shared<ScriptedModel>();
  Device *dev_ = nullptr;
  libusb_context *ctx_ = nullptr;
  libusb_device_handle *handle_ = nullptr;
};

struct AsyncResult {
  bool done = false;
  libusb_transfer_status status = LIBUSB_TRANSFER_ERROR;
  int actual = -1;
};

void LIBUSB_CALL OnTransferDone(libusb_transfer *t) {
  auto *r = static_cast<AsyncResult *>(t->user_data);
  r->status = t->status;
  r->actual = t->actual_length;
  r->done = true;
}

// --- enumeration and descriptors --------------------------------------------

TEST_F(Emul, EnumerationShowsIdsPlaceSpeedAndEndpoints) {
  dev_ = &bed_.AddDevice(SensorDesc(5), scripted_);
  StartLibusb();
  libusb_device **list = nullptr;
  ssize_t n = libusb_get_device_list(ctx_, &list);
  libusb_device *found = nullptr;
  for (ssize_t k = 0; k < n; ++k) {
    libusb_device_descriptor d;
    ASSERT_EQ(libusb_get_device_descriptor(list[k], &d), 0);
    if (d.idVendor == 0x3c5d && d.idProduct == 0x4842) {
      EXPECT_EQ(d.bcdDevice, 0x0123);
      EXPECT_EQ(d.bNumConfigurations, 1);
      found = list[k];
    }
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(libusb_get_bus_number(found), 1);
  EXPECT_EQ(libusb_get_device_address(found), 5);
  EXPECT_EQ(libusb_get_device_speed(found), LIBUSB_SPEED_HIGH);

  libusb_config_descriptor *config = nullptr;
  ASSERT_EQ(libusb_get_active_config_descriptor(found, &config), 0);
  ASSERT_EQ(config->bNumInterfaces, 1);
  const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
  ASSERT_EQ(alt.bNumEndpoints, 3);
  struct {
    uint8_t address, type;
    uint16_t size;
  } want[] = {{kBulkIn, LIBUSB_TRANSFER_TYPE_BULK, 512},
              {kBulkOut, LIBUSB_TRANSFER_TYPE_BULK, 512},
              {kIntIn, LIBUSB_TRANSFER_TYPE_INTERRUPT, 16}};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(alt.endpoint[k].bEndpointAddress, want[k].address) << k;
    EXPECT_EQ(alt.endpoint[k].bmAttributes & 3, want[k].type) << k;
    EXPECT_EQ(alt.endpoint[k].wMaxPacketSize, want[k].size) << k;
  }
  libusb_free_config_descriptor(config);
  libusb_free_device_list(list, 1);
}

TEST_F(Emul, StringDescriptorsComeOverTheWire) {
  Open();
  unsigned char text[64] = {};
  ASSERT_EQ(libusb_get_string_descriptor_ascii(handle_, 2, text, sizeof text), 15);
  EXPECT_STREQ(reinterpret_cast<char *>(text), "Emulated sensor");
  // Index 1 has no string: the device stalls.
  EXPECT_EQ(libusb_get_string_descriptor_ascii(handle_, 1, text, sizeof text), LIBUSB_ERROR_PIPE);
}

TEST_F(Emul, TwoDevicesAnswerThroughTheirOwnModels) {
  auto second = std::make_shared<ScriptedModel>();
  scripted_->OnControl(kVendorIn, 0x10, Reply::Ack({0xa1}));
  second->OnControl(kVendorIn, 0x10, Reply::Ack({0xb2}));
  Device &other = bed_.AddDevice(SensorDesc(7, 0x4844), second);
  Open();
  libusb_device_handle *h2 = libusb_open_device_with_vid_pid(ctx_, 0x3c5d, 0x4844);
  ASSERT_NE(h2, nullptr);
  EXPECT_EQ(libusb_get_device_address(libusb_get_device(h2)), 7);
  uint8_t a = 0, b = 0;
  EXPECT_EQ(libusb_control_transfer(handle_, kVendorIn, 0x10, 0, 0, &a, 1, 500), 1);
  EXPECT_EQ(libusb_control_transfer(h2, kVendorIn, 0x10, 0, 0, &b, 1, 500), 1);
  EXPECT_EQ(a, 0xa1);
  EXPECT_EQ(b, 0xb2);
  EXPECT_EQ(Transfers(Event::kControl).size(), 1u);
  EXPECT_EQ(other.Log().size(), 1u);
  libusb_close(h2);
}

// --- claiming ----------------------------------------------------------------

class RefusingModel : public ScriptedModel {
 public:
  bool Claim(Device &, unsigned) override { return false; }
};

TEST_F(Emul, InterfaceRequestsReachTheDevice) {
  DeviceDesc desc = SensorDesc();
  desc.configurations[0].interfaces.push_back({.number = 0, .alternate = 1});
  Open(desc);
  EXPECT_TRUE(dev_->Claimed(0));
  EXPECT_EQ(libusb_claim_interface(handle_, 3), LIBUSB_ERROR_NOT_FOUND);
  EXPECT_EQ(libusb_set_interface_alt_setting(handle_, 0, 1), 0);
  EXPECT_EQ(libusb_set_interface_alt_setting(handle_, 0, 2), LIBUSB_ERROR_NOT_FOUND);
  EXPECT_EQ(libusb_release_interface(handle_, 0), 0);
  EXPECT_FALSE(dev_->Claimed(0));
  std::vector<LogEntry> log = dev_->Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].event, Event::kClaim);
  EXPECT_EQ(log[1].event, Event::kSetInterface);
  EXPECT_EQ(log[1].alternate, 1u);
  EXPECT_EQ(log[2].event, Event::kRelease);
}

TEST_F(Emul, ModelCanRefuseAClaim) {
  dev_ = &bed_.AddDevice(SensorDesc(), std::make_shared<RefusingModel>());
  StartLibusb();
  handle_ = libusb_open_device_with_vid_pid(ctx_, 0x3c5d, 0x4842);
  ASSERT_NE(handle_, nullptr);
  EXPECT_EQ(libusb_claim_interface(handle_, 0), LIBUSB_ERROR_BUSY);
  EXPECT_FALSE(dev_->Claimed(0));
}

// --- control transfers -------------------------------------------------------

TEST_F(Emul, VendorControlInAnswersFromStateSetByControlOut) {
  Open(SensorDesc(), std::make_shared<RegisterModel>());
  uint8_t out[2] = {0xde, 0xad};  // data stage the model ignores, logged all the same
  ASSERT_EQ(libusb_control_transfer(handle_, kVendorOut, 0x01, 0xbeef, 0x0007, out, 2, 500), 2);
  uint8_t in[8] = {};
  ASSERT_EQ(libusb_control_transfer(handle_, kVendorIn, 0x02, 0, 0x0007, in, 8, 500), 2);
  EXPECT_EQ(in[0], 0xef);
  EXPECT_EQ(in[1], 0xbe);
  ASSERT_EQ(libusb_control_transfer(handle_, kVendorIn, 0x02, 0, 0x0008, in, 8, 500), 2);
  EXPECT_EQ(in[0] | in[1], 0);

  std::vector<LogEntry> log = Transfers(Event::kControl);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].setup, (SetupPacket{kVendorOut, 0x01, 0xbeef, 0x0007, 2}));
  EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0xde, 0xad}));
  EXPECT_EQ(log[1].setup, (SetupPacket{kVendorIn, 0x02, 0, 0x0007, 8}));
  EXPECT_EQ(log[1].data, (std::vector<uint8_t>{0xef, 0xbe}));
  EXPECT_EQ(log[1].endpoint, 0x80);
}

TEST_F(Emul, ControlRepliesTable) {
  struct Case {
    const char *name;
    Reply reply;
    unsigned timeout_ms;
    int want;
    std::chrono::milliseconds min_time, max_time;
  } cases[] = {
      {"unknown request stalls", Reply::Stall(), 500, LIBUSB_ERROR_PIPE, 0ms, 300ms},
      {"answer cut to wLength", Reply::Ack({1, 2, 3, 4, 5, 6}), 500, 4, 0ms, 300ms},
      {"late answer", Reply::Ack({9}).After(60ms), 1000, 1, 55ms, 600ms},
      {"answer later than the time-out", Reply::Ack({9}).After(400ms), 100, LIBUSB_ERROR_TIMEOUT,
       90ms, 350ms},
      {"withheld answer", Reply::Withhold(), 100, LIBUSB_ERROR_TIMEOUT, 90ms, 350ms},
  };
  Open();
  uint8_t request = 0x20;
  for (Case &c : cases) {
    scripted_->OnControl(kVendorIn, request, c.reply);
    uint8_t in[4] = {};
    auto start = Clock::now();
    int r = libusb_control_transfer(handle_, kVendorIn, request, 0, 0, in, 4, c.timeout_ms);
    auto took = Clock::now() - start;
    EXPECT_EQ(r, c.want) << c.name;
    EXPECT_GE(took, c.min_time) << c.name;
    EXPECT_LE(took, c.max_time) << c.name;
    ++request;
  }
  // An endpoint-0 stall ends with its request: the next one goes through.
  uint8_t in[4] = {};
  EXPECT_EQ(libusb_control_transfer(handle_, kVendorIn, 0x21, 0, 0, in, 4, 500), 4);
  EXPECT_EQ(dev_->PendingUrbs(), 0u);
}

// --- bulk transfers ------------------------------------------------------------

struct CapsCase {
  const char *name;
  uint32_t capabilities;
  size_t urbs_per_64k;
};

void PrintTo(const CapsCase &c, std::ostream *os) { *os << c.name; }

class EmulCaps : public Emul, public ::testing::WithParamInterface<CapsCase> {};

TEST_P(EmulCaps, Bulk64KiBOutAndInArriveExactly) {
  Open(SensorDesc(2, 0x4842, GetParam().capabilities));
  std::vector<uint8_t> out = Pattern(65536, 3);
  int actual = 0;
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkOut, out.data(), 65536, &actual, 1000), 0);
  EXPECT_EQ(actual, 65536);
  EXPECT_EQ(scripted_->Received(kBulkOut), out);

  std::vector<uint8_t> want = Pattern(65536, 11);
  dev_->QueueIn(kBulkIn, want);
  std::vector<uint8_t> in(65536);
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, in.data(), 65536, &actual, 1000), 0);
  EXPECT_EQ(actual, 65536);
  EXPECT_EQ(in, want);

  // The wire shows how libusb cut the transfers into URBs.
  EXPECT_EQ(Transfers(Event::kBulk).size(), 2 * GetParam().urbs_per_64k);
}

TEST_P(EmulCaps, ShortReadEndsTheTransferAndKeepsTheNextItem) {
  Open(SensorDesc(2, 0x4842, GetParam().capabilities));
  std::vector<uint8_t> first = Pattern(20000, 1), second = Pattern(300, 2);
  dev_->QueueIn(kBulkIn, first);
  dev_->QueueIn(kBulkIn, second);
  std::vector<uint8_t> in(65536);
  int actual = 0;
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, in.data(), 65536, &actual, 1000), 0);
  ASSERT_EQ(actual, 20000);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), in.begin()));
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, in.data(), 65536, &actual, 1000), 0);
  ASSERT_EQ(actual, 300);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), in.begin()));
  EXPECT_EQ(dev_->PendingUrbs(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Capabilities, EmulCaps,
    ::testing::Values(CapsCase{"OneUrb", usb_emul::kDefaultCapabilities, 1},
                      CapsCase{"Split16KiB", usb_emul::kSplittingCapabilities, 4}),
    [](const ::testing::TestParamInfo<CapsCase> &info) { return info.param.name; });

TEST_F(Emul, ReadLongerThanItsBufferLeavesTheRestQueued) {
  Open();
  dev_->QueueIn(kBulkIn, Pattern(100, 5));
  uint8_t in[64];
  int actual = 0;
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, in, 64, &actual, 500), 0);
  EXPECT_EQ(actual, 64);
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, in, 64, &actual, 500), 0);
  EXPECT_EQ(actual, 36);
  EXPECT_EQ(in[0], Pattern(100, 5)[64]);
}

TEST_F(Emul, OutRepliesReachTheHost) {
  scripted_->OnOut(kBulkOut, [](Device &dev, std::span<const uint8_t> data) {
    if (data[0] == 0xff) return Reply::Stall();
    // A command answered on the IN endpoint.
    dev.QueueIn(kBulkIn, {static_cast<uint8_t>(data[0] + 1)});
    return Reply::Ack();
  });
  Open();
  uint8_t cmd = 0x41, answer = 0;
  int actual = 0;
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &cmd, 1, &actual, 500), 0);
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, &answer, 1, &actual, 500), 0);
  EXPECT_EQ(answer, 0x42);
  cmd = 0xff;
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &cmd, 1, &actual, 500), LIBUSB_ERROR_PIPE);
  EXPECT_TRUE(dev_->Halted(kBulkOut));
  // A halted endpoint keeps stalling until the host clears it.
  cmd = 0x01;
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &cmd, 1, &actual, 500), LIBUSB_ERROR_PIPE);
  ASSERT_EQ(libusb_clear_halt(handle_, kBulkOut), 0);
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkOut, &cmd, 1, &actual, 500), 0);
  EXPECT_EQ(scripted_->Received(kBulkOut), (std::vector<uint8_t>{0x41, 0x01}));
}

// Answers every interrupt read with the next value of a counter, when asked.
class CounterModel : public usb_emul::DeviceModel {
 public:
  void InRequested(Device &dev, uint8_t endpoint, size_t length) override {
    if (endpoint == kIntIn && length >= 1) dev.QueueIn(endpoint, {next_++});
  }

 private:
  uint8_t next_ = 10;  // only touched on the worker thread
};

TEST_F(Emul, ModelAnswersReadsWhenAsked) {
  Open(SensorDesc(), std::make_shared<CounterModel>());
  for (uint8_t want = 10; want < 13; ++want) {
    uint8_t buf[16] = {};
    int actual = 0;
    ASSERT_EQ(libusb_interrupt_transfer(handle_, kIntIn, buf, 16, &actual, 500), 0);
    EXPECT_EQ(actual, 1);
    EXPECT_EQ(buf[0], want);
  }
  EXPECT_EQ(Transfers(Event::kInterrupt).size(), 3u);
}

TEST_F(Emul, StalledInEndpointFailsPendingAndLaterReads) {
  Open();
  AsyncResult r;
  uint8_t buf[16];
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_interrupt_transfer(t, handle_, kIntIn, buf, 16, OnTransferDone, &r, 1000);
  ASSERT_EQ(libusb_submit_transfer(t), 0);
  dev_->Stall(kIntIn);
  RunUntil(&r.done);
  EXPECT_EQ(r.status, LIBUSB_TRANSFER_STALL);
  libusb_free_transfer(t);
  int actual = 0;
  EXPECT_EQ(libusb_interrupt_transfer(handle_, kIntIn, buf, 16, &actual, 500), LIBUSB_ERROR_PIPE);
  ASSERT_EQ(libusb_clear_halt(handle_, kIntIn), 0);
  dev_->QueueIn(kIntIn, {7, 7});
  EXPECT_EQ(libusb_interrupt_transfer(handle_, kIntIn, buf, 16, &actual, 500), 0);
  EXPECT_EQ(actual, 2);
  EXPECT_EQ(Transfers(Event::kInterrupt).back().event, Event::kInterrupt);
}

// --- asynchronous transfers, time-outs and cancel ------------------------------

TEST_F(Emul, AsyncBulkInCompletesThroughTheEventLoop) {
  Open();
  AsyncResult r;
  std::vector<uint8_t> buf(512);
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_bulk_transfer(t, handle_, kBulkIn, buf.data(), 512, OnTransferDone, &r, 1000);
  ASSERT_EQ(libusb_submit_transfer(t), 0);
  dev_->QueueIn(kBulkIn, Pattern(200, 9), 30ms);
  timeval tv{0, 10000};
  libusb_handle_events_timeout(ctx_, &tv);
  EXPECT_FALSE(r.done) << "data arrived before its delay";
  RunUntil(&r.done);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(r.status, LIBUSB_TRANSFER_COMPLETED);
  ASSERT_EQ(r.actual, 200);
  buf.resize(200);
  EXPECT_EQ(buf, Pattern(200, 9));
  libusb_free_transfer(t);
}

TEST_F(Emul, WithheldReadTimesOutAfterRoughlyItsLimit) {
  Open();
  uint8_t buf[64];
  int actual = -1;
  auto start = Clock::now();
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkIn, buf, 64, &actual, 120), LIBUSB_ERROR_TIMEOUT);
  auto took = Clock::now() - start;
  EXPECT_GE(took, 115ms);
  EXPECT_LE(took, 400ms);
  EXPECT_EQ(actual, 0);
  EXPECT_EQ(dev_->PendingUrbs(), 0u);
  std::vector<LogEntry> log = Transfers(Event::kBulk);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].status, -ECONNRESET);
  // Data that comes late goes to the next read, not to the cancelled one.
  dev_->QueueIn(kBulkIn, {1, 2, 3});
  ASSERT_EQ(libusb_bulk_transfer(handle_, kBulkIn, buf, 64, &actual, 500), 0);
  EXPECT_EQ(actual, 3);
}

TEST_F(Emul, CancelEndsAPendingTransfer) {
  Open();
  AsyncResult r;
  uint8_t buf[64];
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_bulk_transfer(t, handle_, kBulkIn, buf, 64, OnTransferDone, &r, 0);
  ASSERT_EQ(libusb_submit_transfer(t), 0);
  timeval tv{0, 20000};
  libusb_handle_events_timeout(ctx_, &tv);
  EXPECT_FALSE(r.done);
  ASSERT_EQ(libusb_cancel_transfer(t), 0);
  RunUntil(&r.done);
  EXPECT_EQ(r.status, LIBUSB_TRANSFER_CANCELLED);
  EXPECT_EQ(dev_->PendingUrbs(), 0u);
  libusb_free_transfer(t);
}

TEST_F(Emul, IdleEventLoopSleeps) {
  Open();
  AsyncResult r;
  uint8_t buf[64];
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_bulk_transfer(t, handle_, kBulkIn, buf, 64, OnTransferDone, &r, 0);
  ASSERT_EQ(libusb_submit_transfer(t), 0);
  double cpu = CpuSeconds();
  auto end = Clock::now() + 150ms;
  while (Clock::now() < end) {
    timeval tv{0, 50000};
    libusb_handle_events_timeout_completed(ctx_, &tv, nullptr);
  }
  EXPECT_LT(CpuSeconds() - cpu, 0.03) << "the event loop spins";
  EXPECT_FALSE(r.done);
  libusb_cancel_transfer(t);
  RunUntil(&r.done);
  libusb_free_transfer(t);
}

// --- reset and unplug ----------------------------------------------------------

TEST_F(Emul, ResetReachesTheModelAndDropsDeviceState) {
  Open();
  dev_->QueueIn(kBulkIn, {1, 2, 3});
  dev_->Stall(kIntIn);
  ASSERT_EQ(libusb_reset_device(handle_), 0);
  EXPECT_EQ(scripted_->resets(), 1u);
  EXPECT_FALSE(dev_->Halted(kIntIn));
  EXPECT_TRUE(dev_->Claimed(0)) << "libusb claims its interfaces again";
  std::vector<Event> events;
  for (const LogEntry &e : dev_->Log()) events.push_back(e.event);
  EXPECT_EQ(events, (std::vector<Event>{Event::kClaim, Event::kRelease, Event::kReset, Event::kClaim}));
  uint8_t buf[8];
  int actual = 0;
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkIn, buf, 8, &actual, 100), LIBUSB_ERROR_TIMEOUT);

  // A reset through the device node itself, as a driver may do it.
  int fd = open(dev_->devnode().c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ioctl(fd, USBDEVFS_RESET, 0), 0);
  close(fd);
  EXPECT_EQ(scripted_->resets(), 2u);
}

TEST_F(Emul, UnplugEndsTransfersWithNoDevice) {
  Open();
  AsyncResult r;
  uint8_t buf[64];
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_bulk_transfer(t, handle_, kBulkIn, buf, 64, OnTransferDone, &r, 0);
  ASSERT_EQ(libusb_submit_transfer(t), 0);
  bed_.Unplug(*dev_);
  RunUntil(&r.done);
  EXPECT_EQ(r.status, LIBUSB_TRANSFER_NO_DEVICE);
  libusb_free_transfer(t);
  int actual = 0;
  EXPECT_EQ(libusb_bulk_transfer(handle_, kBulkIn, buf, 64, &actual, 200), LIBUSB_ERROR_NO_DEVICE);
  EXPECT_EQ(libusb_control_transfer(handle_, kVendorIn, 1, 0, 0, buf, 1, 200),
            LIBUSB_ERROR_NO_DEVICE);
  EXPECT_FALSE(dev_->Connected());
}

TEST_F(Emul, UnplugRemovesTheDeviceFromEnumeration) {
  Open();
  bed_.Unplug(*dev_);
  // libusb learns of the removal from its hotplug thread.
  bool gone = false;
  for (int k = 0; k < 100 && !gone; ++k) {
    libusb_device **list = nullptr;
    ssize_t n = libusb_get_device_list(ctx_, &list);
    gone = true;
    for (ssize_t i = 0; i < n; ++i) {
      libusb_device_descriptor d;
      libusb_get_device_descriptor(list[i], &d);
      if (d.idVendor == 0x3c5d) gone = false;
    }
    libusb_free_device_list(list, 1);
    if (!gone) usleep(10000);
  }
  EXPECT_TRUE(gone);
  EXPECT_EQ(libusb_open_device_with_vid_pid(ctx_, 0x3c5d, 0x4842), nullptr);
}

// A re-plug, as the service sees it: libusb's hotplug callbacks report the
// bridge leaving and arriving, and the new one enumerates at another address
// and answers, while the old handle keeps failing with NO_DEVICE.
TEST_F(Emul, PlugInAfterUnplugRaisesHotplugEventsAndAnswersAtANewAddress) {
  Open();
  struct Seen {
    std::vector<std::pair<libusb_hotplug_event, int>> events;  // event, bus address
  } seen;
  auto on_event = [](libusb_context *, libusb_device *device, libusb_hotplug_event event,
                     void *data) -> int {
    static_cast<Seen *>(data)->events.emplace_back(event, libusb_get_device_address(device));
    return 0;
  };
  libusb_hotplug_callback_handle cb = 0;
  ASSERT_EQ(libusb_hotplug_register_callback(
                ctx_,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                LIBUSB_HOTPLUG_NO_FLAGS, 0x3c5d, 0x4842, LIBUSB_HOTPLUG_MATCH_ANY, on_event, &seen,
                &cb),
            0);
  auto run_until_events = [&](size_t n) {
    auto end = Clock::now() + 2s;
    while (seen.events.size() < n && Clock::now() < end) {
      timeval tv{0, 50000};
      libusb_handle_events_timeout_completed(ctx_, &tv, nullptr);
    }
  };
  bed_.Unplug(*dev_);
  run_until_events(1);
  Device &again = bed_.PlugIn(SensorDesc(), std::make_shared<RegisterModel>());
  run_until_events(2);
  using Event = std::pair<libusb_hotplug_event, int>;
  EXPECT_EQ(seen.events, (std::vector<Event>{{LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, 2},
                                             {LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, 3}}));
  EXPECT_EQ(again.desc().address, 3);
  EXPECT_EQ(again.devnode(), "/dev/bus/usb/001/003");

  libusb_device_handle *fresh = libusb_open_device_with_vid_pid(ctx_, 0x3c5d, 0x4842);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(libusb_get_device_address(libusb_get_device(fresh)), 3);
  uint8_t reg[2] = {};
  EXPECT_EQ(libusb_control_transfer(fresh, kVendorOut, 0x01, 0xbeef, 7, nullptr, 0, 200), 0);
  EXPECT_EQ(libusb_control_transfer(fresh, kVendorIn, 0x02, 0, 7, reg, 2, 200), 2);
  EXPECT_EQ(reg[0] | reg[1] << 8, 0xbeef);
  EXPECT_EQ(libusb_control_transfer(handle_, kVendorIn, 0x02, 0, 7, reg, 2, 200),
            LIBUSB_ERROR_NO_DEVICE);
  libusb_close(fresh);
  libusb_hotplug_deregister_callback(ctx_, cb);
}

// --- set-up errors -------------------------------------------------------------

TEST(EmulSetup, TmpdirLengthIsChecked) {
  const char *saved = std::getenv("TMPDIR");
  std::string before = saved != nullptr ? saved : "";
  struct Case {
    std::string tmpdir;
    bool ok;
  } cases[] = {{"", true}, {"/tmp", true}, {"/" + std::string(63, 'a'), true},
               {"/" + std::string(64, 'a'), false}};
  for (const Case &c : cases) {
    setenv("TMPDIR", c.tmpdir.c_str(), 1);
    std::string why = usb_emul::CheckTmpdir();
    EXPECT_EQ(why.empty(), c.ok) << c.tmpdir.size();
    if (!c.ok) {
      EXPECT_NE(why.find("TMPDIR"), std::string::npos) << why;
      EXPECT_NE(why.find("65"), std::string::npos) << why;
      EXPECT_THROW(Testbed(), std::runtime_error);
    }
  }
  if (saved != nullptr)
    setenv("TMPDIR", before.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(EmulSetup, BadDescriptionsAreRefused) {
  struct Case {
    const char *name;
    void (*spoil)(DeviceDesc &);
  } cases[] = {
      {"no configuration", [](DeviceDesc &s) { s.configurations.clear(); }},
      {"address 0", [](DeviceDesc &s) { s.address = 0; }},
      {"endpoint 0 in an interface",
       [](DeviceDesc &s) { s.configurations[0].interfaces[0].endpoints[0].address = 0x80; }},
      {"same endpoint twice",
       [](DeviceDesc &s) { s.configurations[0].interfaces[0].endpoints[1].address = kBulkIn; }},
  };
  Testbed bed;
  for (const Case &c : cases) {
    DeviceDesc desc = SensorDesc();
    c.spoil(desc);
    EXPECT_THROW(bed.AddDevice(desc, std::make_shared<ScriptedModel>()), std::invalid_argument)
        << c.name;
  }
  bed.AddDevice(SensorDesc(), std::make_shared<ScriptedModel>());
  EXPECT_THROW(bed.AddDevice(SensorDesc(), std::make_shared<ScriptedModel>()),
               std::invalid_argument)
      << "same bus address twice";
}

}  // namespace
