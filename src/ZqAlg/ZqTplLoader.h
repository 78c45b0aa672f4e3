// The loader of stored finger blobs: picks the reader by the blob's first
// word.
#ifndef SRC_ZQALG_ZQTPLLOADER_H_
#define SRC_ZQALG_ZQTPLLOADER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Loads a blob into the finger, which should have been emptied (ZqDelTpl).
// 0x1415927d goes to ZqIniAlgTplData_v1 and its code is returned;
// QUORV_FLG to the four legacy readers in order (0 at the first that loads
// it, else the last one's code). -1 for NULL data or an id outside 0..9;
// -2 for a blob shorter than 4 bytes or with any other first word (nothing
// is loaded).
int ZqIniAlgTplData(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTPLLOADER_H_
