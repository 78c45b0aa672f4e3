#include "tools/nonfinger_corpus.h"

#include <algorithm>
#include <cmath>

namespace nonfinger_corpus {
namespace {

enum class Cover { kNominal, kMatte, kGlossy };

struct SetLook {
  const char *suffix;
  const char *look;
  NetSetSelector selector;
  Cover cover;
  bool logo;
  bool hard_presses;
};

const SetLook kLooks[kNetSets] = {
    {"", "nominal sensor (ridge level 35), usual presses", {0, 0, 0}, Cover::kNominal, false, false},
    {"_ZE4850_MATTE", "matte cover (ridge level 75..115), usual presses", {9, 0, 0}, Cover::kMatte, false,
     false},
    {"_FW4845_MATTE_LOGO", "matte cover with a printed ring-and-bar logo, usual presses", {8, 2, 0},
     Cover::kMatte, true, false},
    {"_FW4845_HL_TYPE1", "glossy cover (ridge level 5..30, gain x 1..1.2), hard presses too", {8, 1, 1},
     Cover::kGlossy, false, true},
    {"_FW4845_HL_TYPE0", "glossy cover (ridge level 5..30, gain x 1..1.2), usual presses", {8, 1, 0},
     Cover::kGlossy, false, false},
    {"_FW4845_MATTE_TYPE1", "matte cover (ridge level 75..115), hard presses too", {8, 0, 1}, Cover::kMatte,
     false, true},
    {"_FW4845_MATTE_TYPE0", "matte cover (ridge level 75..115), usual presses", {8, 0, 0}, Cover::kMatte, false,
     false},
};

// Stream tags of a corpus's parts.
enum : uint64_t { kTagMasters = 0x51, kTagLook = 0x52, kTagNonFinger = 0x53 };

// Ridge level and gain of the cover, drawn per frame.
void ApplyCover(Cover cover, fingers::Rng *rng, fingers::SensorParams *sensor) {
  switch (cover) {
    case Cover::kNominal: break;
    case Cover::kMatte: sensor->ridge_level = rng->Uniform(75.0, 115.0); break;
    case Cover::kGlossy:
      sensor->ridge_level = rng->Uniform(5.0, 30.0);
      sensor->gain *= rng->Uniform(1.0, 1.2);
      break;
  }
}

// The logo printed on the cover: a ring about the window centre and a bar
// through it, a dozen grey levels darker than what lies under it.
void DrawLogo(fingers::Frame *frame) {
  const int w = frame->width, h = frame->height;
  const double cx = 0.5 * (w - 1), cy = 0.5 * (h - 1), r = 0.3 * std::min(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double rho = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      const bool ring = std::fabs(rho - r) < 1.5;
      const bool bar = std::fabs(y - cy) < 1.5 && std::fabs(x - cx) < r;
      if (!ring && !bar) continue;
      uint8_t &v = frame->gray[static_cast<size_t>(y) * w + x];
      v = static_cast<uint8_t>(std::max(0, v - 12));
    }
  }
}

}  // namespace

const char *NetSetSuffix(int set) { return set >= 0 && set < kNetSets ? kLooks[set].suffix : nullptr; }

const char *NetSetLook(int set) { return set >= 0 && set < kNetSets ? kLooks[set].look : nullptr; }

NetSetSelector NetSetSelectorOf(int set) {
  return set >= 0 && set < kNetSets ? kLooks[set].selector : kLooks[0].selector;
}

void ForEachFrame(int set, const CorpusShape &shape, const std::function<void(const CorpusFrame &)> &visit) {
  const SetLook &look = kLooks[std::clamp(set, 0, kNetSets - 1)];
  std::vector<fingers::MasterFinger> masters;
  const uint64_t population = fingers::MixSeed(shape.seed, kTagMasters);
  for (int m = 0; m < shape.masters; ++m) masters.push_back(fingers::MakeMaster(fingers::PopulationFinger(population, m)));
  fingers::Variation variation;
  if (look.hard_presses) {
    variation.anywhere = true;
    variation.min_contact = 0.5;
    variation.skin_change = 0.4;
  }
  const uint64_t set_tag = static_cast<uint64_t>(set) << 16;
  for (int z = 0; z < kSizes; ++z) {
    const fingers::SensorSize size = fingers::kSensorSizes[z];
    const uint64_t size_tag = set_tag | static_cast<uint64_t>(z) << 8;
    for (const fingers::MasterFinger &master : masters) {
      for (int p = 0; p < shape.presses; ++p) {
        const uint64_t seed = fingers::MixSeed(fingers::PressSeed(master, p), size_tag);
        fingers::ImpressionParams ip = fingers::RandomImpression(master, seed, size, variation);
        fingers::Rng rng(fingers::MixSeed(seed, kTagLook));
        ApplyCover(look.cover, &rng, &ip.sensor);
        fingers::Impression imp = fingers::Render(master, ip);
        if (look.logo) DrawLogo(&imp.frame);
        visit({&imp.frame, true, z, -1});
      }
    }
    for (int k = 0; k < fingers::kNonFingerKinds; ++k) {
      for (int i = 0; i < shape.per_kind; ++i) {
        const uint64_t seed = fingers::MixSeed(shape.seed, kTagNonFinger ^ (size_tag | static_cast<uint64_t>(k) << 24 |
                                                                           static_cast<uint64_t>(i) << 32));
        fingers::Rng rng(fingers::MixSeed(seed, kTagLook));
        fingers::NonFingerParams np;
        np.seed = seed;
        np.kind = static_cast<fingers::NonFingerKind>(k);
        np.width = size.width;
        np.height = size.height;
        np.sensor.gain = rng.Uniform(0.85, 1.15);
        np.sensor.offset = rng.Uniform(-12.0, 12.0);
        np.sensor.noise = rng.Uniform(1.5, 5.0);
        np.sensor.bad_pixels = static_cast<int>(rng.Below(4));
        ApplyCover(look.cover, &rng, &np.sensor);
        fingers::Frame frame = fingers::RenderNonFinger(np);
        if (look.logo) DrawLogo(&frame);
        visit({&frame, false, z, k});
      }
    }
  }
}

}  // namespace nonfinger_corpus
