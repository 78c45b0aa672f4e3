// The no-finger network's constant tables: seven sets of eight float
// tables for a 17 -> 13 -> 13 -> 2 network. Each set lives in its own
// generated source file (ZqNonFingerTables*.cpp, written by
// tests/tools/zq_fit_nonfinger; see there where the values come from).
#ifndef SRC_ENHANCE_ZQNONFINGERTABLES_H_
#define SRC_ENHANCE_ZQNONFINGERTABLES_H_

#include <stdint.h>

// Network shape: features, units of each hidden layer, outputs.
#define NONFINGER_FEATURES 17
#define NONFINGER_HIDDEN 13
#define NONFINGER_OUTPUTS 2

// Declares the eight tables of the set with the name suffix sfx:
// NORM_COFF_AVG/SIGMA[feature], HID1_COFF_W[unit][feature], HID1_COFF_B,
// HID2_COFF_W[unit][first-layer unit], HID2_COFF_B,
// OUT_COFF_W[output][second-layer unit], OUT_COFF_B.
#define NONFINGER_DECLARE_TABLES(sfx)                                              \
  extern const float NORM_COFF_AVG##sfx[NONFINGER_FEATURES];                       \
  extern const float NORM_COFF_SIGMA##sfx[NONFINGER_FEATURES];                     \
  extern const float HID1_COFF_W##sfx[NONFINGER_HIDDEN][NONFINGER_FEATURES];       \
  extern const float HID1_COFF_B##sfx[NONFINGER_HIDDEN];                           \
  extern const float HID2_COFF_W##sfx[NONFINGER_HIDDEN][NONFINGER_HIDDEN];         \
  extern const float HID2_COFF_B##sfx[NONFINGER_HIDDEN];                           \
  extern const float OUT_COFF_W##sfx[NONFINGER_OUTPUTS][NONFINGER_HIDDEN];         \
  extern const float OUT_COFF_B##sfx[NONFINGER_OUTPUTS];

#ifdef __cplusplus
extern "C" {
#endif

NONFINGER_DECLARE_TABLES()
NONFINGER_DECLARE_TABLES(_ZE4850_MATTE)
NONFINGER_DECLARE_TABLES(_FW4845_MATTE_LOGO)
NONFINGER_DECLARE_TABLES(_FW4845_HL_TYPE1)
NONFINGER_DECLARE_TABLES(_FW4845_HL_TYPE0)
NONFINGER_DECLARE_TABLES(_FW4845_MATTE_TYPE1)
NONFINGER_DECLARE_TABLES(_FW4845_MATTE_TYPE0)

// One table set, as the forward pass reads it.
typedef struct ST_NonFingerNet {
  const float *avg;                            // NORM_COFF_AVG
  const float *sigma;                          // NORM_COFF_SIGMA
  const float (*w1)[NONFINGER_FEATURES];       // HID1_COFF_W
  const float *b1;                             // HID1_COFF_B
  const float (*w2)[NONFINGER_HIDDEN];         // HID2_COFF_W
  const float *b2;                             // HID2_COFF_B
  const float (*w3)[NONFINGER_HIDDEN];         // OUT_COFF_W
  const float *b3;                             // OUT_COFF_B
} ST_NonFingerNet;

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQNONFINGERTABLES_H_
