// A scripted stand-in for the minutiae detector and the Bozorth3 matcher:
// detection hands out a chosen minutiae list and a thresholded binarized
// copy; scoring returns chosen scores. Linked by tests instead of the real
// detector; every call is recorded.
#ifndef TESTS_SUPPORT_MINUTIAE_STANDIN_H_
#define TESTS_SUPPORT_MINUTIAE_STANDIN_H_

#include <vector>

#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"

namespace minutiae_standin {

// One minutia as lfs_minutia_to_xyt will report it.
struct Minutia {
  int x;
  int y;
  int theta;  // 0..359
  double reliability = 0.5;
};

// What one get_minutiae call was given.
struct DetectCall {
  int width, height, depth;
  double ppmm;
  const lfs_params *params;
  int remove_perimeter_minutiae;  // the params field at the time of the call
};

// What one bz_score_gallery call was given.
struct ScoreCall {
  int probe_pairs;
  xyt_record probe;
  xyt_record gallery;
};

// Forgets the script and the recorded calls.
void Reset();

// The next detections return `result`; on 0 they hand out these minutiae.
void ScriptDetection(std::vector<Minutia> minutiae, int result = 0);

// The next bz_score_gallery calls return these scores in turn, then 0.
void ScriptScores(std::vector<int> scores);

// Pair count that bz_prepare_probe reports for a probe of n minutiae.
int PairsFor(int n);

const std::vector<DetectCall> &DetectCalls();
const std::vector<xyt_record> &PreparedProbes();
const std::vector<ScoreCall> &ScoreCalls();

// Minutiae lists handed out and not yet released.
int LiveLists();

}  // namespace minutiae_standin

#endif  // TESTS_SUPPORT_MINUTIAE_STANDIN_H_
