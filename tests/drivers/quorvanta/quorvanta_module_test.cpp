// The quorvanta driver through fp_* on emulated modules of type 2, with the
// sensor library's answers scripted: enrolment, identification in batches,
// the result mapping, deactivation and the "4845" products.
#include <gtest/gtest.h>
#include <time.h>

#include <cerrno>

#include <memory>
#include <string>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "drivers/quorvanta/fp_template.h"
#include "framework/quorvanta_ctx.h"
#include "fingers/image.h"
#include "module_emul/zq4846_model.h"
#include "quorvanta/driver_bench.h"
#include "support/minutiae_standin.h"
#include "support/sensorlib_standin.h"
#include "support/stderr_capture.h"

namespace {

namespace standin = sensorlib_standin;
using module_emul::Zq4846Model;
using quorvanta_test::DriverBench;
using quorvanta_test::Outcome;
using quorvanta_test::PrintWithItem;
using quorvanta_test::TemplateItem;
using Bytes = std::vector<uint8_t>;

constexpr int kPass = 3, kComplete = 1, kMatch = 1, kNoMatch = 0;

Bytes Blob(int n) { return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0x5A}; }

// A uniform frame of the module's size (with raw samples for 16-bit ones).
fingers::Frame Flat(const module_emul::Zq4846Config &c, uint8_t gray = 120) {
  fingers::Frame f;
  f.width = c.cols;
  f.height = c.rows;
  f.gray.assign(static_cast<size_t>(c.cols) * c.rows, gray);
  if (c.sixteen_bit) f.raw.assign(f.gray.size(), 900);
  return f;
}

// A gallery of prints with template blobs Blob(first) .. Blob(first + n - 1).
class Gallery {
 public:
  Gallery(int first, int n) {
    for (int i = 0; i < n; i++) prints_.push_back(PrintWithItem(TemplateItem(0, 1, Blob(first + i))));
    prints_.push_back(nullptr);
  }
  ~Gallery() {
    for (fp_print_data *p : prints_) fp_print_data_free(p);
  }
  // Replaces print i with one whose item has the wrong size.
  void Corrupt(int i) {
    fp_print_data_free(prints_[i]);
    Bytes item = TemplateItem(0, 1, Blob(1000));
    item.push_back(0);
    prints_[i] = PrintWithItem(item);
  }
  fp_print_data **get() { return prints_.data(); }

 private:
  std::vector<fp_print_data *> prints_;
};

class Module2Test : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    minutiae_standin::Reset();
    minutiae_standin::ScriptDetection({{10, 10, 90}, {20, 30, 180}, {40, 50, 270}});
  }

  // Opens an emulated module of `pid` (its own configuration unless given).
  void Open(uint16_t pid, std::optional<module_emul::Zq4846Config> config = std::nullopt) {
    config_ = config.value_or(module_emul::Zq4846ConfigFor(pid));
    model_ = std::make_shared<Zq4846Model>(config_);
    bench_ = std::make_unique<DriverBench>(bridge_emul::BridgeDesc(pid), model_);
    ASSERT_TRUE(bench_->Open());
  }

  void Press(int n = 1, uint8_t gray = 120) {
    for (int i = 0; i < n; i++) model_->Press(Flat(config_, gray));
  }

  // Commands of the module's requests: 0x81 scans, 0x82 clears, ...
  size_t Requests(uint8_t command, int sub = -1) const {
    size_t n = 0;
    for (const auto &r : model_->Requests())
      if (r.command == command && (sub < 0 || (!r.payload.empty() && r.payload[0] == sub))) n++;
    return n;
  }

  // One identification over `gallery` with one press; the outcome.
  void IdentifyOnce(fp_print_data **gallery, Outcome *out) {
    Press();
    ASSERT_EQ(bench_->StartIdentify(gallery, out), 0);
    ASSERT_TRUE(bench_->RunUntil([&] { return !out->results.empty(); }));
    ASSERT_TRUE(bench_->StopIdentify(out));
  }

  module_emul::Zq4846Config config_;
  std::shared_ptr<Zq4846Model> model_;
  std::unique_ptr<DriverBench> bench_;
};

