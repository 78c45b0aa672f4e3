// zq_fit_rule_tables: fits the rows of the matcher's rule tables and lists
// on the measurement vectors of a corpus of the accuracy benchmark, and
// measures fitted rows on a held-out corpus: the false-accept classifier's
// tables 1 to 6 and 8, the recall rescue's table 7 and false-reject lists 0
// and 1, and the full-homography scorer's false-accept lists 1 to 3.
//
//   zq_accuracy_corpus --out TRAIN --fingers 30 --impressions 8 --size 80x128 --seed 531
//   zq_fit_rule_tables --fit TRAIN ROWS_DIR [--level 8]
//       # writes ROWS_DIR/far{1..8}.csv, fr{0,1}.csv, fa{1..3}.csv
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
// 6 chip 13, 7 and the false-reject lists chip 9, 8 chip 14 (mode 2 unless
// named); false-accept list 1 chip 10 mode 4, 2 chip 14 mode 5, 3 chip 16
// mode 5 (the full-homography scorer). Every impression is compared with
// every other impression of its finger (genuine) and with the first
// impression of every other finger (impostor), as identification scores a
// candidate (the reverse direction when the first misses the threshold).
//
// Classifier tables: each comparison that reaches the threshold consults
// the classifier, which leaves its measurement vector (ZqGetDataT) in the
// pair record. At the FW4843 far level (15, score 8) no synthetic impostor
// reaches the threshold (nor at level 11, score 5), so the fitting runs at
// level 8 (score 4) by default, where a few do; a region free of genuine
// vectors at the lower threshold is free of them at the higher one too. The
// full-homography false-accept lists are fitted at the same level, on the
// vectors of the comparisons scored 6 to 11 that the scorer looks up.
//
// Recall rescue: it acts on near misses (score below the threshold), which
// exist at the FW4843 level itself, so table 7 and the false-reject lists
// are fitted at level 15 whatever --level says. The vectors come through
// the matcher's observer hook (ZqRuleVectors.h), which reports every
// look-up whose gate holds, so that they do not depend on the rows the
// library holds. Table 7 (a rescue is refused inside one of its regions)
// holds the impostor near misses; the false-reject lists (a rescue inside
// one of their regions) hold genuine near misses and no impostor one.
//
// Rows: one region per vector to be held, grown column by column from the
// vector itself towards the column's bound in the table's range, stopping
// half-way to the first vector to be spared it would take in; regions that
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

#include "accuracy/driver_algorithm.h"
#include "accuracy/pgm_corpus.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqRuleVectors.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqFarRuleTable.h"
#include "src/features/ZqRuleListData.h"
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

// Tables and lists looked up through the observer hook.
enum class Family { kRescue, kFaList };

struct RuleSpec {
  const char *file;  // row file name without .csv
  Family family;
  int kind;          // ZQ_RULE_* of the vectors
  int list;          // false-accept list type, 0 for the rescue
  uint8_t chip;
  uint8_t mode;
  rule_rows::TableShape shape;
  Vec offset;        // false-accept lists: the look-up's column offsets
  const char *columns;
};

const Vec kUpper7(7, 1), kUpper6(6, 1), kLower6(6, -1);

