// Classification of a failed identification, and the extra-buffer refresh
// score.
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqVerifyByTemplateParts.h"

namespace zq_alg {

int ClassifyVerifyFailure(int ret, const VerifyCuts &cuts, int32_t bestScore,
                          int32_t cfgThreshold) {
  if (cuts.classifier > 0)
    ret = cuts.crossCheck > 0 ? kVerifyBothCut : kVerifyClassifierCut;
  else if (cuts.crossCheck > 0)
    ret = kVerifyCrossCheckCut;
  else if (cuts.foreignBody > 0)
    ret = kVerifyForeignBodyCut;
  if (bestScore >= cfgThreshold) ret = kVerifyConfiguredLevel;
  return ret;
}

int32_t ExtraRefreshScore(uint8_t level) {
  // Levels 27 and 28 have no level two above: the strictest one serves.
  const unsigned up = static_cast<unsigned>(level) + 2u;
  return gUpdateScores[up < ZQ_FAR_LEVEL_COUNT ? up : ZQ_FAR_LEVEL_COUNT - 1];
}

}  // namespace zq_alg
