// Slide capture: bursts of images judged by the variance of a centred
// window and appended to the image list, with dispatchers by chip type.
#ifndef SRC_QUORV_SENSOR_QUORV_SLIDE_CAPTURE_H_
#define SRC_QUORV_SENSOR_QUORV_SLIDE_CAPTURE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Mean squared deviation (no square root) of the centred winW x winH window
// of a cols x rows byte image, with unsigned integer divisions. 0 for a
// NULL image, an empty window, a window larger than the image, or when the
// window copy cannot be allocated.
uint32_t quorv_StandardDeviation(const uint8_t *img, uint8_t cols, uint8_t rows, uint8_t winW,
                                 uint8_t winH);

// By icinfo: 4 FW4847, 6 FW4848, 8 FW4845, 9 and 10 ZE4850 slide readers;
// any other chip one image from quorv_fp_sensor_read_image(img, 0). The
// chosen reader's result.
int quorv_SlideEnrollReadImage(uint8_t *img);
int quorv_SlideVerifyReadImage(uint8_t *img);

// Slide readers: each reads a burst into img (room for one image) and keeps
// images in the image list. Enrolment readers read slide_enroll_cont images
// and empty the list first; verification readers read verify_rescan_cont
// and append. A usable image has a 16 x 16 window variance of at least
// StandardDeviation_thr.
//   FW4847 both, FW4845 verification: base handshake (ReadImageStart,
//     GetImageBase, ..., ReadImageEnd; -1 when one is missing); unusable
//     images dropped; stop after 3 unusable in a row; a failed read: -1.
//   ZE4850 verification: the same without the handshake.
//   FW4848 enrolment: unusable images kept; stop when noValidImageCnts_thr
//     unusable ones came in a row; a failed read becomes a cleared image.
//   FW4845, ZE4850, FW4843 enrolment: as FW4848, but a failed read's image
//     is kept as read.
//   FW4848 verification: base handshake; every image kept; a failed read is
//     kept as read.
// Result: the last read's result (0 after a turned-over failure), or -1.
// -1 without an SPI or slide instance.
int fw4847_SlideEnrollReadImage(uint8_t *img);
int fw4848_SlideEnrollReadImage(uint8_t *img);
int fw4845_SlideEnrollReadImage(uint8_t *img);
int ze4850_SlideEnrollReadImage(uint8_t *img);
int fw4843_SlideEnrollReadImage(uint8_t *img);
int fw4847_SlideVerifyReadImage(uint8_t *img);
int fw4848_SlideVerifyReadImage(uint8_t *img);
int fw4845_SlideVerifyReadImage(uint8_t *img);
int ze4850_SlideVerifyReadImage(uint8_t *img);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_SLIDE_CAPTURE_H_
