// Single-image capture entry points of the sensor library's flows and the
// unpacking of the FW4856's packed 12-bit samples.
#ifndef SRC_QUORV_SENSOR_QUORV_FP_IMAGE_H_
#define SRC_QUORV_SENSOR_QUORV_FP_IMAGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// MCU status polls GetFpImage makes while the scan runs before giving up.
#define QUORV_SCAN_WAIT_POLLS 10000
// Most pixels the FW4856 packed 12-bit path handles (38,400 bytes unpacked).
#define QUORV_FW4856_FAST_PIXELS 19200

// Full capture: -1 when the MCU is busy; else sends the image scan, polls
// the MCU status every 6 us until it is ready (-1 after
// QUORV_SCAN_WAIT_POLLS busy polls) and returns GetFpImageSimple's result.
int GetFpImage(uint8_t *img, uint32_t index);

// Reads one image without a scan command: the generic reader's result. On
// the FW4856 in packed 12-bit mode it reads into a work buffer, unpacks and
// base-corrects it when the FW4856 base switch is 1, and leaves the 8-bit
// image (4092 - sample) >> 4 in img (whatever the read returned); more than
// QUORV_FW4856_FAST_PIXELS pixels there give -1 with nothing read.
int GetFpImageSimple(uint8_t *img, uint32_t index);

// In packed 12-bit mode (imagebit 2), unpacks the 3n/2 packed bytes of buf
// in place into n big-endian 16-bit samples (n = imagewidth x imageheight);
// buf holds at least 2n bytes. Nothing otherwise, without an SPI instance,
// for more than QUORV_FW4856_FAST_PIXELS pixels or when the scratch block
// cannot be allocated (the last two logged).
void AppFastModeDataConvent(uint8_t *buf);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_FP_IMAGE_H_
