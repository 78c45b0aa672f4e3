#include "accuracy/stage_trace.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace accuracy {

namespace {

TraceRecorder *gRecorder = nullptr;

const char kNoSample[] = "no sample";

}  // namespace

std::map<std::string, PressTruth> ReadTruth(const std::string &dir) {
  std::map<std::string, PressTruth> truth;
  std::ifstream in(dir + "/truth.csv");
  if (!in) return truth;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    int finger = 0, impression = 0;
    PressTruth t;
    if (std::sscanf(line.c_str(), "%d,%d,%lf,%lf,%lf,%*f,%lf,%lf", &finger, &impression,
                    &t.center_x, &t.center_y, &t.rotation_deg, &t.dryness, &t.wetness) != 7) {
      throw std::runtime_error(dir + "/truth.csv: cannot read \"" + line + "\"");
    }
    truth[std::to_string(finger) + "_" + std::to_string(impression)] = t;
  }
  return truth;
}

std::string SkinOf(const std::map<std::string, PressTruth> &truth, const std::string &name) {
  const auto it = truth.find(name);
  if (it == truth.end()) return "?";
  if (it->second.dryness > 0) return "dry";
  if (it->second.wetness > 0) return "wet";
  return "normal";
}

std::string SkinPair(const std::string &a, const std::string &b) {
  return a <= b ? a + "/" + b : b + "/" + a;
}

void MapThroughTruth(double x, double y, const PressTruth &from, const PressTruth &to, int cols,
                     int rows, double *out_x, double *out_y) {
  const double hx = (cols - 1) * 0.5, hy = (rows - 1) * 0.5;
  const double rs = from.rotation_deg * M_PI / 180.0, rt = to.rotation_deg * M_PI / 180.0;
  const double cs = std::cos(rs), ss = std::sin(rs), ct = std::cos(rt), st = std::sin(rt);
  const double u = x - hx, v = y - hy;
  const double mx = from.center_x + cs * u - ss * v - to.center_x;
  const double my = from.center_y + ss * u + cs * v - to.center_y;
  *out_x = ct * mx + st * my + hx;
  *out_y = -st * mx + ct * my + hy;
}

int CommonKeypoints(const ST_SubTemplate &sample, const PressTruth &sample_pose,
                    const PressTruth &tpl_pose, int cols, int rows) {
  const uint32_t groups = sample.classNum < 2 ? sample.classNum : 2u;
  uint32_t n = 0;
  for (uint32_t k = 0; k < groups; ++k) n += sample.nFeatureNum[k];
  int inside = 0;
  for (uint32_t i = 0; i < n && sample.pTemplateFeature != nullptr; ++i) {
    double x = 0, y = 0;
    MapThroughTruth(sample.pTemplateFeature[i].x, sample.pTemplateFeature[i].y, sample_pose,
                    tpl_pose, cols, rows, &x, &y);
    inside += x >= 0 && x <= cols - 1 && y >= 0 && y <= rows - 1;
  }
  return inside;
}

const std::vector<std::string> &StageNames() {
  static const std::vector<std::string> names = {
      kNoSample,       "descriptor pairs", "registration", "foreign-body test",
      "pixel agreement", "recall",      "false-accept cut",   "rescue",
      "below threshold", "not compared", "identification cut", "other finger"};
  return names;
}

std::string LostAt(const StageFigures &f, int threshold, int inlier_limit) {
  if (!f.compared) return kNoSample;
  const ZqVerifyTrace &t = f.t;
  if (t.score >= threshold) return "";
  // The registration needs an orientation window of as many pairs as it
  // needs inliers.
  if (t.largestWindow < inlier_limit) return "descriptor pairs";
  if (t.inliers < inlier_limit) return "registration";
  if (t.foreignBodyCut) return "foreign-body test";
  if (t.checked < t.inliers && t.checked < threshold) return "pixel agreement";
  if (t.recallRan && t.recalled < threshold && t.checked >= threshold) return "recall";
  if (t.classifierRet < 0 && t.recalled >= threshold) return "false-accept cut";
  if (t.rescueCode != 0) return "rescue";
  return "below threshold";
}

TraceRecorder::TraceRecorder() {
  if (gRecorder != nullptr) throw std::logic_error("one trace recorder at a time");
  gRecorder = this;
  gZqVerifyTraceHook = &TraceRecorder::Record;
}

TraceRecorder::~TraceRecorder() {
  gZqVerifyTraceHook = nullptr;
  gRecorder = nullptr;
}

void TraceRecorder::Record(const ZqVerifyTrace *trace) {
  if (gRecorder != nullptr) gRecorder->traces_.push_back(*trace);
}

void PrintLossTable(const char *title, const std::vector<TracedComparison> &rows) {
  struct Group {
    int n = 0, lost = 0;
    std::map<std::string, int> at;
    double sum[2][7] = {};  // [kept, lost] x common, pairs, windows, inliers, checked, score
    int known[2] = {0, 0};
    int common_known[2] = {0, 0};
  };
  std::map<std::string, Group> groups;
  for (const TracedComparison &r : rows) {
    for (const std::string &key : {r.skin_pair, std::string("all")}) {
      Group &g = groups[key];
      ++g.n;
      const int lost = r.lost_at.empty() ? 0 : 1;
      g.lost += lost;
      if (lost) ++g.at[r.lost_at];
      if (!r.figures.compared) continue;
      const ZqVerifyTrace &t = r.figures.t;
      const double v[7] = {0,
                           double(t.binnedPairs),
                           double(t.largestWindow),
                           double(t.windowPairs),
                           double(t.inliers),
                           double(t.checked),
                           double(t.score)};
      for (int i = 1; i < 7; ++i) g.sum[lost][i] += v[i];
      ++g.known[lost];
      if (r.figures.common >= 0) {
        g.sum[lost][0] += r.figures.common;
        ++g.common_known[lost];
      }
    }
  }
  std::fprintf(stderr, "%s: where genuine comparisons were lost, by skin pair\n", title);
  std::fprintf(stderr, "%s: %-14s %6s %7s", title, "skin pair", "pairs", "lost");
  for (const std::string &s : StageNames()) std::fprintf(stderr, " | %s", s.c_str());
  std::fprintf(stderr, "\n");
  for (const auto &[key, g] : groups) {
    std::fprintf(stderr, "%s: %-14s %6d %6.1f%%", title, key.c_str(), g.n,
                 g.n ? 100.0 * g.lost / g.n : 0.0);
    for (const std::string &s : StageNames()) {
      const auto it = g.at.find(s);
      std::fprintf(stderr, " | %d", it == g.at.end() ? 0 : it->second);
    }
    std::fprintf(stderr, "\n");
  }
  std::fprintf(stderr,
               "%s: mean figures, kept / lost: common-area keypoints (from the truth), "
               "descriptor pairs, pairs in the fullest orientation window, in the window of the "
               "best registration, inliers, count after the checks, score\n",
               title);
  for (const auto &[key, g] : groups) {
    std::fprintf(stderr, "%s: %-14s", title, key.c_str());
    for (int i = 0; i < 7; ++i) {
      std::string cell;
      for (int k = 0; k < 2; ++k) {
        const int d = i == 0 ? g.common_known[k] : g.known[k];
        char v[16] = "-";
        if (d > 0) std::snprintf(v, sizeof v, "%.1f", g.sum[k][i] / d);
        cell += (k == 0 ? "" : "/") + std::string(v);
      }
      std::fprintf(stderr, " %13s", cell.c_str());
    }
    std::fprintf(stderr, "\n");
  }
}

}  // namespace accuracy
