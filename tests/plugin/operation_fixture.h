// An open device of the scripted library and a private feature database,
// for the tests of the biometric operations.
#ifndef TESTS_PLUGIN_OPERATION_FIXTURE_H_
#define TESTS_PLUGIN_OPERATION_FIXTURE_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/community_ops.h"
#include "plugin/fake_fpdev.h"
#include "plugin/plugin_host.h"

namespace plugin_test {

// One stored sample, as read back from the database.
struct Row {
  int uid;
  int index;
  std::string name;
  int no;
  std::string data;
  bool operator==(const Row &) const = default;
};
void PrintTo(const Row &row, std::ostream *os);

// Base64 (standard alphabet, padded) of `bytes`.
std::string Base64(const std::string &bytes);
// The stored text of a print of the scripted library holding `item`: the
// base64 of its FP2 blob.
std::string StoredText(const std::string &item);

// Writes one feature of the plug-in's device with one sample (number 1).
void StoreFeature(int uid, int index, const std::string &name, const std::string &data);
// Every stored sample of the plug-in's device, ordered by user and index.
std::vector<Row> StoredRows();

class OperationTest : public ::testing::Test {
 public:
  // Appends the current notify text to notes().
  void RecordNote();
  bio_dev *dev() { return host_->dev(); }
  community_dev_priv *priv() { return host_->priv(); }

 protected:
  // Skips without a private database; else configures and opens one
  // device of driver 35 with 12 enrol stages and the finger "abc", listed
  // in sysfs as "1-2".
  void SetUp() override;
  void TearDown() override;

  // Sets the finger on the sensor.
  void Finger(const char *text);
  // Scripts the identifications that follow.
  void Identify(std::initializer_list<fake_fpdev_identify_step> steps);
  // Records the notify text after every poll in notes().
  void RecordNotifyTexts();
  const std::vector<std::string> &notes() const { return notes_; }
  // Makes the waits last one second (service time-out 5500 ms).
  void ShortTimeout();

  fake_fpdev_script *fake_ = nullptr;
  // The sensor, 3c5d:4842, plugged in as "1-2".
  UsbDevices usb_;
  std::unique_ptr<ServiceHost> host_;
  std::vector<std::string> notes_;
};

}  // namespace plugin_test

#endif  // TESTS_PLUGIN_OPERATION_FIXTURE_H_
