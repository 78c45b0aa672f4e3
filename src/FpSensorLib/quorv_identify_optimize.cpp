// The rescue rules of the live identification: a failure may still count as
// a match of finger f when its score s is positive and the recent history of
// scores backs it. Every rule tests first and records s afterwards, so a
// score never counts for itself.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kHistory = 5;
constexpr int32_t kSuccessCap = 30;

bool IsSlot(int32_t f) { return f >= 0 && f < QUORV_FINGER_SLOTS; }

int Positives(const int32_t *row) {
  int n = 0;
  for (int i = 0; i < kHistory; ++i) n += row[i] > 0 ? 1 : 0;
  return n;
}

int32_t Mean(const int32_t *row) {
  int64_t sum = 0;
  for (int i = 0; i < kHistory; ++i) sum += row[i];
  return static_cast<int32_t>(sum / kHistory);
}

void PushFront(int32_t *row, int32_t s) {
  memmove(row + 1, row, (kHistory - 1) * sizeof(int32_t));
  row[0] = s;
}

// The row of finger f moves back and takes s in front when s is non-zero;
// without a finger every row moves back; a zero s puts 0 in front of every
// row.
void RecordFinger(int32_t s, int32_t f) {
  if (IsSlot(f)) {
    memmove(fingerMachScores[f] + 1, fingerMachScores[f], (kHistory - 1) * sizeof(int32_t));
    if (s != 0) fingerMachScores[f][0] = s;
  } else {
    for (auto &row : fingerMachScores)
      memmove(row + 1, row, (kHistory - 1) * sizeof(int32_t));
  }
  if (s == 0)
    for (auto &row : fingerMachScores) row[0] = 0;
}

void RecordRecent(int32_t s) { PushFront(recentMachScores, s); }

// The common gate of rules 0 to 3: low quality and a score above 3
// (compared unsigned).
bool Candidate(uint8_t q, uint8_t limit, int32_t s) {
  return q < limit && static_cast<uint32_t>(s) > 3u;
}

int Accept(const char *func, int32_t f, uint8_t *fingerId) {
  *fingerId = static_cast<uint8_t>(f);
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...identify result optimized, fingerId = %d", func, f);
  return 0;
}

// Rule 0: finger f has more than 2 positive scores.
int Rule0(int32_t s, int32_t f, uint8_t q, uint8_t limit, uint8_t *fingerId) {
  const bool ok = Candidate(q, limit, s) && IsSlot(f) && Positives(fingerMachScores[f]) > 2;
  RecordFinger(s, f);
  return ok ? Accept("quorv_OptimizeIdentifyLevel0", f, fingerId) : -1;
}

// Rule 1: the recent scores have more than 2 positives.
int Rule1(int32_t s, int32_t f, uint8_t q, uint8_t limit, uint8_t *fingerId) {
  const bool ok = Candidate(q, limit, s) && Positives(recentMachScores) > 2;
  RecordRecent(s);
  return ok ? Accept("quorv_OptimizeIdentifyLevel1", f, fingerId) : -1;
}

// Rule 2: the mean of the recent scores reaches the mean-score threshold.
int Rule2(int32_t s, int32_t f, uint8_t q, uint8_t limit, uint8_t *fingerId) {
  const bool ok =
      Candidate(q, limit, s) && Mean(recentMachScores) >= g_quorvOptimizeIdentify.mean_score_thr;
  RecordRecent(s);
  return ok ? Accept("quorv_OptimizeIdentifyLevel2", f, fingerId) : -1;
}

// Rule 3: the mean of finger f's scores reaches the mean-score threshold.
int Rule3(int32_t s, int32_t f, uint8_t q, uint8_t limit, uint8_t *fingerId) {
  const bool ok = Candidate(q, limit, s) && IsSlot(f) &&
                  Mean(fingerMachScores[f]) >= g_quorvOptimizeIdentify.mean_score_thr;
  RecordFinger(s, f);
  return ok ? Accept("quorv_OptimizeIdentifyLevel3", f, fingerId) : -1;
}

// Rule 6: the score reaches the current verify level's threshold less one
// (unsigned, so a threshold of 0 never accepts); counts the finger's
// successes up to 30.
int Rule6(int32_t s, int32_t f, uint8_t *fingerId) {
  uint8_t level = 0, thr = 0;
  ZqGetVerifyFarLevel(&level, &thr);
  QUORV_LOGI("quorv_OptimizeIdentifyLevel6...enter, farLevel = %d, machScoreThr = %d", level, thr);
  const bool ok =
      thr != 0 && static_cast<uint32_t>(s) >= static_cast<uint32_t>(static_cast<int32_t>(thr) - 1);
  if (IsSlot(f) && s != 0) {
    if (successMachTimes[f] < kSuccessCap) ++successMachTimes[f];
    QUORV_LOGI("quorv_OptimizeIdentifyLevel6...successMachTimes[%d] = %d", f, successMachTimes[f]);
  }
  return ok ? Accept("quorv_OptimizeIdentifyLevel6", f, fingerId) : -1;
}

bool BadArgs(const char *func, const uint8_t *quality, const uint8_t *fingerId) {
  if (quality != nullptr && fingerId != nullptr) return false;
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...input error, ret = %d", func, -1);
  return true;
}

constexpr uint8_t kRaisedLimit = 100;

}  // namespace

extern "C" {

int quorv_OptimizeIdentifyLevel0(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  return Rule0(s, f, quality[0], g_quorvOptimizeIdentify.quality_limit, fingerId);
}

int quorv_OptimizeIdentifyLevel1(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  return Rule1(s, f, quality[0], g_quorvOptimizeIdentify.quality_limit, fingerId);
}

int quorv_OptimizeIdentifyLevel2(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  return Rule2(s, f, quality[0], g_quorvOptimizeIdentify.quality_limit, fingerId);
}

int quorv_OptimizeIdentifyLevel3(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  return Rule3(s, f, quality[0], g_quorvOptimizeIdentify.quality_limit, fingerId);
}

int quorv_OptimizeIdentifyLevel4(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  const uint8_t q = quality[0], limit = g_quorvOptimizeIdentify.quality_limit;
  return q >= limit ? Rule2(s, f, q, kRaisedLimit, fingerId) : Rule0(s, f, q, limit, fingerId);
}

int quorv_OptimizeIdentifyLevel5(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  const uint8_t q = quality[0], limit = g_quorvOptimizeIdentify.quality_limit;
  return q >= limit ? Rule3(s, f, q, kRaisedLimit, fingerId) : Rule1(s, f, q, limit, fingerId);
}

int quorv_OptimizeIdentifyLevel6(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  if (BadArgs(__func__, quality, fingerId)) return -1;
  return Rule6(s, f, fingerId);
}

int quorv_OptimizeIdentifyResult(int32_t s, int32_t f, const uint8_t *quality, uint8_t *fingerId) {
  using Rule = int (*)(int32_t, int32_t, const uint8_t *, uint8_t *);
  static const Rule kRules[] = {
      quorv_OptimizeIdentifyLevel0, quorv_OptimizeIdentifyLevel1, quorv_OptimizeIdentifyLevel2,
      quorv_OptimizeIdentifyLevel3, quorv_OptimizeIdentifyLevel4, quorv_OptimizeIdentifyLevel5,
      quorv_OptimizeIdentifyLevel6,
  };
  const uint8_t level = g_quorvOptimizeIdentify.level;
  QUORV_LOGV("%s...level = %d, score = %d, fingerId = %d", __func__, level, s, f);
  if (level < 1 || level > 7) return -1;
  return kRules[level - 1](s, f, quality, fingerId);
}

}  // extern "C"
