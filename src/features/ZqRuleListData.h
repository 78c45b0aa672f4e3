// The false-reject and false-accept lists behind ZqCheckFrList and
// ZqCheckFaList: six int16 columns a row, rows sorted by column 0
// ascending. Internal to the feature component; the rows are generated data
// (ZqFrListRows.cpp, ZqFaListRows.cpp, written by tools/zq_gen_rule_tables).
#ifndef SRC_FEATURES_ZQRULELISTDATA_H_
#define SRC_FEATURES_ZQRULELISTDATA_H_

#include <stdint.h>

namespace zq_rules {

// Columns of every list row.
constexpr int kListColumns = 6;

// Rescue lists: best inlier count, compared pixels, hull area, similarity x
// 100, similarity gain x 100 (list 0) or bin-feature count (list 1),
// orientation variance x 100. The rescue matches when the vector is at or
// above every column of a row.
extern const int16_t gFrList0_6dims[][kListColumns];
extern const int32_t gFrList0Rows;
extern const int16_t gFrList1_6dims[][kListColumns];
extern const int32_t gFrList1Rows;

// Full-homography false-accept lists, types 1 .. 3: inlier count, recalled
// keypoints, similarity x 100, overlap percent, orientation variance x 100,
// bin-feature count.
extern const int16_t gMode4DO4851_WarpMatch_Fa_6dims[][kListColumns];
extern const int32_t gMode4DO4851_WarpMatch_FaRows;
extern const int16_t gMode5FW4853_WarpMatch_Fa_6dims[][kListColumns];
extern const int32_t gMode5FW4853_WarpMatch_FaRows;
extern const int16_t gMode5FW4855_WarpMatch_Fa_6dims[][kListColumns];
extern const int32_t gMode5FW4855_WarpMatch_FaRows;

}  // namespace zq_rules

#endif  // SRC_FEATURES_ZQRULELISTDATA_H_