TEST_F(Module2Test, TwelvePressEnrolmentCompletesWithOneTemplateItem) {
  Open(0x3b11);
  ASSERT_EQ(fp_dev_get_nr_enroll_stages(bench_->dev()), 12);
  standin::script().saved = {7, Bytes(300, 0xC3)};
  Press(12);
  Outcome out;
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return out.results.size() == 12; }));
  std::vector<int> expect(11, kPass);
  expect.push_back(kComplete);
  EXPECT_EQ(out.results, expect);
  EXPECT_EQ(Requests(0x81), 12u) << "one scan per press";
  EXPECT_EQ(standin::CallsStartingWith("quorv_EnrollByImage").size(), 12u);
  EXPECT_EQ(standin::CallsStartingWith("quorv_SaveAlgTplData"), std::vector<std::string>{"quorv_SaveAlgTplData(0)"});

  ASSERT_NE(out.print, nullptr);
  EXPECT_EQ(fp_print_data_get_driver_id(out.print), 35);
  ASSERT_EQ(g_slist_length(out.print->prints), 1u);
  const auto *item = static_cast<const fp_print_data_item *>(out.print->prints->data);
  Bytes expect_item = TemplateItem(0, 7, Bytes(300, 0xC3));
  EXPECT_EQ(Bytes(item->data, item->data + item->length), expect_item);
  unsigned char *blob = nullptr;
  size_t blob_len = fp_print_data_get_data(out.print, &blob);
  ASSERT_GT(blob_len, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(blob), 3), "FP2");
  free(blob);
  EXPECT_TRUE(bench_->StopEnroll(&out));
}

TEST_F(Module2Test, NoMinutiaeInTheLastImageFailsTheEnrolment) {
  Open(0x3b11);
  minutiae_standin::ScriptDetection({});
  Press(12);
  Outcome out;
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return out.results.size() == 12; }));
  EXPECT_EQ(out.results.back(), 2);
  EXPECT_EQ(out.print, nullptr);
  EXPECT_TRUE(bench_->StopEnroll(&out));
}

TEST_F(Module2Test, IdentifyOverTwentyFiveTemplatesReportsTheMatchingPrint) {
  Open(0x3b11);
  Gallery gallery(0, 25);
  standin::script().match_template = Blob(23);
  Outcome out;
  IdentifyOnce(gallery.get(), &out);
  EXPECT_EQ(out.results, std::vector<int>{kMatch});
  EXPECT_EQ(out.offset, 23u);
  EXPECT_EQ(standin::CallsStartingWith("quorv_IdentifyByImage").size(), 3u);
}

// A print whose item is not a template is skipped; the match still names the
// gallery position of the matching print, not its place among the loaded
// templates (that would be another user's print).
TEST_F(Module2Test, SkippedGalleryPrintDoesNotShiftTheMatchOffset) {
  Open(0x3b11);
  Gallery gallery(0, 25);
  gallery.Corrupt(5);
  standin::script().match_template = Blob(23);
  Outcome out;
  IdentifyOnce(gallery.get(), &out);
  EXPECT_EQ(out.results, std::vector<int>{kMatch});
  EXPECT_EQ(out.offset, 23u);
  EXPECT_EQ(standin::CallsStartingWith("quorv_InitAlgTplData").size(), 24u);
}

// Stored prints that cannot be used sit beside good ones: a print of another
// driver, a template the library refuses, one larger than any template the
// library writes and one naming slot 255. Each is skipped with a line naming
// its gallery position; the good prints answer under their own positions, and
// a gallery of nothing but such prints answers no match.
TEST_F(Module2Test, UnusableStoredPrintsAreSkippedAndNamed) {
  Open(0x3b11);
  Gallery gallery(0, 6);
  fp_print_data **prints = gallery.get();
  prints[1]->driver_id = 7;
  standin::script().refuse_templates = {Blob(2)};
  fp_print_data_free(prints[3]);
  prints[3] = PrintWithItem(TemplateItem(0, 1, Bytes(QUORV_TPL_DATA_MAX + 1, 0)));
  fp_print_data_free(prints[4]);
  prints[4] = PrintWithItem(TemplateItem(255, 1, Blob(4)));
  for (int match : {0, 5}) {
    standin::script().match_template = Blob(match);
    Outcome out;
    testing_support::StderrCapture err;
    IdentifyOnce(gallery.get(), &out);
    const std::string log = err.Text();
    EXPECT_EQ(out.results, std::vector<int>{kMatch});
    EXPECT_EQ(out.offset, static_cast<size_t>(match));
    for (int position : {1, 2, 3, 4})
      EXPECT_NE(log.find("gallery print " + std::to_string(position) + " skipped"),
                std::string::npos)
          << position << "\n" << log;
  }
  Gallery unusable(10, 1);
  unusable.get()[0]->driver_id = 7;
  Outcome out;
  IdentifyOnce(unusable.get(), &out);
  EXPECT_EQ(out.results, std::vector<int>{kNoMatch});
}

