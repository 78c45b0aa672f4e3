// The algorithm core's calls on which the identify, update and template
// flows branch, reached through one table so that tests can script them.
// The table holds the real functions unless a test replaced them.
#ifndef SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_
#define SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*QuorvVerifyFunc)(const ST_SubTemplate *sample, uint16_t *fingerId,
                               int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

typedef struct QuorvCoreCalls {
  int32_t (*GetImageQuality)(const uint8_t *img, uint8_t *out);
  int32_t (*GetTemplate)(uint8_t *img, ST_SubTemplate *sample, const uint8_t *quality);
  QuorvVerifyFunc VerifyByTemplate;
  QuorvVerifyFunc VerifyByTemplateExtra;
  uint8_t (*JudgeIsNeedToReIdentify)(void);
  int32_t (*BadPixRepair)(uint8_t *img, uint16_t cols, uint16_t rows);
  int32_t (*AbnormalImageDetect)(const uint8_t *img, int rows, int cols);
  int32_t (*RootFilter)(const uint8_t *img, int a, int b, uint16_t window, uint8_t *dst);
  int (*TemplateUpdate)(int update, uint32_t *updatedFingerId);
  int (*VerifyTwoTemplate)(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                           ST_FullHMatrix *H, uint8_t recallEn, uint8_t option);
} QuorvCoreCalls;

extern QuorvCoreCalls g_quorvCore;

// Test hook: every entry back to the real function.
void quorv_CoreCallsResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_
