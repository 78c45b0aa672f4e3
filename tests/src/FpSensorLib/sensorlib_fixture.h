// Fixture of the sensor library tests: every process-wide setting the
// library touches starts from its load value, and the library's messages
// are collected through the host log callback (logging mode 2).
#ifndef TESTS_SRC_FPSENSORLIB_SENSORLIB_FIXTURE_H_
#define TESTS_SRC_FPSENSORLIB_SENSORLIB_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sensorlib_test {

// Messages the library wrote through the host log callback, formatted.
std::vector<std::string> &HostLog();

class SensorLibTest : public ::testing::Test {
 protected:
  // Load values everywhere, mode-2 logging of every level, log emptied.
  void SetUp() override;
  // Frees what the test built and puts the settings back.
  void TearDown() override;

  // quorv_SensorResourceCreate, then the log emptied.
  void Create();
  // True when the log holds exactly `message`.
  static bool Logged(const std::string &message);
};

}  // namespace sensorlib_test

#endif  // TESTS_SRC_FPSENSORLIB_SENSORLIB_FIXTURE_H_
