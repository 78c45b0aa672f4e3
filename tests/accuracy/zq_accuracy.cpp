// The accuracy benchmark: runs the algorithm, configured as the driver
// configures it, over a folder of <finger>_<impression>.pgm impressions.
//   zq_accuracy --protocol fvc DIR [--max-eer PCT] [--max-fmr PCT]
//   zq_accuracy --protocol product DIR [--enrol K] [--update] [--max-frr PCT] [--max-far PCT]
//   ... [--fw4843 CHIP MODE]: the driver's FW4843 set with chip and mode replaced
//   ... [--max-skin-frr SKIN=PCT,...]: product FRR limits per probe skin
//       (dry, normal, wet; needs truth.csv)
//   ... [--trace FILE]: one CSV row per genuine comparison (press) with the
//       figures of every matcher stage it passed and the stage that lost it
// With a truth.csv in DIR the figures follow per skin (pair), with the table
// of where genuine comparisons were lost.
// --update runs the template update after every accepted identification.
// --max-fmr limits the FMR at the threshold of the driver's far level. The
// protocol's CSV rows go to stdout, its figures to stderr. Exit status 0;
// 3 when a figure exceeds its --max- limit; 2 for bad arguments; 1 when the
// corpus cannot be read or the algorithm cannot be set up.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>

#include "accuracy/driver_algorithm.h"
#include "accuracy/error_rates.h"
#include "accuracy/fvc_protocol.h"
#include "accuracy/pgm_corpus.h"
#include "accuracy/product_protocol.h"

