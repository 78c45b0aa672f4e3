#include "src/features/ZqFarRuleTable.h"

// Column layout of the classifier tables: the comparison's inlier count
// (element 15) at most, disagreement blob (10) at least, reappearing (11),
// overlap (12) and agreement (13) percentages and score (17) at most.
#define ZQ_CLASSIFIER_COLUMNS 6
#define ZQ_CLASSIFIER_INDEX {15, 10, 11, 12, 13, 17}
#define ZQ_CLASSIFIER_SIG {1, -1, 1, 1, 1, 1}

const int32_t nC1 = ZQ_CLASSIFIER_COLUMNS, nC2 = ZQ_CLASSIFIER_COLUMNS,
              nC3 = ZQ_CLASSIFIER_COLUMNS, nC4 = ZQ_CLASSIFIER_COLUMNS,
              nC5 = ZQ_CLASSIFIER_COLUMNS, nC6 = ZQ_CLASSIFIER_COLUMNS, nC7 = 7,
              nC8 = ZQ_CLASSIFIER_COLUMNS;

const int32_t nIndex1[] = ZQ_CLASSIFIER_INDEX, nIndex2[] = ZQ_CLASSIFIER_INDEX,
              nIndex3[] = ZQ_CLASSIFIER_INDEX, nIndex4[] = ZQ_CLASSIFIER_INDEX,
              nIndex5[] = ZQ_CLASSIFIER_INDEX, nIndex6[] = ZQ_CLASSIFIER_INDEX,
              nIndex8[] = ZQ_CLASSIFIER_INDEX;
const int32_t nSig1[] = ZQ_CLASSIFIER_SIG, nSig2[] = ZQ_CLASSIFIER_SIG, nSig3[] = ZQ_CLASSIFIER_SIG,
              nSig4[] = ZQ_CLASSIFIER_SIG, nSig5[] = ZQ_CLASSIFIER_SIG, nSig6[] = ZQ_CLASSIFIER_SIG,
              nSig8[] = ZQ_CLASSIFIER_SIG;

// Recall-rescue table: elements 50 .. 56, all upper bounds.
const int32_t nIndex7[] = {50, 51, 52, 53, 54, 55, 56};
const int32_t nSig7[] = {1, 1, 1, 1, 1, 1, 1};

static_assert(sizeof(nIndex1) / sizeof(nIndex1[0]) == ZQ_CLASSIFIER_COLUMNS, "table 1 columns");
static_assert(sizeof(nIndex7) / sizeof(nIndex7[0]) == 7 && sizeof(nSig7) == sizeof(nIndex7),
              "table 7 columns");

ST_FarRuleTable ZqFarRuleTableGet(int32_t k) {
  switch (k) {
    case 1: return {nR1, nC1, puchdata1, nIndex1, nSig1};
    case 2: return {nR2, nC2, puchdata2, nIndex2, nSig2};
    case 3: return {nR3, nC3, puchdata3, nIndex3, nSig3};
    case 4: return {nR4, nC4, puchdata4, nIndex4, nSig4};
    case 5: return {nR5, nC5, puchdata5, nIndex5, nSig5};
    case 6: return {nR6, nC6, puchdata6, nIndex6, nSig6};
    case 7: return {nR7, nC7, puchdata7, nIndex7, nSig7};
    case 8: return {nR8, nC8, puchdata8, nIndex8, nSig8};
    default: return {0, 0, nullptr, nullptr, nullptr};
  }
}