// The first identification leaves Blob(17) in slot 7. The second gallery's
// last batch fills slots 0 and 1 only; the stale template must not answer.
TEST_F(Module2Test, StaleTemplateOfAnEarlierIdentificationNeverMatches) {
  Open(0x3b11);
  standin::script().match_template = Blob(17);
  Gallery first(0, 25);
  Outcome a;
  IdentifyOnce(first.get(), &a);
  ASSERT_EQ(a.results, std::vector<int>{kMatch});
  ASSERT_EQ(a.offset, 17u);

  Gallery second(100, 22);
  Outcome b;
  IdentifyOnce(second.get(), &b);
  EXPECT_EQ(b.results, std::vector<int>{kNoMatch});
}

struct MappingRow {
  int e;
  int enrol;
  int verify;
};

// Every row of the result mapping through the framework: enrolment stage
// results and verify results, one press each.
TEST_F(Module2Test, ResultMappingReachesTheCaller) {
  const MappingRow rows[] = {{0, 3, 1},      {-1, 103, 103}, {-2, 100, 0},  {-3, 100, 100},
                             {-4, 102, 102}, {-5, 102, 102}, {-6, 101, -1}, {-7, 103, -1},
                             {-8, 103, 103}, {-9, 2, -1},    {-10, 103, 103}, {-11, -1, -1}};
  Open(0x3b11);
  const Bytes blob = Blob(3);
  fp_print_data *enrolled = PrintWithItem(TemplateItem(2, 1, blob));
  for (const MappingRow &row : rows) {
    SCOPED_TRACE(row.e);
    // Enrolment at stage 0 (a -6 there is force-enrolled: script the force
    // result to keep the row's code).
    standin::script().enroll = {row.e};
    standin::script().force_enroll = {row.e};
    Press();
    Outcome enrol;
    ASSERT_EQ(bench_->StartEnroll(&enrol), 0);
    ASSERT_TRUE(bench_->RunUntil([&] { return !enrol.results.empty(); }));
    EXPECT_EQ(enrol.results[0], row.enrol);
    ASSERT_TRUE(bench_->StopEnroll(&enrol));

    standin::script().identify = {{row.e, row.e == 0 ? 2 : 255}};
    Press();
    Outcome verify;
    ASSERT_EQ(bench_->StartVerify(enrolled, &verify), 0);
    ASSERT_TRUE(bench_->RunUntil([&] { return !verify.results.empty(); }));
    EXPECT_EQ(verify.results[0], row.verify);
    ASSERT_TRUE(bench_->StopVerify(&verify));
  }
  fp_print_data_free(enrolled);
}

TEST_F(Module2Test, VerifyRefusesAStoredSlotBeyondTheLibrarysSlots) {
  Open(0x3b11);
  fp_print_data *stored = PrintWithItem(TemplateItem(200, 1, Blob(4)));
  standin::script().match_template = Blob(4);
  Press();
  Outcome out;
  ASSERT_EQ(bench_->StartVerify(stored, &out), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return !out.results.empty(); }));
  EXPECT_EQ(out.results, std::vector<int>{-1});
  EXPECT_EQ(standin::CallsStartingWith("quorv_InitAlgTplData"), std::vector<std::string>{});
  ASSERT_TRUE(bench_->StopVerify(&out));
  fp_print_data_free(stored);
}

