// The VFS0050's line records and interrupt messages.
#include <cstring>

#include "drivers/vfs0050/vfs0050_proto.h"

namespace vfs0050 {

int LineDeviation(const uint8_t *a, const uint8_t *b) {
  int sum = 0;
  for (size_t i = 0; i < kLookaheadLength; ++i) {
    const int d = a[kLookaheadOffset + i] - b[kLookaheadMatchOffset + i];
    sum += d * d;
  }
  return sum;
}

bool IsBlankLine(const uint8_t *line) {
  return line[4] >= kBlankLow && line[4] <= kBlankHigh && line[5] >= kBlankLow &&
         line[5] <= kBlankHigh;
}

size_t UsableLines(const uint8_t *data, size_t bytes) {
  size_t n = bytes / kLineSize;
  while (n > 0 && IsBlankLine(data + (n - 1) * kLineSize)) --n;
  return n > kMaxLines ? kMaxLines : n;
}

int ClassifyInterrupt(const uint8_t message[kInterruptSize]) {
  for (const auto &finger : kInterruptFinger) {
    if (std::memcmp(message, finger, kInterruptSize) == 0) return 1;
  }
  return message[0] == 1 ? 2 : 0;
}

}  // namespace vfs0050
