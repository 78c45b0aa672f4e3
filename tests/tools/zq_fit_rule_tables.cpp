// zq_fit_rule_tables: fits the rows of the false-accept classifier's rule
// tables (1 to 6 and 8) on the measurement vectors of a corpus of the
// accuracy benchmark, and measures fitted rows on a held-out corpus.
//
//   zq_accuracy_corpus --out TRAIN --fingers 30 --impressions 8 --size 80x128 --seed 531
//   zq_fit_rule_tables --fit TRAIN ROWS_DIR [--level 8]  # writes ROWS_DIR/far{1..6,8}.csv
//   zq_gen_rule_tables ROWS_DIR src/features     # regenerates the row sources
//   zq_accuracy_corpus --out HELD --fingers 30 --impressions 8 --size 80x128 --seed 532
//   zq_fit_rule_tables --evaluate HELD [--level 15]  # before / after, per table
//
// Where the rows come from. No real fingerprint and no rows of the original
// sensor maker are used: the maker's tuned tables are not available, so the
// rows are the project's own. The corpus holds synthetic impressions of
// tests/fingers (zq_accuracy_corpus). The algorithm is set up with the
// FW4843 parameter set (80 x 128 frames, classifier on, far level 15), the
// chip type and algorithm mode switched to those that consult the table:
// table 1 chip 9, 2 chip 10, 3 chip 11, 4 chip 8 mode 2, 5 chip 8 mode 1,
// 6 chip 13, 8 chip 14 (mode 2 unless named). Every impression is compared
// with every other impression of its finger (genuine) and with the first
// impression of every other finger (impostor), as identification scores a
// candidate (the reverse direction when the first misses the threshold).
// Each comparison that reaches the threshold consults the classifier, which
// leaves its measurement vector (ZqGetDataT) in the pair record. At the
// FW4843 far level (15, score 8) no synthetic impostor reaches the
// threshold (nor at level 11, score 5), so the fitting runs at level 8
// (score 4) by default, where a few do; a region free of genuine vectors
// at the lower threshold is free of them at the higher one too.
//
// Rows: one region per impostor vector, grown column by column from the
// vector itself towards the column's bound in the table's range, stopping
// half-way to the first genuine vector it would take in; regions that
// another region covers are dropped; the given first and last rows of the
// table are kept first and last; rows are sorted by their first column and
// held within the table's column ranges and row count. Deterministic: the
// same corpus gives the same rows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "accuracy/pgm_corpus.h"
#include "src/FpSensorLib/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "tools/rule_rows_fit.h"

