// The decisions of template update that need no matching: the working
// level, the split of a full finger into fixed and rotating slots, the area
// a sample adds, and which slot a qualified sample replaces.
#ifndef SRC_ZQALG_ZQTEMPLATEUPDATERULES_H_
#define SRC_ZQALG_ZQTEMPLATEUPDATERULES_H_

#include <stdint.h>

namespace zq_update {

// Sub-templates a finger must hold before the working level of algorithm
// modes 4 and 5 goes one level up.
constexpr uint32_t kRaiseLevelCount = 49;

// First slot of the rotating region: maxTplCount x 0.6666667 in single
// precision, truncated (64 of 96, 32 of 48).
uint32_t SplitIndex(uint32_t maxTplCount);

// Working level of an update: U, or U + 1 (at most 28) in algorithm modes 4
// and 5 when the finger holds kRaiseLevelCount or more and the adaptive
// level is off, or on without the update level raised.
uint8_t WorkingLevel(uint8_t updateLevel, uint8_t algoMode, uint8_t adjustMatchEn,
                     uint8_t raisedUpdateLevel, uint32_t subtemplates);

// Percent of a cols x rows frame (area pixels) that the valid pixels not yet
// covered add: (valid - covered) x 100 / area in single precision, rounded
// half away from zero; 0 when covered >= valid or the area is 0.
uint8_t AddedArea(uint32_t valid, uint32_t covered, uint32_t area);

// What the replacement rules read of one enrolled slot.
struct SlotFacts {
  uint16_t extendArea;    // percent the slot added
  uint8_t templateArea;   // finger area of its image, percent
  uint8_t replacedFlg;    // replaced in the current rotation
  uint8_t localCode;      // the sample's code against it (0..3)
  uint8_t code3InFront;   // 1 when its own codes hold 3 against a slot below K
};

// The slot a qualified sample replaces: slot -1 when none; condition 2..6;
// clearRotation when every slot of the rotating region was marked and the
// marks are to be cleared before the slot is replaced.
struct Replacement {
  int slot;
  int condition;
  bool clearRotation;
};

// Applies conditions 2 to 6 to n slots (the first that finds a slot wins,
// the lowest index on ties): slots 0..K-1 by area, then the rotating region
// K..n-1 (0..n-1 when K is 0). e is the sample's added area, sampleArea its
// templateArea.
Replacement ChooseReplacement(const SlotFacts *slots, uint32_t n, uint32_t K, uint32_t e,
                              uint8_t sampleArea);

}  // namespace zq_update

#endif  // SRC_ZQALG_ZQTEMPLATEUPDATERULES_H_
