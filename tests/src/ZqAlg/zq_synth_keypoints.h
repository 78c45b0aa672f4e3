// Keypoint sub-templates of one synthetic finger seen twice under a known
// rigid transform, with descriptors sampled from the finger's ridge image:
// the pairing and transform search must find the transform again.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace zq_test {

struct SynthPairParams {
  uint64_t seed = 1;
  int trueCount = 40;     // keypoints seen in both sub-templates
  int sampleOutliers = 17;  // sample keypoints with no template partner
  int tplOutliers = 17;     // template keypoints with no sample partner
  float angle = 0.25f;    // rotation of the sample->template map, radians
  float tx = 6.5f;        // its translation, pixels
  float ty = -4.25f;
  float posError = 0.1f;  // sample positions off by up to this, pixels
  int bitFlips = 8;       // descriptor bits of each sample keypoint flipped
  int finger = 3;         // finger number of the population the keypoints come from
  bool images = false;    // also render the binarised images and masks (96 x 96)
};

// Two sub-templates over their own feature arrays (not from the allocator;
// never release them). Keypoints sit in two groups; true pairs share their
// group. Sample order is shuffled.
struct SynthPair {
  SynthPairParams params;
  std::vector<ST_Feature> sampleFeat, tplFeat;
  ST_SubTemplate sample{}, tpl{};
  // Binarised images and all-valid masks (params.images): 16-aligned words.
  std::vector<uint64_t> sampleBits, tplBits;
  std::vector<uint8_t> sampleMask, tplMask;
  SynthPair() = default;
  SynthPair(const SynthPair &) = delete;
  SynthPair &operator=(const SynthPair &) = delete;
};

std::unique_ptr<SynthPair> MakeSynthPair(const SynthPairParams &params);

// Points t's images at bits and mask (96 x 96 sizes, binWordCnt set).
void AttachImages(ST_SubTemplate *t, std::vector<uint64_t> *bits, std::vector<uint8_t> *mask);

// A sub-template over features (group 0 first): the record points into the
// vector, which must outlive it.
ST_SubTemplate SubTemplateOver(std::vector<ST_Feature> *features, int group0, int group1);

// Both sides of one constructed comparison under the identity transform:
// keypoints at xy on both sides with the same random descriptors,
// identical bit images, the template's mask all valid and the sample's
// covering the columns below maskCols (96 x 96).
struct IdentityScene {
  std::vector<ST_Feature> smpFeat, tplFeat;
  std::vector<uint64_t> smpBits, tplBits;
  std::vector<uint8_t> smpMask, tplMask;
  ST_SubTemplate sample{}, tpl{};

  IdentityScene(const std::vector<std::pair<float, float>> &xy, int maskCols);
  IdentityScene(const IdentityScene &) = delete;
  IdentityScene &operator=(const IdentityScene &) = delete;
};

}  // namespace zq_test
