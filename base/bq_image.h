// The base library's 8-bit image buffer, which carries a frame to the image
// writer of the dump code.
#ifndef BASE_BQ_IMAGE_H_
#define BASE_BQ_IMAGE_H_

#ifdef __cplusplus
extern "C" {
#endif

// Width and height, then width x height 8-bit pixels, in one zeroed block.
typedef struct bq_image {
  int width;
  int height;
  unsigned char data[];
} bq_image;

// Allocates a zeroed width x height image. Returns NULL (logging the -12
// text) when the allocation fails or the size is negative or too large.
bq_image *bq_image_new(int width, int height);

// Zeroes the whole image, frees it and sets *img to NULL. NULL and a pointer
// to NULL are ignored.
void bq_image_destroy(bq_image **img);

// The image writer: writes nothing and returns 0.
int bq_image_save_bmp(bq_image *img, const char *path, int flags);

#ifdef __cplusplus
}
#endif

#endif  // BASE_BQ_IMAGE_H_
