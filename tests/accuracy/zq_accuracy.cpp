// The accuracy benchmark: runs the algorithm, configured as the driver
// configures it, over a folder of <finger>_<impression>.pgm impressions.
//   zq_accuracy --protocol fvc DIR [--max-eer PCT] [--max-fmr PCT]
//   zq_accuracy --protocol product DIR [--enrol K] [--update] [--max-frr PCT] [--max-far PCT]
//   ... [--fw4843 CHIP MODE]: the driver's FW4843 set with chip and mode replaced
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
#include <numeric>
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
               "       (either with [--fw4843 CHIP MODE] for the FW4843 set, chip and mode replaced)\n";
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

// True when value (percent) is within limit (negative: no limit); logs a miss.
bool Within(const char *what, double value, double limit) {
  if (limit < 0 || value <= limit) return true;
  Line("%s %.2f%% is above the limit %.2f%%", what, value, limit);
  return false;
}

int Fvc(const accuracy::DriverAlgorithm &alg, const std::vector<accuracy::CorpusEntry> &corpus,
        int fingers, double max_eer, double max_fmr) {
  const accuracy::FvcResult r = accuracy::RunFvc(alg, corpus, std::cout);
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
  const bool ok_eer = Within("EER", Pct(e.eer), max_eer);
  const bool ok_fmr = Within("FMR at the threshold", Pct(at.fmr), max_fmr);
  return ok_eer && ok_fmr ? 0 : 3;
}

int Product(const accuracy::DriverAlgorithm &alg, const std::vector<accuracy::CorpusEntry> &corpus,
            int k, bool update, double max_frr, double max_far) {
  const accuracy::ProductResult r = accuracy::RunProduct(alg, corpus, k, update, std::cout);
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
  const bool ok_frr = Within("FRR", frr, max_frr);
  const bool ok_far = Within("FAR", far, max_far);
  return ok_frr && ok_far ? 0 : 3;
}

}  // namespace

int main(int argc, char **argv) {
  std::string protocol, dir;
  int k = 8;
  bool update = false;
  double max_eer = -1, max_fmr = -1, max_frr = -1, max_far = -1;
  accuracy::Fw4843Set fw4843;
  bool fw4843_on = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--protocol" && has_value) protocol = argv[++i];
    else if (a == "--enrol" && has_value) k = std::atoi(argv[++i]);
    else if (a == "--update") update = true;
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
  if (update && protocol != "product") return Usage();
  try {
    const std::vector<accuracy::CorpusEntry> corpus = accuracy::ListCorpus(dir);
    int fingers = 0;
    for (size_t i = 0; i < corpus.size(); ++i) {
      fingers += i == 0 || corpus[i].finger != corpus[i - 1].finger;
    }
    const accuracy::GrayImage first = accuracy::ReadPgm(corpus.front().path);
    const accuracy::DriverAlgorithm alg(first.width, first.height, fw4843_on ? &fw4843 : nullptr);
    if (protocol == "fvc") return Fvc(alg, corpus, fingers, max_eer, max_fmr);
    if (fingers < 2) {
      Line("zq_accuracy: the product protocol needs two fingers");
      return 2;
    }
    return Product(alg, corpus, k, update, max_frr, max_far);
  } catch (const std::exception &e) {
    Line("zq_accuracy: %s", e.what());
    return 1;
  }
}
