// Keypoints and descriptors of genuine pairs measured against the corpus's
// truth, by skin pair: how many sample keypoints in the common area have a
// template keypoint of their group at the true position (repeatability),
// how far their orientations stray from the true rotation, how alike their
// descriptors are and whether the descriptor pairing finds them.
//   zq_keypoint_truth DIR [--pairs N]   (at most N genuine pairs per skin pair)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "accuracy/driver_algorithm.h"
#include "accuracy/pgm_corpus.h"
#include "accuracy/stage_trace.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqDescMatch.h"

namespace {

struct Sums {
  int pairs = 0;
  double common = 0, repeated = 0;     // sample keypoints in the common area; with a true partner
  double ori_ok = 0;                   // true partners with orientation within 10 degrees
  double sim_true = 0, sim_best = 0;   // similarity to the true partner; best similarity
  double rank1 = 0, accepted_true = 0; // true partner is the best; and the pair is accepted
  double accepted = 0;                 // accepted pairs (any)
  double kp = 0;
  double true_above_floor = 0;         // true partners with similarity above the floor
  double table_mismatch = 0;           // table rows whose best differs from a plain search
  double window_true = 0;              // true accepted pairs in the best orientation window
  int registration_missed = 0;         // >= 8 true pairs in a window, fewer than 6 inliers
  int few_true = 0;                    // fewer than 6 true pairs in any window
};

// Second-best margins of algorithm mode 1 by bestSim / 32.
const int kMargin[9] = {64, 64, 64, 12, 8, 6, 2, 2, 1};

double Wrap(double a) {
  while (a > M_PI) a -= 2 * M_PI;
  while (a < -M_PI) a += 2 * M_PI;
  return a;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zq_keypoint_truth DIR [--pairs N]\n");
    return 2;
  }
  const std::string dir = argv[1];
  int max_pairs = 200;
  if (argc == 4 && std::string(argv[2]) == "--pairs") max_pairs = std::atoi(argv[3]);
  const auto corpus = accuracy::ListCorpus(dir);
  const auto truth = accuracy::ReadTruth(dir);
  const accuracy::GrayImage first = accuracy::ReadPgm(corpus.front().path);
  const accuracy::DriverAlgorithm alg(first.width, first.height);
  const int cols = first.width, rows = first.height;
  std::vector<accuracy::Sample> samples;
  for (const auto &e : corpus) {
    int code = 0;
    samples.push_back(alg.Extract(accuracy::ReadPgm(e.path), QUORV_ACTION_IDENTIFY, &code));
  }
  std::map<std::string, Sums> by;
  static uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2], idx[ZQ_MATCH_MAX_SAMPLE_KP][2];
  for (size_t i = 0; i < corpus.size(); ++i) {
    for (size_t j = i + 1; j < corpus.size() && corpus[j].finger == corpus[i].finger; ++j) {
      if (!samples[i] || !samples[j]) continue;
      const std::string pair = accuracy::SkinPair(accuracy::SkinOf(truth, corpus[i].Name()),
                                                  accuracy::SkinOf(truth, corpus[j].Name()));
      Sums &s = by[pair];
      if (s.pairs >= max_pairs) continue;
      ++s.pairs;
      const ST_SubTemplate &tpl = *samples[i], &smp = *samples[j];
      const accuracy::PressTruth &pt = truth.at(corpus[i].Name()), &ps = truth.at(corpus[j].Name());
      uint16_t count = 0;
      ZqCalcHanmDistance(&smp, &tpl, sims, idx, &count);
      // The true rotation of the sample's keypoints into the template's frame.
      const double rot = (ps.rotation_deg - pt.rotation_deg) * M_PI / 180.0;
      const uint32_t tplFirst[2] = {0, tpl.nFeatureNum[0]};
      const uint32_t tplLen[2] = {tpl.nFeatureNum[0], tpl.nFeatureNum[1]};
      s.kp += smp.nFeatureNum[0] + smp.nFeatureNum[1];
      int bins[19] = {};
      for (uint32_t k = 0; k < count; ++k) {
        const uint32_t g = k < smp.nFeatureNum[0] ? 0 : 1;
        const ST_Feature &f = smp.pTemplateFeature[k];
        uint32_t plain = 0;
        for (uint32_t t = tplFirst[g]; t < tplFirst[g] + tplLen[g]; ++t)
          plain = std::max(plain, ZqCalcDescSim(&f, &tpl.pTemplateFeature[t]));
        s.table_mismatch += plain != sims[k][0];
        double x = 0, y = 0;
        accuracy::MapThroughTruth(f.x, f.y, ps, pt, cols, rows, &x, &y);
        const bool accepted =
            sims[k][0] > ZQ_MATCH_MIN_BEST_SIM && sims[k][1] < sims[k][0] - kMargin[sims[k][0] / 32];
        s.accepted += accepted;
        if (x < 4 || y < 4 || x > cols - 5 || y > rows - 5) continue;
        s.common += 1;
        s.sim_best += sims[k][0];
        int partner = -1;
        double best_d = 3.5;
        for (uint32_t t = tplFirst[g]; t < tplFirst[g] + tplLen[g]; ++t) {
          const double d = std::hypot(tpl.pTemplateFeature[t].x - x, tpl.pTemplateFeature[t].y - y);
          if (d < best_d) best_d = d, partner = static_cast<int>(t);
        }
        if (partner < 0) continue;
        s.repeated += 1;
        const ST_Feature &p = tpl.pTemplateFeature[partner];
        const double e = std::fabs(Wrap(f.ori + rot - p.ori));
        const double e2 = std::fabs(Wrap(f.ori - rot - p.ori));
        s.ori_ok += std::min(e, e2) < 10 * M_PI / 180;
        s.sim_true += ZqCalcDescSim(&f, &p);
        s.true_above_floor += ZqCalcDescSim(&f, &p) > ZQ_MATCH_MIN_BEST_SIM;
        const bool rank1 = idx[k][0] == partner;
        s.rank1 += rank1;
        s.accepted_true += rank1 && accepted;
        if (rank1 && accepted) {
          double d = std::fabs(f.ori - p.ori);
          if (d > M_PI) d = 2 * M_PI - d;
          ++bins[std::min(18, static_cast<int>(static_cast<float>(d) * 5.729578f))];
        }
      }
      int window = 0;
      for (int w = 1; w <= 17; ++w) window = std::max(window, bins[w - 1] + bins[w]);
      s.window_true += window;
      ST_FullHMatrix h{};
      int inliers = 0;
      {
        accuracy::TraceRecorder recorder;
        gQuorvActionMode = QUORV_ACTION_IDENTIFY;
        ZqVerifyTwoTemplate(&smp, &tpl, &h, 1, 1);
        gQuorvActionMode = 0;
        if (!recorder.Traces().empty()) inliers = recorder.Traces()[0].inliers;
      }
      s.registration_missed += window >= 8 && inliers < 6;
      s.few_true += window < 6;
    }
  }
  std::printf("%-14s %5s %6s %7s %8s %8s %8s %8s %7s %8s %8s %8s\n", "skin pair", "pairs", "kp", "common",
              "repeat%", "ori<10%", "simTrue", "simBest", "rank1%", "acc.true",
              ">floor%", "tableErr");
  std::printf("%-14s then: true pairs in the best window (mean), comparisons with fewer than 6,"
              " with 8 or more but fewer than 6 inliers\n", "");
  for (const auto &[k, s] : by) {
    const double n = s.pairs;
    std::printf("%-14s %5d %6.1f %7.1f %7.1f%% %7.1f%% %8.1f %8.1f %6.1f%% %8.2f %7.1f%% %8.0f\n",
                k.c_str(),
                s.pairs, s.kp / n, s.common / n, 100 * s.repeated / std::max(1.0, s.common),
                100 * s.ori_ok / std::max(1.0, s.repeated), s.sim_true / std::max(1.0, s.repeated),
                s.sim_best / std::max(1.0, s.common), 100 * s.rank1 / std::max(1.0, s.repeated),
                s.accepted_true / n, 100 * s.true_above_floor / std::max(1.0, s.repeated),
                s.table_mismatch);
  }
  for (const auto &[k, s] : by) {
    std::printf("%-14s %6.1f %5d %5d\n", k.c_str(), s.window_true / std::max(1, s.pairs), s.few_true,
                s.registration_missed);
  }
  return 0;
}
