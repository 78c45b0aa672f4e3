// The FW4847 (type 4) reader: up to three raw frames merged with an
// outlier rule, subtracted from the host's base image, rescaled and
// normalised to an 8-bit image around mid-grey. Result codes: 0 success,
// -1 a missing callback, a wrong base length, or an image or transfer size
// beyond the reader's buffers; -2 SpiRead not registered.
#ifndef SRC_QUORV_FP_SPI_QUORV_FW4847_READ_H_
#define SRC_QUORV_FP_SPI_QUORV_FW4847_READ_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Largest image length (bytes) of the reader's frame buffers.
#define QUORV_FW4847_FRAME_BYTES 10240
// Largest TransferBytesMax the reader accepts (its transfer buffer less the
// 6-byte header).
#define QUORV_FW4847_XFER_MAX 10254

// Reads and processes one image into out (at least the image length). The
// parameter block follows the base in baseBuf at image length + 3..+7
// (frames, -, -, outlier threshold, cap in hundreds). baseLen 0: out is left
// as passed and copied to imageBuf; 1: the base is returned in out; the
// image length: full processing, out holds the cols x rows image and
// imageBuf a copy of the image length of out. index is not used.
int quorv_fp_sensor_read_fw4847_image(uint8_t *out, uint32_t index);

// ReadImageStart, GetImageBase, the reader, ReadImageEnd. -1 when one of
// the three callbacks is missing (a missing ReadImageEnd after the read).
int fw4847_NoneSlideEnrollReadImage(uint8_t *out, uint32_t index);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_FW4847_READ_H_
