// The framework's 8-bit grey image and its bridge to the minutiae detector
// and the Bozorth3 matcher.
#ifndef FRAMEWORK_FPI_IMG_H_
#define FRAMEWORK_FPI_IMG_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

struct fp_img_dev;
struct fp_print_data;

// How an image's pixels are stored.
enum fp_img_flags {
  FP_IMG_V_FLIPPED = 1,          // rows stored bottom-up
  FP_IMG_H_FLIPPED = 2,          // each row stored right to left
  FP_IMG_COLORS_INVERTED = 4,    // ridges light
  FP_IMG_BINARIZED_FORM = 8,     // the pixels are a binarized image
  FP_IMG_PARTIAL = 16,           // the image covers part of the finger
};

// Flags that fp_img_standardize undoes.
#define FP_IMG_STANDARDIZATION_FLAGS \
  (FP_IMG_V_FLIPPED | FP_IMG_H_FLIPPED | FP_IMG_COLORS_INVERTED)

// An image: header and pixels in one allocation.
struct fp_img {
  int width;                 // pixels per row
  int height;                // rows
  size_t length;             // pixel bytes allocated behind the header
  uint16_t flags;            // enum fp_img_flags
  lfs_minutiae *minutiae;    // detected minutiae, NULL until detection (owned)
  unsigned char *binarized;  // detector's binarized copy, width*height bytes (owned)
  unsigned char data[];      // the pixels, row-major, 0 black to 255 white
};

// New zeroed image of `length` pixel bytes, width and height 0; NULL when it
// cannot be allocated.
struct fp_img *fpi_img_new(size_t length);

// New zeroed image of the device driver's fixed image size; NULL when the
// driver's size is variable (-1) or not positive.
struct fp_img *fpi_img_new_devsize(struct fp_img_dev *imgdev);

// True when width, height and length are positive, length * height does not
// overflow and width * height pixels fit in length.
bool fpi_img_size_ok(struct fp_img *img);

// The image reallocated with room for `newsize` pixel bytes (the caller sets
// length, width and height); NULL, with the image untouched, on failure.
struct fp_img *fpi_img_resize(struct fp_img *img, size_t newsize);

// Detects the image's minutiae and keeps them with the binarized copy.
// Returns their number; -22 for a non-standardised or ill-sized image; the
// detector's negative code on failure. An image that already holds minutiae
// keeps them and returns their number.
int fpi_img_detect_minutiae(struct fp_img *img);

// Builds a print of one xyt record from the image's minutiae (detecting them
// when needed) into *ret. Returns 0, the detection's negative code, or -2
// when the image has no minutiae.
int fpi_img_to_print_data(struct fp_img_dev *imgdev, struct fp_img *img,
                          struct fp_print_data **ret);

// Best Bozorth3 score of the new print's record against each item of the
// enrolled print; -22 when a print is not of minutiae type, the new print
// does not hold exactly one valid record. Malformed enrolled items score 0.
int fpi_img_compare_print_data(struct fp_print_data *enrolled_print,
                               struct fp_print_data *new_print);

// Scores the new print against each item of each gallery print in order;
// the first score >= threshold stores the gallery index in *match_offset and
// returns 1. Returns 0 when none reaches it, -22 for an invalid new print.
// Gallery prints that are not of minutiae type and malformed items are
// skipped.
int fpi_img_compare_print_data_to_gallery(struct fp_print_data *print,
                                          struct fp_print_data **gallery, int match_threshold,
                                          size_t *match_offset);

// Variance of `size` bytes (integer means); 0 for size <= 0; -75 above 32767.
int fpi_std_sq_dev(const unsigned char *buf, int size);

// Mean squared difference of two buffers of `size` bytes; 0 for size <= 0.
int fpi_mean_square_diff(const unsigned char *buf1, const unsigned char *buf2, int size);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_IMG_H_
