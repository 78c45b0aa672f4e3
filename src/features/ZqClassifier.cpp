#include "src/features/ZqClassifier.h"

#include <stddef.h>

#include "src/features/ZqRuleListData.h"

namespace {

using zq_rules::kListColumns;

// A list with its row count and per-column offsets.
struct RuleList {
  const int16_t (*rows)[kListColumns];
  int32_t count;
  int32_t offset[kListColumns];
};

}  // namespace

void ZqCheckFAR(int32_t nR, int32_t nC, const int32_t *data, const int32_t *nIndex,
                const int32_t *nSig, const int32_t *vec, int32_t code, int32_t *out) {
  if (nR <= 0 || nC <= 0) return;
  if (data == NULL || nIndex == NULL || nSig == NULL || vec == NULL || out == NULL) return;
  for (int32_t r = 0; r < nR; ++r) {
    const int32_t *row = data + static_cast<size_t>(r) * static_cast<size_t>(nC);
    bool inside = true;
    for (int32_t c = 0; c < nC && inside; ++c) {
      // 64-bit so that extreme feature values cannot overflow.
      const int64_t diff = static_cast<int64_t>(row[c]) - vec[nIndex[c]];
      inside = diff * nSig[c] >= 0;
    }
    if (inside) {
      *out = code;
      return;
    }
  }
}

int32_t ZqCheckFrList(const int16_t vec[6], uint8_t list) {
  if (vec == NULL || list > 1) return 0;
  const auto rows = list == 0 ? zq_rules::gFrList0_6dims : zq_rules::gFrList1_6dims;
  const int32_t count = list == 0 ? zq_rules::gFrList0Rows : zq_rules::gFrList1Rows;
  for (int32_t r = 0; r < count; ++r) {
    bool above = true;
    for (int c = 0; c < kListColumns && above; ++c) above = vec[c] >= rows[r][c];
    if (above) return 1;
  }
  return 0;
}

int32_t ZqCheckFaList(const int16_t vec[6], int type) {
  if (vec == NULL || type < 1 || type > 3) return 0;
  const RuleList lists[3] = {
      {zq_rules::gMode4DO4851_WarpMatch_Fa_6dims, zq_rules::gMode4DO4851_WarpMatch_FaRows,
       {0, 0, 0, 0, 0, 0}},
      {zq_rules::gMode5FW4853_WarpMatch_Fa_6dims, zq_rules::gMode5FW4853_WarpMatch_FaRows,
       {0, 1, 0, 1, 0, 0}},
      {zq_rules::gMode5FW4855_WarpMatch_Fa_6dims, zq_rules::gMode5FW4855_WarpMatch_FaRows,
       {0, 1, 0, 1, 0, 0}},
  };
  const RuleList &list = lists[type - 1];
  for (int32_t r = 0; r < list.count; ++r) {
    bool below = true;
    for (int c = 0; c < kListColumns && below; ++c) {
      below = static_cast<int32_t>(vec[c]) <= list.rows[r][c] + list.offset[c];
    }
    if (below) return 1;
  }
  return 0;
}
