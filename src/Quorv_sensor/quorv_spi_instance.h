// The SPI instance: chip type, image geometry, bit depth, transfer size and
// the three image buffers of the sensor access layer (one per process).
#ifndef SRC_QUORV_SENSOR_QUORV_SPI_INSTANCE_H_
#define SRC_QUORV_SENSOR_QUORV_SPI_INSTANCE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of each of imageBuf, baseBuf and rawBuf.
#define QUORV_SPI_IMAGE_BUF_SIZE 25600

// imagebit codes (chipBit names them).
enum {
  QUORV_IMAGEBIT_16 = 0,
  QUORV_IMAGEBIT_8 = 1,
  QUORV_IMAGEBIT_10 = 2,  // on the FW4856: the fast (packed 12-bit) mode
  QUORV_IMAGEBIT_12 = 3,
};

// Fields in this order; defaults as set by quorv_get_spi_instance.
typedef struct ZqSpiObj {
  uint32_t imagebit;           // bit-depth code, default 1 (8-bit)
  uint32_t McuInterruptMode;   // MCU interrupt mode last set, default 0
  int32_t TransferBytesMax;    // bytes per SPI image read transfer, default 1014
  uint8_t imagewidth;          // columns read from the chip, default 96
  uint8_t imageheight;         // rows read from the chip, default 96
  uint8_t fw4847_imagewidth;   // FW4847 crop columns, default 96
  uint8_t fw4847_imageheight;  // FW4847 crop rows, default 96
  uint8_t icinfo;              // SensorType code, default 2
  uint8_t image_adjust;        // image-adjust switch, default 0
  uint8_t *imageBuf;           // last image before filtering (25,600 bytes)
  uint8_t *baseBuf;            // base image filled by GetImageBase (25,600 bytes)
  uint8_t *rawBuf;             // raw data of the last read (25,600 bytes)
  uint16_t baseLen;            // valid bytes of baseBuf, default 0
  uint8_t saveImageEn;         // default 1
  uint8_t imageFilterEn;       // default 0
} ZqSpiObj;

// Frees any previous instance with its buffers, then allocates a new one
// with the defaults and three zeroed buffers. Returns it, or NULL (logged
// "quorv_create_spi_instance FAIL!") when any allocation fails; the handle
// is then NULL.
ZqSpiObj *quorv_get_spi_instance(void);

// Frees the buffers and the record (handle NULL afterwards), then empties
// the image list.
void quorv_destroy_spi_instance(void);

// The current instance, or NULL before creation.
ZqSpiObj *quorv_get_ZqSpiObjHandle(void);

// The current icinfo, or SENSOR_NONE (0) when there is no instance.
uint8_t quorv_get_icinfo(void);

// Setters: each writes one field of the current instance; with no
// instance they log an error and write nothing.
void quorv_set_imagebit(uint32_t imagebit);
void quorv_set_McuInterruptMode(uint32_t mode);
void quorv_set_imagewidth(uint8_t width);
void quorv_set_imageheight(uint8_t height);
void quorv_set_fw4847_imagewidth(uint8_t width);
void quorv_set_fw4847_imageheight(uint8_t height);
void quorv_set_TransferBytesMax(int32_t bytes);
void quorv_fp_SetTransferBytesMax(int32_t bytes);
// Also logs "quorv_set_icinfo %d\n" at level 1.
void quorv_set_icinfo(uint8_t icinfo);
// Also logs "quorv_set_image_adjust %d\n" at level 1.
void quorv_set_image_adjust(uint8_t adjust);
void quorv_set_saveImageEn(uint8_t enable);
void quorv_set_imageFilterEn(uint8_t enable);

// Sets the image size by chip type. FW4847 (icinfo 4): crop size cols x rows
// and read size the same, except that 56 x 56 reads 64 columns by 80 rows.
// Other chips: read size only.
void quorv_SetimageColsRows(uint8_t cols, uint8_t rows);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_SPI_INSTANCE_H_
