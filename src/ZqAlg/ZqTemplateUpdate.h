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

// Relates the update record's sample to its finger and adds it (below
// algMaxTplCount) or replaces the slot the replacement rules choose. Consumes
// the record whatever the result. 0 the finger was updated; -1 nothing to
// update (no sample, update 0, no decision flag, a bad finger, algorithm
// mode 3 with an image area of 40 or less, no slot to replace, a failed
// allocation or copy: the finger then keeps its count); -2 no update needed
// or the sample did not relate well enough. *updatedFingerId (may be NULL)
// receives the finger whenever the sample related well enough.
int ZqTemplateUpdate(int update, uint32_t *updatedFingerId);

// Replaces sub-template index of finger fingerId by src (the old one goes to
// the extra-template buffer when it is on); coinFlags and srcToTemplate
// relate src to the finger's sub-templates and re-relate the later ones to
// it. 0 ok; -1 NULL src or coinFlags, src without features, no such finger
// or sub-template, NULL srcToTemplate, or a failed copy (the slot then holds
// no features and its relations are left as they were).
int ZqTemplateReplace(int16_t fingerId, uint16_t index, const ST_SubTemplate *src,
                      const uint8_t *coinFlags, ST_FullHMatrix *const *srcToTemplate);

// Recomputes the added areas of the finger's sub-templates from index from
// on (roots keep theirs) from their root and stored relations. 0 (also for
// a finger that does not exist), or -1 when the work map cannot be
// allocated (nothing changes).
int ZqTemplateExtraAreaRefresh(int16_t fingerId, uint16_t from);

// Template-buffer update after the last identification: buffers or
// attributes its sample, then updates the attributed fingers with their
// buffered samples and fills the report's buffer fields. Does nothing when
// the buffer is switched off. Returns 0.
int ZqTemplateUpdateEnhance(void);

// Mode 0 (sample identified as fingerId): buffered samples that strongly
// match it, and their groups, are attributed to the finger. Mode 1 (not
// identified), or any mode after an update without decision: the sample is
// buffered at the write index and grouped. Nothing when the buffer is off
// or the sample has no features. Returns 0.
int ZqTemplateBuffRefresh(const ST_SubTemplate *sample, uint8_t mode, uint8_t fingerId);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTEMPLATEUPDATE_H_
