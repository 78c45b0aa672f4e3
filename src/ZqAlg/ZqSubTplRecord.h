// The SubTplData encoding of one sub-template (C++ only): the 489-byte
// header followed by the features, the binarised image and the mask. Blob
// readers check a whole record against the bytes present before anything is
// taken over, so a refused blob changes nothing.
#ifndef SRC_ZQALG_ZQSUBTPLRECORD_H_
#define SRC_ZQALG_ZQSUBTPLRECORD_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace zq_blob {

// Bytes of a record before its buffers: the headerSize word and the
// HEADER_SIZE bytes it counts.
constexpr uint32_t kSubTplHeadBytes = 4 + HEADER_SIZE;
static_assert(kSubTplHeadBytes == 489, "SubTplData header is 489 bytes");

// Offsets inside the record header.
constexpr uint32_t kOffFeatBufSize = 4;
constexpr uint32_t kOffBinBufSize = 8;
constexpr uint32_t kOffMaskBufSize = 12;
constexpr uint32_t kOffReservedInt = 16;
constexpr uint32_t kOffBinWordCnt = 20;
constexpr uint32_t kOffExtendArea = 24;
constexpr uint32_t kOffRootIndex = 26;
constexpr uint32_t kOffRootHmatrix = 28;
constexpr uint32_t kOffSimpleHmatrix = 68;
constexpr uint32_t kOffFeatureNum = 452;
constexpr uint32_t kOffClassNum = 454;
constexpr uint32_t kOffTemplateArea = 455;
constexpr uint32_t kOffTemplateQuality = 456;
constexpr uint32_t kOffTemplateCond = 457;
constexpr uint32_t kOffTemplateExtra = 458;
constexpr uint32_t kOffReplacedFlg = 459;
constexpr uint32_t kOffReservedBytes = 460;
constexpr uint32_t kOffCoinFlg = 464;
static_assert(kOffCoinFlg + ZQ_COIN_FLG_BYTES == kSubTplHeadBytes, "header ends after coinFlg");

// A record that passed its checks: where it lies and its buffer sizes.
struct SubTplView {
  const uint8_t *rec = nullptr;  // first byte of the record
  uint32_t featBytes = 0;        // F
  uint32_t binBytes = 0;         // B
  uint32_t maskBytes = 0;        // M
  // Bytes of the whole record.
  uint32_t Size() const { return kSubTplHeadBytes + featBytes + binBytes + maskBytes; }
};

// Writes the 489 header bytes of t at p.
void WriteSubTplHead(uint8_t *p, const ST_SubTemplate &t);

// Writes t as a record at p (header, F feature bytes, B, M; zeros for a
// buffer that is missing, so the layout always matches the header) and
// returns the bytes written.
uint32_t WriteSubTpl(uint8_t *p, const ST_SubTemplate &t);

// Checks the record at data[offset..] of a size-byte blob against the
// expected buffer sizes. 0 with *v filled; -4 the header or the record
// runs past size; -1 binBufSize or maskBufSize differ; -2 headerSize is
// not HEADER_SIZE, featBufSize is not 44 x the keypoint counts, rootIndex
// is not a slot or binWordCnt exceeds the words of the image; -3 quality
// or condition above 100. `who` names the caller in the log lines.
int ParseSubTpl(const char *who, const uint8_t *data, uint32_t size, uint32_t offset,
                uint32_t binBytes, uint32_t maskBytes, SubTplView *v);

// Takes a checked record over into t, which must be set up and hold no
// features: 0; -5 t holds features or lacks a buffer (t unchanged); -6 the
// feature block cannot be allocated (t emptied).
int CommitSubTpl(const char *who, const SubTplView &v, ST_SubTemplate *t);

}  // namespace zq_blob

#endif  // SRC_ZQALG_ZQSUBTPLRECORD_H_
