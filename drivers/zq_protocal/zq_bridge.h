// The USB bridge's wire vocabulary: the control setup record, the vendor
// request codes and the bridge register map.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The 8-byte control setup packet; on the wire the 16-bit fields are
// little-endian.
typedef struct zq_usb_setup {
  uint8_t bmRequestType;  // ZQ_REQ_TYPE_OUT or ZQ_REQ_TYPE_IN
  uint8_t bRequest;       // a zq_bridge_request code
  uint16_t wValue;        // per request
  uint16_t wIndex;        // per request
  uint16_t wLength;       // 0 for OUT requests; 1, 2 or 4 for IN requests
} zq_usb_setup_t;

// Request types: vendor request, host to device and device to host.
enum { ZQ_REQ_TYPE_OUT = 0x40, ZQ_REQ_TYPE_IN = 0xC0 };

// Time-out of every vendor request, in milliseconds.
#define ZQ_CONTROL_TIMEOUT_MS 200
// Bulk time-outs: data, image and firmware transfers; 4847 reads.
#define ZQ_BULK_TIMEOUT_MS 1000
#define ZQ_BULK_4847_TIMEOUT_MS 2000

// Vendor request codes (bRequest).
typedef enum zq_bridge_request {
  // OUT, no data stage: (wValue, wIndex).
  ZQ_REQ_SFR_WRITE = 0x03,        // (value, SFR address)
  ZQ_REQ_WAKEUP = 0x22,           // (0x70, 0x70)
  ZQ_REQ_SELECT = 0x34,           // (0xFF, 2 or 3; 0)
  ZQ_REQ_LENGTH = 0x35,           // (byte count, address) of the next bulk transfer
  ZQ_REQ_REG_WRITE = 0x3B,        // (value, register)
  ZQ_REQ_SENSOR_RESET = 0x40,     // (0, 0)
  ZQ_REQ_DOWNLOAD_MODE = 0x57,    // (0, 0)
  ZQ_REQ_SEND_BYTES = 0x64,       // ((cmd << 8) + 3 or 0x9001, (b2 << 8) | b1)
  ZQ_REQ_SFR_WRITE_4859 = 0x66,   // (value, SFR address)
  ZQ_REQ_SFR_WRITE_DL = 0x69,     // (value, SFR address), download mode
  ZQ_REQ_4847_READ = 0x6F,        // (byte count, selector)
  ZQ_REQ_SPI_SETUP = 0x79,        // (count or 1, 3 write / 4 read / level + 1 chip select)
  // IN, wValue 0: (wIndex) -> wLength bytes.
  ZQ_REQ_BRIDGE_VERSION = 0x1A,   // (0) -> 2 bytes, little-endian
  ZQ_REQ_SRAM_READ = 0x30,        // (address) -> 2 bytes, high byte first
  ZQ_REQ_REG_READ = 0x3A,         // (register) -> 1 or 2 bytes
  ZQ_REQ_WRITE_DONE = 0x3C,       // (0) -> 1 byte, 0 once the last bulk write passed on
  ZQ_REQ_PIN = 0x43,              // (0) -> 1 byte, 1 = interrupt line high
  ZQ_REQ_SFR_REPLY = 0x60,        // (0) -> 1 byte answered to send-bytes 0x90
  ZQ_REQ_SFR_READ_4859 = 0x65,    // (SFR address) -> 1 byte
  ZQ_REQ_SFR_READ_DL = 0x68,      // (SFR address) -> 1 byte, download mode
} zq_bridge_request;

// Select values of ZQ_REQ_SELECT.
enum { ZQ_SELECT_DATA_WRITE = 2, ZQ_SELECT_DATA_READ = 3, ZQ_SELECT_RESET = 0xFF };

// wIndex values of ZQ_REQ_SPI_SETUP; chip select uses level + 1.
enum { ZQ_SPI_WRITE = 3, ZQ_SPI_READ = 4 };

// Selectors of ZQ_REQ_4847_READ; ZQ_4847_SEL_SPI_READ goes through the raw
// SPI read instead.
enum {
  ZQ_4847_SEL_WAKE = 0xFF00,    // length 0: a dummy access that wakes the chip
  ZQ_4847_SEL_STATUS = 0x9180,  // status block (4, 6 or 32 bytes)
  ZQ_4847_SEL_IMAGE = 0x9080,   // image data
  ZQ_4847_SEL_SPI_READ = 0x7BB7,
};

// Length set-up addresses: SPI frame or data read, MCU mailbox, image read.
enum { ZQ_ADDR_SPI = 0x0000, ZQ_ADDR_MAILBOX = 0x85C0, ZQ_ADDR_IMAGE = 0x3400 };
// WriteData address that sends the bulk data without set-up requests.
#define ZQ_ADDR_RAW 0xFFFF

// Bridge registers (ZQ_REQ_REG_READ / ZQ_REQ_REG_WRITE); one byte unless noted.
enum zq_bridge_register {
  ZQ_REG_MODE_TRIGGER = 0x00,   // 0x20 POA mode; 0x78 pin test
  ZQ_REG_MCU_CONFIG = 0x01,     // written 1 by the MCU configuration
  ZQ_REG_LOADER_ID = 0x02,      // 2 bytes: 0x48 0x41 when the loader is ready
  ZQ_REG_VERIFY_ERROR = 0x07,   // 2 bytes: first 0x92 = verified
  ZQ_REG_UPGRADE = 0x08,        // write 1: upgrade mode
  ZQ_REG_DL_ERROR = 0x09,       // 2 bytes: first 1 = ready for a download
  ZQ_REG_VERIFY = 0x0B,         // 2 bytes: first 0x6A = image good
  ZQ_REG_WIDTH = 0x14,          // sensor width
  ZQ_REG_HEIGHT = 0x15,         // sensor height
  ZQ_REG_FW_VERSION = 0x1A,     // firmware version
  ZQ_REG_PIN_TEST = 0x1C,       // written 0x32 by the pin test
  ZQ_REG_FINGER = 0x1D,         // 1 or 0xA0 = finger on
  ZQ_REG_SENSOR_EN1 = 0x1E,     // sensor-mode enables
  ZQ_REG_SENSOR_EN2 = 0x1F,
  ZQ_REG_MCU_STATUS = 0x20,     // 2 bytes: 0xA5 0x5A = application running
  ZQ_REG_CONFIG_22 = 0x22,      // written 0 by the type 2/3 configuration
  ZQ_REG_CONFIG_23 = 0x23,      // written 0x0E by the type 2/3 configuration
  ZQ_REG_FW_MARKER = 0x30,      // 0xBB = firmware configured
  ZQ_REG_AGC_VERSION = 0x3C,
  ZQ_REG_CONFIG_41 = 0x41,      // written 0x0F by the MCU configuration
  ZQ_REG_QUICK_SENSOR = 0x54,   // write 1: quick sensor mode
  ZQ_REG_WORK_MODE = 0x76,      // recorded work mode
  ZQ_REG_REMAP = 0xA2,          // write 0: run the downloaded image
  ZQ_REG_START_VERIFY = 0xA5,   // write 0: verify the downloaded image
  ZQ_REG_WATCHDOG = 0xA9,       // write 1: close the watchdog reset
};

// MCU status bytes of a running application (register 0x20).
enum { ZQ_MCU_RUNNING_0 = 0xA5, ZQ_MCU_RUNNING_1 = 0x5A };

#ifdef __cplusplus
static_assert(sizeof(zq_usb_setup_t) == 8, "setup record is 8 bytes");
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_BRIDGE_H_
