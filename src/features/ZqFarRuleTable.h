// The false-accept rule tables 1 to 8 read by ZqCheckFAR. Each table k is
// five constants: nR<k> rows, nC<k> columns, puchdata<k> (nR x nC int32,
// row-major, rows sorted by column 0 ascending), nIndex<k> (feature-vector
// element each column tests) and nSig<k> (+1: feature at or below the
// threshold; -1: at or above). The row values are generated data
// (ZqFarRuleTableRows.cpp, written by tools/zq_gen_rule_tables).
#ifndef SRC_FEATURES_ZQFARRULETABLE_H_
#define SRC_FEATURES_ZQFARRULETABLE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Number of rule tables.
#define ZQ_FAR_RULE_TABLES 8

// One rule table as handed to ZqCheckFAR.
typedef struct ST_FarRuleTable {
  int32_t nR;
  int32_t nC;
  const int32_t *puchdata;
  const int32_t *nIndex;
  const int32_t *nSig;
} ST_FarRuleTable;

// Tables 1 to 6 and 8: classifier columns ransacNum, diffBlobSize, recurPct,
// overlapPct, uniformPct, matchScore; table 7: recall-rescue columns
// ransacNum, kin2Num, overlapPct, pointSimPct, matchNum1Avr, recallAvrSim,
// recallStrongNum.
extern const int32_t nR1, nR2, nR3, nR4, nR5, nR6, nR7, nR8;
extern const int32_t nC1, nC2, nC3, nC4, nC5, nC6, nC7, nC8;
extern const int32_t puchdata1[], puchdata2[], puchdata3[], puchdata4[];
extern const int32_t puchdata5[], puchdata6[], puchdata7[], puchdata8[];
extern const int32_t nIndex1[], nIndex2[], nIndex3[], nIndex4[];
extern const int32_t nIndex5[], nIndex6[], nIndex7[], nIndex8[];
extern const int32_t nSig1[], nSig2[], nSig3[], nSig4[];
extern const int32_t nSig5[], nSig6[], nSig7[], nSig8[];

// Rule table k (1 .. 8); a table of 0 rows and 0 columns for any other k.
ST_FarRuleTable ZqFarRuleTableGet(int32_t k);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQFARRULETABLE_H_
