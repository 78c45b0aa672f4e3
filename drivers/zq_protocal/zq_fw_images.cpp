// PLACEHOLDERS for the maker's bridge firmware images: this file is the one
// place that produces them. Each array is filler of the image's exact size,
// generated at compile time from a fixed seed (xorshift32), so every build
// holds the same bytes and no two images are alike. Swap in the maker's
// arrays here; nothing else depends on the contents.
#include "drivers/zq_protocal/zq_fw_images.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

template <size_t N>
constexpr std::array<uint8_t, N> Placeholder(uint32_t seed) {
  std::array<uint8_t, N> bytes{};
  uint32_t x = seed;
  for (size_t i = 0; i < N; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes[i] = static_cast<uint8_t>(x >> 24);
  }
  return bytes;
}

constexpr auto k4841 = Placeholder<ZQ_FW_SIZE_ZQ4841>(0x48410001u);
constexpr auto k4842 = Placeholder<ZQ_FW_SIZE_ZQ4842>(0x48420002u);
constexpr auto k4844 = Placeholder<ZQ_FW_SIZE_ZQ4844>(0x48440003u);
constexpr auto k4847 = Placeholder<ZQ_FW_SIZE_ZQ4847>(0x48470004u);
constexpr auto k4856 = Placeholder<ZQ_FW_SIZE_ZQ4856>(0x48560007u);

}  // namespace

const uint8_t *const zq_bridge_fw_image_zq4841 = k4841.data();
const uint8_t *const zq_bridge_fw_image_zq4842 = k4842.data();
const uint8_t *const zq_bridge_fw_image_zq4844 = k4844.data();
const uint8_t *const zq_bridge_fw_image_zq4847 = k4847.data();
const uint8_t *const zq_bridge_fw_image_zq4856 = k4856.data();
