// The 4847's interrupt-pin production test, through the 4847 factory
// operations (chips/zq4847_update); the factory entry reaches it through
// zq_interface_base_FunctionforTestPin.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_PIN_TEST_4847_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_PIN_TEST_4847_H_

#ifdef __cplusplus
extern "C" {
#endif

// Polls of the pin for each level, 1 ms apart.
#define ZQ4847_PIN_POLLS 201

// Reset_Test; the factory mode; work mode 1 must raise the bridge's pin and
// work mode 0 lower it again, each within 201 polls 1 ms apart. Pauses go
// through the millisecond slot. Ends the factory mode on every path.
// Returns 0, or -1 (failed reset test or a level that never came).
int zq_feature_4847_FunctionforTestPin(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_PIN_TEST_4847_H_
