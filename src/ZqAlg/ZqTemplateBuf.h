// The template buffer (16 recent identification samples with their
// bookkeeping, and the last identification's sample), the extra-template
// buffer (64 samples tagged with their finger), the TempalteBufData blob
// that saves and restores both, and the negative-template buffer calls,
// which have no effect.
#ifndef SRC_ZQALG_ZQTEMPLATEBUF_H_
#define SRC_ZQALG_ZQTEMPLATEBUF_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_TEMPLATE_BUF_SLOTS 16
#define ZQ_EXTRA_BUF_SLOTS 64
// Finger id of a free or unassigned slot.
#define ZQ_NO_FINGER 255
// First word of a TempalteBufData blob.
#define ZQ_TEMPLATE_BUF_MAGIC 0x1000001du

typedef struct ST_QuorvTempalteBufInfor {
  ST_SubTemplate bufTemplate[ZQ_TEMPLATE_BUF_SLOTS];  // buffered samples
  uint8_t bufState[ZQ_TEMPLATE_BUF_SLOTS];            // 0 empty, 1..3 by the buffer update
  uint8_t bufFingerId[ZQ_TEMPLATE_BUF_SLOTS];         // 255 none
  uint8_t bufGroup[ZQ_TEMPLATE_BUF_SLOTS];            // slot leading the group (255 none)
  uint8_t bufGroupFlg[ZQ_TEMPLATE_BUF_SLOTS];         // 1 once another sample joined
  uint8_t bufWriteIndex;                              // next slot to fill, 0..15
  uint8_t bufVerifyState;     // last identification: 1 matched, 0 failed, 255 not to buffer
  uint8_t bufUpdateState;     // set by identification and template update
  uint8_t bufVerifyFingerId;  // last identification's finger, 255 none
  ST_SubTemplate bufSample;   // last identification's sample
} ST_QuorvTempalteBufInfor;

typedef struct ST_QuorvTemplateExtraBufInfor {
  ST_SubTemplate quorvTemplateExtraInfor[ZQ_EXTRA_BUF_SLOTS];
  uint8_t extraFingerId[ZQ_EXTRA_BUF_SLOTS];  // 255 free
  uint8_t extraWriteIndex;                    // slot to overwrite when none is free
} ST_QuorvTemplateExtraBufInfor;

// NULL before ZqInitTempalteBuf and after ZqReleaseTempalteBuf.
extern ST_QuorvTempalteBufInfor *gQuorvTempalteBufInfor;
extern ST_QuorvTemplateExtraBufInfor *gQuorvTemplateExtraBufInfor;

// Allocates and sets up both buffers: 0; -2 when a record or a slot cannot
// be allocated (what was made stays for ZqReleaseTempalteBuf).
int ZqInitTempalteBuf(void);
// Releases every slot and both records; the globals become NULL.
void ZqReleaseTempalteBuf(void);
// Empties the template buffer's slots, tables and status bytes (groups i,
// ids and bufVerifyFingerId 255); bufSample is kept.
void ZqClearTempalteBuf(void);
// Resets the template buffer's tables (not its slots or status bytes); 0.
int ZqClearTemplateBuf(void);
// Empties every extra slot of the finger and sets extraWriteIndex to 0.
void ZqClearExtraTempalteBuf(int16_t fingerId);
// Stores a copy of src under fingerId in the lowest free extra slot, else
// at extraWriteIndex: 0; -1 when src has no features or the copy fails.
int ZqRefreshTemplateExtraInfor(const ST_SubTemplate *src, uint8_t fingerId);
// The same as ZqRefreshTemplateExtraInfor, logged under its own name.
int ZqRefreshTemplateExtraInforInVerify(const ST_SubTemplate *src, uint8_t fingerId);

// Bytes of the TempalteBufData blob; 0 when either buffer is missing.
uint32_t ZqGetTempalteBufSize(void);
// Writes the blob into data (ZqGetTempalteBufSize bytes) and its length to
// *size: 0; -1 when a buffer is missing (*size 0).
int ZqGetTempalteBufData(uint8_t *data, uint32_t *size);
// Restores both buffers from a tplSize-byte blob; *size = bytes consumed.
// 0; -1 a buffer is missing; -2 wrong magic or a table value that is no
// slot or finger; -4 the blob ends inside a head; else the code of the
// first record that cannot be read (ZqInitSubTplData). The whole blob is
// checked before the buffers change, so a refused blob leaves them as they
// were. Extra slots of fingers that are not valid are freed (id 255) but
// keep their sample.
int ZqInitTempalteBufData(uint32_t tplSize, const uint8_t *data, uint32_t *size);

// Negative-template buffer: no effect.
int ZqInitNegativeTempalteBuf(void);
int ZqNegativeTemplateBufUpdate(void);
void ZqReleaseNegativeTempalteBuf(void);
void ZqClearNegativeTempalteBuf(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTEMPLATEBUF_H_
