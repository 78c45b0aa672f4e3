// Live capture and the per-image information buffer. quorv_GetImageData
// reads one image through the sensor access layer, repairs and rates it and
// leaves it in the work buffers; imageInfoBuf describes the images of the
// current attempt: byte 0 the count c, entry i at 1 + 8i (area, quality,
// cond, physical area, pixel sum as 32-bit little-endian), and behind entry
// c - 1 the trailer (n, score, first pick, second pick).
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_CAPTURE_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_CAPTURE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of one imageInfoBuf entry and of its count-plus-trailer overhead.
#define QUORV_IMAGE_INFO_ENTRY 8
#define QUORV_IMAGE_INFO_EXTRA 5
// Most entries quorv_SetValidImageIndexInfoBuf selects; later ones are
// left out of the picks.
#define QUORV_IMAGE_INFO_MAX_SELECTED 20

// Captures one image (GetFpImageSimple with a non-zero MCU interrupt mode,
// else GetFpImage, with readMode), appends it to the rescan list whatever
// the capture gave, repairs bad pixels (mode 2) and rates it into
// quality[5] (quality, area, cond, contrast, 255). The capture's
// non-negative result; -5 no finger or failed rating; -2 failed repair;
// another negative capture result unchanged; -1 for a NULL quality or
// without work buffers.
int quorv_GetImageData(int ignored, uint8_t *quality, uint32_t readMode);

// Sum of the configured cols x rows bytes of image; 0 for NULL.
uint32_t quorv_GetImagePixel(const uint8_t *image);

// Entries the buffer holds: the larger of the slide-enrol image count and
// the identify rescan count, read now.
uint32_t quorv_ImageInfoCapacity(void);

// Zeroes the N*8 + 5 bytes (as far as allocated); 0, or -1 without buffer.
int quorv_CleanImageInfoBuf(void);
// Copies the N*8 + 5 bytes to out (bytes past the allocation read 0); 0,
// or -1 for a NULL out or without buffer.
int quorv_GetImageInfoBuf(uint8_t *out);
// Writes entry index (quality bits 0-7, area 8-15, cond 16-23 of
// qualityRecord) and count = index + 1; 0, or -1 without buffer or for an
// index at or above N or past the allocation.
int quorv_SetImageInfoBuf(uint8_t index, uint32_t qualityRecord, uint8_t phyArea,
                          uint32_t pixelSum);
// The same with separate bytes.
int quorv_SetImageInfoBuf_v2(uint8_t index, uint8_t area, uint8_t quality, uint8_t cond,
                             uint8_t phyArea, uint32_t pixelSum);
// Writes trailer bytes n and score behind entry count - 1; 0, or -1
// without buffer or when the trailer lies outside it.
int quorv_SetValidImageInfoBuf(uint8_t n, uint8_t score);
// Selects the entries with area > areaThr and quality > qualityThr and
// writes the 1-based numbers of the last two selected as the picks (one:
// that one and 0; none: 0 and 0); 0, or -1 as above.
int quorv_SetValidImageIndexInfoBuf(uint8_t areaThr, uint8_t qualityThr);

// Writes the capture index of every saved slide image, in list order, and
// returns their number; 0 for NULL (out needs room for 255 bytes).
uint8_t quorv_GetDumpImageIndex(uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_CAPTURE_H_
