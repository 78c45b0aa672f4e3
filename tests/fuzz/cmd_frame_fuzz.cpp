// libFuzzer target: random bytes as a framed module reply. Whatever the
// checks accept must lie inside the bytes received and the caller's room,
// and must be exactly the frame that the builder makes of its status and
// payload.
#include <cstdint>
#include <cstring>
#include <vector>

#include "drivers/zq_protocal/zq_cmd_frame.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the caller's payload room.
  const size_t max_payload = static_cast<size_t>(data[0]) << 8 | data[1];
  const uint8_t *frame = data + 2;
  const size_t received = size - 2;
  // An exact-size heap copy, so that any read past `received` is caught.
  std::vector<uint8_t> copy(frame, frame + received);

  uint8_t status = 0;
  uint16_t payload_len = 0;
  zq_cmd_frame_error e =
      zq_cmd_frame_parse(copy.data(), copy.size(), max_payload, &status, &payload_len);
  if (e != ZQ_FRAME_OK) return 0;
  Check(payload_len <= max_payload);
  Check(payload_len + static_cast<size_t>(ZQ_CMD_OVERHEAD) <= received);
  Check(status == frame[3]);

  std::vector<uint8_t> rebuilt(payload_len + ZQ_CMD_OVERHEAD);
  Check(zq_cmd_frame_build(rebuilt.data(), rebuilt.size(), status, frame + 4, payload_len) ==
        rebuilt.size());
  Check(std::memcmp(rebuilt.data(), frame, rebuilt.size()) == 0);
  return 0;
}
