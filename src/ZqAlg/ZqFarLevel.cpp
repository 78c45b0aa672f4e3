#include "src/ZqAlg/ZqFarLevel.h"

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"

namespace {

constexpr uint8_t kTopLevel = ZQ_FAR_LEVEL_COUNT - 1;
// A raised level demands at least this many more inliers.
constexpr uint8_t kRaiseStep = 5;
// Failures with a best score above this are near misses.
constexpr uint16_t kNearMissLimit = 6;
// The same limit in algorithm mode 4 on sensor type 10.
constexpr uint16_t kNearMissLimitMode4Type10 = 10;
// Algorithm mode 4 counts failures up to this many and raises in steps.
constexpr uint8_t kMode4FailCap = 20;

void RestoreConfiguredLevels() {
  gAutoMatchLevel.recallEn = 1;
  gSensorInfor.algVerifyFarLevel = gAutoMatchLevel.cfgVerifyLevel;
  gSensorInfor.updateFarLevel = gAutoMatchLevel.cfgUpdateLevel;
}

void LogRun(const char *func) {
  QUORV_LOG_IN(func, QUORV_LOG_INFO,
               "%s...continueSucessMatchNum= %d, continueFailMatchNum = %d, recallEn = %d", func,
               gAutoMatchLevel.continueSucessMatchNum, gAutoMatchLevel.continueFailMatchNum,
               gAutoMatchLevel.recallEn);
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...algVerifyFarLevel = %d, updateFarLevel = %d", func,
               gSensorInfor.algVerifyFarLevel, gSensorInfor.updateFarLevel);
}

}  // namespace

extern "C" {

const uint8_t gMatchScores[ZQ_FAR_LEVEL_COUNT] = {
    0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 5, 5, 6, 7, 8, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
};

const uint8_t gUpdateScores[ZQ_FAR_LEVEL_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
};

// Consistent with the default levels 15 and 16 until initialisation.
ST_AutoMatchLevel gAutoMatchLevel = {6, 6, 0, 0, 0, 15, 21, 15, 16, 21, 1};

uint8_t ZqRaisedFarLevel(const uint8_t *table, uint8_t level) {
  if (level >= kTopLevel) return kTopLevel;
  const unsigned want = table[level] + kRaiseStep;
  for (unsigned l = level + 1u; l <= kTopLevel; ++l) {
    if (table[l] >= want) return static_cast<uint8_t>(l);
  }
  return kTopLevel;
}

void ZqSetAlgFarLevel(zq_far_t level) {
  if (level > kTopLevel) {
    QUORV_LOGE("%s...level(= %d) > %d, refused", __func__, level, kTopLevel);
    return;
  }
  gSensorInfor.algVerifyFarLevel = level;
  gAutoMatchLevel.cfgVerifyLevel = level;
  gAutoMatchLevel.baseVerifyLevel = level;
  gAutoMatchLevel.raisedVerifyLevel = ZqRaisedFarLevel(gMatchScores, level);
  gAutoMatchLevel.recallEn = 1;
}

void ZqSetUpdateTemplateFarLevel(zq_far_t level) {
  if (level > kTopLevel) {
    QUORV_LOGE("%s...level(= %d) > %d, refused", __func__, level, kTopLevel);
    return;
  }
  gSensorInfor.updateFarLevel = level;
  gAutoMatchLevel.cfgUpdateLevel = level;
  gAutoMatchLevel.raisedUpdateLevel = ZqRaisedFarLevel(gUpdateScores, level);
}

void ZqInitAutoMatchLevel(void) {
  ST_AutoMatchLevel &a = gAutoMatchLevel;
  a.failRunLimit = 6;
  a.successRunLimit = 6;
  a.continueFailMatchNum = 0;
  a.continueSucessMatchNum = 0;
  a.continueSucessUpdateNum = 0;
  a.cfgVerifyLevel = gSensorInfor.algVerifyFarLevel;
  a.baseVerifyLevel = gSensorInfor.algVerifyFarLevel;
  a.raisedVerifyLevel = ZqRaisedFarLevel(gMatchScores, gSensorInfor.algVerifyFarLevel);
  a.recallEn = 1;
  a.cfgUpdateLevel = gSensorInfor.updateFarLevel;
  a.raisedUpdateLevel = ZqRaisedFarLevel(gUpdateScores, gSensorInfor.updateFarLevel);
}

void ZqUpdateAutoMatchLevel(int16_t verifyResult, uint16_t bestScore) {
  if (gSensorInfor.adjustMatchEn != 1) return;
  ST_AutoMatchLevel &a = gAutoMatchLevel;
  if (verifyResult == 0) {
    const uint8_t c = a.continueSucessMatchNum;
    if (c == 0) {
      a.continueSucessMatchNum = 1;
      a.continueFailMatchNum = 0;
      RestoreConfiguredLevels();
      return;
    }
    if (c > a.successRunLimit) return;
    a.continueSucessMatchNum = static_cast<uint8_t>(c + 1);
    if (c == a.successRunLimit) gSensorInfor.algVerifyFarLevel = a.baseVerifyLevel;
    LogRun(__func__);
    return;
  }

  a.continueSucessUpdateNum = 0;
  const bool mode4Type10 = gSensorInfor.algoMode == 4 && ZqSensorTypeGet() == SENSOR_DO4851;
  const uint16_t nearMiss = mode4Type10 ? kNearMissLimitMode4Type10 : kNearMissLimit;
  if (bestScore > nearMiss) {
    a.continueFailMatchNum = 0;
    RestoreConfiguredLevels();
    return;
  }
  const uint8_t f = a.continueFailMatchNum;
  if (f == 0) {
    a.continueFailMatchNum = 1;
    a.continueSucessMatchNum = 0;
    gSensorInfor.algVerifyFarLevel = a.cfgVerifyLevel;
    return;
  }
  if (gSensorInfor.algoMode != 4) {
    if (f > a.failRunLimit) return;
    a.continueFailMatchNum = static_cast<uint8_t>(f + 1);
    if (f == a.failRunLimit) {
      a.recallEn = 0;
      gSensorInfor.algVerifyFarLevel = a.raisedVerifyLevel;
      gSensorInfor.updateFarLevel = a.raisedUpdateLevel;
    }
  } else {
    const uint8_t g = f < kMode4FailCap ? static_cast<uint8_t>(f + 1) : kMode4FailCap;
    a.continueFailMatchNum = g;
    if (g > 4) gSensorInfor.updateFarLevel = a.raisedUpdateLevel;
    if (g > 9) a.recallEn = 0;
    if (g > 19) gSensorInfor.algVerifyFarLevel = a.raisedVerifyLevel;
  }
  LogRun(__func__);
}

void ZqRaiseAutoMatchLevel(uint8_t recall) {
  if (gSensorInfor.adjustMatchEn != 1) return;
  gAutoMatchLevel.recallEn = recall;
  gSensorInfor.algVerifyFarLevel = gAutoMatchLevel.raisedVerifyLevel;
}

}  // extern "C"