const RuleSpec kRules[] = {
    {"far7", Family::kRescue, ZQ_RULE_TABLE7, 0, 9, 2,
     {196, {6, 6, 2, 0, 175, 161, 0}, {14, 20, 86, 99, 215, 203, 10}, {6, 6, 20, 53, 211, 198, 5},
      {14, 20, 42, 16, 200, 185, 4}, kUpper7},
     {},
     "ransacNum, kin2Num, overlapPct, pointSimPct, matchNum1Avr, recallAvrSim, recallStrongNum"},
    {"fr0", Family::kRescue, ZQ_RULE_FR_LIST0, 0, 9, 2,
     {48, {5, 1088, 104, 82, 0, 3}, {12, 3925, 1335, 92, 25, 30}, {5, 2699, 158, 88, 25, 4},
      {12, 2537, 1335, 87, 4, 3}, kLower6},
     {},
     "inliers, compared pixels, hull area, similarity x 100, similarity gain x 100, orientation variance x 100"},
    {"fr1", Family::kRescue, ZQ_RULE_FR_LIST1, 0, 9, 2,
     {157, {5, 1019, 100, 77, 6, 0}, {9, 6728, 1039, 93, 37, 77}, {5, 2049, 279, 79, 8, 28},
      {9, 2028, 498, 81, 6, 12}, kLower6},
     {},
     "inliers, compared pixels, hull area, similarity x 100, bin-feature count, orientation variance x 100"},
    {"fa1", Family::kFaList, ZQ_RULE_FA_LIST, 1, 10, 4,
     {109, {6, 5, 67, 18, 1, 0}, {12, 38, 91, 91, 53, 8}, {6, 22, 86, 66, 9, 1}, {}, kUpper6},
     {0, 0, 0, 0, 0, 0},
     "inliers, recalled keypoints, similarity x 100, overlap percent, orientation variance x 100, bin-feature count"},
    {"fa2", Family::kFaList, ZQ_RULE_FA_LIST, 2, 14, 5,
     {69, {7, 9, 63, 17, 0, 0}, {11, 47, 91, 83, 38, 7}, {7, 9, 91, 19, 6, 0}, {}, kUpper6},
     {0, 1, 0, 1, 0, 0},
     "inliers, recalled keypoints, similarity x 100, overlap percent, orientation variance x 100, bin-feature count"},
    {"fa3", Family::kFaList, ZQ_RULE_FA_LIST, 3, 16, 5,
     {110, {7, 12, 58, 22, 0, 0}, {12, 48, 91, 84, 31, 13}, {7, 20, 89, 39, 1, 2}, {}, kUpper6},
     {0, 1, 0, 1, 0, 0},
     "inliers, recalled keypoints, similarity x 100, overlap percent, orientation variance x 100, bin-feature count"},
};

// The far level of the rescue's fitting: the FW4843 set's own.
constexpr int kRescueLevel = 15;

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
void SetUp(uint8_t chip, uint8_t mode, int level) {
  if (quorv_config_create() != 0) Fail("no configuration record");
  accuracy::ApplyFw4843Set(accuracy::Fw4843Set{chip, mode}, level);
  if (ZqInitAlgorithm() != 0) Fail("ZqInitAlgorithm failed");
}

void TearDown() {
  ZqDestroyIntiAlg();
  quorv_config_destroy();
  gQuorvActionMode = 0;
}

using Sample = accuracy::Sample;

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
  SetUp(t.chip, t.mode, level);
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

// One direction of a comparison seen through the observer: the score, the
// score before the looked-up rule acted, and the vectors looked up.
struct Seen {
  int score = 0, before = 0;
  std::vector<ZqRuleVector> vectors;
  const ZqRuleVector *Find(int kind) const {
    for (const ZqRuleVector &v : vectors) {
      if (v.kind == kind) return &v;
    }
    return nullptr;
  }
};

void Keep(const ZqRuleVector *v, void *user) { static_cast<std::vector<ZqRuleVector> *>(user)->push_back(*v); }

Seen Observe(const ST_SubTemplate &probe, const ST_SubTemplate &tpl) {
  Seen d;
  ZqSetRuleVectorObserverForTest(Keep, &d.vectors);
  ST_FullHMatrix h{};
  const uint8_t recall = gSensorInfor.adjustMatchEn == 1 ? gAutoMatchLevel.recallEn : 1;
  d.score = ZqVerifyTwoTemplate(&probe, &tpl, &h, recall, 1);
  ZqSetRuleVectorObserverForTest(nullptr, nullptr);
  d.before = d.vectors.empty() ? d.score : d.vectors.front().score;
  return d;
}

// A comparison of identification: forward, and reverse where the forward
// score, with some rows or without, is a miss in 1 .. threshold - 1.
struct Pair {
  bool genuine;
  Seen forward, reverse;
  bool has_reverse = false;
};

// All rows of the family's tables and lists at once (one per kind; the
// false-accept list of the measured chip).
struct Rows {
  std::vector<Vec> t7, fr0, fr1, fa;
};

