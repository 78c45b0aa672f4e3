#include "zq4847_update/zq4847_test_bus.h"

#include <gtest/gtest.h>

#include <cstring>

#include "drivers/zq_protocal/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_bridge_state.h"

namespace zq4847_test {

namespace {

bridge_emul::Chip4847 *g_chip = nullptr;
int g_bus_type_answer = 2;
std::vector<int> g_sleeps_ms;
std::vector<int> g_sleeps_us;
int g_fail_write_at = 0;
int g_writes = 0;
int g_resets = 0;

int BusType() { return g_bus_type_answer; }
int Msleep(int ms) {
  g_sleeps_ms.push_back(ms);
  return 0;
}
int Usleep(int us) {
  g_sleeps_us.push_back(us);
  return 0;
}
int Read(void *, uint16_t) {
  ADD_FAILURE() << "a full-duplex bus never reads on its own";
  return -1;
}
int Write(const uint8_t *buf, uint16_t len) {
  if (++g_writes == g_fail_write_at) return -7;
  std::vector<uint8_t> miso = g_chip->Transfer(std::span<const uint8_t>(buf, len));
  // The buffers the 4847 code hands over are writable: full duplex.
  std::memcpy(const_cast<uint8_t *>(buf), miso.data(), len);
  return 0;
}
int ChipSelect(unsigned level) {
  g_chip->Select(level == 0);
  return 0;
}
int Reset() {
  ++g_resets;
  g_chip->HardwareReset();
  return 0;
}

}  // namespace

DirectBus::DirectBus(bridge_emul::Chip4847Config config, int bus_type)
    : chip_(std::make_shared<bridge_emul::Chip4847>(config)) {
  g_chip = chip_.get();
  g_bus_type_answer = bus_type;
  g_sleeps_ms.clear();
  g_sleeps_us.clear();
  g_fail_write_at = 0;
  g_writes = 0;
  g_resets = 0;
  zq4847_factory_callbacks = {BusType, nullptr, Msleep, Usleep, Read, Write, ChipSelect, Reset};
}

DirectBus::~DirectBus() {
  zq4847_factory_callbacks = {};
  g_chip = nullptr;
}

const std::vector<int> &DirectBus::SleepsMs() const { return g_sleeps_ms; }
const std::vector<int> &DirectBus::SleepsUs() const { return g_sleeps_us; }
void DirectBus::FailWrite(int n) { g_fail_write_at = n == 0 ? 0 : g_writes + n; }
int DirectBus::Writes() const { return g_writes; }
int DirectBus::Resets() const { return g_resets; }

BridgeBus::BridgeBus(bridge_emul::Chip4847Config config)
    : chip_(std::make_shared<bridge_emul::Chip4847>(config)) {
  bench_.model().AttachSpiChip(chip_);
  bench_.model().Set4847(chip_->Selectors());
  bench_.Open();
  g_bus_type = 1;
  zq4847_fill_factory_callbacks();
}

BridgeBus::~BridgeBus() { zq4847_factory_callbacks = {}; }

}  // namespace zq4847_test
