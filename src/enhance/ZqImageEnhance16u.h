// The 16-bit enhancement pipeline: local normalisation, half-size texture
// repair and normalisation, and its 8-bit blend.
#ifndef SRC_ENHANCE_ZQIMAGEENHANCE16U_H_
#define SRC_ENHANCE_ZQIMAGEENHANCE16U_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Enhances the 8-bit image in place: integer part of 0.35 x enhanced +
// 0.65 x original (single precision), the enhancement from
// ZqImageEnhance_16u_v2. img is unchanged on failure. 0; -1 img NULL; -2
// allocation; -3 the enhancement failed (a side below 4 included).
int32_t f4851_image_enhance(uint8_t *img, int32_t rows, int32_t cols);

// dst = the texture repair (radius 7) of src at half size guided by its
// local normalisation (window 9), normalised to 0..255, resized back and
// normalised again. dst is written last and may be src. 0; -1 NULL or a
// side below 4; -2 allocation; -4 local normalisation failed; -5 texture
// repair failed.
int32_t ZqImageEnhance_16u_v2(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst);

// The older pipeline: Laplacian-of-Gaussian, then two rounds of guided
// half-size texture repair, the first followed by the envelope
// normalisation and a blend into the next round's input. dst is written
// last and may be src. 0; -1 NULL or a side below 4; -2 allocation; -3 the
// LoG filter failed; -4 local normalisation failed; -5 texture repair
// failed.
int32_t ZqImageEnhance_16u(const uint16_t *src, int32_t rows, int32_t cols, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMAGEENHANCE16U_H_
