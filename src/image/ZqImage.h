// The algorithm's image record ST_Image with its size pair ST_Size, and the
// functions that create, clone, subtract and release images.
#ifndef SRC_ZQIMAGE_H_
#define SRC_ZQIMAGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bit 31 of a depth: signed integer pixels.
#define DEPTH_SIGN ((int32_t)0x80000000u)
#define DEPTH_1U 1
#define DEPTH_8U 8
#define DEPTH_8S ((int32_t)0x80000008u)
#define DEPTH_16U 16
#define DEPTH_16S ((int32_t)0x80000010u)
#define DEPTH_32F 32
#define DEPTH_32S ((int32_t)0x80000020u)
#define DEPTH_64F 64

// An image: rows top first, rowBytes apart, in one ZqSafeAlloc block.
typedef struct ST_Image {
  int32_t depth;       // bits per pixel in bits 0..30, bit 31 = signed
  int32_t width;       // columns
  int32_t height;      // rows
  int32_t imageSize;   // bytes of pixel data: rowBytes * height
  int32_t rowBytes;    // (bits * width + 7) / 8 raised to a multiple of 4
  uint8_t *imageData;  // pixel rows, owned by the record
} ST_Image;

// A size: rows, then columns.
typedef struct ST_Size {
  int32_t row;
  int32_t col;
} ST_Size;

// New image of size rows x cols and `depth` (1; 8, 16, 32 with or without
// DEPTH_SIGN; 64) with zeroed data, or NULL (each failure logged).
ST_Image *ZqCreateImage(const ST_Size *size, int32_t depth);

// Allocates the zeroed data block of a record whose other fields are set;
// logs and allocates nothing for a NULL record, a record that has data or a
// size that is not rowBytes * height. Callers test imageData.
void ZqCreateImageData(ST_Image *image);

// Frees the data and the record of *image and sets *image to NULL; a NULL
// record is ignored, a NULL address logged.
void ZqReleaseImage(ST_Image **image);

// Frees the record only and sets *image to NULL.
void ZqReleaseImageHeader(ST_Image **image);

// Deep copy of src (a record without data gives one without data), or NULL.
ST_Image *ZqCloneImage(const ST_Image *src);

// dst = b - a over a->imageSize / 4 float pixels. NULL images, missing data
// or b / dst smaller than a are logged and nothing is written.
void ZqSubImage(const ST_Image *a, const ST_Image *b, ST_Image *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMAGE_H_
