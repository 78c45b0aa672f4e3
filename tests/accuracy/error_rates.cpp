#include "accuracy/error_rates.h"

#include <algorithm>
#include <stdexcept>

namespace accuracy {

RatesAt RatesAtThreshold(const std::vector<int> &genuine, const std::vector<int> &impostor, int t) {
  RatesAt r;
  r.threshold = t;
  size_t accepted = 0, rejected = 0;
  for (int s : impostor) accepted += s >= t;
  for (int s : genuine) rejected += s < t;
  r.false_matches = accepted;
  r.false_non_matches = rejected;
  r.fmr = impostor.empty() ? 0 : static_cast<double>(accepted) / static_cast<double>(impostor.size());
  r.fnmr = genuine.empty() ? 0 : static_cast<double>(rejected) / static_cast<double>(genuine.size());
  return r;
}

ErrorRates ComputeErrorRates(const std::vector<int> &genuine, const std::vector<int> &impostor) {
  if (genuine.empty() || impostor.empty()) {
    throw std::invalid_argument("error rates need genuine and impostor scores");
  }
  // Candidate thresholds: every score, and one above the highest (nothing
  // accepted). Between two neighbouring scores the rates do not change.
  std::vector<int> ts(genuine);
  ts.insert(ts.end(), impostor.begin(), impostor.end());
  std::sort(ts.begin(), ts.end());
  ts.erase(std::unique(ts.begin(), ts.end()), ts.end());
  ts.push_back(ts.back() + 1);
  std::vector<RatesAt> rates;
  rates.reserve(ts.size());
  for (int t : ts) rates.push_back(RatesAtThreshold(genuine, impostor, t));

  ErrorRates e;
  // FNMR rises and FMR falls with t. t1: the highest t with FNMR <= FMR;
  // t2: the lowest t with FNMR >= FMR. The lowest threshold has FNMR 0 and
  // the highest FMR 0, so both exist.
  const RatesAt *t1 = nullptr, *t2 = nullptr;
  for (const RatesAt &r : rates) {
    if (r.fnmr <= r.fmr) t1 = &r;
    if (t2 == nullptr && r.fnmr >= r.fmr) t2 = &r;
  }
  if (t1->fnmr + t1->fmr <= t2->fnmr + t2->fmr) {
    e.eer_low = t1->fnmr;
    e.eer_high = t1->fmr;
  } else {
    e.eer_low = t2->fmr;
    e.eer_high = t2->fnmr;
  }
  e.eer = (e.eer_low + e.eer_high) / 2;
  // Lowest FNMR where FMR <= 1 / per, in whole counts (no rounding).
  const size_t n_impostor = impostor.size();
  auto lowest_fnmr = [&rates, n_impostor](size_t per) {
    double best = 1;
    for (const RatesAt &r : rates) {
      const bool within = per == 0 ? r.false_matches == 0 : r.false_matches * per <= n_impostor;
      if (within) best = std::min(best, r.fnmr);
    }
    return best;
  };
  e.fmr100 = lowest_fnmr(100);
  e.fmr1000 = lowest_fnmr(1000);
  e.zero_fmr = lowest_fnmr(0);
  return e;
}

}  // namespace accuracy
