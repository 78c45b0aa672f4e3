// The one rule by which the enrol and identify steps rate the image in
// g_fpImageBuf: the host's quality handler when it gives a full rating,
// otherwise the algorithm core's measure.
#ifndef SRC_FPSENSORLIB_QUORV_IMAGE_RATING_H_
#define SRC_FPSENSORLIB_QUORV_IMAGE_RATING_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of the quality record: quality, area, cond, contrast, reserved.
#define QUORV_QUALITY_RECORD_BYTES 5

// Sets the record to 0xff and rates g_fpImageBuf. With ask_handler and a
// registered handler that returns 0 or more, leaves none of its four bytes
// at 0xff and is still registered afterwards, the handler's rating stands
// (result 0, *from_handler 1). Otherwise ZqGetImageQuality's result (negative
// for a failed rating; -1 without buffers). from_handler may be NULL.
int quorv_RateImage(uint8_t record[QUORV_QUALITY_RECORD_BYTES], int ask_handler,
                    int *from_handler);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_IMAGE_RATING_H_
