// Life cycle of the algorithm library's working state, and deletion of one
// finger from every place that remembers it.
#ifndef SRC_ZQALG_ZQALGINIT_H_
#define SRC_ZQALG_ZQALGINIT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Builds the working state from the current settings, destroying any
// earlier state first: the memory pool, fullHomography, the adaptive far
// level, the update record, the enrolled-template store (all fingers
// empty), the match history, the weak-match pool and the template buffers.
// 0; -1 when the pool cannot be made (nothing made); -2 when a later step
// fails (everything released). Like ZqDestroyIntiAlg it frees the
// classifier networks: supply them (ZqNetInit) only after this call.
int ZqInitAlgorithm(void);

// Releases the whole working state and the classifier networks; safe at any
// time and twice in a row. 0.
int ZqDestroyIntiAlg(void);

// Empties the finger, writes 255 over its entries in the match history and
// frees its extra-template slots: 0 (also when the store is not set up);
// -1 for an id above 9.
int ZqDelTpl(uint16_t fingerId);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQALGINIT_H_
