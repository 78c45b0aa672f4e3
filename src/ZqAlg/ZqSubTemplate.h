// The sub-template record (one finger image as keypoints, a bit-packed
// binarised image and a valid-pixel mask, with its quality bytes and its
// relations to the other sub-templates of its finger), the 4-byte stored
// transform and the 2-bit coincidence codes.
#ifndef SRC_ZQALG_ZQSUBTEMPLATE_H_
#define SRC_ZQALG_ZQSUBTEMPLATE_H_

#include <stdint.h>

#include "src/features/ZqFeature.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Sub-template slots of one finger, indexes 0..95.
#define MAX_SUBTEMPLATES_PER_FINGER 96
// Value of headerSize: serialised header bytes after the headerSize word.
#define HEADER_SIZE 485
// Bytes of the coincidence-code array (codes 0..95 in bytes 0..23).
#define ZQ_COIN_FLG_BYTES 25

// A rigid transform in 4 bytes; all 0 means the identity (no relation).
typedef struct ST_SimpleHMatrix {
  int8_t tx;      // x translation in pixels
  int8_t ty;      // y translation in pixels
  int16_t angle;  // rotation in radians x 8192
} ST_SimpleHMatrix;

// One sub-template. It owns its three buffers; a record whose buffers
// exist is set up, and empty when it also has featBufSize 0.
typedef struct ST_SubTemplate {
  ST_Feature *pTemplateFeature;  // featBufSize bytes: nFeatureNum[0] + [1] records
  uint8_t *templateBinDiscr;     // binBufSize bytes: binarised image, 64-bit words
  uint8_t *templatePixValid;     // maskBufSize bytes: one bit per pixel below 251
  uint32_t headerSize;           // HEADER_SIZE
  uint32_t featBufSize;          // ZQ_FEATURE_BYTES x (nFeatureNum[0] + [1])
  uint32_t binBufSize;           // cols x rows / 64 x 8 + 8
  uint32_t maskBufSize;          // cols x rows / 8 + 1
  int32_t reservedInt;           // 0; kept as it is
  int32_t binWordCnt;            // 64-bit words of the binarised image
  uint16_t extendArea;           // percent of the sensor this one added at enrolment
  uint16_t rootIndex;            // root of this sub-template's group
  ST_FullHMatrix rootHmatrix;    // transform from this sub-template to its root
  ST_SimpleHMatrix simpleHmatrix[MAX_SUBTEMPLATES_PER_FINGER];  // to each other slot
  uint8_t nFeatureNum[2];        // keypoints of the two groups
  uint8_t classNum;              // feature groups (2 in every sample)
  uint8_t templateArea;          // finger area in percent
  uint8_t templateQuality;       // image quality 0..100
  uint8_t templateCond;          // image condition 0..100
  uint8_t templateExtra;         // fourth quality byte
  uint8_t replacedFlg;           // 1 when update replaced it in this cycle
  uint8_t reservedBytes[4];      // 0; kept as they are
  uint8_t coinFlg[ZQ_COIN_FLG_BYTES];  // 2-bit codes against slots 0..95
} ST_SubTemplate;

// Bytes of the binarised image of a record at the configured sensor size.
uint32_t ZqSubTemplateBinBufSize(void);
// Bytes of the valid-pixel mask of a record at the configured sensor size.
uint32_t ZqSubTemplateMaskBufSize(void);

// Sets up a record whose three pointers are null: 0; -1 when a pointer is
// set (nothing changes); -2 when a buffer cannot be allocated (none kept).
int ZqInitSubTemplate(ST_SubTemplate *t);
// Frees the three buffers (featBufSize 0, pointers null); the record stays.
void ZqReleaseSubTemplate(ST_SubTemplate *t);
// Empties a set-up record: every field zero, the buffers kept and zeroed,
// headerSize set again; the buffer sizes stay those of the buffers (from
// the sensor size for a record without buffers).
void ZqClearSubTemplate(ST_SubTemplate *t);
// Deep copy into a set-up record: 0; -1 when dst lacks a buffer or the
// buffer sizes differ (dst unchanged); -2 when the feature block cannot be
// allocated (dst then holds no features and no keypoint counts).
int ZqSubTemplateCopy(ST_SubTemplate *dst, const ST_SubTemplate *src);
// A new set-up record, or NULL (nothing left allocated).
ST_SubTemplate *ZqCreateTemp(void);
// Releases a ZqCreateTemp record and its buffers; NULL is ignored.
void ZqReleaseTemp(ST_SubTemplate *t);

// Packs a transform: translations truncated toward zero, angle x 8192
// truncated; all 0 when a translation lies outside -127..127.
void ZqSaveToSimpleHmatrix(const ST_FullHMatrix *h, ST_SimpleHMatrix *s);
// Unpacks a stored transform into a rigid 3 x 3 matrix and its angle.
void ZqGetFullHmatrix(ST_FullHMatrix *h, const ST_SimpleHMatrix *s);

// Writes code (0..3; higher bits ignored) at index (0..95) of a flag array.
void ZqSetCoinFlg(uint8_t *flags, uint8_t index, uint8_t code);
// Reads the 2-bit code at index (0..95) of a flag array.
int ZqGetCoinFlg(const uint8_t *flags, uint8_t index);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQSUBTEMPLATE_H_
