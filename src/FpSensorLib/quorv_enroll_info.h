// The last-enrolment record gEnrollInfo, exported with its C layout, the
// last-image info of the rating steps, and the enrol report text.
#ifndef SRC_FPSENSORLIB_QUORV_ENROLL_INFO_H_
#define SRC_FPSENSORLIB_QUORV_ENROLL_INFO_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fields in this order (24 bytes). Reset sets every byte to 0xff.
typedef struct QuorvEnrollInfo {
  uint8_t quality;            // quality of the last enrol image
  uint8_t area;               // its valid area, percent of the sensor
  uint8_t cond;               // its condition
  uint8_t contrast;           // fourth byte of the rating
  uint8_t reserved0;          // fifth byte of the quality record (0xff)
  int32_t enrollRet;          // result of the last quorv_EnrollByImage
  int32_t forceEnrollRet;     // result of the last forced enrolment
  uint8_t fingerId;           // finger of the last enrol call
  uint8_t enrollIndex;        // its enrol index
  uint8_t subTplsNum;         // sub-templates of that finger after the call
  uint8_t maxNum;             // low byte of the first keypoint extremum count
  uint8_t minNum;             // low byte of the second
  uint8_t forceEnrollFailed;  // 1 when the last forced enrolment failed
  uint8_t reserved1[2];
} QuorvEnrollInfo;

#ifdef __cplusplus
static_assert(sizeof(QuorvEnrollInfo) == 24, "exported layout");
static_assert(offsetof(QuorvEnrollInfo, enrollRet) == 8, "exported layout");
static_assert(offsetof(QuorvEnrollInfo, forceEnrollRet) == 12, "exported layout");
static_assert(offsetof(QuorvEnrollInfo, fingerId) == 16, "exported layout");
static_assert(offsetof(QuorvEnrollInfo, forceEnrollFailed) == 21, "exported layout");
#endif

// Bytes of gEnrollInfoBuf.
#define QUORV_ENROLL_INFO_BUF_SIZE 1024

extern QuorvEnrollInfo gEnrollInfo;
extern char gEnrollInfoBuf[QUORV_ENROLL_INFO_BUF_SIZE];

// Quality, area and cond of the last image an enrol or identify step rated.
typedef struct QuorvLastImageInfo {
  uint8_t quality;
  uint8_t area;
  uint8_t cond;
} QuorvLastImageInfo;
extern QuorvLastImageInfo g_quorvLastImageInfo;

// Every byte of gEnrollInfo to 0xff.
void quorv_EnrollInfoReset(void);

// Writes the report of gEnrollInfo into gEnrollInfoBuf (8 lines), stores its
// length in *length, resets gEnrollInfo and returns gEnrollInfoBuf; NULL
// length: NULL and nothing changes.
char *quorv_SaveEnrollInfo(int32_t *length);

// Copies the last-image info (in this argument order).
void quorv_GetImageInfo(uint8_t *area, uint8_t *quality, uint8_t *cond);
// Zeroes the last-image info.
void quorv_ClearImageInfo(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_ENROLL_INFO_H_
