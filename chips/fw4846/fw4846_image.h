// Image side of the fw4846 chip: image scan configuration, frame reads, the
// image DAC search, the per-pixel image base and the finger-image capture
// with its normalisation to 8 bits.
#ifndef CHIPS_FW4846_FW4846_IMAGE_H_
#define CHIPS_FW4846_FW4846_IMAGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes written by fw4846_img_base_get: the base and its 11-byte trailer.
#define FW4846_BASE_GET_BYTES (10240 + 11)

// Loads the image configuration; with_nav nonzero for navigation.
void fw4846_img_mode_init(int with_nav);
// Scan-rate words for the 2 MHz image scan.
void fw4846_Set_Scan_Rate_2M(void);
// Image mode init, image scan command, waits (at most 10 polls) for state
// 0x54, starts the scan. 0.
int fw4846_img_scan_start(void);
// As fw4846_img_scan_start with DAC `dac` written after the mode init. 0.
int fw4846_Special_img_scan_start(int dac);
// Clears the data-ready interrupt and idles the chip.
void fw4846_img_scan_end(void);
// Scan start, `frames` FIFO frames into buffer, scan end. 0.
int fw4846_img_read_frames(uint8_t *buffer, int frames);
// Scan start, one FIFO read of `len` bytes, scan end. 0.
int fw4846_img_read_once(uint8_t *buffer, int len);
// One frame (10240 bytes) at DAC image_dac - set_dac; without a scan start
// (error logged) when set_dac is not below image_dac. 0.
int fw4846_Special_img_data_get(uint8_t *buffer, int set_dac);
// Writes the base samples plus 4000 (host order) and an 11-byte trailer into
// `buffer` (FW4846_BASE_GET_BYTES); *length = 10240.
void fw4846_img_base_get(uint8_t *buffer, int *length);

// Converts a FIFO frame (high byte first) into `count` samples.
void fw4846_frame_to_samples(const uint8_t *frame, uint16_t *samples, int count);
// Counts dark and bright pixels over columns 1..62 of all rows.
void fw4846_img_count_extremes(const uint16_t *samples, int *dark, int *bright);
// Median bin of (sample >> shift), capped at 1023, over columns 1..62;
// 1024 when none.
int Img_Get_Avg_Middle(const uint16_t *samples);
// Fine DAC correction from the dark and bright pixel counts of `samples`.
void Img_Get_Better_DAC(const uint16_t *samples);
// Image DAC search (at most 30 tries).
void fw4846_AutoSDacUpdate(void);
// Measures the image base; with search 1 after a DAC search and taken as is,
// else merged into the stored base.
void fw4846_img_base_Update(int search);
// Repairs outlier pixels of a 64 x 80 image in place.
void fw4846_white_Point_Handle(int16_t *image);
// Normalises a 64 x 80 image in place. 0, or -1 (all 255) for an empty image.
int fw4846_find_min_max(int16_t *image);
// Captures one finger image into `out` (5120 bytes, 8 bits per pixel).
void fw4846_capture_image(uint8_t *out);
// Wet-finger state machine.
void fw4846_Get_Wet_finger_Para(int result, int wet, int area, int quality, int condition);
// When wet: *count = 3 and every sample of `base` x 3 - 8000.
void fw4846_Wet_finger_Handle(int *count, uint16_t *base);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_IMAGE_H_