namespace {

int Usage() {
  std::cerr << "usage: zq_accuracy --protocol fvc DIR [--max-eer PCT] [--max-fmr PCT]\n"
               "       zq_accuracy --protocol product DIR [--enrol K] [--update] [--max-frr PCT]\n"
               "                   [--max-far PCT]\n"
               "       (either with [--fw4843 CHIP MODE] for the FW4843 set, chip and mode replaced,\n"
               "        and [--trace FILE] for the stage figures of every genuine comparison)\n"
               "       product: [--max-skin-frr SKIN=PCT,...] FRR limits per probe skin\n";
  return 2;
}

void Line(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Line(const char *format, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  std::fputs(buf, stderr);
  std::fputs("\n", stderr);
}

double Pct(double fraction) { return 100.0 * fraction; }

// Writes the trace rows of the genuine comparisons to path ("" writes none).
bool WriteTrace(const std::string &path, const std::vector<std::string> &names,
                const std::vector<accuracy::TracedComparison> &rows) {
  if (path.empty()) return true;
  std::FILE *f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  std::fputs("comparison,skin,lost_at,common_kp,desc_pairs,binned_pairs,largest_window,"
             "window_pairs,inliers,"
             "overlap,uniform,foreign_body_cut,checked,recall_ran,recalled,classifier,rescue,"
             "score\n", f);
  for (size_t i = 0; i < rows.size(); ++i) {
    const accuracy::TracedComparison &r = rows[i];
    const ZqVerifyTrace &t = r.figures.t;
    std::fprintf(f, "%s,%s,%s,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\n", names[i].c_str(),
                 r.skin_pair.c_str(), r.lost_at.c_str(), r.figures.common, t.descPairs,
                 t.binnedPairs, t.largestWindow, t.windowPairs, t.inliers, t.overlap, t.uniformSize,
                 t.foreignBodyCut, t.checked, t.recallRan, t.recalled, t.classifierRet,
                 t.rescueCode, t.score);
  }
  return std::fclose(f) == 0;
}

// True when value (percent) is within limit (negative: no limit); logs a miss.
bool Within(const char *what, double value, double limit) {
  if (limit < 0 || value <= limit) return true;
  Line("%s %.2f%% is above the limit %.2f%%", what, value, limit);
  return false;
}

// The FVC figures per skin pair and where the genuine comparisons were lost.
void FvcBySkin(const accuracy::FvcResult &r, const std::vector<accuracy::CorpusEntry> &corpus,
               const std::map<std::string, accuracy::PressTruth> &truth, int inlier_limit,
               const std::string &trace_path) {
  std::map<std::string, std::vector<int>> genuine;
  std::vector<accuracy::TracedComparison> rows;
  std::vector<std::string> names;
  for (size_t i = 0; i < r.genuine.size(); ++i) {
    const auto [a, b] = r.genuine_pairs[i];
    accuracy::TracedComparison c;
    c.skin_pair = accuracy::SkinPair(accuracy::SkinOf(truth, corpus[a].Name()),
                                     accuracy::SkinOf(truth, corpus[b].Name()));
    c.figures = r.genuine_figures[i];
    c.lost_at = accuracy::LostAt(c.figures, r.threshold, inlier_limit);
    if (r.genuine[i] >= r.threshold) c.lost_at.clear();
    genuine[c.skin_pair].push_back(r.genuine[i]);
    rows.push_back(c);
    names.push_back(corpus[a].Name() + "-" + corpus[b].Name());
  }
  Line("fvc: per skin pair (genuine of the pair against every impostor comparison):");
  for (const auto &[pair, scores] : genuine) {
    const accuracy::RatesAt at = accuracy::RatesAtThreshold(scores, r.impostor, r.threshold);
    const accuracy::ErrorRates e = accuracy::ComputeErrorRates(scores, r.impostor);
    Line("fvc:   %-14s %5zu genuine: EER %6.2f%%  FNMR at the threshold %6.2f%%", pair.c_str(),
         scores.size(), Pct(e.eer), Pct(at.fnmr));
  }
  accuracy::PrintLossTable("fvc trace", rows);
  if (!WriteTrace(trace_path, names, rows)) Line("fvc: cannot write %s", trace_path.c_str());
}

int Fvc(const accuracy::DriverAlgorithm &alg, const std::vector<accuracy::CorpusEntry> &corpus,
        int fingers, double max_eer, double max_fmr,
        const std::map<std::string, accuracy::PressTruth> &truth, const std::string &trace_path) {
  const accuracy::FvcResult r =
      accuracy::RunFvc(alg, corpus, std::cout, truth.empty() ? nullptr : &truth);
  std::cout.flush();
  Line("fvc: %d fingers, %zu impressions, %d without a sample", fingers, corpus.size(),
       r.failed_extractions);
  if (r.genuine.empty() || r.impostor.empty()) {
    Line("fvc: no %s comparison: no figures", r.genuine.empty() ? "genuine" : "impostor");
    return 1;
  }
  const accuracy::RatesAt at = accuracy::RatesAtThreshold(r.genuine, r.impostor, r.threshold);
  const accuracy::ErrorRates e = accuracy::ComputeErrorRates(r.genuine, r.impostor);
  const size_t n = r.genuine.size() + r.impostor.size();
  Line("fvc: %zu genuine, %zu impostor comparisons; at the threshold %d: FNMR %.2f%%, FMR %.2f%%",
       r.genuine.size(), r.impostor.size(), r.threshold, Pct(at.fnmr), Pct(at.fmr));
  Line("fvc: EER %.2f%% [%.2f%%, %.2f%%]  FMR100 %.2f%%  FMR1000 %.2f%%  ZeroFMR %.2f%%",
       Pct(e.eer), Pct(e.eer_low), Pct(e.eer_high), Pct(e.fmr100), Pct(e.fmr1000),
       Pct(e.zero_fmr));
  Line("fvc: comparison mean %.3f ms", 1000.0 * r.comparison_seconds / static_cast<double>(n));
  if (!truth.empty()) FvcBySkin(r, corpus, truth, alg.InlierLimit(), trace_path);
  const bool ok_eer = Within("EER", Pct(e.eer), max_eer);
  const bool ok_fmr = Within("FMR at the threshold", Pct(at.fmr), max_fmr);
  return ok_eer && ok_fmr ? 0 : 3;
}

int Product(const accuracy::DriverAlgorithm &alg, const std::vector<accuracy::CorpusEntry> &corpus,
            int k, bool update, double max_frr, double max_far,
            const std::map<std::string, accuracy::PressTruth> &truth, const std::string &trace_path,
            const std::map<std::string, double> &max_skin_frr) {
  bool ok_skin = true;
  const accuracy::ProductResult r = accuracy::RunProduct(alg, corpus, k, update, std::cout,
                                                         truth.empty() ? nullptr : &truth);
  std::cout.flush();
  Line("product: %d fingers enrolled from %d impressions each: %d sub-templates, %d refused, "
       "%.2f ms per enrolment",
       r.enrolled_fingers, k, r.enrolled_samples, r.enrol_failures,
       r.enrolled_samples + r.enrol_failures > 0
           ? 1000.0 * r.enrol_seconds / (r.enrolled_samples + r.enrol_failures)
           : 0.0);
  const double frr = r.genuine > 0 ? Pct(1.0 - static_cast<double>(r.genuine_named) / r.genuine) : 0;
  const double far = r.impostor > 0 ? Pct(static_cast<double>(r.impostor_accepted) / r.impostor) : 0;
  Line("product: %d genuine presses: %d named their finger, %d another finger: FRR %.2f%%",
       r.genuine, r.genuine_named, r.genuine_wrong_finger, frr);
  Line("product: %d impostor presses: %d accepted: FAR %.2f%%", r.impostor, r.impostor_accepted,
       far);
  if (r.failed_extractions > 0) Line("product: %d presses without a sample", r.failed_extractions);
  if (update) {
    const int updates = r.updates_added + r.updates_replaced;
    Line("product: updates: %d added, %d replaced a sub-template, %d refused; %d of another "
         "finger; %.3f ms per update",
         r.updates_added, r.updates_replaced, r.updates_refused, r.updates_wrong_finger,
         updates + r.updates_refused > 0 ? 1000.0 * r.update_seconds / (updates + r.updates_refused)
                                         : 0.0);
  }
  if (!r.identify_seconds.empty()) {
    const double sum = std::accumulate(r.identify_seconds.begin(), r.identify_seconds.end(), 0.0);
    const double worst = *std::max_element(r.identify_seconds.begin(), r.identify_seconds.end());
    Line("product: identification mean %.3f ms, max %.3f ms",
         1000.0 * sum / static_cast<double>(r.identify_seconds.size()), 1000.0 * worst);
  }
  if (!truth.empty()) {
    std::map<std::string, std::pair<int, int>> genuine, impostor;  // presses, lost / accepted
    for (const accuracy::TracedComparison &c : r.genuine_traced) {
      ++genuine[c.skin_pair].first;
      genuine[c.skin_pair].second += !c.lost_at.empty();
    }
    for (const accuracy::TracedComparison &c : r.impostor_traced) {
      ++impostor[c.skin_pair].first;
      impostor[c.skin_pair].second += !c.lost_at.empty();
    }
    Line("product: per probe skin:");
    for (const auto &[skin, g] : genuine) {
      const auto &im = impostor[skin];
      const double skin_frr = Pct(static_cast<double>(g.second) / g.first);
      Line("product:   %-8s %4d genuine: FRR %6.2f%%   %4d impostor: FAR %6.2f%%", skin.c_str(),
           g.first, skin_frr, im.first,
           im.first ? Pct(static_cast<double>(im.second) / im.first) : 0.0);
      const auto limit = max_skin_frr.find(skin);
      if (limit != max_skin_frr.end()) ok_skin &= Within(("FRR of " + skin).c_str(), skin_frr, limit->second);
    }
    accuracy::PrintLossTable("product trace", r.genuine_traced);
    if (!trace_path.empty()) {
      // The genuine presses in the order they were identified.
      std::vector<std::string> names;
      std::map<int, int> seen;
      const int enrolled = static_cast<int>(r.enrolled_fingers);
      std::map<int, int> finger_rank;
      for (const accuracy::CorpusEntry &e : corpus) {
        if (!finger_rank.count(e.finger)) {
          const int rank = static_cast<int>(finger_rank.size());
          finger_rank[e.finger] = rank;
        }
        if (finger_rank[e.finger] >= enrolled || seen[e.finger]++ < k) continue;
        names.push_back(e.Name());
      }
      if (names.size() != r.genuine_traced.size() ||
          !WriteTrace(trace_path, names, r.genuine_traced))
        Line("product: cannot write %s", trace_path.c_str());
    }
  }
  if (!max_skin_frr.empty() && truth.empty()) {
    Line("product: no truth.csv: no FRR per skin to hold to its limit");
    ok_skin = false;
  }
  const bool ok_frr = Within("FRR", frr, max_frr);
  const bool ok_far = Within("FAR", far, max_far);
  return ok_frr && ok_far && ok_skin ? 0 : 3;
}

}  // namespace

int main(int argc, char **argv) {
  std::string protocol, dir;
  int k = 8;
  bool update = false;
  double max_eer = -1, max_fmr = -1, max_frr = -1, max_far = -1;
  accuracy::Fw4843Set fw4843;
  std::string trace_path;
  std::map<std::string, double> max_skin_frr;
  bool fw4843_on = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--protocol" && has_value) protocol = argv[++i];
    else if (a == "--enrol" && has_value) k = std::atoi(argv[++i]);
    else if (a == "--update") update = true;
    else if (a == "--trace" && has_value) trace_path = argv[++i];
    else if (a == "--max-skin-frr" && has_value) {
      std::stringstream in(argv[++i]);
      std::string part;
      while (std::getline(in, part, ',')) {
        const size_t eq = part.find('=');
        if (eq == std::string::npos || eq == 0) return Usage();
        max_skin_frr[part.substr(0, eq)] = std::atof(part.c_str() + eq + 1);
      }
    }
    else if (a == "--max-eer" && has_value) max_eer = std::atof(argv[++i]);
    else if (a == "--max-fmr" && has_value) max_fmr = std::atof(argv[++i]);
    else if (a == "--max-frr" && has_value) max_frr = std::atof(argv[++i]);
    else if (a == "--max-far" && has_value) max_far = std::atof(argv[++i]);
    else if (a == "--fw4843" && i + 2 < argc) {
      fw4843_on = true;
      fw4843.chip = std::atoi(argv[++i]);
      fw4843.mode = std::atoi(argv[++i]);
    }
    else if (!a.empty() && a[0] != '-' && dir.empty()) dir = a;
    else return Usage();
  }
  if (dir.empty() || (protocol != "fvc" && protocol != "product") || k < 1) return Usage();
  if ((update || !max_skin_frr.empty()) && protocol != "product") return Usage();
  try {
    const std::vector<accuracy::CorpusEntry> corpus = accuracy::ListCorpus(dir);
    int fingers = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
      fingers += i == 0 || corpus[i].finger != corpus[i - 1].finger;
    }
    const accuracy::GrayImage first = accuracy::ReadPgm(corpus.front().path);
    const std::map<std::string, accuracy::PressTruth> truth = accuracy::ReadTruth(dir);
    const accuracy::DriverAlgorithm alg(first.width, first.height, fw4843_on ? &fw4843 : nullptr);
    if (protocol == "fvc") return Fvc(alg, corpus, fingers, max_eer, max_fmr, truth, trace_path);
    if (fingers < 2) {
      Line("zq_accuracy: the product protocol needs two fingers");
      return 2;
    }
    return Product(alg, corpus, k, update, max_frr, max_far, truth, trace_path, max_skin_frr);
  } catch (const std::exception &e) {
    Line("zq_accuracy: %s", e.what());
    return 1;
  }
}
