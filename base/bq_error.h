// Result codes of the base library and their fixed texts.
#ifndef BASE_BQ_ERROR_H_
#define BASE_BQ_ERROR_H_

#ifdef __cplusplus
extern "C" {
#endif

// Signed 32-bit result codes: 0 is success, every failure is negative.
typedef enum bq_error {
  BQ_SUCCESS = 0,
  BQ_ERROR_INTERNAL = -1,
  BQ_ERROR_NOENT = -2,
  BQ_ERROR_INTERRUPTED = -4,
  BQ_ERROR_IO = -5,
  BQ_ERROR_AGAIN = -11,
  BQ_ERROR_NOMEM = -12,
  BQ_ERROR_BUSY = -16,
  BQ_ERROR_BAD_PARAMS = -200,
  BQ_ERROR_NULL_POINTER = -201,
  BQ_ERROR_OVERFLOW = -202,
  BQ_ERROR_PROTOCOL = -203,
  BQ_ERROR_SENSOR_DIMENSION = -204,
  BQ_ERROR_NO_DEVICE = -205,
  BQ_ERROR_DEVICE_DEAD = -206,
  BQ_ERROR_LIMIT = -207,
  BQ_ERROR_TEMPLATE_IN_REE = -208,
  BQ_ERROR_UNTRUSTED_ENROLL = -209,
} bq_error;

// Returns the fixed text of `code`. An unlisted code is formatted with "%d"
// into one process-wide buffer, which the next such call overwrites.
const char *bq_strerror(int code);

#ifdef __cplusplus
}
#endif

#endif  // BASE_BQ_ERROR_H_
