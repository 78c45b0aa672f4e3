#include "src/ZqAlg/ZqTemplateUpdateRules.h"

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/features/ZqGeomMath.h"

namespace zq_update {

uint32_t SplitIndex(uint32_t maxTplCount) {
  return static_cast<uint32_t>(static_cast<float>(maxTplCount) * 0.6666667f);
}

uint8_t WorkingLevel(uint8_t updateLevel, uint8_t algoMode, uint8_t adjustMatchEn,
                     uint8_t raisedUpdateLevel, uint32_t subtemplates) {
  const bool fastModes = algoMode == 4 || algoMode == 5;
  const bool notRaised = adjustMatchEn == 0 || (adjustMatchEn == 1 && updateLevel != raisedUpdateLevel);
  if (fastModes && notRaised && subtemplates >= kRaiseLevelCount &&
      updateLevel + 1 < ZQ_FAR_LEVEL_COUNT) {
    return static_cast<uint8_t>(updateLevel + 1);
  }
  return updateLevel;
}

uint8_t AddedArea(uint32_t valid, uint32_t covered, uint32_t area) {
  if (covered >= valid || area == 0) return 0;
  const float e = static_cast<float>(valid - covered) * 100.0f / static_cast<float>(area);
  return static_cast<uint8_t>(ZqRoundHalfAway(e));
}

namespace {

// Lowest index of the smallest key among slots [from, to) that pass `take`;
// -1 when none does.
template <typename Take, typename Key>
int Smallest(const SlotFacts *slots, uint32_t from, uint32_t to, Take take, Key key) {
  int best = -1;
  for (uint32_t a = from; a < to; ++a) {
    if (!take(slots[a])) continue;
    if (best < 0 || key(slots[a]) < key(slots[best])) best = static_cast<int>(a);
  }
  return best;
}

}  // namespace

Replacement ChooseReplacement(const SlotFacts *slots, uint32_t n, uint32_t K, uint32_t e,
                              uint8_t sampleArea) {
  const uint32_t front = K < n ? K : n;
  auto byExtend = [](const SlotFacts &s) { return s.extendArea; };

  int slot = Smallest(
      slots, 0, front, [e](const SlotFacts &s) { return s.localCode == 3 && s.extendArea < e; },
      byExtend);
  if (slot >= 0) return {slot, 2, false};

  slot = Smallest(
      slots, 0, front, [e](const SlotFacts &s) { return s.code3InFront != 0 && s.extendArea < e; },
      byExtend);
  if (slot >= 0) return {slot, 3, false};

  slot = Smallest(slots, 0, front, [](const SlotFacts &s) { return s.extendArea < 100; }, byExtend);
  if (slot >= 0 && e > static_cast<uint32_t>(slots[slot].extendArea) + 2) return {slot, 4, false};

  slot = Smallest(
      slots, 0, front,
      [e, sampleArea](const SlotFacts &s) {
        return s.extendArea <= e && s.templateArea < sampleArea && s.templateArea < 100;
      },
      [](const SlotFacts &s) { return s.templateArea; });
  if (slot >= 0) return {slot, 5, false};

  const uint32_t from = K;
  bool allMarked = true;
  for (uint32_t a = from; a < n; ++a) allMarked = allMarked && slots[a].replacedFlg != 0;
  const bool clear = allMarked && from < n;
  slot = Smallest(
      slots, from, n,
      [clear](const SlotFacts &s) { return (clear || s.replacedFlg == 0) && s.extendArea < 100; },
      byExtend);
  return {slot, slot >= 0 ? 6 : 0, clear};
}

}  // namespace zq_update