namespace {

using rule_rows::kCols;
using rule_rows::Vec;
// Vector elements of the classifier columns.
constexpr int kIndex[kCols] = {15, 10, 11, 12, 13, 17};

struct TableSpec {
  int table;
  uint8_t chip;
  uint8_t mode;
  rule_rows::TableShape shape;
};

const TableSpec kTables[] = {
    {1, 9, 2, {380, {6, 0, 9, 6, 51, 0}, {14, 1932, 75, 97, 92, 32}, {6, 0, 26, 24, 88, 13}, {14, 1047, 19, 72, 61, 8}}},
    {2, 10, 2, {523, {6, 0, 9, 7, 51, 0}, {14, 1932, 82, 97, 94, 34}, {6, 0, 30, 33, 88, 14}, {14, 1047, 19, 72, 61, 8}}},
    {3, 11, 2, {245, {5, 0, 25, 15, 61, 7}, {13, 263, 75, 98, 89, 49}, {5, 0, 31, 62, 89, 19}, {13, 149, 41, 51, 66, 8}}},
    {4, 8, 2, {363, {6, 0, 10, 13, 62, 8}, {14, 855, 61, 98, 90, 45}, {6, 0, 13, 34, 90, 12}, {14, 575, 18, 80, 71, 11}}},
    {5, 8, 1, {174, {6, 0, 0, 15, 72, 8}, {20, 587, 53, 98, 89, 50}, {6, 9, 26, 37, 87, 12}, {20, 0, 0, 72, 83, 20}}},
    {6, 13, 2, {409, {6, 0, 11, 13, 63, 7}, {12, 832, 83, 95, 93, 30}, {6, 0, 26, 32, 90, 8}, {12, 501, 27, 55, 63, 7}}},
    {8, 14, 2, {361, {6, 0, 8, 8, 61, 7}, {13, 867, 84, 97, 94, 29}, {6, 0, 20, 33, 90, 12}, {13, 867, 18, 89, 65, 8}}},
};

struct Measured {
  std::vector<Vec> genuine, impostor;  // vectors of comparisons that reached the threshold
  int genuine_n = 0, impostor_n = 0;
  int genuine_before = 0, impostor_before = 0;  // accepted without the cuts
  int genuine_after = 0, impostor_after = 0;    // accepted with them
  int impostor_best = 0;                        // highest impostor score without the cuts
};

void Fail(const std::string &message) {
  fputs(("zq_fit_rule_tables: " + message + "\n").c_str(), stderr);
  exit(1);
}

// The FW4843 parameter set's algorithm part, with chip and mode replaced.
void SetUp(const TableSpec &t, int level) {
  if (quorv_config_create() != 0) Fail("no configuration record");
  quorv_SetFpSensorColsRows(80, 128);
  quorv_IcInfoSwitch(t.chip);
  quorv_SetModuleType(0);
  quorv_SetAlgoMode(t.mode);
  quorv_SetNonFingerDetectVer(0);
  quorv_SetForeignBodyAttackSwitch(1);
  quorv_SpaEn(1);
  quorv_SetAdjustMatchEn(1);
  quorv_SetFpAlgMaxTpl(96);
  quorv_SetEnrollMaxTpl(48);
  quorv_SetAlgFarLevel(static_cast<uint8_t>(level));
  quorv_SetTemplateBuffEn(1);
  quorv_SetClassifierOn(1);
  quorv_SetUpdateTemplateFarLevel(16);
  quorv_UpdateTemplateOutsideEn(1);
  if (ZqInitAlgorithm() != 0) Fail("ZqInitAlgorithm failed");
}

void TearDown() {
  ZqDestroyIntiAlg();
  quorv_config_destroy();
  gQuorvActionMode = 0;
}

struct SampleDeleter {
  void operator()(ST_SubTemplate *s) const { ZqReleaseTemp(s); }
};
using Sample = std::unique_ptr<ST_SubTemplate, SampleDeleter>;

Sample Extract(const accuracy::GrayImage &image) {
  if (image.width != 80 || image.height != 128) Fail("the corpus must be of 80x128 impressions");
  Sample s(ZqCreateTemp());
  if (!s) Fail("out of memory");
  std::vector<uint8_t> pixels = image.pixels;
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  if (ZqGetTemplate(pixels.data(), s.get(), nullptr) != 0) return nullptr;
  return s;
}

// One direction of a comparison: the score, and the vector when the
// classifier was consulted (*ret its result).
int Direction(const ST_SubTemplate &probe, const ST_SubTemplate &tpl, Vec *vec, int32_t *ret) {
  ST_FullHMatrix h{};
  const uint8_t recall = gSensorInfor.adjustMatchEn == 1 ? gAutoMatchLevel.recallEn : 1;
  const int score = ZqVerifyTwoTemplate(&probe, &tpl, &h, recall, 1);
  *ret = gMatchInfoTwo.classifierRet;
  vec->clear();
  if (*ret != 0) {
    int32_t v[60] = {0};
    ZqGetDataT(v, gMatchInfoTwo);
    for (int c = 0; c < kCols; ++c) vec->push_back(v[kIndex[c]]);
  }
  return score;
}

// Identification's scoring of one candidate, with and without the cuts.
// The vectors kept are those of the comparisons made without the cuts, so
// that they do not depend on the rows the library holds.
void Compare(const ST_SubTemplate &probe, const ST_SubTemplate &tpl, int threshold, bool genuine, Measured *m) {
  std::vector<Vec> &kept = genuine ? m->genuine : m->impostor;
  Vec vec;
  int32_t ret = 0;
  gRebak = 0;
  const int forward = Direction(probe, tpl, &vec, &ret);
  if (!vec.empty()) kept.push_back(vec);
  const bool forward_reached = forward >= threshold || ret == -11;  // a cut comparison reached it
  bool before = forward_reached, after = forward >= threshold;
  int best = forward_reached ? threshold : forward;
  if (forward >= 1 && forward < threshold) {
    gRebak = 1;
    const int reverse = Direction(tpl, probe, &vec, &ret);
    after = reverse >= threshold;
    if (!forward_reached) {
      if (!vec.empty()) kept.push_back(vec);
      before = reverse >= threshold || ret == -11;
      best = std::max(best, ret == -11 ? threshold : reverse);
    }
  }
  if (genuine) {
    ++m->genuine_n;
    m->genuine_before += before;
    m->genuine_after += after;
  } else {
    m->impostor_best = std::max(m->impostor_best, best);
    ++m->impostor_n;
    m->impostor_before += before;
    m->impostor_after += after;
  }
}

Measured Measure(const TableSpec &t, const std::vector<accuracy::CorpusEntry> &corpus, int level) {
  SetUp(t, level);
  const int threshold = gMatchScores[gSensorInfor.algVerifyFarLevel];
  std::vector<Sample> samples;
  for (const accuracy::CorpusEntry &e : corpus) samples.push_back(Extract(accuracy::ReadPgm(e.path)));
  Measured m;
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  std::vector<size_t> first_of_finger;
  for (size_t i = 0; i < corpus.size(); ++i) {
    if (i == 0 || corpus[i].finger != corpus[i - 1].finger) first_of_finger.push_back(i);
  }
  for (size_t i = 0; i < corpus.size(); ++i) {
    for (size_t j = 0; j < corpus.size(); ++j) {
      if (i == j || !samples[i] || !samples[j]) continue;
      const bool same = corpus[i].finger == corpus[j].finger;
      const bool first = std::find(first_of_finger.begin(), first_of_finger.end(), j) != first_of_finger.end();
      if (same || first) Compare(*samples[i], *samples[j], threshold, same, &m);
    }
  }
  samples.clear();
  TearDown();
  return m;
}

void WriteRows(const std::string &dir, const TableSpec &t, const std::vector<Vec> &rows, const Measured &m,
               const std::string &corpus, int level) {
  const std::string path = dir + "/far" + std::to_string(t.table) + ".csv";
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write " + path);
  char line[512];
  snprintf(line, sizeof line,
           "# Fitted by tests/tools/zq_fit_rule_tables on the synthetic corpus %s\n"
           "# (chip %d, algorithm mode %d, FW4843 parameter set at far level %d): %d genuine\n"
           "# and %d impostor comparisons, of which %zu and %zu vectors reached the threshold.\n"
           "# The first and last rows are the given ones; not the original maker's rows.\n"
           "# ransacNum, diffBlobSize, recurPct, overlapPct, uniformPct, matchScore\n",
           corpus.c_str(), t.chip, t.mode, level, m.genuine_n, m.impostor_n, m.genuine.size(), m.impostor.size());
  fputs(line, f);
  for (const Vec &r : rows) {
    snprintf(line, sizeof line, "%d, %d, %d, %d, %d, %d\n", r[0], r[1], r[2], r[3], r[4], r[5]);
    fputs(line, f);
  }
  if (fclose(f) != 0) Fail("cannot write " + path);
}

double Pct(int n, int of) { return of > 0 ? 100.0 * n / of : 0.0; }

}  // namespace

