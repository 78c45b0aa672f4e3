// Template layout and the template operations of the sensor glue against the
// recording sensor library's slots.
#include <gtest/gtest.h>

#include <concepts>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/quorvanta_tpl.h"
#include "support/sensorlib_standin.h"
#include "support/stderr_capture.h"

namespace {

namespace standin = sensorlib_standin;
using testing_support::StderrCapture;
using Bytes = std::vector<uint8_t>;

// Distinct blob of template number n.
Bytes Blob(int n) { return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0xA5}; }

class TemplateTest : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    ctx_.module_type = 2;
    ctx_.sensor_info.sensor.cols = 4;
    ctx_.sensor_info.sensor.rows = 2;
    ctx_.raw_image = frame_;
    quorvanta_ctx = &ctx_;
  }
  void TearDown() override { quorvanta_ctx = nullptr; }

  // A gallery of n templates with blobs Blob(0) .. Blob(n - 1).
  std::vector<const quorvanta_tpl *> Gallery(int n) {
    blobs_.clear();
    tpls_.clear();
    for (int i = 0; i < n; i++) blobs_.push_back(Blob(i));
    for (int i = 0; i < n; i++)
      tpls_.push_back(quorvanta_tpl{0, 1, static_cast<uint32_t>(blobs_[i].size()), blobs_[i].data()});
    std::vector<const quorvanta_tpl *> list;
    for (auto &t : tpls_) list.push_back(&t);
    list.push_back(nullptr);
    return list;
  }

  uint8_t frame_[8] = {};
  quorvanta_ctx_t ctx_{};
  std::vector<Bytes> blobs_;
  std::vector<quorvanta_tpl> tpls_;
};

TEST(TemplateLayout, HeadIsSlotZeroTypeAndLittleEndianLength) {
  uint8_t head[7];
  quorvanta_tpl_write_head(head, 3, 0x21, 0x01020304);
  EXPECT_EQ(Bytes(head, head + 7), (Bytes{3, 0, 0x21, 0x04, 0x03, 0x02, 0x01}));
}

TEST(TemplateLayout, ItemIsATemplateOnlyWhenItsLengthIsLenPlusSeven) {
  const Bytes item = {5, 0, 2, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC};
  quorvanta_tpl t{};
  ASSERT_EQ(quorvanta_tpl_parse(item.data(), item.size(), &t), 0);
  EXPECT_EQ(t.slot, 5);
  EXPECT_EQ(t.type, 2);
  EXPECT_EQ(t.len, 3u);
  EXPECT_EQ(t.data, item.data() + 7);
  for (size_t length : {size_t{0}, size_t{6}, size_t{9}, size_t{11}})
    EXPECT_EQ(quorvanta_tpl_parse(item.data(), length, &t), -1) << length;
  // A length field that would wrap around with the head added.
  const Bytes huge = {0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(quorvanta_tpl_parse(huge.data(), huge.size(), &t), -1);
}

TEST(TemplateLayout, NoTemplateIsLargerThanTheLibraryWrites) {
  for (uint32_t len : {QUORV_TPL_DATA_MAX, QUORV_TPL_DATA_MAX + 1}) {
    Bytes item(QUORVANTA_TPL_HEAD + len);
    quorvanta_tpl_write_head(item.data(), 0, 121, len);
    quorvanta_tpl t{};
    EXPECT_EQ(quorvanta_tpl_parse(item.data(), item.size(), &t),
              len <= QUORV_TPL_DATA_MAX ? 0 : -1)
        << len;
  }
}

TEST_F(TemplateTest, SaveWritesHeadAndBlobOfFingerZero) {
  std::vector<uint8_t> buf(QUORVANTA_TPL_BUF_SIZE);
  ASSERT_EQ(bq_sensor_save_template(buf.data()), 0);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 10), (Bytes{0, 0, 1, 3, 0, 0, 0, 0x51, 0x52, 0x53}));
  standin::script().save_result = -2;
  EXPECT_EQ(bq_sensor_save_template(buf.data()), -2);
}

TEST_F(TemplateTest, UpdateReadsTheUpdatedTemplateOfTheReportedSlot) {
  std::vector<uint8_t> buf(QUORVANTA_TPL_BUF_SIZE);
  ctx_.update_tpl = 1;
  ASSERT_EQ(bq_sensor_update_template(buf.data()), 0);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 9), (Bytes{4, 0, 1, 2, 0, 0, 0, 0x71, 0x72}));
  EXPECT_EQ(standin::CallsFrom("quorv_UpdateTemplate(1)"),
            (std::vector<std::string>{"quorv_UpdateTemplate(1)", "quorv_GetAlgTplData(4)"}));

  standin::script().get_result = -5;
  EXPECT_EQ(bq_sensor_update_template(buf.data()), -1);
  standin::script().update_result = -1;
  standin::ClearCalls();
  EXPECT_EQ(bq_sensor_update_template(buf.data()), -1);
  EXPECT_EQ(standin::CallsStartingWith("quorv_GetAlgTplData"), std::vector<std::string>{});
}

TEST_F(TemplateTest, VerifyClearsEverySlotThenLoadsTheTemplateInItsOwnSlot) {
  const Bytes blob = Blob(7);
  quorvanta_tpl t{3, 1, static_cast<uint32_t>(blob.size()), blob.data()};
  standin::script().match_template = blob;
  standin::script().identify_update = 1;
  // A stale template in another slot must be gone before the match.
  const Bytes stale = Blob(9);
  quorv_InitAlgTplData(6, 1, stale.size(), stale.data());
  standin::ClearCalls();

  EXPECT_EQ(bq_sensor_verify_by_template(&t), 0);
  EXPECT_EQ(ctx_.update_tpl, 1);
  EXPECT_FALSE(standin::Slot(6).has_value());
  ASSERT_TRUE(standin::Slot(3).has_value());
  EXPECT_EQ(standin::Slot(3)->data, blob);
  EXPECT_EQ(standin::CallsStartingWith("quorv_DelFinger").size(), 10u);
}

TEST_F(TemplateTest, VerifyRejectsASlotByteBeyondTheLibrarysTenSlots) {
  const Bytes blob = Blob(1);
  for (uint8_t slot : {uint8_t{10}, uint8_t{255}}) {
    quorvanta_tpl t{slot, 1, static_cast<uint32_t>(blob.size()), blob.data()};
    EXPECT_EQ(bq_sensor_verify_by_template(&t), -200) << int(slot);
  }
  EXPECT_EQ(standin::CallsStartingWith("quorv_InitAlgTplData"), std::vector<std::string>{});
  EXPECT_EQ(bq_sensor_verify_by_template(nullptr), -201);
}

// A stored template the library refuses cannot match, whatever the loader's
// code: -1 in particular must not pass for an image error.
TEST_F(TemplateTest, VerifyOfATemplateThatDoesNotLoadIsNoMatch) {
  const Bytes blob = Blob(2);
  quorvanta_tpl t{0, 1, static_cast<uint32_t>(blob.size()), blob.data()};
  standin::script().refuse_templates = {blob};
  for (int code : {-1, -3, -4}) {
    standin::script().refuse_code = code;
    EXPECT_EQ(bq_sensor_verify_by_template(&t), -2) << code;
  }
  EXPECT_EQ(standin::CallsStartingWith("quorv_IdentifyByImage"), std::vector<std::string>{});
}

// A failing case of the tables below prints its name, not its bytes.
template <typename Case>
  requires requires(const Case &c) { { c.name } -> std::convertible_to<const char *>; }
void PrintTo(const Case &c, std::ostream *os) {
  *os << c.name;
}

struct IdentifyCase {
  const char *name;
  int gallery;
  int match;               // template number the frame matches, -1 none
  int expect_result;
  uint32_t expect_fid;
  size_t expect_identifies;
};

class IdentifyBatchTest : public TemplateTest, public testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyBatchTest, MatchesInBatchesOfTenAndReportsTheListIndex) {
  const IdentifyCase &c = GetParam();
  auto list = Gallery(c.gallery);
  if (c.match >= 0) standin::script().match_template = Blob(c.match);
  uint32_t fid = 0xFFFF;
  EXPECT_EQ(bq_sensor_identify_by_templates(list.data(), &fid), c.expect_result);
  if (c.expect_result == 0) {
    EXPECT_EQ(fid, c.expect_fid);
  }
  EXPECT_EQ(standin::CallsStartingWith("quorv_IdentifyByImage(2)").size(), c.expect_identifies);
  // The library holds the frame's extraction over all the batches and
  // drops it when the gallery is done.
  std::vector<std::string> order;
  for (const std::string &call : standin::Calls())
    if (call.rfind("quorv_HoldIdentifySamples", 0) == 0 || call == "quorv_IdentifyByImage(2)")
      if (order.empty() || order.back() != call) order.push_back(call);
  EXPECT_EQ(order, (std::vector<std::string>{"quorv_HoldIdentifySamples(1)",
                                             "quorv_IdentifyByImage(2)",
                                             "quorv_HoldIdentifySamples(0)"}));
}

INSTANTIATE_TEST_SUITE_P(
    Galleries, IdentifyBatchTest,
    testing::Values(IdentifyCase{"ThirdBatchSlot3", 25, 23, 0, 23, 3},
                    IdentifyCase{"FirstBatchIsTheSlot", 25, 4, 0, 4, 1},
                    IdentifyCase{"LastOfSecondBatch", 20, 19, 0, 19, 2},
                    IdentifyCase{"NoMatchTriesEveryBatch", 25, -1, -2, 0, 3},
                    IdentifyCase{"BeyondOneByteCounter", 300, 287, 0, 287, 29}),
    [](const testing::TestParamInfo<IdentifyCase> &i) { return std::string(i.param.name); });

// Batch 3 holds only five templates; a template of batch 2 left in slots 5
// to 9 would match a frame of that finger and report a fid beyond the
// gallery, i.e. another user's print. Every batch starts from empty slots.
TEST_F(TemplateTest, StaleTemplateOfAnEarlierBatchNeverMatches) {
  auto list = Gallery(25);
  standin::script().match_template = Blob(17);  // slot 7 of batch 2 ...
  auto second_batch_only = std::vector<const quorvanta_tpl *>(list.begin() + 20, list.end());
  uint32_t fid = 0;
  // ... loaded by an earlier identification, then a gallery without it.
  ASSERT_EQ(bq_sensor_identify_by_templates(list.data(), &fid), 0);
  ASSERT_EQ(fid, 17u);
  standin::ClearCalls();
  EXPECT_EQ(bq_sensor_identify_by_templates(second_batch_only.data(), &fid), -2);
  for (int slot = 5; slot < 10; slot++) EXPECT_FALSE(standin::Slot(slot).has_value()) << slot;
}

TEST_F(TemplateTest, ImportedTemplatesDoNotAnswerForTheGallery) {
  auto imported = Gallery(3);
  ASSERT_EQ(bq_sensor_template_import(imported.data()), 0);
  standin::script().match_template = Blob(2);  // imported into slot 3
  auto gallery = Gallery(1);                   // Blob(0) only
  uint32_t fid = 0;
  EXPECT_EQ(bq_sensor_identify_by_templates(gallery.data(), &fid), -2);
}

TEST_F(TemplateTest, EmptyListIsAnError) {
  std::vector<const quorvanta_tpl *> empty = {nullptr};
  uint32_t fid = 0;
  EXPECT_EQ(bq_sensor_identify_by_templates(empty.data(), &fid), -201);
}

// A stored template the library refuses, or one whose slot byte is beyond the
// library's slots (0 to 9), is skipped: the rest of the gallery still
// answers, under its own list index, and one log line names the skipped
// position.
struct SkipCase {
  const char *name;
  int gallery;
  std::vector<int> refused;    // template numbers the library refuses
  std::vector<int> slot_set;   // template numbers whose slot byte is slot_byte
  int match;                   // template number the frame matches, -1 none
  int expect_result;
  uint32_t expect_fid;
  size_t expect_identifies;
  std::vector<int> expect_logged;  // positions named as skipped
  uint8_t slot_byte = 255;
};

class IdentifySkipTest : public TemplateTest, public testing::WithParamInterface<SkipCase> {};

TEST_P(IdentifySkipTest, SkipsWhatDoesNotLoadAndKeepsTheListIndex) {
  const SkipCase &c = GetParam();
  auto list = Gallery(c.gallery);
  for (int n : c.refused) standin::script().refuse_templates.push_back(Blob(n));
  for (int n : c.slot_set) tpls_[n].slot = c.slot_byte;
  if (c.match >= 0) standin::script().match_template = Blob(c.match);
  uint32_t fid = 0xFFFF;
  StderrCapture err;
  EXPECT_EQ(bq_sensor_identify_by_templates(list.data(), &fid), c.expect_result);
  const std::string log = err.Text();
  if (c.expect_result == 0) {
    EXPECT_EQ(fid, c.expect_fid);
  }
  EXPECT_EQ(standin::CallsStartingWith("quorv_IdentifyByImage(2)").size(), c.expect_identifies);
  size_t skipped_lines = 0;
  for (size_t at = log.find("skipped"); at != std::string::npos; at = log.find("skipped", at + 1))
    skipped_lines++;
  EXPECT_EQ(skipped_lines, c.expect_logged.size()) << log;
  for (int position : c.expect_logged)
    EXPECT_NE(log.find("gallery print " + std::to_string(position) + " skipped"),
              std::string::npos)
        << log;
}

INSTANTIATE_TEST_SUITE_P(
    Galleries, IdentifySkipTest,
    testing::Values(
        // Template 10 moves into the refused template's slot of batch one.
        SkipCase{"RefusedSlotIsTakenByTheNext", 12, {4}, {}, 10, 0, 10, 1, {4}},
        SkipCase{"MatchInALaterBatch", 25, {3, 15}, {}, 23, 0, 23, 3, {3, 15}},
        SkipCase{"RefusedTemplateNeverMatches", 5, {2}, {}, 2, -2, 0, 1, {2}},
        SkipCase{"SlotByteOutOfRange", 12, {}, {5}, 5, -2, 0, 2, {5}},
        // The first slot byte beyond the ten, and the last one within them.
        SkipCase{"SlotByteTenIsOutOfRange", 3, {}, {1}, 1, -2, 0, 1, {1}, 10},
        SkipCase{"SlotByteNineLoads", 3, {}, {1}, 1, 0, 1, 1, {}, 9},
        SkipCase{"OthersStillMatchBesideABadSlot", 3, {}, {0}, 2, 0, 2, 1, {0}},
        // Nothing loads: nothing is identified, and that is no match.
        SkipCase{"NothingLoads", 3, {0, 1}, {2}, 1, -2, 0, 0, {0, 1, 2}}),
    [](const testing::TestParamInfo<SkipCase> &i) { return std::string(i.param.name); });

TEST_F(TemplateTest, SkippedTemplateIsNamedByItsGalleryPosition) {
  auto list = Gallery(3);
  const size_t positions[] = {1, 4, 6};
  standin::script().refuse_templates = {Blob(1)};
  standin::script().match_template = Blob(2);
  uint32_t fid = 0;
  StderrCapture err;
  ASSERT_EQ(bq_sensor_identify_by_gallery(list.data(), positions, &fid), 0);
  EXPECT_EQ(fid, 2u) << "the list index; the caller maps it to its position";
  EXPECT_NE(err.Text().find("gallery print 4 skipped: quorv_InitAlgTplData(..) = -3."),
            std::string::npos)
      << err.Text();
}

TEST_F(TemplateTest, UpdateFlagComesFromTheMatchingIdentification) {
  auto list = Gallery(15);
  standin::script().match_template = Blob(12);
  standin::script().identify_update = 1;
  uint32_t fid = 0;
  ASSERT_EQ(bq_sensor_identify_by_templates(list.data(), &fid), 0);
  EXPECT_EQ(ctx_.update_tpl, 1);
  standin::script().match_template.reset();
  EXPECT_EQ(bq_sensor_identify_by_templates(list.data(), &fid), -2);
  EXPECT_EQ(ctx_.update_tpl, 0);
}

TEST_F(TemplateTest, ImportLoadsAtMostNineTemplatesIntoSlotsOneToNine) {
  auto list = Gallery(12);
  ASSERT_EQ(bq_sensor_template_import(list.data()), 0);
  EXPECT_FALSE(standin::Slot(0).has_value());
  for (int slot = 1; slot <= 9; slot++) {
    ASSERT_TRUE(standin::Slot(slot).has_value()) << slot;
    EXPECT_EQ(standin::Slot(slot)->data, Blob(slot - 1));
  }
  EXPECT_EQ(standin::CallsStartingWith("quorv_InitAlgTplData").size(), 9u);
  standin::script().init_tpl = -4;
  EXPECT_EQ(bq_sensor_template_import(list.data()), -4);
}

