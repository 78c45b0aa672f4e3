// Older finger blobs (first word QUORV_FLG): a raw image of an older
// in-memory template in one of four layouts (4- or 8-byte pointers, 48 or
// 96 sub-templates), the features of the slots in use and a CRC-16; and the
// flat form that nothing reads.
#ifndef SRC_ZQALG_ZQTPLLEGACY_H_
#define SRC_ZQALG_ZQTPLLEGACY_H_

#include <stdint.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// Image sizes of the four layouts.
#define ZQ_LEGACY_X86_IMAGE 124144u
#define ZQ_LEGACY_X64_IMAGE 124528u
#define ZQ_LEGACY_96_IMAGE 268240u

// Each reader loads a blob of its layout into the finger: 0 loaded; -1
// refused (bad argument, another layout, a failed check, CRC mismatch), the
// finger unchanged; -2 out of memory, the finger emptied. A loaded finger
// holds the stored count of sub-templates; every other slot is empty.
int ZqIniAlgTplData_x86(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData);
int ZqIniAlgTplData_x64(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData);
int ZqIniAlgTplData_x86_96(int16_t fingerId, uint8_t tplType, uint32_t tplSize,
                           const uint8_t *tplData);
int ZqIniAlgTplData_x64_96(int16_t fingerId, uint8_t tplType, uint32_t tplSize,
                           const uint8_t *tplData);

// Convert an image of the layout (its full image size) into dst: the header
// words and order[0..N-1], then the slots below the stored count (at most
// N); the other slots of 0..N-1 are emptied, and slots from N up keep what
// they hold. Features are not touched (featBufSize follows the counts).
void Tplx86Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image);
void Tplx64Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image);
void Tplx86_96Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image);
void Tplx64_96Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image);

// Convert one old record into a set-up sub-template (mask and image copied
// up to the smaller of the two sizes).
void SubTplx86Convert(ST_SubTemplate *dst, const uint8_t *oldRecord);
void SubTplx64Convert(ST_SubTemplate *dst, const uint8_t *oldRecord);
void SubTplx86_96Convert(ST_SubTemplate *dst, const uint8_t *oldRecord);
void SubTplx64_96Convert(ST_SubTemplate *dst, const uint8_t *oldRecord);

// Writes the flat form (flag, 50136-byte record image, features, CRC) into
// tplData (ZqGetTplDataSize_v0 bytes); same tests, finalisation and type
// byte as ZqGetTplData. 0 or -1.
int ZqSaveTplData_x(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData);
// 4 + 50136 + the feature bytes of every slot holding features + 2; 0 for
// an id above 9 or no record.
uint32_t ZqGetTplDataSize_v0(uint16_t fingerId);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTPLLEGACY_H_
