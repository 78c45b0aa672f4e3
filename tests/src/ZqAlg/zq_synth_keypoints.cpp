#include "zq_synth_keypoints.h"

#include <cmath>
#include <map>
#include <utility>

#include "fingers/synth_fingers.h"
#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqImage.h"

namespace zq_test {
namespace {

// One keypoint before it is split into groups.
struct Kp {
  ST_Feature f;
  int group;
};

// Offsets of the 256 intensity comparisons, within 9 px of the keypoint.
struct Pattern {
  float u1[256], v1[256], u2[256], v2[256];
  Pattern() {
    fingers::Rng rng(0x5eedu);
    for (int i = 0; i < 256; ++i) {
      u1[i] = static_cast<float>(rng.Uniform(-9, 9));
      v1[i] = static_cast<float>(rng.Uniform(-9, 9));
      u2[i] = static_cast<float>(rng.Uniform(-9, 9));
      v2[i] = static_cast<float>(rng.Uniform(-9, 9));
    }
  }
};

const Pattern &ThePattern() {
  static const Pattern p;
  return p;
}

// Descriptor at master point (mx, my) with the pattern turned by phi.
void Describe(const fingers::MasterFinger &m, double mx, double my, double phi, ST_Feature *f) {
  const Pattern &p = ThePattern();
  const double c = std::cos(phi), s = std::sin(phi);
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) f->descr[w] = 0;
  for (int i = 0; i < 256; ++i) {
    const double a = m.RidgeAt(mx + c * p.u1[i] - s * p.v1[i], my + s * p.u1[i] + c * p.v1[i]);
    const double b = m.RidgeAt(mx + c * p.u2[i] - s * p.v2[i], my + s * p.u2[i] + c * p.v2[i]);
    if (a > b) f->descr[i / 32] |= 1u << (i % 32);
  }
}

// Master finger `finger` of population 37, made once.
const fingers::MasterFinger &TheMaster(int finger) {
  static std::map<int, std::unique_ptr<fingers::MasterFinger>> cache;
  auto &m = cache[finger];
  if (!m) m = std::make_unique<fingers::MasterFinger>(fingers::MakeMaster(fingers::PopulationFinger(37, finger)));
  return *m;
}

const int kSide = 96;

// Binarises the 96 x 96 window whose pixel (x, y) shows master point
// toMaster(x, y), with the bit-image builder of the extraction.
template <class F>
void RenderBits(const fingers::MasterFinger &m, F toMaster, std::vector<uint64_t> *bits,
                std::vector<uint8_t> *mask) {
  const ST_Size size = {kSide, kSide};
  ST_Image *img = ZqCreateImage(&size, DEPTH_8U);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      double mx, my;
      toMaster(x, y, &mx, &my);
      const double v = 128.0 - 100.0 * m.RidgeAt(mx, my);  // dark ridges
      img->imageData[y * img->rowBytes + x] =
          static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
  const uint16_t words = ZqBinImgWordCount(kSide, kSide);
  bits->assign(words + 1u, 0);
  uint64_t *out = bits->data();
  uint16_t count = 0;
  ZqGenBinImg(img, &out, &count);
  ZqReleaseImage(&img);
  mask->assign(kSide * kSide / 8 + 1, 0xFF);
}

void Fill(std::vector<Kp> *kps, std::vector<ST_Feature> *feat, ST_SubTemplate *t) {
  feat->clear();
  int n0 = 0;
  for (int g = 0; g < 2; ++g) {
    for (const Kp &k : *kps) {
      if (k.group != g) continue;
      feat->push_back(k.f);
      if (g == 0) ++n0;
    }
  }
  *t = SubTemplateOver(feat, n0, static_cast<int>(feat->size()) - n0);
}

}  // namespace

ST_SubTemplate SubTemplateOver(std::vector<ST_Feature> *features, int group0, int group1) {
  ST_SubTemplate t{};
  t.pTemplateFeature = features->data();
  t.nFeatureNum[0] = static_cast<uint8_t>(group0);
  t.nFeatureNum[1] = static_cast<uint8_t>(group1);
  t.classNum = 2;
  t.featBufSize = static_cast<uint32_t>(ZQ_FEATURE_BYTES * features->size());
  return t;
}

void AttachImages(ST_SubTemplate *t, std::vector<uint64_t> *bits, std::vector<uint8_t> *mask) {
  t->templateBinDiscr = reinterpret_cast<uint8_t *>(bits->data());
  t->templatePixValid = mask->data();
  t->binWordCnt = ZqBinImgWordCount(kSide, kSide);
  t->binBufSize = kSide * kSide / 64 * 8 + 8;
  t->maskBufSize = kSide * kSide / 8 + 1;
}

