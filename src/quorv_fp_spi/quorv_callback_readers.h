// Image readers that take the image from the host's GetImage callback, and
// the single-image entry points of those chips.
#ifndef SRC_QUORV_FP_SPI_QUORV_CALLBACK_READERS_H_
#define SRC_QUORV_FP_SPI_QUORV_CALLBACK_READERS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// GetImage(buf, index) when registered, else -1 (logged at level 5).
int quorv_fp_sensor_read_fw4848_image(uint8_t *buf, uint32_t index);
int quorv_fp_sensor_read_fw4845_image(uint8_t *buf, uint32_t index);
int quorv_fp_sensor_read_ze4850_image(uint8_t *buf, uint32_t index);
int quorv_fp_sensor_read_fw4843_image(uint8_t *buf, uint32_t index);

// Entry points of the generic reader; each forwards to the reader above.
int fw4848_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index);
int fw4845_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index);
int ze4850_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index);
int fw4843_NoneSlideEnrollReadImage(uint8_t *buf, uint32_t index);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_CALLBACK_READERS_H_