int main(int argc, char **argv) {
  const bool fit = (argc == 4 || argc == 6) && strcmp(argv[1], "--fit") == 0;
  const bool evaluate = (argc == 3 || argc == 5) && strcmp(argv[1], "--evaluate") == 0;
  int level = fit ? 8 : 15;
  const int options = fit ? 4 : 3;
  bool usage = !fit && !evaluate;
  if (!usage && argc == options + 2) {
    level = atoi(argv[options + 1]);
    usage = strcmp(argv[options], "--level") != 0 || level < 0 || level > 28;
  }
  if (usage) {
    fputs("usage: zq_fit_rule_tables --fit CORPUS_DIR ROWS_DIR [--level N] | --evaluate CORPUS_DIR [--level N]\n",
          stderr);
    return 2;
  }
  std::vector<accuracy::CorpusEntry> corpus;
  try {
    corpus = accuracy::ListCorpus(argv[2]);
  } catch (const std::exception &e) {
    Fail(e.what());
  }
  std::string name = argv[2];
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name = name.substr(name.find_last_of('/') + 1);
  for (const TableSpec &t : kTables) {
    const Measured m = Measure(t, corpus, level);
    char line[400];
    if (fit) {
      const std::vector<Vec> rows = rule_rows::FitRows(t.shape, m.impostor, m.genuine);
      WriteRows(argv[3], t, rows, m, name, level);
      snprintf(line, sizeof line, "table %d: %zu rows from %zu impostor and %zu genuine vectors\n", t.table,
               rows.size(), m.impostor.size(), m.genuine.size());
    } else {
      snprintf(line, sizeof line,
               "table %d (chip %2d, mode %d, level %d): %5d genuine, %6d impostor comparisons; without the cuts FRR "
               "%.2f %%, impostors accepted %d; with them FRR %.2f %%, impostors accepted %d; threshold %d, "
               "best impostor score %d\n",
               t.table, t.chip, t.mode, level, m.genuine_n, m.impostor_n, Pct(m.genuine_n - m.genuine_before, m.genuine_n),
               m.impostor_before, Pct(m.genuine_n - m.genuine_after, m.genuine_n), m.impostor_after,
               gMatchScores[level], m.impostor_best);
    }
    fputs(line, stdout);
    fflush(stdout);
  }
  return 0;
}