// A stored print the library refuses must not hide the prints after it from
// the enrolment's duplicate check: it is skipped, named by its position, and
// the next template takes its slot.
struct ImportSkipCase {
  const char *name;
  int gallery;
  std::vector<int> refused;        // template numbers the library refuses
  std::vector<int> expect_slots;   // template numbers in slots 1, 2, ...
  int expect_result;
  std::vector<int> expect_logged;  // positions named as skipped
};

class ImportSkipTest : public TemplateTest, public testing::WithParamInterface<ImportSkipCase> {};

TEST_P(ImportSkipTest, SkipsWhatDoesNotLoadAndLoadsTheRest) {
  const ImportSkipCase &c = GetParam();
  auto list = Gallery(c.gallery);
  for (int n : c.refused) standin::script().refuse_templates.push_back(Blob(n));
  StderrCapture err;
  EXPECT_EQ(bq_sensor_template_import(list.data()), c.expect_result);
  const std::string log = err.Text();
  EXPECT_FALSE(standin::Slot(0).has_value());
  for (int slot = 1; slot <= 9; slot++) {
    const size_t at = static_cast<size_t>(slot - 1);
    if (at < c.expect_slots.size()) {
      ASSERT_TRUE(standin::Slot(slot).has_value()) << slot;
      EXPECT_EQ(standin::Slot(slot)->data, Blob(c.expect_slots[at])) << slot;
    } else {
      EXPECT_FALSE(standin::Slot(slot).has_value()) << slot;
    }
  }
  size_t skipped_lines = 0;
  for (size_t at = log.find("skipped"); at != std::string::npos; at = log.find("skipped", at + 1))
    skipped_lines++;
  EXPECT_EQ(skipped_lines, c.expect_logged.size()) << log;
  for (int position : c.expect_logged)
    EXPECT_NE(log.find("gallery print " + std::to_string(position) +
                       " skipped: quorv_InitAlgTplData(..) = -3."),
              std::string::npos)
        << log;
}

INSTANTIATE_TEST_SUITE_P(
    Galleries, ImportSkipTest,
    testing::Values(
        ImportSkipCase{"DamagedFirstPrintHidesNothing", 3, {0}, {1, 2}, -3, {0}},
        ImportSkipCase{"TenthTakesTheRefusedSlot", 12, {4}, {0, 1, 2, 3, 5, 6, 7, 8, 9}, -3, {4}},
        ImportSkipCase{"RefusedBeyondTheNinthLoadedIsNotTried", 12, {10}, {0, 1, 2, 3, 4, 5, 6, 7, 8},
                       0, {}},
        ImportSkipCase{"NothingLoads", 2, {0, 1}, {}, -3, {0, 1}},
        ImportSkipCase{"EverythingLoads", 4, {}, {0, 1, 2, 3}, 0, {}}),
    [](const testing::TestParamInfo<ImportSkipCase> &i) { return std::string(i.param.name); });

TEST_F(TemplateTest, ImportNamesASkippedTemplateByItsGalleryPosition) {
  auto list = Gallery(2);
  const size_t positions[] = {3, 5};
  standin::script().refuse_templates = {Blob(0)};
  StderrCapture err;
  EXPECT_EQ(bq_sensor_template_import_gallery(list.data(), positions), -3);
  EXPECT_NE(err.Text().find("gallery print 3 skipped: quorv_InitAlgTplData(..) = -3."),
            std::string::npos)
      << err.Text();
  ASSERT_TRUE(standin::Slot(1).has_value());
  EXPECT_EQ(standin::Slot(1)->data, Blob(1));
}

TEST_F(TemplateTest, ModuleType1IdentifiesTheSecondHalfWhenTheFirstFails) {
  ctx_.module_type = 1;
  for (int i = 0; i < 8; i++) frame_[i] = static_cast<uint8_t>(i);
  standin::SetFrameBytes(4);
  standin::script().identify = {{-2, 255}, {0, 1}};
  uint8_t fid = 0, update = 0;
  EXPECT_EQ(libfp_identify_by_image(frame_, &fid, &update), 0);
  EXPECT_EQ(fid, 1);
  ASSERT_EQ(standin::Frames().size(), 2u);
  EXPECT_EQ(standin::Frames()[1], (Bytes{4, 5, 6, 7}));
}

}  // namespace
