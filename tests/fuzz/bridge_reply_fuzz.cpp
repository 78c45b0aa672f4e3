// libFuzzer target: the bridge's answers to the vendor requests and bulk
// reads, with the byte counts chosen by the device. The input drives both
// sides: the operations the host runs (and their sizes) and, transfer by
// transfer, what the device answers: an error, or how many bytes it sends
// (never more than asked, as USB guarantees) and which. A read accepted as
// complete must have received exactly what was asked for.
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/bq_error.h"
#include "drivers/zq_protocal/zq_bridge.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_sensor/zq_usb.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The rest of the input; reads past its end give zeros.
const uint8_t *g_in = nullptr;
size_t g_left = 0;
// Bytes the device sent in the last IN transfer.
long g_last_in = -1;

uint8_t Take() {
  if (g_left == 0) return 0;
  --g_left;
  return *g_in++;
}

uint16_t Take16() { return static_cast<uint16_t>(Take() << 8 | Take()); }

// 0xF0 and above: a libusb error (-1 to -16).
bool DeviceError(uint8_t b, int *error) {
  if (b < 0xF0) return false;
  *error = -(b - 0xEF);
  return true;
}

}  // namespace

extern "C" int usb_control_transfer(uint8_t bmRequestType, uint8_t, uint16_t, uint16_t,
                                    uint8_t *data, uint16_t *wLength, unsigned) {
  if (wLength == nullptr) return -2;
  int error = 0;
  const uint8_t b = Take();
  if (DeviceError(b, &error)) return error;
  if ((bmRequestType & 0x80) == 0) return *wLength;
  const uint16_t n = b < *wLength ? b : *wLength;
  for (uint16_t i = 0; i < n; ++i) data[i] = Take();
  g_last_in = n;
  return n;
}

extern "C" int usb_bulk_transfer(int direction, void *buf, uint16_t len, int *transferred,
                                 unsigned) {
  int done = 0;
  if (transferred == nullptr) transferred = &done;
  *transferred = 0;
  int error = 0;
  const uint8_t b = Take();
  if (DeviceError(b, &error)) return error;
  // 0: the whole length; otherwise b - 1 bytes at most.
  const uint16_t n = b == 0 ? len : static_cast<uint16_t>(b - 1u < len ? b - 1u : len);
  if (direction == ZQ_USB_DIR_IN) {
    auto *bytes = static_cast<uint8_t *>(buf);
    for (uint16_t i = 0; i < n; ++i) bytes[i] = Take();
    g_last_in = n;
  }
  *transferred = n;
  return 0;
}

extern "C" int usb_bulk_in_transfer(void *buf, uint16_t len, int *transferred, unsigned ms) {
  return usb_bulk_transfer(ZQ_USB_DIR_IN, buf, len, transferred, ms);
}

extern "C" int usb_bulk_out_transfer(const void *buf, uint16_t len, int *transferred,
                                     unsigned ms) {
  return usb_bulk_transfer(ZQ_USB_DIR_OUT, const_cast<void *>(buf), len, transferred, ms);
}

extern "C" int usb_reset_device(void) { return Take() >= 0xF0 ? -4 : 0; }
extern "C" int usb_claim_interface(int) { return Take() >= 0xF0 ? -6 : 0; }
extern "C" void quorv_usb_reset(void) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  g_in = data;
  g_left = size;
  for (int step = 0; step < 64 && g_left > 0; ++step) {
    g_last_in = -1;
    switch (Take() % 12) {
      case 0: {  // a vendor read of a length the host chooses
        const uint8_t request = Take();
        const uint16_t index = Take16();
        const uint16_t len = Take() % (ZQ_READ_REQUEST_MAX + 2);
        std::vector<uint8_t> dst(len);
        if (zq_interface_base_ReadRequest(request, index, dst.data(), len) == 0)
          Check(g_last_in == len);
        break;
      }
      case 1: {
        uint8_t reg[2] = {};
        const uint16_t len = 1 + Take() % 2;
        if (zq_interface_base_ReadRegister(Take(), reg, len) == 0) Check(g_last_in == len);
        break;
      }
      case 2: {  // a bulk read after its length set-up
        const uint16_t len = Take16() % 4097;
        std::vector<uint8_t> buf(len);
        if (zq_interface_base_ReadData(buf.data(), len) == 0) Check(g_last_in == len);
        break;
      }
      case 3: {
        static const uint16_t kSelectors[] = {ZQ_4847_SEL_WAKE, ZQ_4847_SEL_STATUS,
                                              ZQ_4847_SEL_IMAGE, ZQ_4847_SEL_SPI_READ};
        const uint16_t selector = kSelectors[Take() % 4];
        const uint16_t len = Take16() % 4097;
        std::vector<uint8_t> buf(len);
        if (zq_interface_base_4847_ReadData(selector, buf.data(), len) == 0 && len != 0)
          Check(g_last_in == len);
        break;
      }
      case 4: {
        int busy = 7;
        if (zq_sensorbase_QueryMCUStatus(&busy) == 0) Check(busy == 0 || busy == 1);
        break;
      }
      case 5: {
        uint16_t version = 0;
        zq_interface_base_GetBridgeVersion(&version);
        break;
      }
      case 6: {
        bool high = false;
        zq_interface_base_QuerySensorPinStatus(&high);
        break;
      }
      case 7: {
        uint8_t cmd[3] = {Take(), Take(), Take()};
        zq_interface_base_SendNBytes(cmd);
        break;
      }
      case 8: {  // raw SPI writes, each piece polled until the bridge passed it on
        const uint16_t len = Take16() % 1025;
        std::vector<uint8_t> bytes(len, 0x5A);
        zq_interface_base_4847_WriteData(bytes.data(), len);
        break;
      }
      case 9: {  // any set-up, with a reply buffer of the host's choosing
        zq_usb_setup_t setup = {static_cast<uint8_t>(Take() & 1 ? ZQ_REQ_TYPE_IN : ZQ_REQ_TYPE_OUT),
                                Take(), Take16(), Take16(), 0};
        setup.wLength = Take() % (ZQ_VENDOR_REPLY_MAX + 2);
        const unsigned reply_len = Take() % (ZQ_VENDOR_REPLY_MAX + 2);
        std::vector<uint8_t> reply(reply_len);
        long count = 0;
        const int r = zq_interface_base_VendorRequest(&setup, reply.empty() ? nullptr : reply.data(),
                                                      reply_len, &count);
        if (r == 0 && (setup.bmRequestType & 0x80) != 0) Check(count <= setup.wLength);
        break;
      }
      case 10: {
        const uint16_t len = Take16() % 4097;
        std::vector<uint8_t> bytes(len, 0xA5);
        zq_interface_base_WriteData(Take16(), bytes.data(), len);
        break;
      }
      default:
        zq_sensorbase_ReturnIdleByReset();
        zq_interface_base_reloadDriverFromError();
        break;
    }
  }
  return 0;
}
