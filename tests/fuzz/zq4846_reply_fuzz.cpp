// libFuzzer target: random bytes as a module type 2 frame-scan reply. The
// first three bytes are the module's answers (columns, rows, and which kind
// of module: 8-bit, chip 0x4845, or a 16-bit product), the rest the reply as
// it arrived. An accepted reply must have held the whole frame, and an 8-bit
// frame must come out as sent.
#include <cstdint>
#include <cstring>
#include <vector>

#include "drivers/chips/zq4846/zq4846.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 3) return 0;
  g_zq4846_cols = data[0];
  g_zq4846_rows = data[1];
  const unsigned kind = data[2] % 3;
  g_zq4846_chip_id = kind == 1 ? ZQ4846_CHIP_ID_4845 : 0x4843;
  g_zq4846_pid = kind == 2 ? 0x3b15 : 0x3b11;
  // An exact-size heap copy, so that any read past what arrived is caught.
  std::vector<uint8_t> rx(data + 3, data + size);
  const size_t count = static_cast<size_t>(g_zq4846_cols) * g_zq4846_rows;
  std::vector<uint8_t> img(count + 1);
  const int received = static_cast<int>(rx.size());
  if (rx.empty()) rx.reserve(1);  // a valid pointer with nothing behind it
  if (zq4846_decode_scan_reply(rx.data() != nullptr ? rx.data() : img.data(), received,
                               img.data()) != 0)
    return 0;
  const bool ht32 = kind == 0 && g_zq4846_cols == 40 && g_zq4846_rows == 152;
  const size_t bytes = count * (kind != 0 || ht32 ? 2 : 1);
  Check(rx.size() >= 4 + bytes);
  Check(rx[3] == 0x04);
  if (kind == 0 && !ht32) Check(count == 0 || std::memcmp(img.data(), rx.data() + 4, count) == 0);
  return 0;
}
