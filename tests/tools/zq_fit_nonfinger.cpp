// zq_fit_nonfinger: fits the seven table sets of the no-finger network and
// writes their generated sources (src/enhance/ZqNonFingerTables_<set>.cpp).
//
//   zq_fit_nonfinger [--seed N] OUT_DIR
//
// Where the values come from. No real fingerprint and no weights of the
// original sensor maker are used: the maker's trained weights are not
// available, so these are the project's own values. Each set is fitted on
// synthetic frames of tests/fingers (tools/nonfinger_corpus.h says which
// cover and presses each set sees): finger presses of every sensor size with
// the generator's variations (placement, rotation, distortion, partial
// contact, pressure, dry and wet skin, gain, offset, noise, stuck pixels)
// and non-finger frames of every kind the generator has (empty, edge touch,
// flat object, dirty, white, water, fabric, interference, dark). The 17
// features come from the library's own NonFingerFeatures. Only the default
// set's normalisation (NORM_COFF_AVG, NORM_COFF_SIGMA) and output biases
// (OUT_COFF_B) are given values, kept as they are; the default set's
// weights are fitted around them. The other sets normalise by the mean and
// deviation of their own training features.
//
// Fitting: full-batch Adam on a weighted logistic loss of o0 - o1 about
// the default decision threshold 0.7 (fingers weigh more: the decision must
// keep nearly every finger), in double precision with the generator's own
// exponential, from weights drawn with the generator's seeded random
// numbers. Nothing depends on the clock or the platform's random source,
// so two runs with one seed write identical files. The held-out checks
// (zq_nonfinger_fitted_test, zq_nonfinger_fitted_benchmark) use other seeds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fingers/det_math.h"
#include "fingers/rng.h"
#include "src/enhance/ZqNonFingerDetect.h"
#include "src/enhance/ZqNonFingerFeatures.h"
#include "src/enhance/ZqNonFingerTables.h"
#include "tools/nonfinger_corpus.h"

namespace {

constexpr int kF = NONFINGER_FEATURES, kH = NONFINGER_HIDDEN, kO = NONFINGER_OUTPUTS;
constexpr double kThreshold = 0.7;
constexpr double kThresholdLogit = 0.84729786038720367;  // log(0.7 / 0.3)
constexpr int kIterations = 3000;
constexpr double kFingerWeight = 0.75;  // share of the loss carried by the finger class
constexpr double kWeightDecay = 1e-4;

// The training corpus of every set: 40 fingers x 6 presses and 24 frames of
// each non-finger kind, per sensor size.
constexpr nonfinger_corpus::CorpusShape TrainingShape(uint64_t seed) { return {seed, 40, 6, 24}; }

// The given values of the default set.
const double kGivenAvg[kF] = {1.57, 0.67, 0.81, 9.12, 0.38, 2.3, 0.55, 0.25, 0.19,
                              0.01, 117.5, 0.13, 0.24, 0.38, 0.18, 0.06, 291.68};
const double kGivenSigma[kF] = {0.76, 0.09, 0.28, 4.59, 0.14, 0.8, 0.29, 0.14, 0.17,
                                0.04, 64.03, 0.07, 0.08, 0.08, 0.08, 0.05, 73.29};
const double kGivenOutB[kO] = {0.32144916, -0.32125193};

struct Sample {
  float feat[kF];
  bool finger;
};

// The network's parameters, one flat vector: w1, b1, w2, b2, w3, b3.
struct Layout {
  static constexpr int kW1 = 0, kB1 = kW1 + kH * kF, kW2 = kB1 + kH, kB2 = kW2 + kH * kH, kW3 = kB2 + kH,
                       kB3 = kW3 + kO * kH, kCount = kB3 + kO;
};

struct Tables {
  double avg_given[kF], sigma_given[kF];  // normalisation as decided, before the float conversion
  float avg[kF], sigma[kF], w1[kH][kF], b1[kH], w2[kH][kH], b2[kH], w3[kO][kH], b3[kO];
};

double Tanh(double a) {
  if (a > 45) a = 45;
  if (a < -45) a = -45;
  const double e = fingers::DetExp(2 * a);
  return (e - 1) / (e + 1);
}

// Derivative of log(1 + e^-t): -1 / (1 + e^t), without overflow.
double LogisticSlope(double t) {
  if (t > 0) {
    const double e = fingers::DetExp(-t);
    return -e / (1 + e);
  }
  return -1 / (1 + fingers::DetExp(t));
}

std::vector<Sample> Gather(int set, uint64_t seed, int *fingers_out, int *others_out) {
  std::vector<Sample> samples;
  *fingers_out = *others_out = 0;
  nonfinger_corpus::ForEachFrame(set, TrainingShape(seed), [&](const nonfinger_corpus::CorpusFrame &f) {
    Sample s;
    s.finger = f.finger;
    if (NonFingerFeatures(f.frame->gray.data(), static_cast<uint16_t>(f.frame->width),
                          static_cast<uint16_t>(f.frame->height), s.feat) != 0) {
      fputs("zq_fit_nonfinger: feature extraction failed\n", stderr);
      exit(2);
    }
    samples.push_back(s);
    ++*(f.finger ? fingers_out : others_out);
  });
  return samples;
}

// Fits the weights of one set on normalised inputs x (n x kF), leaving the
// output biases at their given values when fixed_b3 is not NULL.
std::vector<double> Fit(const std::vector<double> &x, const std::vector<Sample> &samples, int n_finger,
                        int n_other, const double *fixed_b3, uint64_t seed) {
  const size_t n = samples.size();
  std::vector<double> p(Layout::kCount, 0.0);
  fingers::Rng rng(seed);
  auto init = [&](int at, int rows, int fan_in) {
    const double a = std::sqrt(6.0 / (fan_in + rows));
    for (int i = 0; i < rows * fan_in; ++i) p[at + i] = rng.Uniform(-a, a);
  };
  init(Layout::kW1, kH, kF);
  init(Layout::kW2, kH, kH);
  init(Layout::kW3, kO, kH);
  if (fixed_b3 != nullptr) {
    p[Layout::kB3] = fixed_b3[0];
    p[Layout::kB3 + 1] = fixed_b3[1];
  }
  const double offset = kThresholdLogit;
  const double wf = kFingerWeight / n_finger, wo = (1 - kFingerWeight) / n_other;
  std::vector<double> m(p.size(), 0.0), v(p.size(), 0.0), g(p.size());
  const double beta1 = 0.9, beta2 = 0.999;
  double b1t = 1, b2t = 1;
  for (int it = 0; it < kIterations; ++it) {
    std::fill(g.begin(), g.end(), 0.0);
    for (size_t s = 0; s < n; ++s) {
      const double *xs = &x[s * kF];
      double h1[kH], h2[kH], o[kO];
      for (int j = 0; j < kH; ++j) {
        double a = p[Layout::kB1 + j];
        for (int k = 0; k < kF; ++k) a += p[Layout::kW1 + j * kF + k] * xs[k];
        h1[j] = Tanh(a);
      }
      for (int j = 0; j < kH; ++j) {
        double a = p[Layout::kB2 + j];
        for (int k = 0; k < kH; ++k) a += p[Layout::kW2 + j * kH + k] * h1[k];
        h2[j] = Tanh(a);
      }
      for (int j = 0; j < kO; ++j) {
        double a = p[Layout::kB3 + j];
        for (int k = 0; k < kH; ++k) a += p[Layout::kW3 + j * kH + k] * h2[k];
        o[j] = a;
      }
      const double sign = samples[s].finger ? 1.0 : -1.0;
      const double slope = LogisticSlope(sign * (o[0] - o[1] - offset));
      const double dz = slope * sign * (samples[s].finger ? wf : wo);
      const double dout[kO] = {dz, -dz};
      double d2[kH] = {0}, d1[kH] = {0};
      for (int j = 0; j < kO; ++j) {
        g[Layout::kB3 + j] += dout[j];
        for (int k = 0; k < kH; ++k) {
          g[Layout::kW3 + j * kH + k] += dout[j] * h2[k];
          d2[k] += dout[j] * p[Layout::kW3 + j * kH + k];
        }
      }
      for (int j = 0; j < kH; ++j) {
        const double da = d2[j] * (1 - h2[j] * h2[j]);
        g[Layout::kB2 + j] += da;
        for (int k = 0; k < kH; ++k) {
          g[Layout::kW2 + j * kH + k] += da * h1[k];
          d1[k] += da * p[Layout::kW2 + j * kH + k];
        }
      }
      for (int j = 0; j < kH; ++j) {
        const double da = d1[j] * (1 - h1[j] * h1[j]);
        g[Layout::kB1 + j] += da;
        for (int k = 0; k < kF; ++k) g[Layout::kW1 + j * kF + k] += da * xs[k];
      }
    }
    // Adam, with the step size falling from 0.02 to 0.002 along a cosine.
    const double lr = 0.002 + 0.009 * (1 + fingers::DetCos(fingers::kPi * it / kIterations));
    b1t *= beta1;
    b2t *= beta2;
    for (int i = 0; i < Layout::kCount; ++i) {
      if (fixed_b3 != nullptr && i >= Layout::kB3) continue;
      const bool weight = i < Layout::kB1 || (i >= Layout::kW2 && i < Layout::kB2) ||
                          (i >= Layout::kW3 && i < Layout::kB3);
      const double gi = g[i] + (weight ? kWeightDecay * p[i] : 0.0);
      m[i] = beta1 * m[i] + (1 - beta1) * gi;
      v[i] = beta2 * v[i] + (1 - beta2) * gi * gi;
      p[i] -= lr * (m[i] / (1 - b1t)) / (std::sqrt(v[i] / (1 - b2t)) + 1e-8);
    }
  }
  return p;
}

Tables ToTables(const double *avg, const double *sigma, const std::vector<double> &p) {
  Tables t;
  for (int k = 0; k < kF; ++k) {
    t.avg_given[k] = avg[k];
    t.sigma_given[k] = sigma[k];
    t.avg[k] = static_cast<float>(avg[k]);
    t.sigma[k] = static_cast<float>(sigma[k]);
  }
  for (int j = 0; j < kH; ++j) {
    for (int k = 0; k < kF; ++k) t.w1[j][k] = static_cast<float>(p[Layout::kW1 + j * kF + k]);
    t.b1[j] = static_cast<float>(p[Layout::kB1 + j]);
    for (int k = 0; k < kH; ++k) t.w2[j][k] = static_cast<float>(p[Layout::kW2 + j * kH + k]);
    t.b2[j] = static_cast<float>(p[Layout::kB2 + j]);
  }
  for (int j = 0; j < kO; ++j) {
    for (int k = 0; k < kH; ++k) t.w3[j][k] = static_cast<float>(p[Layout::kW3 + j * kH + k]);
    t.b3[j] = static_cast<float>(p[Layout::kB3 + j]);
  }
  return t;
}

// Shares of fingers kept and of non-fingers rejected by the single-precision
// forward pass of the library at the default threshold.
void Rates(const Tables &t, const std::vector<Sample> &samples, double *kept, double *rejected) {
  const ST_NonFingerNet net{t.avg, t.sigma, t.w1, t.b1, t.w2, t.b2, t.w3, t.b3};
  int nf = 0, no = 0, kf = 0, ro = 0;
  for (const Sample &s : samples) {
    float prob = 0;
    NonFingerForward(&net, s.feat, &prob);
    const bool finger = prob > static_cast<float>(kThreshold);
    if (s.finger) {
      ++nf;
      kf += finger;
    } else {
      ++no;
      ro += !finger;
    }
  }
  *kept = 100.0 * kf / nf;
  *rejected = 100.0 * ro / no;
}

std::string Num(float f) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
  std::string s = buf;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s + "f";
}

