#include "accuracy/product_protocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"

namespace accuracy {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// True when sub-template t belongs to enrolled finger slot.
bool OfSlot(const ST_SubTemplate *t, int slot) {
  if (slot < 0 || slot >= MAX_FINGERS_SUPPORTED || gEnrolledTemplate[slot] == nullptr) return false;
  const ST_SubTemplate *first = gEnrolledTemplate[slot]->subtemplates;
  return t >= first && t < first + MAX_SUBTEMPLATES_PER_FINGER;
}

// Where a genuine press of slot was lost: its best comparison with the
// slot's sub-templates (highest score, then most inliers).
TracedComparison Traced(const TraceRecorder &recorder, bool has_sample, bool accepted,
                        int named, int slot, int threshold, int inlier_limit) {
  TracedComparison c;
  for (const ZqVerifyTrace &t : recorder.Traces()) {
    if (!OfSlot(t.tpl, slot) && !OfSlot(t.sample, slot)) continue;
    if (c.figures.compared && (t.score < c.figures.t.score ||
                               (t.score == c.figures.t.score && t.inliers <= c.figures.t.inliers)))
      continue;
    c.figures.compared = true;
    c.figures.t = t;
  }
  c.figures.t.sample = c.figures.t.tpl = nullptr;
  c.figures.t.H = nullptr;
  if (accepted && named == slot) return c;
  if (accepted) c.lost_at = "other finger";
  else if (!has_sample) c.lost_at = "no sample";
  else if (!c.figures.compared) c.lost_at = "not compared";
  else if (c.figures.t.score >= threshold) c.lost_at = "identification cut";
  else c.lost_at = LostAt(c.figures, threshold, inlier_limit);
  return c;
}

}  // namespace

ProductResult RunProduct(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus, int k,
                         bool update, std::ostream &csv,
                         const std::map<std::string, PressTruth> *truth) {
  if (k < 1) throw std::invalid_argument("enrol at least one impression per finger");
  std::vector<int> fingers;
  for (const CorpusEntry &e : corpus) {
    if (fingers.empty() || fingers.back() != e.finger) fingers.push_back(e.finger);
  }
  if (fingers.size() < 2) throw std::invalid_argument("the product protocol needs two fingers");
  std::map<int, int> slot_of;  // enrolled finger -> slot
  const int enrolled = std::min<int>(10, static_cast<int>(fingers.size()) / 2);
  for (int i = 0; i < enrolled; ++i) slot_of[fingers[static_cast<size_t>(i)]] = i;

  ProductResult r;
  r.enrolled_fingers = enrolled;
  // Enrolment: the first k impressions of each enrolled finger.
  std::vector<bool> enrol_press(corpus.size(), false);
  std::map<int, int> taken;  // impressions looked at per enrolled finger
  std::map<int, int16_t> next_index;
  for (size_t i = 0; i < corpus.size(); ++i) {
    const auto slot = slot_of.find(corpus[i].finger);
    if (slot == slot_of.end() || taken[corpus[i].finger]++ >= k) continue;
    enrol_press[i] = true;
    int code = 0;
    Sample s = alg.Extract(ReadPgm(corpus[i].path), QUORV_ACTION_ENROLL, &code);
    if (!s) {
      ++r.enrol_failures;
      continue;
    }
    int16_t &index = next_index[corpus[i].finger];
    uint8_t out = 0;
    const Clock::time_point t0 = Clock::now();
    const int ret = ZqEnrollByTemplate(s.get(), static_cast<int16_t>(slot->second), index, &out);
    r.enrol_seconds += Seconds(t0);
    if (ret != 0) {
      ++r.enrol_failures;
      continue;
    }
    ++index;
    ++r.enrolled_samples;
  }
  for (const auto &f : slot_of) ZqSetTplValidFlag(static_cast<uint16_t>(f.second));
  gQuorvActionMode = 0;

  std::unique_ptr<TraceRecorder> recorder;
  if (truth != nullptr) recorder = std::make_unique<TraceRecorder>();
  csv << "press,slot,result,finger,score,seconds,update\n";
  for (size_t i = 0; i < corpus.size(); ++i) {
    if (enrol_press[i]) continue;
    const auto slot = slot_of.find(corpus[i].finger);
    const int expected = slot == slot_of.end() ? -1 : slot->second;
    int code = 0;
    Sample s = alg.Extract(ReadPgm(corpus[i].path), QUORV_ACTION_IDENTIFY, &code);
    uint16_t fid = 255;
    int16_t flag = 0;
    ST_FullHMatrix h{};
    int ret = code;
    double seconds = 0;
    if (recorder) recorder->Clear();
    if (s) {
      ZqInitAutoMatchLevel();
      const Clock::time_point t0 = Clock::now();
      ret = ZqVerifyByTemplate(s.get(), &fid, &flag, &h, 1);
      seconds = Seconds(t0);
      r.identify_seconds.push_back(seconds);
    } else {
      ++r.failed_extractions;
    }
    const bool accepted = ret == 0;
    if (recorder) {
      const std::string skin = SkinOf(*truth, corpus[i].Name());
      if (expected >= 0) {
        r.genuine_traced.push_back(Traced(*recorder, s != nullptr, accepted, static_cast<int>(fid),
                                          expected, alg.Threshold(), alg.InlierLimit()));
        r.genuine_traced.back().skin_pair = skin;
      } else {
        TracedComparison c;
        c.skin_pair = skin;
        if (accepted) c.lost_at = "accepted";
        r.impostor_traced.push_back(c);
      }
    }
    const int score = s ? static_cast<int>(gVerifyScores) : 0;
    int path = 0;  // the update's path: 1 added, 2..6 replaced
    if (accepted && update) {
      uint32_t updated = 0;
      const Clock::time_point t0 = Clock::now();
      const int up = ZqTemplateUpdate(flag, &updated);
      r.update_seconds += Seconds(t0);
      if (up == 0) {
        path = static_cast<int>(gQuorvMachInfo.updataMode);
        ++(path == 1 ? r.updates_added : r.updates_replaced);
        if (static_cast<int>(updated) != expected) ++r.updates_wrong_finger;
      } else {
        ++r.updates_refused;
      }
    }
    if (expected >= 0) {
      ++r.genuine;
      if (accepted && fid == expected) ++r.genuine_named;
      if (accepted && fid != expected) ++r.genuine_wrong_finger;
    } else {
      ++r.impostor;
      if (accepted) ++r.impostor_accepted;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s,%d,%d,%d,%d,%.6f,%d\n", corpus[i].Name().c_str(),
                  expected, ret, accepted ? static_cast<int>(fid) : -1, score, seconds, path);
    csv << line;
  }
  gQuorvActionMode = 0;
  return r;
}

}  // namespace accuracy
