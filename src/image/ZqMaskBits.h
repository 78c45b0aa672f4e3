// Bit packing of masks: pixel i is bit (i mod 8) of byte i / 8.
#ifndef SRC_ZQMASKBITS_H_
#define SRC_ZQMASKBITS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Clears width * height / 8 + 1 bytes of bits, then sets the bit of every
// non-zero pixel. Does nothing for NULL or a negative side.
void ZqSaveImageToArr(const uint8_t *image, int32_t width, int32_t height, uint8_t *bits);

// Writes each of the width * height pixels as its bit (0 or 1). Does
// nothing for NULL or a negative side.
void ZqGetImageFromArr(const uint8_t *bits, int32_t width, int32_t height, uint8_t *image);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQMASKBITS_H_
