#include "accuracy/fvc_protocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

namespace accuracy {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The recall flag identification hands to the pairwise matcher.
uint8_t RecallFlag() { return gSensorInfor.adjustMatchEn == 1 ? gAutoMatchLevel.recallEn : 1; }

// Probe against template as identification scores one candidate.
int CandidateScore(const ST_SubTemplate &probe, const ST_SubTemplate &tpl, int threshold) {
  ST_FullHMatrix h{};
  gRebak = 0;
  int score = ZqVerifyTwoTemplate(&probe, &tpl, &h, RecallFlag(), 1);
  if (score >= 1 && score < threshold) {
    ST_FullHMatrix back{};
    gRebak = 1;
    const int reverse = ZqVerifyTwoTemplate(&tpl, &probe, &back, RecallFlag(), 1);
    score = std::max(score, reverse);
  }
  return std::max(score, 0);
}

void CsvRow(std::ostream &csv, const std::string &a, const std::string &b, int score, double s) {
  char line[160];
  std::snprintf(line, sizeof line, "%s,%s,%d,%.6f\n", a.c_str(), b.c_str(), score, s);
  csv << line;
}

// The figures of the traced comparison (forward, or reverse when that gave
// the score) of probe against tpl.
StageFigures Figures(const TraceRecorder &recorder, int score, const CorpusEntry &tpl,
                     const CorpusEntry &probe, const std::map<std::string, PressTruth> &truth,
                     const DriverAlgorithm &alg) {
  StageFigures f;
  const std::vector<ZqVerifyTrace> &traces = recorder.Traces();
  if (traces.empty()) return f;
  size_t k = 0;
  for (size_t i = 1; i < traces.size(); ++i) {
    if (traces[i].score == score && traces[k].score != score) k = i;
  }
  f.compared = true;
  f.t = traces[k];
  const bool reverse = k > 0;
  const auto ps = truth.find((reverse ? tpl : probe).Name());
  const auto pt = truth.find((reverse ? probe : tpl).Name());
  if (ps != truth.end() && pt != truth.end() && f.t.sample != nullptr) {
    f.common = CommonKeypoints(*f.t.sample, ps->second, pt->second, alg.Cols(), alg.Rows());
  }
  f.t.sample = nullptr;
  f.t.tpl = nullptr;
  f.t.H = nullptr;
  return f;
}

}  // namespace

FvcResult RunFvc(const DriverAlgorithm &alg, const std::vector<CorpusEntry> &corpus,
                 std::ostream &csv, const std::map<std::string, PressTruth> *truth) {
  FvcResult r;
  std::unique_ptr<TraceRecorder> recorder;
  if (truth != nullptr) recorder = std::make_unique<TraceRecorder>();
  r.threshold = alg.Threshold();
  std::vector<Sample> samples;
  for (const CorpusEntry &e : corpus) {
    int code = 0;
    samples.push_back(alg.Extract(ReadPgm(e.path), QUORV_ACTION_IDENTIFY, &code));
    if (!samples.back()) ++r.failed_extractions;
  }
  csv << "a,b,score,seconds\n";
  auto compare = [&](size_t tpl, size_t probe) {
    int score = 0;
    const Clock::time_point t0 = Clock::now();
    if (recorder) recorder->Clear();
    if (samples[tpl] && samples[probe]) score = CandidateScore(*samples[probe], *samples[tpl], r.threshold);
    const double s = Seconds(t0);
    if (recorder && corpus[tpl].finger == corpus[probe].finger) {
      r.genuine_figures.push_back(Figures(*recorder, score, corpus[tpl], corpus[probe], *truth, alg));
    }
    r.comparison_seconds += s;
    CsvRow(csv, corpus[tpl].Name(), corpus[probe].Name(), score, s);
    return score;
  };
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  std::vector<size_t> first_of_finger;
  for (size_t i = 0; i < corpus.size(); ++i) {
    if (i == 0 || corpus[i].finger != corpus[i - 1].finger) first_of_finger.push_back(i);
    for (size_t j = i + 1; j < corpus.size() && corpus[j].finger == corpus[i].finger; ++j) {
      r.genuine.push_back(compare(i, j));
      r.genuine_pairs.emplace_back(i, j);
    }
  }
  for (size_t a = 0; a < first_of_finger.size(); ++a) {
    for (size_t b = a + 1; b < first_of_finger.size(); ++b) {
      r.impostor.push_back(compare(first_of_finger[a], first_of_finger[b]));
      r.impostor_pairs.emplace_back(first_of_finger[a], first_of_finger[b]);
    }
  }
  gQuorvActionMode = 0;
  return r;
}

}  // namespace accuracy
