// The filter entry over ZqImageEnhance, used by the FFT filter.
#ifndef SRC_IMAGE_ZQIMAGEFILTERENHANCE_H_
#define SRC_IMAGE_ZQIMAGEFILTERENHANCE_H_

#ifdef __cplusplus
extern "C" {
#endif

// ZqImageEnhance(img, rows, cols, filter, out): filter 2 gives the 3 x 3
// median, 3 the median, a 3 x 3 mean and a stretch, any other value the
// 3 x 3 mean. Returns that function's result (0; -1 for NULL img or out,
// -2 or -3 when a filter step fails); -1 as well for rows or cols outside
// 0..65535.
int ZqImageFilterEnhance(unsigned char *img, int rows, int cols, int filter, unsigned char *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_IMAGE_ZQIMAGEFILTERENHANCE_H_
