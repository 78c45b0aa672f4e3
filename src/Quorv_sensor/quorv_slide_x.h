// Stand-alone slide readers: they read the chip's raw frames over SPI
// themselves, subtract them from the host's base image and keep the 8-bit
// results in the image list; and the centre crop of the FW4847 images.
// Results: 0, or -1 for a missing callback (ReadImageStart, GetImageBase,
// ReadImageEnd, SpiRead), a wrong base length, or a geometry, transfer
// size or base length beyond the readers' buffers.
#ifndef SRC_QUORV_SENSOR_QUORV_SLIDE_X_H_
#define SRC_QUORV_SENSOR_QUORV_SLIDE_X_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of the readers' raw frame and transfer buffers.
#define QUORV_SLIDE_X_FRAME_BYTES 51200
#define QUORV_SLIDE_X_XFER_BYTES 51220

// FW4848 (port 0x9A): burst of imgCnt frames (at most slide_enroll_cont),
// groups of four samples reversed, difference scaled to about 250, mean of
// the interior around 127 (a blank image below 200 bright samples), 56 x 56
// bad-pixel repair, inverted; images whose window variance reaches
// StandardDeviation_thr are kept, 3 unusable in a row end the burst. The
// list is emptied first.
int fw4848_SlideEnrollReadImage_X(void);

// FW4848: one image, always appended to the list and copied to out
// (cols x rows bytes).
int fw4848_SlideVerifyReadImage_X(uint8_t *out);

// FW4847 (port 0x99): burst as the FW4848 one, without reordering, scaling
// or repair; the difference is normalised around its mean, cropped with
// quorv_BitConventer and inverted; judged on the crop.
int fw4847_SlideEnrollReadImage_X(void);

// FW4847: one image, always appended, crop cols x crop rows bytes to out.
int fw4847_SlideVerifyReadImage_X(uint8_t *out);

// FW4845 (port 0x9A): one image through buf (at least the image length),
// image parts merged, difference floored by its fifth-smallest sample,
// capped, scaled, offset by the mean or by forceoffset, optionally blanked
// and repaired (64 x 80), inverted. The enrolment reader empties the list
// and keeps the image when usable (with an image count of 0 it only ends
// the read); the verification reader appends it always. baseLen 0 leaves
// the raw samples in buf (copied to imageBuf), baseLen 1 returns the base.
int fw4845_SlideEnrollReadImage_X(uint8_t *buf);
int fw4845_SlideVerifyReadImage_X(uint8_t *buf);

// Crops img in place to the centred fw4847_imagewidth x fw4847_imageheight
// block, stored from byte 0. Nothing when the crop width equals
// imagewidth, for a NULL img, a crop larger than the image (logged) or a
// failed allocation.
void quorv_BitConventer(uint8_t *img);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_SLIDE_X_H_
