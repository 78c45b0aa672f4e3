// The trace of genuine comparisons: how far each got through the matcher's
// stages (descriptor pairs, registration, the foreign-body and uniform-size
// checks, recall, classifier, rescue, identification cuts), which stage lost
// it, and the skin of the two presses from the corpus's truth.csv.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "accuracy/pgm_corpus.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

namespace accuracy {

// Pose and skin of one press, from truth.csv.
struct PressTruth {
  double center_x = 0, center_y = 0, rotation_deg = 0;
  double dryness = 0, wetness = 0;
};

// truth.csv of corpus folder dir by press name "<finger>_<impression>";
// empty when the file is missing. Throws std::runtime_error for a row that
// cannot be read.
std::map<std::string, PressTruth> ReadTruth(const std::string &dir);

// "dry", "wet" or "normal" ("?" for a press without truth).
std::string SkinOf(const std::map<std::string, PressTruth> &truth, const std::string &name);
// The two skins in a fixed order ("dry/normal", not "normal/dry").
std::string SkinPair(const std::string &a, const std::string &b);

// Window point (x, y) of press `from` where press `to` sees the same skin,
// by the two presses' poses (elastic distortion left out).
void MapThroughTruth(double x, double y, const PressTruth &from, const PressTruth &to, int cols,
                     int rows, double *out_x, double *out_y);

// Sample keypoints (of the groups compared) whose true position, by the
// two presses' poses (elastic distortion left out), lies inside the
// template's window of cols x rows.
int CommonKeypoints(const ST_SubTemplate &sample, const PressTruth &sample_pose,
                    const PressTruth &tpl_pose, int cols, int rows);

// The figures of one comparison, copied from the matcher's trace.
struct StageFigures {
  bool compared = false;  // false: no comparison ran (no sample, or no trace)
  int common = -1;        // CommonKeypoints, -1 when unknown
  ZqVerifyTrace t{};      // pointers cleared
};

// The stage that left a comparison with figures f short of threshold
// (inlier_limit: the fewest inliers the matcher scores), or "" when its
// score reaches the threshold.
std::string LostAt(const StageFigures &f, int threshold, int inlier_limit);

// The stage names in the matcher's order, for table columns.
const std::vector<std::string> &StageNames();

// Records every rigid comparison while it lives (one at a time).
class TraceRecorder {
 public:
  TraceRecorder();
  ~TraceRecorder();
  TraceRecorder(const TraceRecorder &) = delete;
  TraceRecorder &operator=(const TraceRecorder &) = delete;

  // The comparisons since the last Clear, in order (pointers kept).
  const std::vector<ZqVerifyTrace> &Traces() const { return traces_; }
  void Clear() { traces_.clear(); }

 private:
  static void Record(const ZqVerifyTrace *trace);
  std::vector<ZqVerifyTrace> traces_;
};

// One lost-or-kept row of the trace table.
struct TracedComparison {
  std::string skin_pair;
  std::string lost_at;  // "" when kept
  StageFigures figures;
};

// Writes the table of where the lost comparisons were lost, by skin pair,
// with the mean figures of the kept and the lost ones, to stderr lines
// prefixed by title.
void PrintLossTable(const char *title, const std::vector<TracedComparison> &rows);

}  // namespace accuracy
