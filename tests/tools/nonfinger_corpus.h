// Seeded corpora of synthetic finger and non-finger frames for the no-finger
// network: what its table sets are fitted on (zq_fit_nonfinger) and what the
// fitted sets are measured on (held-out seeds, in the tests and benchmarks).
//
// Each of the seven table sets serves its own sensor look, and every set
// sees frames of every sensor size:
//   default               nominal sensor, usual presses;
//   ZE4850_MATTE          matte cover: weaker ridge contrast;
//   FW4845_MATTE_LOGO     matte cover with a faint printed logo on every frame;
//   FW4845_HL_TYPE0/1     glossy cover: strong ridge contrast;
//   FW4845_MATTE_TYPE0/1  matte cover.
// The _TYPE1 sets also count harder presses as fingers (smaller contact,
// more dry and wet skin, placement anywhere on the finger).
#pragma once

#include <cstdint>
#include <functional>

#include "fingers/synth_fingers.h"

namespace nonfinger_corpus {

// Number of table sets, in the order of NetSetSuffix.
inline constexpr int kNetSets = 7;

// Suffix of set s's table names ("" for the default set,
// "_ZE4850_MATTE", ...); NULL outside 0..kNetSets - 1.
const char *NetSetSuffix(int set);

// One line on the frames of set s's corpus (cover, logo, presses).
const char *NetSetLook(int set);

// Sensor name, module type and no-finger type that select set s.
struct NetSetSelector {
  uint16_t sensor_name;
  uint16_t module_type;
  uint8_t none_finger_type;
};
NetSetSelector NetSetSelectorOf(int set);

// Number of sensor sizes (fingers::kSensorSizes).
inline constexpr int kSizes = static_cast<int>(sizeof(fingers::kSensorSizes) / sizeof(fingers::kSensorSizes[0]));

// How many frames a corpus holds, and the seed they all come from.
struct CorpusShape {
  uint64_t seed = 1;
  int masters = 8;          // distinct fingers
  int presses = 4;          // presses of each finger per sensor size
  int per_kind = 4;         // non-finger frames of each kind per sensor size
};

// One frame of a corpus: the image, whether it holds a finger, the index of
// its size in fingers::kSensorSizes, and its non-finger kind (-1 finger).
struct CorpusFrame {
  const fingers::Frame *frame;
  bool finger;
  int size;
  int kind;
};

// Calls visit once for every frame of set s's corpus, in a fixed order:
// for each size, the finger presses (master by master), then the non-finger
// frames (kind by kind). Deterministic for (set, shape).
void ForEachFrame(int set, const CorpusShape &shape, const std::function<void(const CorpusFrame &)> &visit);

}  // namespace nonfinger_corpus
