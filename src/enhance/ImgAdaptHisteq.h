// Contrast-limited adaptive histogram equalisation of an 8-bit image over a
// grid of tiles: one clipped histogram mapping per tile, blended bilinearly
// between the four nearest tiles.
#ifndef SRC_ENHANCE_IMGADAPTHISTEQ_H_
#define SRC_ENHANCE_IMGADAPTHISTEQ_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Equalises the width x height image in place with tilesX x tilesY tiles,
// grey range lo..hi and bins histogram bins (0 means 256). The clip count
// of a tile of n pixels is m + round(clip (n - m)), m = ceil(n / bins).
// 0; -1 NULL image, a side below 1 or above 65535, a side not a multiple of
// its tile count, a tile count of 1 or less, clip outside 0 <= clip < 1,
// lo above hi, or bins above 256; -2 allocation. The image is untouched on
// failure.
int32_t ImgAdaptHisteq(uint8_t *image, uint32_t width, uint32_t height, uint8_t lo, uint8_t hi,
                       uint32_t tilesX, float clip, uint32_t tilesY, uint32_t bins);

#ifdef __cplusplus
}

namespace zq {

// Clips hist[0..bins) at clipCount and hands the excess back: first an even
// share to every bin (bins that would pass clipCount are filled to it),
// then one count at a time over bins still below clipCount. When every bin
// is full while excess remains, the rest is spread evenly over all bins.
// The total is kept in every case.
void AdaptHisteqClip(int32_t *hist, int32_t bins, int32_t clipCount);

}  // namespace zq
#endif

#endif  // SRC_ENHANCE_IMGADAPTHISTEQ_H_