Vec VecOf(const ZqRuleVector &v) { return Vec(v.vec, v.vec + v.n); }

bool Held(const std::vector<Vec> &rows, const Vec &v, const Vec &sig) {
  return std::any_of(rows.begin(), rows.end(), [&](const Vec &r) { return rule_rows::Covers(r, v, sig); });
}

// The score of a direction had the library held these rows.
int ScoreWith(const Seen &d, const Rows &rows, Family family, const Vec &fa_offset, int threshold) {
  if (family == Family::kFaList) {
    const ZqRuleVector *v = d.Find(ZQ_RULE_FA_LIST);
    if (v == nullptr) return d.score;
    Vec x = VecOf(*v);
    for (size_t c = 0; c < x.size(); ++c) x[c] -= fa_offset[c];
    return Held(rows.fa, x, kUpper6) ? 1 : d.before;
  }
  if (d.vectors.empty() || d.before >= threshold) return d.score;
  const ZqRuleVector *fr0 = d.Find(ZQ_RULE_FR_LIST0), *fr1 = d.Find(ZQ_RULE_FR_LIST1);
  const ZqRuleVector *t7 = d.Find(ZQ_RULE_TABLE7);
  const bool rescued = (fr0 != nullptr && Held(rows.fr0, VecOf(*fr0), kLower6)) ||
                       (fr1 != nullptr && Held(rows.fr1, VecOf(*fr1), kLower6)) ||
                       (t7 != nullptr && !Held(rows.t7, VecOf(*t7), kUpper7));
  return rescued ? threshold : d.before;
}

bool Accepted(const Pair &p, const Rows &rows, Family family, const Vec &fa_offset, int threshold) {
  const int f = ScoreWith(p.forward, rows, family, fa_offset, threshold);
  if (f >= threshold) return true;
  return f >= 1 && p.has_reverse && ScoreWith(p.reverse, rows, family, fa_offset, threshold) >= threshold;
}

struct RuleMeasured {
  std::vector<Pair> pairs;
  int threshold = 0;
};

RuleMeasured MeasureRules(uint8_t chip, uint8_t mode, const std::vector<accuracy::CorpusEntry> &corpus, int level) {
  SetUp(chip, mode, level);
  RuleMeasured m;
  m.threshold = gMatchScores[gSensorInfor.algVerifyFarLevel];
  std::vector<Sample> samples;
  for (const accuracy::CorpusEntry &e : corpus) samples.push_back(Extract(accuracy::ReadPgm(e.path)));
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  std::vector<bool> first(corpus.size(), false);
  for (size_t i = 0; i < corpus.size(); ++i) first[i] = i == 0 || corpus[i].finger != corpus[i - 1].finger;
  for (size_t i = 0; i < corpus.size(); ++i) {
    for (size_t j = 0; j < corpus.size(); ++j) {
      if (i == j || !samples[i] || !samples[j]) continue;
      const bool same = corpus[i].finger == corpus[j].finger;
      if (!same && !first[j]) continue;
      Pair p{same, {}, {}};
      gRebak = 0;
      p.forward = Observe(*samples[i], *samples[j]);
      const int lo = std::min(p.forward.score, p.forward.before);
      const int hi = std::max(p.forward.score, p.forward.before);
      // A looked-up rule may move the forward score across the threshold.
      if ((lo < m.threshold && hi >= 1) || !p.forward.vectors.empty()) {
        gRebak = 1;
        p.reverse = Observe(*samples[j], *samples[i]);
        p.has_reverse = true;
      }
      m.pairs.push_back(std::move(p));
    }
  }
  samples.clear();
  TearDown();
  return m;
}

// The rows each kind starts with: the given first and last ones.
std::vector<Vec> GivenRows(const rule_rows::TableShape &s) {
  std::vector<Vec> rows{s.first};
  if (!s.last.empty()) rows.push_back(s.last);
  return rows;
}

std::vector<Vec> &RowsOf(Rows *rows, const RuleSpec &r) {
  switch (r.kind) {
    case ZQ_RULE_TABLE7: return rows->t7;
    case ZQ_RULE_FR_LIST0: return rows->fr0;
    case ZQ_RULE_FR_LIST1: return rows->fr1;
    default: return rows->fa;
  }
}

