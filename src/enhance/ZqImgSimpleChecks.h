// Simple whole-image checks: palm, dirt, and the share of the image inside
// the sensor's physical grey range. Images are 8-bit, row-major, without
// gaps; sides are 16-bit. Nothing logs.
#ifndef SRC_ENHANCE_ZQIMGSIMPLECHECKS_H_
#define SRC_ENHANCE_ZQIMGSIMPLECHECKS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// -3 (palm) unless more than 18 % of the pixels differ from their 7 x 7
// median by more than -28 .. 32 or not at all: 0 when 0.82 N > count of
// pixels with -28 <= pixel - median <= 32 and a non-zero difference. An
// image without pixels gives -3. -1 NULL; -2 allocation.
int32_t ZqPalmDetect(const uint8_t *image, uint16_t height, uint16_t width);

// Dirt check over 8 x 8 blocks of the 3 x 3 median (dark: below 220):
// 1 when the dark blocks' share e (percent) is below the limit (areaLimit's
// low byte when at most 100, else 80); 2 when the deviation of the dark
// pixels lies outside 27 .. 100 or their block mean is below 80; else 0.
// -1 NULL; -2 allocation.
int32_t ZqDirtyDetect(const uint8_t *image, uint16_t width, uint16_t height, int32_t areaLimit);

// 100 x (pixels with 11 <= value <= 243) / N; 0 for an image without
// pixels; -1 NULL.
int32_t ZqImgPhysicsArea(const uint8_t *image, uint16_t width, uint16_t height);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQIMGSIMPLECHECKS_H_
