// Verify, identify and search against the scripted device library and the
// real feature database (in a private folder).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/operation_fixture.h"
#include "support/stderr_capture.h"

namespace plugin_test {
namespace {

using ::testing::ElementsAre;

constexpr int kNone = -1000;  // the identification reports nothing

class IdentifyTest : public OperationTest {
 public:
  std::vector<std::string> messages;

 protected:
  void SetUp() override {
    OperationTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Three fingers of user 1000 and one of user 2000.
    StoreFeature(1000, 0, "thumb", StoredText("a"));
    StoreFeature(1000, 1, "index", StoredText("b"));
    StoreFeature(1000, 2, "middle", StoredText("c"));
    StoreFeature(2000, 0, "other", StoredText("d"));
  }
  int Verify(int uid, int index) { return community_ops_verify(dev(), ACTION_START, uid, index); }
  int IdentifyOp(int uid, int start = 0, int end = -1) {
    return community_ops_identify(dev(), ACTION_START, uid, start, end);
  }
  feature_info *Search(int uid, int start = 0, int end = -1) {
    return community_ops_search(dev(), ACTION_START, uid, start, end);
  }
  // Runs search and returns the found features as rows, freeing the list.
  std::vector<Row> SearchRows(int uid) {
    feature_info *found = Search(uid);
    std::vector<Row> rows;
    for (feature_info *f = found; f != nullptr; f = f->next)
      rows.push_back({f->uid, f->index, f->index_name, f->sample->no, f->sample->data});
    bio_sto_free_feature_info_list(found);
    return rows;
  }
  void ExpectBothCodes(int code) {
    EXPECT_EQ(bio_get_ops_result(dev()), code);
    EXPECT_EQ(bio_get_notify_mid(dev()), code);
    EXPECT_EQ(bio_get_dev_status(dev()), 0);
  }
};

const std::vector<Row> kStored = {
    {1000, 0, "thumb", 1, StoredText("a")},
    {1000, 1, "index", 1, StoredText("b")},
    {1000, 2, "middle", 1, StoredText("c")},
    {2000, 0, "other", 1, StoredText("d")},
};

TEST_F(IdentifyTest, MatchReturnsTheUserAndStoresTheUpdatedTemplate) {
  Identify({{1, 1}});
  EXPECT_EQ(IdentifyOp(1000), 1000);
  ExpectBothCodes(400);
  EXPECT_EQ(fake_->identify_gallery_size, 3);
  std::vector<Row> expected = kStored;
  expected[1].data = StoredText("b+");
  EXPECT_EQ(StoredRows(), expected);
}

TEST_F(IdentifyTest, VerifyMatchReturnsMinusOneWithResult300) {
  Identify({{1, 0}});
  EXPECT_EQ(Verify(1000, 2), -1);
  ExpectBothCodes(300);
  ASSERT_EQ(fake_->identify_gallery_size, 1);
  EXPECT_STREQ(fake_->identify_gallery[0], "c");
  std::vector<Row> expected = kStored;
  expected[2].data = StoredText("c+");
  EXPECT_EQ(StoredRows(), expected);
}

// Every way an identification can fail, for each of the three operations:
// the codes, and no stored template touched.
TEST_F(IdentifyTest, FailedIdentifications) {
  struct Case {
    const char *name;
    fake_fpdev_identify_step step;
    int start_result;
    int fail_at_poll;
    int offset_code;  // added to 300, 400 or 600
  } cases[] = {
      {"no match", {0, 0}, 0, 0, 1},
      {"retry", {102, 0}, 0, 0, 1},
      {"error", {-5, 0}, 0, 0, 1},
      {"start refused", {0, 0}, -22, 0, 1},
      {"poll error", {kNone, 0}, 0, 1, 1},
      {"unknown result", {9, 0}, 0, 0, 1},
      // The offset names no stored template: never another finger's update.
      {"offset past the gallery", {1, 3}, 0, 0, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const struct {
      const char *name;
      int match_code;
    } operations[] = {{"verify", 300}, {"identify", 400}, {"search", 600}};
    for (const auto &op : operations) {
      SCOPED_TRACE(op.name);
      fake_->identify_start_calls = 0;
      fake_->poll_calls = 0;
      Identify({c.step});
      fake_->identify_start_result = c.start_result;
      fake_->fail_at_poll = c.fail_at_poll;
      if (op.match_code == 300) {
        EXPECT_EQ(Verify(1000, 1), -1);
      } else if (op.match_code == 400) {
        EXPECT_EQ(IdentifyOp(1000), -1);
      } else {
        EXPECT_EQ(Search(1000), nullptr);
      }
      ExpectBothCodes(op.match_code + c.offset_code);
      EXPECT_EQ(StoredRows(), kStored);
    }
  }
}

TEST_F(IdentifyTest, OffsetPastASingleFeatureIsNoMatch) {
  Identify({{1, 1}});
  EXPECT_EQ(Verify(1000, 2), -1);
  ExpectBothCodes(301);
  EXPECT_EQ(StoredRows(), kStored);
}

TEST_F(IdentifyTest, StoppedByTheUserOrTheService) {
  // Stop action.
  EXPECT_EQ(community_ops_verify(dev(), ACTION_STOP, 1000, 0), -1);
  ExpectBothCodes(303);
  EXPECT_EQ(community_ops_identify(dev(), ACTION_STOP, 1000, 0, -1), -1);
  ExpectBothCodes(403);
  EXPECT_EQ(community_ops_search(dev(), ACTION_STOP, 1000, 0, -1), nullptr);
  ExpectBothCodes(603);
  EXPECT_EQ(fake_->identify_start_calls, 0);

  // A stop request during the wait.
  Identify({{kNone, 0}});
  fake_->on_poll = [](int, void *arg) {
    auto *test = static_cast<IdentifyTest *>(arg);
    bio_set_dev_status(test->dev(), DEVS_IDENTIFY_STOP_BY_USER);
    test->priv()->result = -3;
    test->priv()->done = 1;
  };
  fake_->on_poll_arg = this;
  EXPECT_EQ(IdentifyOp(1000), -1);
  ExpectBothCodes(403);
}

// A stop that arrives between two identifications (as between the passes of
// a search) ends the next one before it starts.
TEST_F(IdentifyTest, PendingStopEndsTheNextIdentificationAtOnce) {
  for (int status : {DEVS_IDENTIFY_STOP_BY_USER, DEVS_SEARCH_STOP_BY_USER}) {
    SCOPED_TRACE(status);
    bio_set_dev_status(dev(), status);
    struct fp_print_data *gallery[] = {nullptr};
    EXPECT_EQ(community_internal_identify(dev(), gallery), -3);
    EXPECT_EQ(fake_->identify_start_calls, 0);
  }
}

TEST_F(IdentifyTest, TimeOut) {
  ShortTimeout();
  fake_->sleep_in_poll = 1;
  Identify({{kNone, 0}});
  EXPECT_EQ(IdentifyOp(1000), -1);
  ExpectBothCodes(404);
}

TEST_F(IdentifyTest, EmptyRangeAsksForThePasswordWithoutStarting) {
  EXPECT_EQ(IdentifyOp(1000, 5, 9), -1);
  EXPECT_EQ(bio_get_ops_result(dev()), 801);
  EXPECT_EQ(bio_get_notify_mid(dev()), COMMUNITY_NOTIFY_MESSAGE);
  EXPECT_STREQ(bio_get_notify_mid_mesg(dev()),
               "Fingerprint feature list is empty, please use password authentication");
  EXPECT_EQ(fake_->identify_start_calls, 0);
  EXPECT_EQ(bio_get_dev_status(dev()), 0);
}

TEST_F(IdentifyTest, DisabledDeviceRefuses) {
  dev()->enable = 0;
  EXPECT_EQ(Verify(1000, 0), -1);
  EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_DISABLE);
  EXPECT_EQ(IdentifyOp(1000), -1);
  EXPECT_EQ(Search(1000), nullptr);
  EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_DISABLE);
  EXPECT_EQ(fake_->identify_start_calls, 0);
}

// A stored sample that does not decode is left out of the gallery: gallery
// positions after it name the sample one further on, and a match updates
// (and reports) the matched finger's own record, never its neighbour's.
TEST_F(IdentifyTest, UnreadableSampleShiftsTheGalleryNotTheMatch) {
  StoreFeature(3000, 0, "bad", "not base64!");
  StoreFeature(3000, 1, "first", StoredText("x"));
  StoreFeature(3000, 2, "second", StoredText("y"));
  const std::vector<Row> before = StoredRows();
  ASSERT_EQ(before.size(), 7u);
  std::vector<Row> updated = before;
  updated[6].data = StoredText("y+");

  Identify({{1, 1}});
  {
    // The log maps each gallery position, which the device library names
    // when it cannot use a print, to its stored sample.
    testing_support::StdoutCapture out;
    EXPECT_EQ(IdentifyOp(3000), 3000);
    const std::string log = out.Text();
    EXPECT_NE(log.find("Gallery position 0: sample 1 of user 3000, finger 1\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Gallery position 1: sample 1 of user 3000, finger 2\n"), std::string::npos)
        << log;
  }
  ExpectBothCodes(400);
  EXPECT_EQ(fake_->identify_gallery_size, 2);
  EXPECT_EQ(StoredRows(), updated);

  fake_->identify_start_calls = 0;
  Identify({{1, 1}});
  EXPECT_THAT(SearchRows(3000), ElementsAre(Row{3000, 2, "second", 1, StoredText("y+")}));
}

// A stored sample larger than any print of the library is left out of the
// gallery without being decoded; one of the largest size still goes in.
TEST_F(IdentifyTest, SampleLargerThanAnyPrintIsLeftOut) {
  const size_t largest_item = 7 + 1048576;
  StoreFeature(3000, 0, "largest", StoredText(std::string(largest_item, 'x')));
  StoreFeature(3000, 1, "larger", StoredText(std::string(largest_item + 1, 'x')));
  StoreFeature(3000, 2, "good", StoredText("y"));
  Identify({{1, 1}});
  EXPECT_EQ(IdentifyOp(3000), 3000);
  EXPECT_EQ(fake_->identify_gallery_size, 2);
}

// A match decides only its own identification: the next one starts from
// no result.
TEST_F(IdentifyTest, EarlierMatchDoesNotDecideTheNextIdentification) {
  Identify({{1, 2}, {kNone, 0}});
  EXPECT_EQ(IdentifyOp(1000), 1000);
  fake_->fail_at_poll = fake_->poll_calls + 1;
  EXPECT_EQ(IdentifyOp(1000), -1);
  ExpectBothCodes(401);
}

TEST_F(IdentifyTest, SearchCollectsEveryMatchInTurn) {
  StoreFeature(1000, 6, "little", StoredText("e"));
  // Matches the first, then (over the rest) the second after it, then the
  // last one.
  Identify({{1, 0}, {1, 1}, {1, 0}});
  std::vector<Row> found = SearchRows(1000);
  EXPECT_THAT(found, ElementsAre(Row{1000, 0, "thumb", 1, StoredText("a")},
                                 Row{1000, 2, "middle", 1, StoredText("c")},
                                 Row{1000, 6, "little", 1, StoredText("e")}));
  ExpectBothCodes(600);
  EXPECT_EQ(fake_->identify_start_calls, 3);
  EXPECT_EQ(fake_->identify_gallery_size, 1);  // the last pass: only "e" left
  EXPECT_STREQ(priv()->message,
               "The 3 feature has been searched(Index = 7, Index Name = little), please press "
               "your finger to continue the search");
  std::vector<Row> rows = StoredRows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].data, StoredText("a+"));
  EXPECT_EQ(rows[1].data, StoredText("b"));
  EXPECT_EQ(rows[2].data, StoredText("c+"));
  EXPECT_EQ(rows[3].data, StoredText("e+"));
}

TEST_F(IdentifyTest, SearchTextsCountTheMatchesAndShowIndexPlusOne) {
  // The plug-in's message as each pass polls, and at the end.
  fake_->on_poll = [](int, void *arg) {
    auto *test = static_cast<IdentifyTest *>(arg);
    test->messages.push_back(test->priv()->message);
  };
  fake_->on_poll_arg = this;
  Identify({{1, 0}, {1, 0}, {1, 0}});
  EXPECT_EQ(SearchRows(1000).size(), 3u);
  messages.push_back(priv()->message);
  auto text = [](int n, int index, const char *name) {
    return "The " + std::to_string(n) + " feature has been searched(Index = " +
           std::to_string(index) + ", Index Name = " + name +
           "), please press your finger to continue the search";
  };
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[1], text(1, 1, "thumb"));
  EXPECT_EQ(messages[2], text(2, 2, "index"));
  EXPECT_EQ(messages[3], text(3, 3, "middle"));
}

TEST_F(IdentifyTest, SearchTimeOutAfterAMatchKeepsTheMatch) {
  ShortTimeout();
  fake_->sleep_in_poll = 1;
  Identify({{1, 1}, {kNone, 0}});
  std::vector<Row> found = SearchRows(1000);
  EXPECT_THAT(found, ElementsAre(Row{1000, 1, "index", 1, StoredText("b")}));
  ExpectBothCodes(600);
}

