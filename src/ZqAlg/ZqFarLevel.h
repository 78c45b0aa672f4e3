// Far levels (security levels 0..28, higher is stricter): the least match
// score each level demands, the raised level of each, and the adaptive far
// level that tightens both levels after a run of weak failures.
#ifndef SRC_ZQALG_ZQFARLEVEL_H_
#define SRC_ZQALG_ZQFARLEVEL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Number of far levels; valid levels are 0 .. ZQ_FAR_LEVEL_COUNT - 1.
#define ZQ_FAR_LEVEL_COUNT 29

typedef uint8_t zq_far_t;

// Least inlier count of a match at each verify far level.
extern const uint8_t gMatchScores[ZQ_FAR_LEVEL_COUNT];
// Least match score at each update far level: 0 up to level 8, then L - 8.
extern const uint8_t gUpdateScores[ZQ_FAR_LEVEL_COUNT];

// Adaptive far level state, eleven bytes.
typedef struct ST_AutoMatchLevel {
  uint8_t failRunLimit;            // 6
  uint8_t successRunLimit;         // 6
  uint8_t continueFailMatchNum;    // failed identifications in a row
  uint8_t continueSucessMatchNum;  // successful identifications in a row
  uint8_t continueSucessUpdateNum; // successful template updates in a row
  uint8_t baseVerifyLevel;         // verify level restored after a success run
  uint8_t raisedVerifyLevel;       // raised level of the configured verify level
  uint8_t cfgVerifyLevel;          // verify level last configured
  uint8_t cfgUpdateLevel;          // update level last configured
  uint8_t raisedUpdateLevel;       // raised level of the configured update level
  uint8_t recallEn;                // 1, 0 while the levels are raised
} ST_AutoMatchLevel;

extern ST_AutoMatchLevel gAutoMatchLevel;

// The first level above `level` whose score in `table` is at least the
// level's score + 5; 28 for levels 24..28, which have none; 28 as well for
// a level above 28.
uint8_t ZqRaisedFarLevel(const uint8_t *table, uint8_t level);

// Configures the verify far level (also the base and configured level, its
// raised level, recall on). A level above 28 is refused: logged, nothing
// changes.
void ZqSetAlgFarLevel(zq_far_t level);

// Configures the update far level and its raised level. A level above 28 is
// refused: logged, nothing changes.
void ZqSetUpdateTemplateFarLevel(zq_far_t level);

// Starts the adaptive state from the configured levels: limits 6, counters
// 0, configured, base and raised levels from gSensorInfor, recall on.
void ZqInitAutoMatchLevel(void);

// Reports an identification (verifyResult 0 = matched) with its best score
// to the adaptive far level; does nothing unless adjustMatchEn is 1.
void ZqUpdateAutoMatchLevel(int16_t verifyResult, uint16_t bestScore);

// With adjustMatchEn 1: recallEn = recall, verify level = its raised level.
void ZqRaiseAutoMatchLevel(uint8_t recall);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQFARLEVEL_H_