// The vectors the rows of r must hold and those they must spare.
void Split(const RuleSpec &r, const RuleMeasured &m, std::vector<Vec> *hold, std::vector<Vec> *spare) {
  for (const Pair &p : m.pairs) {
    for (const Seen *d : {&p.forward, &p.reverse}) {
      if (d == &p.reverse && !p.has_reverse) continue;
      const ZqRuleVector *v = d->Find(r.kind);
      if (v == nullptr) continue;
      Vec x = VecOf(*v);
      if (r.family == Family::kFaList) {
        for (size_t c = 0; c < x.size(); ++c) x[c] -= r.offset[c];
        // Impostors the list would cut at this threshold; every genuine one.
        if (!p.genuine && v->score >= m.threshold) hold->push_back(x);
        if (p.genuine) spare->push_back(x);
      } else if (r.kind == ZQ_RULE_TABLE7) {
        // Impostor near misses that the rescue would raise; genuine ones.
        (p.genuine ? spare : hold)->push_back(x);
      } else {
        // Genuine near misses to raise; impostor ones never.
        (p.genuine ? hold : spare)->push_back(x);
      }
    }
  }
}

struct Tally {
  int genuine = 0, impostor = 0, genuine_accepted = 0, impostor_accepted = 0;
};

Tally Count(const RuleMeasured &m, const Rows &rows, Family family, const Vec &fa_offset) {
  Tally t;
  for (const Pair &p : m.pairs) {
    const bool a = Accepted(p, rows, family, fa_offset, m.threshold);
    if (p.genuine) {
      ++t.genuine;
      t.genuine_accepted += a;
    } else {
      ++t.impostor;
      t.impostor_accepted += a;
    }
  }
  return t;
}

void WriteRuleRows(const std::string &dir, const RuleSpec &r, const std::vector<Vec> &rows, size_t held,
                   size_t spared, const std::string &corpus, int level) {
  const std::string path = dir + "/" + r.file + ".csv";
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr) Fail("cannot write " + path);
  char line[768];
  const bool rescue = r.family == Family::kRescue;
  snprintf(line, sizeof line,
           "# Fitted by tests/tools/zq_fit_rule_tables on the synthetic corpus %s\n"
           "# (chip %d, algorithm mode %d, FW4843 parameter set at far level %d): %zu vectors\n"
           "# of %s comparisons to hold, %zu of %s ones to spare.\n"
           "# The given %s; not the original maker's rows.\n"
           "# %s\n",
           corpus.c_str(), r.chip, r.mode, level, held,
           rescue && r.kind != ZQ_RULE_TABLE7 ? "genuine near-miss" : r.kind == ZQ_RULE_TABLE7 ? "impostor near-miss" : "impostor",
           spared, rescue && r.kind != ZQ_RULE_TABLE7 ? "impostor" : "genuine",
           r.shape.last.empty() ? "first row is kept first" : "first and last rows are kept first and last", r.columns);
  fputs(line, f);
  if (held == 0) {
    fputs(r.kind == ZQ_RULE_TABLE7 && spared == 0
              ? "# No comparison of the corpus passed the look-up's gate (pointSimPct stays far below\n"
                "# 31 on these frames): the table holds the given rows only.\n"
              : "# No comparison of the corpus gave a vector to hold: the given rows only.\n",
          f);
  }
  for (const Vec &row : rows) {
    std::string text;
    for (size_t c = 0; c < row.size(); ++c) text += (c == 0 ? "" : ", ") + std::to_string(row[c]);
    fputs((text + "\n").c_str(), f);
  }
  if (fclose(f) != 0) Fail("cannot write " + path);
}

