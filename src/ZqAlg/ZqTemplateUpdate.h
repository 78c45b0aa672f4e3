// Template update: an identified sample is added to its finger, or replaces
// one of its sub-templates once the finger is full.
#ifndef SRC_ZQALG_ZQTEMPLATEUPDATE_H_
#define SRC_ZQALG_ZQTEMPLATEUPDATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Consumes the update record. 0 the finger was updated (*updatedFingerId
// the finger); -1 nothing to update (no sample, update 0, no slot, an
// allocation failed ...); -2 no update needed or no decision.
int ZqTemplateUpdate(int update, uint32_t *updatedFingerId);

// Replaces sub-template index of finger fingerId by src; coinFlags and
// srcToTemplate relate src to the finger's sub-templates. 0 ok, -1 NULL
// src or coinFlags, src without features, or a failed copy.
int ZqTemplateReplace(int16_t fingerId, uint16_t index, const ST_SubTemplate *src,
                      const uint8_t *coinFlags, ST_FullHMatrix *const *srcToTemplate);

// Recomputes the added areas of the finger's sub-templates from index from
// on. 0, or -1 when the work map cannot be allocated.
int ZqTemplateExtraAreaRefresh(int16_t fingerId, uint16_t from);

// Template-buffer update after the last identification; does nothing when
// the buffer is switched off. Returns 0.
int ZqTemplateUpdateEnhance(void);

// Stores or attributes sample in the template buffer: mode 0 identified as
// fingerId, 1 not identified. Returns 0.
int ZqTemplateBuffRefresh(const ST_SubTemplate *sample, uint8_t mode, uint8_t fingerId);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTEMPLATEUPDATE_H_
