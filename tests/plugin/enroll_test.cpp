// The enrol operation against the scripted device library and the real
// feature database (in a private folder).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "plugin/community_store.h"
#include "plugin/operation_fixture.h"

namespace plugin_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string Progress(int percent) {
  return "Sampling progress [" + std::to_string(percent) +
         "%], in the next sampling: please press and lift your finger";
}

class EnrollTest : public OperationTest {
 protected:
  int Enroll(int uid = 1000, int index = 3, const char *name = "left index",
             OpsActions action = ACTION_START) {
    std::string copy = name;
    return community_ops_enroll(dev(), action, uid, index, copy.data());
  }
};

TEST_F(EnrollTest, TwelveStagesStoreTheBase64OfThePrint) {
  RecordNotifyTexts();
  ASSERT_EQ(Enroll(), 0);
  std::vector<std::string> expected;
  for (int stage = 1; stage <= 11; ++stage) expected.push_back(Progress(stage * 100 / 12));
  expected.push_back("Sample complete");
  EXPECT_THAT(notes(), ElementsAreArray(expected));
  EXPECT_EQ(Progress(8), notes().front());
  EXPECT_EQ(Progress(91), notes()[10]);
  // Relative codes of an enrolment, as the service stores them.
  EXPECT_EQ(bio_get_ops_result(dev()), 200);
  EXPECT_EQ(bio_get_notify_mid(dev()), 200);
  EXPECT_EQ(bio_get_dev_status(dev()), 0);
  EXPECT_THAT(StoredRows(), ElementsAre(Row{1000, 3, "left index", 1, "RlAyIwAAAAAAAQMAAABhYmM="}));
  EXPECT_EQ(StoredText("abc"), "RlAyIwAAAAAAAQMAAABhYmM=");
  EXPECT_EQ(fake_->enroll_start_calls, 1);
  EXPECT_EQ(fake_->enroll_stop_calls, 1);
  EXPECT_EQ(fake_->import_calls, 1);
  EXPECT_EQ(fake_->import_size, 0);
}

// Short and long prints: the text buffer must hold every encoding.
TEST_F(EnrollTest, StoredTextDecodesToThePrintWhateverItsLength) {
  int index = 0;
  for (const char *item : {"", "a", "ab", "abcd", "a-long-template-of-forty-bytes-or-so-xx"}) {
    SCOPED_TRACE(item);
    Finger(item);
    fake_->nr_enroll_stages = 1;
    ASSERT_EQ(Enroll(7, index, "f"), 0);
    std::vector<Row> rows = StoredRows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(index + 1));
    EXPECT_EQ(rows.back().data, StoredText(item));
    ++index;
  }
}