// The rows of a list as the library holds them.
std::vector<Vec> LibraryList(const RuleSpec &r) {
  using namespace zq_rules;
  const int16_t(*rows)[kListColumns] = nullptr;
  int32_t n = 0;
  if (r.kind == ZQ_RULE_FR_LIST0) rows = gFrList0_6dims, n = gFrList0Rows;
  if (r.kind == ZQ_RULE_FR_LIST1) rows = gFrList1_6dims, n = gFrList1Rows;
  if (r.kind == ZQ_RULE_FA_LIST && r.list == 1) rows = gMode4DO4851_WarpMatch_Fa_6dims, n = gMode4DO4851_WarpMatch_FaRows;
  if (r.kind == ZQ_RULE_FA_LIST && r.list == 2) rows = gMode5FW4853_WarpMatch_Fa_6dims, n = gMode5FW4853_WarpMatch_FaRows;
  if (r.kind == ZQ_RULE_FA_LIST && r.list == 3) rows = gMode5FW4855_WarpMatch_Fa_6dims, n = gMode5FW4855_WarpMatch_FaRows;
  std::vector<Vec> out;
  for (int32_t i = 0; i < n; ++i) out.emplace_back(rows[i], rows[i] + kListColumns);
  return out;
}

// Fits (rows_dir not empty) or evaluates the observed tables and lists,
// one measurement per chip and mode.
void RunRules(const std::vector<accuracy::CorpusEntry> &corpus, const std::string &name, const std::string &rows_dir,
              int level) {
  const bool fit = !rows_dir.empty();
  size_t i = 0;
  while (i < sizeof kRules / sizeof kRules[0]) {
    // The specs measured on one chip and mode.
    size_t end = i + 1;
    while (end < sizeof kRules / sizeof kRules[0] && kRules[end].chip == kRules[i].chip &&
           kRules[end].mode == kRules[i].mode)
      ++end;
    const Family family = kRules[i].family;
    const int at = family == Family::kRescue && fit ? kRescueLevel : level;
    const RuleMeasured m = MeasureRules(kRules[i].chip, kRules[i].mode, corpus, at);
    Rows given, fitted;
    for (size_t k = i; k < end; ++k) RowsOf(&given, kRules[k]) = GivenRows(kRules[k].shape);
    fitted = given;
    for (size_t k = i; k < end; ++k) {
      const RuleSpec &r = kRules[k];
      std::vector<Vec> hold, spare;
      Split(r, m, &hold, &spare);
      if (fit) {
        RowsOf(&fitted, r) = rule_rows::FitRows(r.shape, hold, spare);
        WriteRuleRows(rows_dir, r, RowsOf(&fitted, r), hold.size(), spare.size(), name, at);
      } else {
        // The rows the library holds.
        const ST_FarRuleTable t7 = ZqFarRuleTableGet(7);
        std::vector<Vec> &out = RowsOf(&fitted, r);
        out.clear();
        if (r.kind == ZQ_RULE_TABLE7) {
          for (int row = 0; row < t7.nR; ++row) out.emplace_back(t7.puchdata + row * t7.nC, t7.puchdata + (row + 1) * t7.nC);
        } else {
          out = LibraryList(r);
        }
      }
      char line[200];
      snprintf(line, sizeof line, "%s: %zu rows from %zu vectors to hold and %zu to spare\n", r.file,
               RowsOf(&fitted, r).size(), hold.size(), spare.size());
      fputs(line, stdout);
    }
    const Vec &offset = kRules[i].offset;
    const Tally before = Count(m, given, family, offset), after = Count(m, fitted, family, offset);
    char line[400];
    snprintf(line, sizeof line,
             "%s (chip %2d, mode %d, level %d): %5d genuine, %6d impostor comparisons; with the given rows only FRR "
             "%.2f %%, impostors accepted %d; with the %s rows FRR %.2f %%, impostors accepted %d; threshold %d\n",
             family == Family::kRescue ? "rescue (table 7, false-reject lists)" : kRules[i].file, kRules[i].chip,
             kRules[i].mode, at, before.genuine, before.impostor, Pct(before.genuine - before.genuine_accepted, before.genuine),
             before.impostor_accepted, fit ? "fitted" : "library's", Pct(after.genuine - after.genuine_accepted, after.genuine),
             after.impostor_accepted, m.threshold);
    fputs(line, stdout);
    fflush(stdout);
    i = end;
  }
}

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
  RunRules(corpus, name, fit ? argv[3] : "", level);
  return 0;
}
