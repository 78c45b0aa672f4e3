// Texture repair: symmetric non-local means guided by a second image.
#ifndef SRC_ENHANCE_ZQTEXTUREREPAIR_H_
#define SRC_ENHANCE_ZQTEXTUREREPAIR_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out = 256 x the weighted mean of data over the displacements within
// `radius` (the inner square of half width radius / 2 skipped, the pixel
// itself weighted 3), each partner weighted by g_MagicExp_Table of the
// 11 x 11 patch distance between the two pixels in `guide` (borders
// mirrored with the edge repeated). out must not overlap data or guide.
// 0; -1 a NULL buffer, a size below 1 or a negative radius; -2 allocation.
int32_t ZqTextureRepair_v2(const uint16_t *data, const uint16_t *guide, int32_t rows,
                           int32_t cols, int32_t radius, uint16_t *out);

// The first member of the family: 15 x 15 patches, otherwise the same.
int32_t ZqTextureRepair(const uint16_t *data, const uint16_t *guide, int32_t rows, int32_t cols,
                        int32_t radius, uint16_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQTEXTUREREPAIR_H_