TEST_F(EnrollTest, StageOutcomes) {
  const std::string unknown1 = "Unknown error, error code: -1";
  struct Case {
    const char *name;
    std::vector<int> results;
    int start_result;
    int fail_at_poll;
    bool without_print;
    int ret;
    std::vector<std::string> notes;  // notify text after each poll
    int ops_result;
    std::string final_text;
    int stop_calls;
  } cases[] = {
      {"fail", {3, 2}, 0, 0, false, -1, {Progress(8), "Enrollment failed due to incomprehensible "
       "data. (Please use the same finger at different sampling stages of the same enroll)"},
       201, unknown1, 1},
      {"complete without print", {1}, 0, 0, true, -1,
       {"Enroll failed: The feature was successfully sampled, but the encoding of the sampling "
        "feature could not be generated"}, 201, unknown1, 1},
      // An error stops the enrolment once, after the wait, not also from the
      // callback.
      {"error", {3, -5}, 0, 0, false, -1, {Progress(8), "Unknown error, error code: -5"}, 201,
       unknown1, 1},
      {"retries then complete", {100, 101, 102, 103, 7, 1}, 0, 0, false, 0,
       {"Please place your finger again because of poor quality of the sample or other scanning "
        "problems",
        "Fingerprint repeat area too high, please place your finger again",
        "Didn't catch that, please center your finger on the sensor and try again.",
        "Because of the scanning image quality or finger pressure problem, the sampling failed, "
        "please remove the finger and retry",
        "Because of the scanning image quality or finger pressure problem, the sampling failed, "
        "please remove the finger and retry",
        "Sample complete"},
       200, "", 1},
      {"start refused", {}, -22, 0, false, -1, {}, 201, unknown1, 0},
      {"poll error", {3, 3, 3}, 0, 2, false, -1, {Progress(8), Progress(16)}, 201, unknown1, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    notes_.clear();
    RecordNotifyTexts();
    fake_->nr_enroll_results = 0;
    for (int r : c.results) fake_->enroll_results[fake_->nr_enroll_results++] = r;
    fake_->enroll_start_result = c.start_result;
    fake_->fail_at_poll = c.fail_at_poll;
    fake_->complete_without_print = c.without_print;
    EXPECT_EQ(Enroll(), c.ret);
    EXPECT_THAT(notes(), ElementsAreArray(c.notes));
    EXPECT_EQ(bio_get_ops_result(dev()), c.ops_result);
    if (!c.final_text.empty()) {
      EXPECT_STREQ(bio_get_notify_mid_mesg(dev()), c.final_text.c_str());
    }
    EXPECT_EQ(StoredRows().size(), c.ret == 0 ? 1u : 0u);
    EXPECT_EQ(fake_->enroll_stop_calls, c.stop_calls);
    EXPECT_EQ(bio_get_dev_status(dev()), 0);
  }
}

TEST_F(EnrollTest, StoppedTimedOutOrRefusedByTheService) {
  // A stop action: nothing read, nothing started.
  bio_set_dev_status(dev(), 0);
  EXPECT_EQ(Enroll(1000, 3, "x", ACTION_STOP), -1);
  EXPECT_EQ(bio_get_ops_result(dev()), 3);
  EXPECT_EQ(bio_get_notify_mid(dev()), 3);
  EXPECT_EQ(fake_->import_calls, 0);
  EXPECT_EQ(fake_->enroll_start_calls, 0);

  // Stopped by the user during the wait.
  fake_->nr_enroll_results = 1;
  fake_->enroll_results[0] = 3;
  fake_->on_poll = [](int call, void *arg) {
    auto *test = static_cast<EnrollTest *>(arg);
    if (call != 2) return;
    bio_set_dev_status(test->dev(), DEVS_ENROLL_STOP_BY_USER);
    test->priv()->result = -3;
    test->priv()->done = 1;
  };
  fake_->on_poll_arg = this;
  EXPECT_EQ(Enroll(), -1);
  EXPECT_EQ(bio_get_ops_result(dev()), 203);
  EXPECT_EQ(bio_get_notify_mid(dev()), 203);

  // The deadline.
  fake_->on_poll = nullptr;
  fake_->sleep_in_poll = 1;
  ShortTimeout();
  EXPECT_EQ(Enroll(), -1);
  EXPECT_EQ(bio_get_ops_result(dev()), 204);
  EXPECT_EQ(bio_get_notify_mid(dev()), 204);
  EXPECT_EQ(bio_get_dev_status(dev()), 0);
  EXPECT_TRUE(StoredRows().empty());
}

TEST_F(EnrollTest, DisabledDeviceRefuses) {
  host_->dev()->enable = 0;
  EXPECT_EQ(Enroll(), -1);
  EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_DISABLE);
  EXPECT_EQ(fake_->enroll_start_calls, 0);
}

