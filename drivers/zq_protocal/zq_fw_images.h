// The bridge MCU's application firmware images, one per sensor type, as
// opaque byte arrays. The host never interprets them: it sends them, reads
// them back and compares.
//
// PLACEHOLDERS: the arrays hold deterministic filler of the exact sizes of
// the maker's images (zq_fw_images.cpp generates all five in one place).
// Replace the generator with the maker's images when they are supplied.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Sizes of the images, in bytes.
#define ZQ_FW_SIZE_ZQ4841 14184
#define ZQ_FW_SIZE_ZQ4842 10690
#define ZQ_FW_SIZE_ZQ4844 10772
#define ZQ_FW_SIZE_ZQ4847 27120
#define ZQ_FW_SIZE_ZQ4856 11924

// Images of sensor types 1 (ZQ4841W), 2 (ZQ4842W), 3 (ZQ4844W), 4 (ZQ4847W,
// never sent) and 7 (ZQ4856W).
// Each points at ZQ_FW_SIZE_* constant bytes.
extern const uint8_t *const zq_bridge_fw_image_zq4841;
extern const uint8_t *const zq_bridge_fw_image_zq4842;
extern const uint8_t *const zq_bridge_fw_image_zq4844;
extern const uint8_t *const zq_bridge_fw_image_zq4847;
extern const uint8_t *const zq_bridge_fw_image_zq4856;

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_
