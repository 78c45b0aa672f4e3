// Input preparation of the classifiers: the resize of an 8-bit image to a
// network's float input, and the crop-and-standardise chain with its
// bounding-range search and window copy (exported, not on the live path).
#ifndef SRC_NETMODEL_INPUT_PREPROCESS_TOOL_NO_FINGER_H_
#define SRC_NETMODEL_INPUT_PREPROCESS_TOOL_NO_FINGER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Size record of the crop-and-standardise chain.
typedef struct ST_ImgCropInfo {
  int32_t cols;   // columns of the crop
  int32_t rows;   // rows of the crop
  int32_t count;  // cols * rows
  float sum;      // sum of the crop's values
} ST_ImgCropInfo;

// Bilinear resize in 12-bit fixed point, as ZqResize_8u. Writes nothing for
// NULL buffers, fewer than 2 source rows or columns, or an empty target.
void ZqResize_8u_v3(const uint8_t *src, int32_t src_rows, int32_t src_cols, uint8_t *dst,
                    int32_t dst_rows, int32_t dst_cols);

// Resizes the rows x cols image to dst_rows x dst_cols and stores every
// pixel / 255.0 as a float in dst. 0; -1 for NULL buffers, a source smaller
// than 2 x 2, an empty target or a byte buffer the heap refuses.
int32_t input_process_tool_no_finger_resize(const uint8_t *src, int32_t rows, int32_t cols,
                                            int32_t unused, int32_t dst_rows, int32_t dst_cols,
                                            float *dst);

// Crops the float image to the rows with more than 8 and the columns with
// more than 5 values below 128; a new heap buffer (ZqSafeFree) and *info,
// or NULL when a bound is missing or the heap refuses.
float *cut_white_margin(const float *image, int32_t rows, int32_t cols, ST_ImgCropInfo *info);

// Standardises info->count values in place: mean removed, then divided by
// the sample deviation + 0.1. A single value only loses its mean. 0.
int32_t img_std_deal_v2(float *values, const ST_ImgCropInfo *info);

// When the crop is smaller than target_rows x target_cols: a zeroed heap
// buffer of the larger size holding the crop without its last row and
// column at the top left, with *info updated; else (or when the heap
// refuses) NULL.
float *fill_margin(const float *values, ST_ImgCropInfo *info, int32_t target_rows,
                   int32_t target_cols);

// Crop, standardise, fill and take the centred target_rows x target_cols
// window into dst. 0; -1 when no crop is found or the crop cannot be filled
// to the target.
int32_t input_process_tool_no_finger(const float *image, int32_t rows, int32_t cols,
                                     int32_t unused, int32_t target_rows, int32_t target_cols,
                                     float *dst);

// First and last rows and columns whose float sum is not 0 (-1 when none).
// 0; -1 for NULL arguments or sum buffers the heap refuses.
int32_t get_valid_range(const float *image, int32_t rows, int32_t cols, int32_t *top,
                        int32_t *bottom, int32_t *left, int32_t *right);

// Copies rows top..bottom, columns left..right (rect: left, right, top,
// bottom) of src into dst at (dst_row, dst_col). 0; -1 for NULL pointers.
int32_t get_big_img_to_small_img_FP32(const float *src, int32_t src_stride, float *dst,
                                      int32_t dst_stride, int32_t dst_row, int32_t dst_col,
                                      const int32_t *rect);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_INPUT_PREPROCESS_TOOL_NO_FINGER_H_
