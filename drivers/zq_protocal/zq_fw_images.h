// The bridge MCU's application firmware images, one per sensor type. The
// library ships none: each image is read, when a download needs it, from its
// own file in the system firmware folder (ZQ_FW_FOLDER), and only a regular
// file of the image's exact size is accepted. The host never interprets the
// bytes: it sends them, reads them back and compares.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Folder of the image files (with its trailing slash).
#define ZQ_FW_FOLDER "/usr/lib/firmware/quorvanta/"

// Sizes of the images, in bytes.
#define ZQ_FW_SIZE_ZQ4841 14184
#define ZQ_FW_SIZE_ZQ4842 10690
#define ZQ_FW_SIZE_ZQ4844 10772
#define ZQ_FW_SIZE_ZQ4847 27120
#define ZQ_FW_SIZE_ZQ4856 11924

// File name of the image of zq_sensor_type `type` (1 "zq4841w.bin",
// 2 "zq4842w.bin", 3 "zq4844w.bin", 4 "zq4847w.bin", 7 "zq4856w.bin");
// NULL for a type without an image.
const char *zq_fw_images_FileName(int type);

// Size in bytes of the image of `type`; 0 for a type without an image.
uint16_t zq_fw_images_Size(int type);

// Reads the image of `type` from its file into a buffer that the library
// keeps until the next load of the same type, and points *image at it.
// Returns 0; -201 for a NULL `image`; -200 for a type without an image; -2
// when the file is missing or is not a regular file; -5 when its size is not
// the image's size or it cannot be read. Every failure is logged with the
// file's path.
int zq_fw_images_Load(int type, const uint8_t **image);

// Test hook: reads the images from `folder` (with its trailing slash)
// instead of ZQ_FW_FOLDER; NULL restores ZQ_FW_FOLDER.
void zq_fw_images_SetFolderForTest(const char *folder);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_FW_IMAGES_H_
