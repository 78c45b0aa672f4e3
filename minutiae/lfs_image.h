// Pixel-level helpers of the minutiae detector: padding, scaling to six
// bits and recoding by a threshold.
#ifndef MINUTIAE_LFS_IMAGE_H_
#define MINUTIAE_LFS_IMAGE_H_

#ifdef __cplusplus
extern "C" {
#endif

// Hands out a (w + 2 pad) x (h + 2 pad) copy of the image filled with
// pad_value around it (a plain copy for pad 0). Returns 0, or -160 when
// memory runs out.
int pad_uchar_image(unsigned char **padded, int *pw, int *ph, const unsigned char *data,
                    int w, int h, int pad, int pad_value);

// The padding that both the DFT windows (window size, offset) and the
// binarisation grids (width, height) need: the larger of the two.
int max_padding(int window_size, int window_offset, int grid_w, int grid_h);

// Shifts every pixel right by 2 (grey values 0..63).
void scale_to_6_bits(unsigned char *data, int w, int h);

// Sets every pixel below `threshold` to `low` and every other to `high`.
void gray_to_binary(int threshold, int low, int high, unsigned char *data, int w, int h);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_IMAGE_H_
