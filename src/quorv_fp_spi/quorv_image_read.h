// The generic image reader: reads one raw image over SPI for the chip types
// that expose their image memory (1, 2, 3, 5, 7) and hands the others to
// their own readers. Result codes: 0 success, -1 a transfer size outside
// 1..QUORV_IMAGE_XFER_MAX, -2 SpiRead not registered, -3 ESD check failed;
// a chip reader's result unchanged.
#ifndef SRC_QUORV_FP_SPI_QUORV_IMAGE_READ_H_
#define SRC_QUORV_FP_SPI_QUORV_IMAGE_READ_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of the reader's transfer buffer.
#define QUORV_IMAGE_XFER_BYTES 18452
// Largest TransferBytesMax the reader accepts (the buffer less its 8-byte
// header).
#define QUORV_IMAGE_XFER_MAX (QUORV_IMAGE_XFER_BYTES - 8)

// Reads one image into buf (at least the image length: by imagebit 0 -> 2n,
// 1 -> n, 2 -> 3n/2 on type 7 or 2n elsewhere, with n = imagewidth x
// imageheight). By icinfo: 4 the
// FW4847 reader, 6 and 11 the FW4848 callback reader, 8 the FW4845, 9 and
// 10 the ZE4850, 12 the FW4843 one (each with index); 1 and 7 from SRAM
// 0x3400 by bytes with the ESD check of the first chunk (1 inverted, 7
// inverted only in 8-bit mode); 2 and 3 from SRAM 0x9A00 by words
// (inverted); 5 from the FW4859H data port, converted to 8 bits by
// g_FW4859HScanTimes (0 counts as 1) and inverted; 0 and 13 or more: 0 and
// nothing read. SpiRead missing: -2 for every type. An imagebit without a
// length reads nothing and gives 0.
int quorv_fp_sensor_read_image(uint8_t *buf, uint32_t index);

// Exported operation that does nothing.
void quorv_Print_Buf(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_IMAGE_READ_H_
