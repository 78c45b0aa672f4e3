// Bad-pixel repair: every pixel marked bad in a mask takes the mean of the
// good pixels in the smallest listed box around it that is mostly good.
//
// Images and masks are 8-bit, row-major, rows x cols. The integral image
// and the diameter map are int32 per pixel. A diameter list holds odd box
// sizes in increasing order and ends with 0 (the front end passes 3, 5, ..,
// 33, 0). Every buffer belongs to the caller and is sized rows x cols;
// nothing here allocates or logs.
#ifndef SRC_ENHANCE_ZQBADPIXELREPAIR_H_
#define SRC_ENHANCE_ZQBADPIXELREPAIR_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out(r, c) = number of mask pixels equal to value in rows 0..r and
// columns 0..c (inclusive).
void get_integral_image(const uint8_t *mask, uint8_t value, int32_t rows, int32_t cols,
                        int32_t *out);

// The integral image at (row, col); 0 outside the image.
int32_t get_integral_image_value(const int32_t *integral, int32_t rows, int32_t cols,
                                 int32_t row, int32_t col);

// *count = bad pixels and *area = pixels of the box row +- h, col +- h
// clipped to the image (both 0 for a box that misses the image).
void get_box_area(const int32_t *integral, int32_t h, int32_t rows, int32_t cols, int32_t row,
                  int32_t col, int32_t *count, int32_t *area);

// The first listed diameter d whose box has a good share 1 - b / a above
// ratio (single precision); 0 when the box has no bad pixel, at the list's
// end (a diameter below 2) or when no box qualifies.
int32_t get_pos_best_diameter(const int32_t *integral, const int32_t *diameters, int32_t rows,
                              int32_t cols, int32_t row, int32_t col, float ratio);

// map = get_pos_best_diameter for every mask pixel equal to bad; other
// entries are not written. Note the argument order (rows, ratio, cols).
void get_pos_best_diameter_map(const uint8_t *mask, uint8_t bad, const int32_t *integral,
                               int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                               int32_t cols);

// The pixel at (row, col), or -1 outside the image.
int32_t get_img_pixel(const uint8_t *image, int32_t rows, int32_t cols, int32_t row, int32_t col);

// *sum and *count of the pixels of the box row +- h, col +- h that lie in
// the image and differ from bad.
void get_box_sum(const uint8_t *image, int32_t rows, int32_t cols, int32_t row, int32_t col,
                 int32_t h, uint8_t bad, float *sum, float *count);

// Mode 1: out = truncated mean of the good pixels in the box of diameter
// map(r, c) around every pixel with a map entry above 0 (boxes with no
// good pixel write nothing). Other modes write nothing. out may be image:
// then pixels repaired earlier in raster order count as good.
void repair_img_to_new_img(const uint8_t *image, uint8_t *out, const int32_t *map, int32_t rows,
                           int32_t cols, int32_t mode, uint8_t bad);

// Mode 1: gradual repair in passes; a pixel of diameter d is set from its
// 3 x 3 box in pass (d - 1) / 2, its map entry ending at 1. Entries of 2
// and 4 drop to 0. Other modes write nothing.
void repair_img_to_new_new_gradual(const uint8_t *image, uint8_t *out, int32_t *map, int32_t rows,
                                   int32_t cols, int32_t mode, uint8_t bad);

// Copies every non-zero src pixel into dst.
void valid_part_copy_to_img(const uint8_t *src, uint8_t *dst, int32_t rows, int32_t cols);

// mask = 1 where the image pixel equals value, else 0.
void get_bad_point_mask(const uint8_t *image, uint8_t *mask, int32_t rows, int32_t cols,
                        uint8_t value);

// Sets the image to fill wherever the mask holds maskValue.
void use_mask_to_destroy_img(uint8_t *image, const uint8_t *mask, int32_t rows, int32_t cols,
                             uint8_t maskValue, uint8_t fill);

// Repairs image in place from the original pixels: integral of the mask
// pixels equal to maskBad, diameter map (passed zeroed), repaired values in
// newImg (passed zeroed), then every repaired pixel, a repair to 0
// included, is copied into image. Returns the number of mask-bad pixels
// left unrepaired (no box qualified, or the box held no pixel other than
// imgBad), or -1 for a NULL buffer or a side below 1.
int32_t repair_image_method_1(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, uint8_t *newImg, const int32_t *diameters,
                              float ratio, int32_t rows, int32_t cols, uint8_t maskBad,
                              uint8_t imgBad);

// As method 1 but written straight into image in raster order, so later
// boxes see earlier repairs as good. Same result. Note the argument order.
int32_t repair_image_method_2(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                              int32_t cols, uint8_t maskBad, uint8_t imgBad);

// Gradual repair in place (repair_img_to_new_new_gradual, mode 1); the map
// ends at 1 for repaired pixels. Same result as method 1.
int32_t repair_image_method_3(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                              int32_t cols, uint8_t maskBad, uint8_t imgBad);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQBADPIXELREPAIR_H_
