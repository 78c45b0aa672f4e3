// The enrolled-template store: one record of up to 96 sub-templates for
// each finger id 0..9, set up once by the algorithm's initialisation.
#ifndef SRC_ZQALG_ZQENROLLTEMPLATE_H_
#define SRC_ZQALG_ZQENROLLTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// Finger ids 0..9.
#define MAX_FINGERS_SUPPORTED 10
// Value of a finger record's headerSize.
#define ZQ_FINGER_HEADER_SIZE 208
// templateSize of a finalised finger.
#define ZQ_FINALISED_TEMPLATE_SIZE 50136
// First word of the current template blob.
#define ZQ_TEMPLATE_FLAG_V2 0x1415927du

// The enrolled template of one finger.
typedef struct ST_QuorvEnrollTemplate {
  ST_SubTemplate subtemplates[MAX_SUBTEMPLATES_PER_FINGER];  // slots 0..count-1 in use
  int32_t headerSize;                                 // 208
  uint16_t order[MAX_SUBTEMPLATES_PER_FINGER];        // 0..95 once finalised, 0 when emptied
  uint16_t currentSubtemplatesNum;                    // sub-templates held, 0..96
  uint16_t validFlg;                                  // 1 once finalised
  int32_t enrollResult;                               // 0; kept as it is
  int32_t templateSize;                               // 50136 once finalised, else 0
  int32_t coverageArea;                               // sum of the extendArea added
} ST_QuorvEnrollTemplate;

// The store, indexed by finger id; NULL before set-up and after tear-down.
extern ST_QuorvEnrollTemplate *gEnrolledTemplate[MAX_FINGERS_SUPPORTED];

// Allocates the ten finger records and sets up their sub-templates: 0; -1
// when a finger record cannot be allocated (later fingers not attempted);
// -2 when a sub-template cannot be set up. What was made stays for the
// caller's tear-down.
int ZqInitErollTemplate(void);
// Releases every sub-template and finger record; the pointers become NULL.
void ZqReleaseErollTemplate(void);
// Empties one finger (ids 0..9; others and a missing record are ignored).
void ZqClearErollTemplate(uint16_t fingerId);
// Finalises the finger if not yet valid: 0; -1 for an id above 9.
int ZqSetTplValidFlag(uint16_t fingerId);
// Empties the finger when its record exists; always 0.
int ZqCancelEnroll(uint16_t fingerId);
// Sub-templates held by the finger; 0 for an id above 9 or no record.
int ZqGetSubtemplatesNum(uint8_t fingerId);
// coverageArea of the finger; 0 (logged) for an id above 9, 0 for no record.
int ZqGetTemplateCoverageArea(uint8_t fingerId);
// ZQ_TEMPLATE_FLAG_V2.
uint32_t ZqGetTemplateVersion(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQENROLLTEMPLATE_H_