TEST_F(Module2Test, DeactivationWhileWaitingForTheFingerEndsAtTheNextPoll) {
  Open(0x3b11);
  Outcome out;
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  bench_->RunFor(120);  // a few 50 ms finger polls without a finger
  ASSERT_NE(quorvanta_ctx, nullptr);
  ASSERT_NE(quorvanta_ctx->enroll_timeout, nullptr);
  ASSERT_EQ(fp_async_enroll_stop(bench_->dev(), [](fp_dev *, void *d) { ++static_cast<Outcome *>(d)->stops; }, &out), 0);
  EXPECT_EQ(out.stops, 0) << "the loop ends at its next step";
  ASSERT_TRUE(bench_->RunUntil([&] { return out.stops == 1; }, 1000));
  EXPECT_EQ(quorvanta_ctx->loop_running, 0);
  EXPECT_EQ(quorvanta_ctx->enroll_timeout, nullptr);
  EXPECT_EQ(quorvanta_ctx->poll_timeout, nullptr);
  EXPECT_TRUE(out.results.empty());
  // With no loop running a stop completes at once.
  Outcome idle;
  ASSERT_EQ(bench_->StartEnroll(&idle), 0);
  ASSERT_TRUE(bench_->StopEnroll(&idle));
}

// The framework's clock, shifted forward by a test.
int64_t g_clock_shift_ms = 0;
int ShiftedClock(timespec *now) {
  if (clock_gettime(CLOCK_MONOTONIC, now) != 0) return -1;
  int64_t ns = now->tv_nsec + (g_clock_shift_ms % 1000) * 1000000;
  now->tv_sec += static_cast<time_t>(g_clock_shift_ms / 1000 + ns / 1000000000);
  now->tv_nsec = static_cast<long>(ns % 1000000000);
  return 0;
}

// No finger for 30 s ends the enrolment with a time-out the caller hears of.
TEST_F(Module2Test, EnrolmentWithoutAFingerTimesOutAfterThirtySeconds) {
  Open(0x3b11);
  fpi_poll_set_clock(ShiftedClock);
  Outcome out;
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  bench_->RunFor(60);
  EXPECT_TRUE(out.results.empty());
  g_clock_shift_ms = 29000;
  bench_->RunFor(60);
  EXPECT_TRUE(out.results.empty()) << "not yet";
  g_clock_shift_ms = 30100;
  ASSERT_TRUE(bench_->RunUntil([&] { return !out.results.empty(); }, 1000));
  EXPECT_EQ(out.results, std::vector<int>{-ETIMEDOUT});
  EXPECT_EQ(quorvanta_ctx->loop_running, 0);
  EXPECT_EQ(quorvanta_ctx->poll_timeout, nullptr);
  ASSERT_TRUE(bench_->StopEnroll(&out));
  fpi_poll_set_clock(nullptr);
}

TEST_F(Module2Test, FortyPixelSideGetsTwentyEnrolStages) {
  auto config = module_emul::Zq4846ConfigFor(0x3b18);
  config.cols = 40;
  Open(0x3b18, config);
  EXPECT_EQ(fp_dev_get_nr_enroll_stages(bench_->dev()), 20);
  EXPECT_EQ(fp_dev_get_img_width(bench_->dev()), 40);
}

// The enrolment's duplicate check sees only what the import loaded: a
// damaged stored print (one the library refuses) and one that is not a
// template, ahead of a good print of the finger being enrolled, must not keep
// the good one out. The refused print is named by its gallery position.
TEST_F(Module2Test, ImportSkipsDamagedPrintsAndLoadsTheGoodDuplicateAfterThem) {
  Open(0x3b11);
  Gallery gallery(0, 3);
  standin::script().refuse_templates = {Blob(0)};
  gallery.Corrupt(1);
  testing_support::StderrCapture err;
  EXPECT_EQ(fp_template_data_import(gallery.get()), -3);
  const std::string log = err.Text();
  ASSERT_TRUE(standin::Slot(1).has_value());
  EXPECT_EQ(standin::Slot(1)->data, Blob(2));
  for (int slot : {0, 2}) EXPECT_FALSE(standin::Slot(slot).has_value()) << slot;
  EXPECT_NE(log.find("gallery print 0 skipped: quorv_InitAlgTplData(..) = -3."), std::string::npos)
      << log;
}