std::unique_ptr<SynthPair> MakeSynthPair(const SynthPairParams &params) {
  const fingers::MasterFinger &m = TheMaster(params.finger);
  fingers::Rng rng(params.seed);
  auto out = std::make_unique<SynthPair>();
  out->params = params;
  // The template window is 96 x 96 master pixels around the pattern centre.
  const fingers::Point centre = m.PatternCenter();
  const double ox = centre.x - 48, oy = centre.y - 48;
  const double c = std::cos(params.angle), s = std::sin(params.angle);
  // Sample position of template point (x, y): the inverse of the rigid map.
  auto toSample = [&](double x, double y, double *xs, double *ys) {
    const double dx = x - params.tx, dy = y - params.ty;
    *xs = c * dx + s * dy;
    *ys = -s * dx + c * dy;
  };

  std::vector<Kp> tplKps, smpKps;
  std::vector<std::pair<double, double>> used;
  auto farFromUsed = [&](double x, double y) {
    for (const auto &u : used)
      if (std::hypot(u.first - x, u.second - y) < 4.0) return false;
    return true;
  };
  auto randomOri = [&] { return static_cast<float>(rng.Uniform(-3.0, 3.0)); };
  while (static_cast<int>(tplKps.size()) < params.trueCount) {
    const double x = rng.Uniform(4, 92), y = rng.Uniform(4, 92);
    double xs, ys;
    toSample(x, y, &xs, &ys);
    if (xs < 4 || xs > 92 || ys < 4 || ys > 92 || !farFromUsed(x, y)) continue;
    used.emplace_back(x, y);
    const double phi = m.OrientationAt(ox + x, oy + y) - 1.2;  // about -1.2 .. 1.9
    const int group = m.RidgeAt(ox + x, oy + y) > 0 ? 0 : 1;
    Kp t{};
    t.group = group;
    t.f.x = static_cast<float>(x);
    t.f.y = static_cast<float>(y);
    t.f.ori = static_cast<float>(phi);
    Describe(m, ox + x, oy + y, phi, &t.f);
    tplKps.push_back(t);
    // The sample sees it a little off, with a slightly different angle.
    Kp k{};
    k.group = group;
    const double ex = rng.Uniform(-params.posError, params.posError);
    const double ey = rng.Uniform(-params.posError, params.posError);
    const double dphi = rng.Uniform(-0.03, 0.03);
    k.f.x = static_cast<float>(xs + ex);
    k.f.y = static_cast<float>(ys + ey);
    // Orientations are measured with rows running up (as the detector does):
    // the sample sees them turned the other way from its pixel grid.
    k.f.ori = static_cast<float>(phi + params.angle + dphi);
    const double mx = ox + params.tx + c * k.f.x - s * k.f.y;
    const double my = oy + params.ty + s * k.f.x + c * k.f.y;
    Describe(m, mx, my, phi + dphi, &k.f);
    for (int b = 0; b < params.bitFlips; ++b) {
      const uint32_t bit = rng.Below(256);
      k.f.descr[bit / 32] ^= 1u << (bit % 32);
    }
    smpKps.push_back(k);
  }
  // Keypoints seen on one side only: elsewhere on the finger.
  auto outlier = [&](std::vector<Kp> *kps) {
    Kp k{};
    k.group = static_cast<int>(rng.Below(2));
    k.f.x = static_cast<float>(rng.Uniform(4, 92));
    k.f.y = static_cast<float>(rng.Uniform(4, 92));
    k.f.ori = randomOri();
    Describe(m, centre.x + rng.Uniform(-70, 70), centre.y + rng.Uniform(-90, 90), k.f.ori, &k.f);
    kps->push_back(k);
  };
  for (int i = 0; i < params.sampleOutliers; ++i) outlier(&smpKps);
  for (int i = 0; i < params.tplOutliers; ++i) outlier(&tplKps);
  for (size_t i = smpKps.size(); i > 1; --i)
    std::swap(smpKps[i - 1], smpKps[rng.Below(static_cast<uint32_t>(i))]);
  Fill(&smpKps, &out->sampleFeat, &out->sample);
  Fill(&tplKps, &out->tplFeat, &out->tpl);
  if (params.images) {
    RenderBits(m, [&](int x, int y, double *mx, double *my) {
      *mx = ox + x;
      *my = oy + y;
    }, &out->tplBits, &out->tplMask);
    RenderBits(m, [&](int x, int y, double *mx, double *my) {
      *mx = ox + params.tx + c * x - s * y;
      *my = oy + params.ty + s * x + c * y;
    }, &out->sampleBits, &out->sampleMask);
    AttachImages(&out->tpl, &out->tplBits, &out->tplMask);
    AttachImages(&out->sample, &out->sampleBits, &out->sampleMask);
  }
  return out;
}

IdentityScene::IdentityScene(const std::vector<std::pair<float, float>> &xy, int maskCols) {
  fingers::Rng rng(1234);
  for (size_t i = 0; i < xy.size(); ++i) {
    ST_Feature f{};
    f.x = xy[i].first;
    f.y = xy[i].second;
    f.ori = 0.3f;
    for (uint32_t &w : f.descr) w = static_cast<uint32_t>(rng.Next());
    smpFeat.push_back(f);
  }
  tplFeat = smpFeat;
  tplBits.resize(96 * 96 / 64 + 1);
  for (uint64_t &w : tplBits) w = rng.Next() | (rng.Next() << 32);
  smpBits = tplBits;
  tplMask.assign(96 * 96 / 8 + 1, 0xFF);
  smpMask.assign(96 * 96 / 8 + 1, 0);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < maskCols; ++x) smpMask[(y * 96 + x) / 8] |= 1u << ((y * 96 + x) % 8);
  const int n = static_cast<int>(xy.size());
  sample = SubTemplateOver(&smpFeat, n, 0);
  tpl = SubTemplateOver(&tplFeat, n, 0);
  AttachImages(&sample, &smpBits, &smpMask);
  AttachImages(&tpl, &tplBits, &tplMask);
}

}  // namespace zq_test
