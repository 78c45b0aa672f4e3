// Two ways to put the emulated 4847 (bridge_emul::Chip4847) behind the host
// slots of zq4847_factory_callbacks: the bridge with the driver's own slots
// (bus type 1), and a direct full-duplex bus (bus type 2) whose write slot
// hands the buffer to the chip and writes back what it clocks out.
#ifndef TESTS_CHIPS_ZQ4847_UPDATE_ZQ4847_TEST_BUS_H_
#define TESTS_CHIPS_ZQ4847_UPDATE_ZQ4847_TEST_BUS_H_

#include <memory>
#include <vector>

#include "bridge_emul/bridge_bench.h"
#include "bridge_emul/chip4847_model.h"

namespace zq4847_test {

// The direct bus: one per process at a time (the slots are plain functions).
class DirectBus {
 public:
  explicit DirectBus(bridge_emul::Chip4847Config config = {}, int bus_type = 2);
  ~DirectBus();

  bridge_emul::Chip4847 &chip() { return *chip_; }
  // Millisecond and microsecond sleeps through the slots, in order.
  const std::vector<int> &SleepsMs() const;
  const std::vector<int> &SleepsUs() const;
  // The write slot fails (returns -7) on its `n`th call from now on (1 =
  // the next); 0 never.
  void FailWrite(int n);
  // Slot calls so far.
  int Writes() const;
  int Resets() const;

 private:
  std::shared_ptr<bridge_emul::Chip4847> chip_;
};

// The bridge with the chip on its SPI pass-through and its selector reads,
// opened, with the driver's 4847 slots installed and bus type 1.
class BridgeBus {
 public:
  explicit BridgeBus(bridge_emul::Chip4847Config config = {});
  ~BridgeBus();

  bridge_emul::Chip4847 &chip() { return *chip_; }
  bridge_emul::BridgeBench &bench() { return bench_; }

 private:
  std::shared_ptr<bridge_emul::Chip4847> chip_;
  bridge_emul::BridgeBench bench_;
};

}  // namespace zq4847_test

#endif  // TESTS_CHIPS_ZQ4847_UPDATE_ZQ4847_TEST_BUS_H_
