// The 4847 interrupt-pin test on the emulated chip behind the bridge: the
// reset test first, then work mode 1 must raise the pin and work mode 0
// lower it; the factory mode ends on every path.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "drivers/zq_protocal/zq_pin_test_4847.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

using bridge_emul::Chip4847Config;

TEST(PinTest4847, PassesWhenTheModesDriveThePinAndFailsOtherwise) {
  struct Case {
    std::string name;
    std::function<void(Chip4847Config &)> config;
    bool finger;  // holds the pin high
    int result;
    unsigned resets;  // reset test's chip reset
  } cases[] = {
      {"pin follows the modes", [](Chip4847Config &) {}, false, 0, 1},
      {"reset test fails", [](Chip4847Config &c) { c.echo_from_write = 0; }, false, -1, 0},
      {"pin never rises", [](Chip4847Config &c) { c.pin_in_mode3 = false; }, false, -1,
       1},
      {"pin never falls", [](Chip4847Config &) {}, true, -1, 1},
  };
  for (const Case &c : cases) {
    Chip4847Config config;
    c.config(config);
    zq4847_test::BridgeBus bus(config);
    bus.chip().SetFinger(c.finger);
    EXPECT_EQ(zq_feature_4847_FunctionforTestPin(), c.result) << c.name;
    EXPECT_EQ(bus.chip().HardwareResets(), c.resets) << c.name;
    EXPECT_EQ(bus.chip().FactoryExits(), 1u) << c.name;
  }
}

}  // namespace
