// Clean, the feature list and the message texts, against the scripted
// device library and the real feature database (in a private folder).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/operation_fixture.h"

namespace plugin_test {
namespace {

using ::testing::ElementsAre;

class CleanTest : public OperationTest {
 protected:
  void SetUp() override {
    OperationTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (int i = 0; i < 4; ++i) StoreFeature(1000, i, "f" + std::to_string(i), StoredText("t"));
    StoreFeature(2000, 1, "other", StoredText("u"));
  }
  int Clean(int uid, int start, int end, OpsActions action = ACTION_START) {
    return community_ops_clean(dev(), action, uid, start, end);
  }
  // uid:index of every stored feature.
  std::vector<std::string> Keys() {
    std::vector<std::string> keys;
    for (const Row &r : StoredRows())
      keys.push_back(std::to_string(r.uid) + ":" + std::to_string(r.index));
    return keys;
  }
  void ExpectBothCodes(int code) {
    EXPECT_EQ(bio_get_ops_result(dev()), code);
    EXPECT_EQ(bio_get_notify_mid(dev()), code);
    EXPECT_EQ(bio_get_dev_status(dev()), 0);
  }
};

TEST_F(CleanTest, RemovesTheRangeOfOneUser) {
  const struct {
    const char *name;
    int uid, start, end;
    std::vector<std::string> left;
  } cases[] = {
      {"middle of the range", 1000, 1, 2, {"1000:0", "1000:3", "2000:1"}},
      {"to the end", 1000, 2, -1, {"1000:0", "1000:1", "2000:1"}},
      {"empty range", 1000, 7, 9, {"1000:0", "1000:1", "1000:2", "1000:3", "2000:1"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    EXPECT_EQ(Clean(c.uid, c.start, c.end), 0);
    ExpectBothCodes(700);
    EXPECT_EQ(Keys(), c.left);
    EXPECT_EQ(fake_->delete_calls, 0);
  }
}

TEST_F(CleanTest, DisabledOrStopped) {
  dev()->enable = 0;
  // A disabled clean deleted nothing, and says so.
  EXPECT_EQ(Clean(1000, 0, -1), -1);
  EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_DISABLE);
  EXPECT_EQ(community_ops_get_feature_list(dev(), ACTION_START, 1000, 0, -1), nullptr);
  EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_DISABLE);
  dev()->enable = 1;
  EXPECT_EQ(Clean(1000, 0, -1, ACTION_STOP), 0);
  ExpectBothCodes(703);
  EXPECT_EQ(community_ops_get_feature_list(dev(), ACTION_STOP, 1000, 0, -1), nullptr);
  ExpectBothCodes(803);
  EXPECT_EQ(Keys().size(), 5u);
}

// A module that keeps templates itself has the range's templates deleted
// too; the first failure is the one reported.
TEST_F(CleanTest, ModuleTemplatesAreDeletedToo) {
  const struct {
    const char *name;
    int delete_result;
    int ret;
    int ops_result;
  } cases[] = {{"deleted", 0, 0, 700}, {"module fails", -5, -5, 701}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    priv()->module_type = 1;
    fake_->delete_result = c.delete_result;
    EXPECT_EQ(Clean(1000, 0, 1), c.ret);
    EXPECT_EQ(bio_get_ops_result(dev()), c.ops_result);
    EXPECT_EQ(bio_get_notify_mid(dev()), c.ops_result);
    EXPECT_EQ(fake_->delete_calls, 1);
    EXPECT_EQ(fake_->delete_size, 2);
    EXPECT_EQ(Keys(), (std::vector<std::string>{"1000:2", "1000:3", "2000:1"}));
  }
}

TEST_F(CleanTest, FeatureListReturnsTheRange) {
  for (int module_type : {0, 1}) {
    SCOPED_TRACE(module_type);
    priv()->module_type = module_type;
    feature_info *list = community_ops_get_feature_list(dev(), ACTION_START, 1000, 1, 2);
    std::vector<int> indices;
    for (feature_info *f = list; f != nullptr; f = f->next) indices.push_back(f->index);
    bio_sto_free_feature_info_list(list);
    EXPECT_THAT(indices, ElementsAre(1, 2));
    ExpectBothCodes(800);
  }
  // The module was given every user's templates.
  EXPECT_EQ(fake_->sync_calls, 1);
  EXPECT_EQ(fake_->sync_size, 5);
  EXPECT_EQ(community_ops_get_feature_list(dev(), ACTION_START, 1000, 8, 9), nullptr);
  ExpectBothCodes(800);
}

TEST_F(CleanTest, EveryTextOfTheCodes) {
  const struct {
    int code;
    const char *text;
  } notify[] = {
      {1001, "Sample complete"},
      {1002,
       "Enrollment failed due to incomprehensible data. (Please use the same finger at different "
       "sampling stages of the same enroll)"},
      {1100,
       "Please place your finger again because of poor quality of the sample or other scanning "
       "problems"},
      {1101, "Fingerprint repeat area too high, please place your finger again"},
      {1102, "Didn't catch that, please center your finger on the sensor and try again."},
      {1103,
       "Because of the scanning image quality or finger pressure problem, the sampling failed, "
       "please remove the finger and retry"},
      {1104, "Unable to generate feature data, enroll failure"},
      {1105, "Sample start, please press and lift your finger"},
      {1003, nullptr},
      {1099, nullptr},
      {1107, nullptr},
  };
  for (const auto &n : notify) {
    SCOPED_TRACE(n.code);
    bio_set_notify_abs_mid(dev(), n.code);
    EXPECT_STREQ(community_ops_get_notify_mid_mesg(dev()), n.text);
  }
  const struct {
    int code;
    const char *text;
  } results[] = {{2001, "Device is initializing"},
                 {2002, "Chip communication failure"},
                 {2003, "Up to the max finger count"},
                 {2000, nullptr},
                 {700, nullptr}};
  for (const auto &r : results) {
    SCOPED_TRACE(r.code);
    bio_set_ops_abs_result(dev(), r.code);
    EXPECT_STREQ(community_ops_get_ops_result_mesg(dev()), r.text);
  }
  for (int status : {0, 3, 201, 402}) {
    bio_set_dev_status(dev(), status);
    EXPECT_EQ(community_ops_get_dev_status_mesg(dev()), nullptr);
  }
  // 1106 is the last message the plug-in wrote.
  community_ops_close(dev());
  fake_->driver_ids[0] = 9;
  EXPECT_EQ(community_ops_open(dev()), -1);
  EXPECT_EQ(bio_get_notify_mid(dev()), 1106);
  EXPECT_STREQ(community_ops_get_notify_mid_mesg(dev()), "Device failed to open");
}

}  // namespace
}  // namespace plugin_test
