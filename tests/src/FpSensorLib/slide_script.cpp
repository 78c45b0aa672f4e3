#include "src/FpSensorLib/slide_script.h"

#include <random>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_live_capture.h"

namespace sensorlib_test {
namespace {

int IdOf(const uint8_t *img) {
  if (img == nullptr || g_pQuorvConfigInfo == nullptr) return -1;
  const size_t n = g_pQuorvConfigInfo->sensor_cols * g_pQuorvConfigInfo->sensor_rows;
  const auto it = S().ids.find(Frame(img, img + n));
  return it == S().ids.end() ? -1 : it->second;
}

Props PropsOf(const uint8_t *img) {
  const auto it = S().props.find(IdOf(img));
  if (it != S().props.end()) return it->second;
  return With(0, 0, 0, 0);
}

int32_t ScriptQuality(const uint8_t *img, uint8_t *out) {
  const Props p = PropsOf(img);
  out[0] = static_cast<uint8_t>(p.quality);
  out[1] = static_cast<uint8_t>(p.area);
  out[2] = static_cast<uint8_t>(p.cond);
  out[3] = 10;
  return 0;
}
int32_t ScriptTemplate(uint8_t *img, ST_SubTemplate *sample, const uint8_t *) {
  S().tpl[sample] = IdOf(img);
  return PropsOf(img).extract;
}
int ScriptVerify(const ST_SubTemplate *, uint16_t *, int16_t *, ST_FullHMatrix *, uint8_t) {
  return S().verify;
}
int32_t ScriptPhy(const uint8_t *img) { return PropsOf(img).phy; }
int32_t ScriptWet(const uint8_t *img, uint16_t, uint16_t) { return PropsOf(img).wet; }
int ScriptRequired(const ST_SubTemplate *a, const ST_SubTemplate *b, uint8_t) {
  const Pair p{TplId(a), TplId(b)};
  S().required_calls.push_back(p);
  const auto it = S().required.find(p);
  return it == S().required.end() ? 0 : it->second;
}
int ScriptTips(uint32_t, const ST_SubTemplate *t, int16_t, int16_t, uint32_t, uint32_t, uint8_t,
               uint8_t) {
  S().tips_calls.push_back(TplId(t));
  return S().tips;
}
int ScriptEnroll(const ST_SubTemplate *t, int16_t, int16_t, uint8_t *out) {
  S().enroll_calls.push_back(TplId(t));
  S().enroll_modes.push_back(gQuorvActionMode);
  *out = 42;
  return S().enroll;
}
int32_t ScriptSpeed(const uint8_t *a, const uint8_t *b, uint16_t, uint16_t) {
  const Pair p{IdOf(a), IdOf(b)};
  S().speed_calls.push_back(p);
  const auto it = S().speed.find(p);
  return it == S().speed.end() ? 0 : it->second;
}
int ScriptNonFinger(const uint8_t *img) {
  S().nonfinger_calls.push_back(IdOf(img));
  return PropsOf(img).nonfinger;
}

}  // namespace

Props With(int quality, int area, int cond, int phy, int wet) {
  Props p;
  p.quality = quality;
  p.area = area;
  p.cond = cond;
  p.phy = phy;
  p.wet = wet;
  return p;
}

SlideScript &S() {
  static SlideScript s;
  return s;
}

int TplId(const ST_SubTemplate *t) {
  const auto it = S().tpl.find(t);
  return it == S().tpl.end() ? -1 : it->second;
}

void OneImageSlideTest::SetUp() {
  LiveTest::SetUp();
  S() = SlideScript{};
  g_quorvCore.GetImageQuality = ScriptQuality;
  g_quorvCore.GetTemplate = ScriptTemplate;
  g_quorvCore.VerifyByTemplate = ScriptVerify;
  g_quorvCore.PhysicsArea = ScriptPhy;
  g_quorvCore.WetPercent = ScriptWet;
  g_quorvCore.RequiredImage = ScriptRequired;
  g_quorvCore.EnrollTips = ScriptTips;
  g_quorvCore.EnrollByTemplate = ScriptEnroll;
  g_quorvCore.SpeedFastJustify = ScriptSpeed;
  g_quorvCore.EnrollNonFinger = ScriptNonFinger;
}

void OneImageSlideTest::TearDown() {
  quorv_CoreCallsResetForTest();
  S() = SlideScript{};
  LiveTest::TearDown();
}

Frame OneImageSlideTest::Img(int id, Props p) {
  const size_t n = g_pQuorvConfigInfo->sensor_cols * g_pQuorvConfigInfo->sensor_rows;
  std::mt19937 rng(static_cast<uint32_t>(id) * 7919u + 13u);
  Frame f(n);
  for (uint8_t &v : f) v = static_cast<uint8_t>(40 + rng() % 160);
  S().ids[f] = id;
  S().props[id] = p;
  return f;
}

std::vector<Frame> OneImageSlideTest::Slide(const std::vector<Props> &props) {
  std::vector<Frame> frames;
  for (size_t i = 0; i < props.size(); ++i) frames.push_back(Img(static_cast<int>(i) + 1, props[i]));
  return frames;
}

std::vector<uint8_t> OneImageSlideTest::InfoBytes() {
  std::vector<uint8_t> out(quorv_ImageInfoCapacity() * 8 + 5, 0xee);
  EXPECT_EQ(quorv_GetImageInfoBuf(out.data()), 0);
  return out;
}

}  // namespace sensorlib_test
