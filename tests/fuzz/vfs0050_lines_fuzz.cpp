// libFuzzer target: random bytes as the VFS0050's line records and interrupt
// message, read the way the driver reads them. Every line it takes must lie
// inside the bytes received.
#include <cstdint>
#include <vector>

#include "drivers/vfs0050/vfs0050_proto.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace vfs0050;
  // An exact-size heap copy, so that any read past `size` is caught.
  std::vector<uint8_t> bytes(data, data + size);
  if (size >= kInterruptSize) {
    std::vector<uint8_t> message(bytes.begin(), bytes.begin() + kInterruptSize);
    int kind = ClassifyInterrupt(message.data());
    Check(kind >= 0 && kind <= 2);
  }
  const size_t n = UsableLines(bytes.data(), bytes.size());
  Check(n <= kMaxLines);
  Check(n * kLineSize <= size);
  if (n > 0) Check(!IsBlankLine(bytes.data() + (n - 1) * kLineSize));
  unsigned sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t *line = bytes.data() + i * kLineSize;
    for (unsigned x = 0; x < kLineWidth; ++x) sum += LinePixel(line, x);
    if (i + 1 < n) {
      int d = LineDeviation(line, line + kLineSize);
      Check(d >= 0 && d <= 32 * 255 * 255);
    }
  }
  (void)sum;
  return 0;
}