// Given and rounded values are written as their short decimal.
std::string Given(double d) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.8g", d);
  std::string s = buf;
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";
  return s + "f";
}

void Row(std::string *out, const float *v, int n, bool given, const double *given_values) {
  for (int i = 0; i < n; ++i) {
    if (i) *out += ", ";
    *out += given ? Given(given_values[i]) : Num(v[i]);
  }
}

void Vector(std::string *out, const char *name, const char *sfx, const float *v, int n, bool given = false,
            const double *given_values = nullptr) {
  char head[96];
  snprintf(head, sizeof head, "const float %s%s[%d] = {\n    ", name, sfx, n);
  *out += head;
  Row(out, v, n, given, given_values);
  *out += ",\n};\n\n";
}

void Matrix(std::string *out, const char *name, const char *sfx, const float *v, int rows, int cols) {
  char head[96];
  snprintf(head, sizeof head, "const float %s%s[%d][%d] = {\n", name, sfx, rows, cols);
  *out += head;
  for (int r = 0; r < rows; ++r) {
    *out += "    {";
    Row(out, v + r * cols, cols, false, nullptr);
    *out += "},\n";
  }
  *out += "};\n\n";
}

std::string Render(int set, const Tables &t, uint64_t seed, int n_finger, int n_other, double kept,
                   double rejected) {
  const char *sfx = nonfinger_corpus::NetSetSuffix(set);
  const bool given = set == 0;
  const nonfinger_corpus::CorpusShape shape = TrainingShape(seed);
  char buf[2048];
  std::string out;
  snprintf(buf, sizeof buf,
           "// GENERATED by tests/tools/zq_fit_nonfinger --seed %llu; do not edit.\n"
           "// No-finger network table set: %s.\n"
           "//\n"
           "// Where the values come from: fitted on synthetic frames of tests/fingers,\n"
           "// never on real fingers; the project's own values, not the original\n"
           "// sensor maker's. Features by the library's NonFingerFeatures.\n"
           "// Frames: %s;\n"
           "// %d finger presses (%d fingers x %d presses x %d sensor sizes) and %d\n"
           "// non-finger frames (%d kinds x %d x %d sizes).\n"
           "// %s\n"
           "// On its training frames, at the threshold 0.7: %.1f %% of fingers kept,\n"
           "// %.1f %% of non-fingers rejected. See the tool for the fitting.\n",
           static_cast<unsigned long long>(seed), given ? "default (no suffix)" : sfx + 1,
           nonfinger_corpus::NetSetLook(set), n_finger, shape.masters, shape.presses, nonfinger_corpus::kSizes,
           n_other, fingers::kNonFingerKinds, shape.per_kind, nonfinger_corpus::kSizes,
           given ? "NORM_COFF_AVG, NORM_COFF_SIGMA and OUT_COFF_B are the given values, kept."
                 : "Normalisation: mean and deviation of the training features, 4 digits.",
           kept, rejected);
  out += buf;
  out += "#include \"src/enhance/ZqNonFingerTables.h\"\n\nextern \"C\" {\n\n";
  Vector(&out, "NORM_COFF_AVG", sfx, t.avg, kF, true, t.avg_given);
  Vector(&out, "NORM_COFF_SIGMA", sfx, t.sigma, kF, true, t.sigma_given);
  Matrix(&out, "HID1_COFF_W", sfx, &t.w1[0][0], kH, kF);
  Vector(&out, "HID1_COFF_B", sfx, t.b1, kH);
  Matrix(&out, "HID2_COFF_W", sfx, &t.w2[0][0], kH, kH);
  Vector(&out, "HID2_COFF_B", sfx, t.b2, kH);
  Matrix(&out, "OUT_COFF_W", sfx, &t.w3[0][0], kO, kH);
  Vector(&out, "OUT_COFF_B", sfx, t.b3, kO, given, kGivenOutB);
  out += "}  // extern \"C\"\n";
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  uint64_t seed = 1;
  const char *out_dir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = strtoull(argv[++i], nullptr, 10);
    } else if (argv[i][0] != '-' && out_dir == nullptr) {
      out_dir = argv[i];
    } else {
      out_dir = nullptr;
      break;
    }
  }
  if (out_dir == nullptr) {
    fputs("usage: zq_fit_nonfinger [--seed N] OUT_DIR\n", stderr);
    return 2;
  }
  for (int set = 0; set < nonfinger_corpus::kNetSets; ++set) {
    int n_finger = 0, n_other = 0;
    const std::vector<Sample> samples = Gather(set, seed, &n_finger, &n_other);
    double avg[kF], sigma[kF];
    if (set == 0) {
      memcpy(avg, kGivenAvg, sizeof avg);
      memcpy(sigma, kGivenSigma, sizeof sigma);
    } else {
      // Mean and deviation over the corpus, each rounded to 4 significant
      // digits; a feature without spread keeps a deviation of 1.
      for (int k = 0; k < kF; ++k) {
        double sum = 0, sq = 0;
        for (const Sample &s : samples) sum += s.feat[k];
        const double mean = sum / samples.size();
        for (const Sample &s : samples) sq += (s.feat[k] - mean) * (s.feat[k] - mean);
        const double dev = std::sqrt(sq / samples.size());
        char buf[32];
        snprintf(buf, sizeof buf, "%.4g", mean);
        avg[k] = strtod(buf, nullptr);
        snprintf(buf, sizeof buf, "%.4g", dev > 1e-6 ? dev : 1.0);
        sigma[k] = strtod(buf, nullptr);
      }
    }
    // Inputs normalised as the library does, in single precision.
    std::vector<double> x(samples.size() * kF);
    for (size_t s = 0; s < samples.size(); ++s) {
      for (int k = 0; k < kF; ++k) {
        x[s * kF + k] = (samples[s].feat[k] - static_cast<float>(avg[k])) / static_cast<float>(sigma[k]);
      }
    }
    const std::vector<double> p = Fit(x, samples, n_finger, n_other, set == 0 ? kGivenOutB : nullptr,
                                      fingers::MixSeed(seed, 0xF17u + static_cast<uint64_t>(set)));
    const Tables t = ToTables(avg, sigma, p);
    double kept, rejected;
    Rates(t, samples, &kept, &rejected);
    const std::string text = Render(set, t, seed, n_finger, n_other, kept, rejected);
    const std::string name = std::string(out_dir) + "/ZqNonFingerTables" +
                             (set == 0 ? std::string("_default") : std::string(nonfinger_corpus::NetSetSuffix(set))) +
                             ".cpp";
    FILE *f = fopen(name.c_str(), "wb");
    if (f == nullptr || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0) {
      fputs(("zq_fit_nonfinger: cannot write " + name + "\n").c_str(), stderr);
      return 1;
    }
    char line[160];
    snprintf(line, sizeof line, "%-22s fingers kept %5.1f %%  non-fingers rejected %5.1f %%\n",
             set == 0 ? "default" : nonfinger_corpus::NetSetSuffix(set) + 1, kept, rejected);
    fputs(line, stdout);
  }
  return 0;
}
