// The stored blob of one finger (tplData, first word 0x1415927d) and the
// SubTplData record of one sub-template: writers, readers and sizes. All
// fields are written one by one, little-endian; the blob ends with the
// CRC-16 of everything before it.
#ifndef SRC_ZQALG_ZQTPLDATA_H_
#define SRC_ZQALG_ZQTPLDATA_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// Type byte reported beside a written blob.
#define ZQ_TPL_TYPE 121
// First word of the older blobs.
#define QUORV_FLG 0x1415926du

// Bytes of t's record: 4 + headerSize + featBufSize + binBufSize +
// maskBufSize; 0 for NULL.
uint32_t ZqGetSubTplDataSize(const ST_SubTemplate *t);
// Bytes of the finger's header and 96 records; 0 for an id above 9 or no
// record.
uint32_t ZqGetEnrollTplDataSize(uint16_t fingerId);
// Bytes of the finger's blob (flag and CRC included); 0 for an id above 9.
uint32_t ZqGetTplDataSize(uint16_t fingerId);
// ZqGetSubTplDataSize(t), or -1 for NULL.
int ZqGetTplSize(const ST_SubTemplate *t);

// Writes the finger's blob into tplData (ZqGetTplDataSize bytes), finalising
// the finger first; *tplType = 121, *tplSize = the blob size. 0; -1 for a bad
// id, a NULL pointer or a finger without sub-templates (nothing changes), or
// a finger holding a record the blob reader refuses (*tplSize unchanged).
int ZqGetTplData(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData);
// The same as ZqGetTplData.
int ZqSaveTplData(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData);
// Writes the 212-byte finger header and the 96 records at data + *offset and
// advances *offset. 0; -1 no sub-templates (or a bad argument); -2 not
// finalised. Nothing is written on failure.
int ZqGetEnrollTplData(uint16_t fingerId, uint8_t *data, uint32_t *offset);
// Writes t's record at data + *offset and advances *offset by its size.
void ZqGetSubTplData(uint8_t *data, uint32_t *offset, const ST_SubTemplate *t);
// ZqGetSubTplData for a caller's sample; 0 (-1 for a NULL argument).
int ZqQuorvTemplateToData(const ST_SubTemplate *t, uint32_t *offset, uint8_t *data);

// Loads a tplData blob of tplSize bytes into the finger (tplType is only
// logged). 0; -1 NULL data, an id outside 0..9 or no finger record; -2 the
// blob cannot be parsed (truncated, a bad header or record, more than 96
// sub-templates), the finger unchanged; -2 as well when the finger still
// holds features or memory runs short, the finger emptied; -3 CRC
// mismatch, the finger unchanged; -4 a finger that can never match
// (validFlg not 1, or no sub-template), the finger unchanged.
int ZqIniAlgTplData_v1(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData);
// Reads the finger header and 96 records at data + *offset (no CRC) and
// advances *offset. 0; -1 headerSize not 208, a count above 96 or a bad
// argument; -4 a truncated header; else the first failing record's code.
// Checks every record before the finger is touched; only -5 and -6 (from
// taking the records over) leave the finger emptied.
int ZqInitEnrollTplData(uint16_t fingerId, uint32_t tplSize, const uint8_t *data, uint32_t *offset);
// Reads one record at data + *offset of a tplSize-byte buffer into a set-up
// empty t and advances *offset. 0; -1 binarised-image or mask size differs
// from t's; -2 a bad headerSize, featBufSize (not 44 x keypoints), rootIndex
// or binWordCnt; -3 quality or condition above 100; -4 runs past tplSize;
// -5 t holds features or lacks a buffer; -6 out of memory. t is unchanged on
// every failure.
int ZqInitSubTplData(uint32_t tplSize, const uint8_t *data, uint32_t *offset, ST_SubTemplate *t);
// ZqInitSubTplData of the record at data[0..tplSize-1].
int ZqDataToQuorvTemplate(const uint8_t *data, uint16_t tplSize, ST_SubTemplate *t);
// Loads one record as the update record's sample with the given finger and
// sub-template index, update flag 1. 0; -1 no scratch record or the copy
// failed; -2 the record cannot be read.
int ZqLoadCurrentUpdateTemplate(int16_t fingerId, int16_t subIndex, uint16_t tplSize,
                                const uint8_t *data);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTPLDATA_H_