TEST_F(EnrollTest, AtMostTenFingersPerUser) {
  struct Case {
    const char *name;
    int module_type;
    int stored;            // fingers stored in the database for the user
    int registered;        // module type 1: the module's count
    int registered_result; // module type 1: the count query's result
    int ret;
    int ops_result;
    const char *text;
    int imported;
  } cases[] = {
      {"nine stored", 0, 9, 0, 0, 0, 200, nullptr, 9},
      {"ten stored", 0, 10, 0, 0, -1, 2003, "Up to the max finger count", 0},
      {"module keeps nine", 1, 0, 9, 0, 0, 200, nullptr, 0},
      {"module keeps ten", 1, 0, 10, 0, -1, 2003, "Up to the max finger count", 0},
      {"module does not answer", 1, 0, 0, -5, -1, 2002, "Chip communication failure", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    priv()->module_type = c.module_type;
    fake_->registered_number = c.registered;
    fake_->registered_number_result = c.registered_result;
    for (int i = 0; i < c.stored; ++i)
      StoreFeature(1000, i, "f" + std::to_string(i), StoredText("t" + std::to_string(i)));
    StoreFeature(2000, 0, "another user", StoredText("u"));
    EXPECT_EQ(Enroll(1000, c.stored), c.ret);
    EXPECT_EQ(bio_get_ops_result(dev()), c.ops_result);
    if (c.text != nullptr) {
      EXPECT_STREQ(bio_get_notify_mid_mesg(dev()), c.text);
      EXPECT_STREQ(community_ops_get_ops_result_mesg(dev()), c.text);
      EXPECT_EQ(fake_->enroll_start_calls, 0);
    }
    EXPECT_EQ(fake_->import_size, c.imported);
    if (c.imported > 0) {
      EXPECT_STREQ(fake_->imported[0], "t0");
      EXPECT_STREQ(fake_->imported[8], "t8");
    }
    EXPECT_EQ(bio_get_dev_status(dev()), 0);
  }
}

// Stored samples are not trusted: one that does not decode or parse is
// skipped, and the templates after it are still used.
TEST_F(EnrollTest, UnreadableStoredSamplesAreSkipped) {
  StoreFeature(1000, 0, "a", StoredText("first"));
  StoreFeature(1000, 1, "b", "not base64!");
  StoreFeature(1000, 2, "c", "QUJDREVGR0hJSktM");  // base64, but not a print
  StoreFeature(1000, 3, "d", "Rl");                // cut short
  StoreFeature(1000, 4, "e", "");
  StoreFeature(1000, 5, "f", StoredText("last"));
  ASSERT_EQ(Enroll(1000, 6), 0);
  ASSERT_EQ(fake_->import_size, 2);
  EXPECT_STREQ(fake_->imported[0], "first");
  EXPECT_STREQ(fake_->imported[1], "last");
}

// The database cannot take the print: the enrolment fails instead of
// reporting success.
TEST_F(EnrollTest, PrintThatCannotBeStoredIsAFailure) {
  sqlite3 *db = bio_sto_connect_db();
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TRIGGER refuse BEFORE INSERT ON EIGEN_INFO "
                         "BEGIN SELECT RAISE(ABORT, 'no room'); END;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  bio_sto_disconnect_db(db);
  EXPECT_EQ(Enroll(), -1);
  EXPECT_EQ(bio_get_ops_result(dev()), 201);
  EXPECT_EQ(bio_get_notify_mid(dev()), COMMUNITY_NOTIFY_MESSAGE);
  EXPECT_EQ(bio_get_dev_status(dev()), 0);
}

// Counts fingerprint samples only, and says how many templates it saw.
TEST(FeatureLengthTest, CountsAndLogs) {
  ServiceHost host;  // the service's print level
  char driver[] = "zq4842";
  char name[] = "n";
  const struct {
    std::vector<int> biotypes;  // one feature with one sample each
    int fingers;
    const char *line;
  } cases[] = {
      {{}, 0, "there is 0 template loaded."},
      {{0}, 1, "there is 1 template loaded."},
      {{0, 3, 0}, 2, "there are 3 templates loaded."},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    feature_info *list = nullptr;
    for (int biotype : c.biotypes) {
      feature_info *f = bio_sto_new_feature_info(1, biotype, driver, 0, name);
      f->sample = bio_sto_new_feature_sample(1, nullptr);
      f->next = list;
      list = f;
    }
    int fingers = -1;
    std::string out = Captured([&] { fingers = community_internal_get_feature_length(list); });
    EXPECT_EQ(fingers, c.fingers);
    EXPECT_NE(out.find(c.line), std::string::npos) << out;
    std::string count_line = "wkr check there are " + std::to_string(c.fingers) + " fingers in this";
    EXPECT_NE(out.find(count_line), std::string::npos) << out;
    bio_sto_free_feature_info_list(list);
  }
}

TEST(CopyStepTest, CopiesOrRefusesNullArguments) {
  const char src[] = "bytes";
  char dst[6] = {};
  const char key[] = "k";
  EXPECT_EQ(community_internal_aes_encrypt(src, 6, key, dst), 0);
  EXPECT_STREQ(dst, "bytes");
  char untouched[6] = "xxxxx";
  const struct {
    const void *src;
    const void *key;
    void *dst;
  } refused[] = {{nullptr, key, untouched}, {src, nullptr, untouched}, {src, key, nullptr}};
  for (const auto &r : refused) {
    EXPECT_EQ(community_internal_aes_decrypt(r.src, 6, r.key, r.dst), -1);
    EXPECT_STREQ(untouched, "xxxxx");
  }
}

}  // namespace
}  // namespace plugin_test