TEST_F(IdentifyTest, SearchOverAllUsers) {
  Finger("d");
  std::vector<Row> found = SearchRows(-1);
  EXPECT_THAT(found, ElementsAre(Row{2000, 0, "other", 1, StoredText("d")}));
}

// An enrolment followed at once by an identification: the enrolment's stop
// completes inside the identification's polling, and the identification
// still decides on its own result.
TEST_F(IdentifyTest, EnrolmentFollowedAtOnceByIdentification) {
  fake_->nr_enroll_stages = 2;
  Finger("new");
  char name[] = "ring";
  ASSERT_EQ(community_ops_enroll(dev(), ACTION_START, 3000, 0, name), 0);
  int polls_after_enrolment = fake_->poll_calls;
  EXPECT_EQ(fake_->enroll_stopped_at_poll, 0);  // still pending
  // The user's only finger is the new one; the enrolment left result 0,
  // which must not pass for a match of offset 0.
  Finger("nomatch");
  EXPECT_EQ(IdentifyOp(3000), -1);
  ExpectBothCodes(401);
  EXPECT_EQ(fake_->enroll_stopped_at_poll, polls_after_enrolment + 1);
  Finger("new");
  EXPECT_EQ(IdentifyOp(3000), 3000);
  ExpectBothCodes(400);
}

}  // namespace
}  // namespace plugin_test