TEST_F(Module2Test, ImportedTemplatesGoToSlotsOneToNineAndUpdateComesBackAsAPrint) {
  Open(0x3b11);
  Gallery gallery(0, 12);
  ASSERT_EQ(fp_template_data_import(gallery.get()), 0);
  for (int slot = 1; slot <= 9; slot++) {
    ASSERT_TRUE(standin::Slot(slot).has_value()) << slot;
    EXPECT_EQ(standin::Slot(slot)->data, Blob(slot - 1));
  }
  EXPECT_FALSE(standin::Slot(0).has_value());

  standin::script().match_template = Blob(4);
  Outcome out;
  IdentifyOnce(gallery.get(), &out);
  ASSERT_EQ(out.results, std::vector<int>{kMatch});
  fp_print_data *updated = nullptr;
  int slot = -1;
  ASSERT_EQ(fp_template_data_update(&updated, &slot), 0);
  EXPECT_EQ(standin::CallsStartingWith("quorv_UpdateTemplate("),
            std::vector<std::string>{"quorv_UpdateTemplate(1)"});
  EXPECT_EQ(slot, 4);
  ASSERT_NE(updated, nullptr);
  const auto *item = static_cast<const fp_print_data_item *>(updated->prints->data);
  EXPECT_EQ(Bytes(item->data, item->data + item->length), TemplateItem(4, 1, {0x71, 0x72}));
  fp_print_data_free(updated);

  uint8_t count = 9;
  EXPECT_EQ(fp_template_registered_number(&count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(fp_get_module_type(bench_->dev()), 0);
  fp_img *img = nullptr;
  ASSERT_EQ(fp_image_capture(bench_->dev(), &img), 0);
  EXPECT_EQ(fp_img_get_width(img), 80);
  EXPECT_EQ(fp_img_get_height(img), 128);
  EXPECT_EQ(fp_img_get_data(img)[0], 0xFF) << "outside a capture the frame is white";
  fp_img_free(img);
}

// The 4845 products: 16-bit frames; a stop before any result switches the
// ATC off; every enrolment press clears the image and switches the ATC on; a
// match switches it off again.
TEST_F(Module2Test, Products4845ClearEveryEnrolmentPressAndSwitchTheAtcOff) {
  Open(0x3b19);
  Gallery gallery(0, 3);
  Outcome idle;
  ASSERT_EQ(bench_->StartIdentify(gallery.get(), &idle), 0);
  bench_->RunFor(60);
  ASSERT_TRUE(bench_->StopIdentify(&idle));
  EXPECT_EQ(model_->Atc(), 0) << "stopped without a result";

  Press(2);
  Outcome enrol;
  ASSERT_EQ(bench_->StartEnroll(&enrol), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return enrol.results.size() == 2; }));
  EXPECT_EQ(enrol.results, (std::vector<int>{kPass, kPass}));
  EXPECT_GE(Requests(0x82, 0x78), 2u) << "one clear per press";
  EXPECT_EQ(model_->Atc(), 1);
  ASSERT_TRUE(bench_->StopEnroll(&enrol));

  standin::script().match_template = Blob(1);
  Outcome out;
  Press();
  ASSERT_EQ(bench_->StartIdentify(gallery.get(), &out), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return !out.results.empty(); }));
  EXPECT_EQ(out.results, std::vector<int>{kMatch});
  EXPECT_EQ(model_->Atc(), 0) << "switched off after the match";
  ASSERT_TRUE(bench_->StopIdentify(&out));
}

TEST_F(Module2Test, OtherModulesSwitchTheAtcOnAtTheStopAndNeverClearTheImage) {
  Open(0x3b11);
  Press(2);
  Outcome enrol;
  ASSERT_EQ(bench_->StartEnroll(&enrol), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return enrol.results.size() == 2; }));
  ASSERT_TRUE(bench_->StopEnroll(&enrol));
  EXPECT_EQ(Requests(0x82, 0x78), 0u);
  EXPECT_EQ(model_->Atc(), 1);
}

// 0x3b15 with a side of 80: a too-dark frame that the library refuses resets
// the module on every third such image.
TEST_F(Module2Test, Product3b15ResetsTheModuleAfterThreeDarkImages) {
  Open(0x3b15);
  standin::script().enroll = {-3, -3, -3};
  Press(3);
  Outcome enrol;
  ASSERT_EQ(bench_->StartEnroll(&enrol), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return enrol.results.size() == 3; }));
  EXPECT_EQ(enrol.results, (std::vector<int>{100, 100, 100}));
  EXPECT_EQ(model_->HwResets(), 1u);
  ASSERT_TRUE(bench_->StopEnroll(&enrol));
}

}  // namespace
