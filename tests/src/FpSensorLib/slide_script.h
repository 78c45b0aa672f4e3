// A scripted algorithm core for the one-image slide engines (V6, V7): every
// frame carries its own rating, physical area, wet share and template
// answers, and templates are known by the frame they were extracted from,
// so that a slide can be described image by image.
#ifndef TESTS_SRC_FPSENSORLIB_SLIDE_SCRIPT_H_
#define TESTS_SRC_FPSENSORLIB_SLIDE_SCRIPT_H_

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/ZqAlg/ZqSubTemplate.h"

namespace sensorlib_test {

// What the scripted core answers for one frame. The defaults pass every
// grading rule of the configuration's defaults (quality 30, cond 20, valid
// area 90, physical area 80, wet 2).
struct Props {
  int quality = 60;
  int area = 95;
  int cond = 60;
  int phy = 90;
  int wet = 0;
  int extract = 0;    // ZqGetTemplate's result
  int nonfinger = 0;  // the non-finger answer
};

// Props with these ratings and the other answers at their defaults.
Props With(int quality, int area, int cond, int phy = 90, int wet = 0);

using Pair = std::pair<int, int>;

struct SlideScript {
  std::map<Frame, int> ids;                   // frame bytes -> id
  std::map<int, Props> props;                 // id -> answers
  std::map<const ST_SubTemplate *, int> tpl;  // template -> frame id
  std::map<Pair, int> required;               // (reference, sample) -> answer, else 0
  std::map<Pair, int> speed;                  // (previous, next) -> answer, else 0
  int tips = 0;                               // ZqEnrollTipsTemplate's answer
  int enroll = 0;                             // ZqEnrollByTemplate's answer
  int verify = -1;                            // ZqVerifyByTemplate's answer

  // What the calls saw, by frame id.
  std::vector<Pair> required_calls;
  std::vector<Pair> speed_calls;
  std::vector<int> tips_calls, enroll_calls, nonfinger_calls;
  std::vector<uint32_t> enroll_modes;  // gQuorvActionMode at each enrolment
};

// The script the scripted calls answer from.
SlideScript &S();

// The id of the frame a template was extracted from; -1 when unknown.
int TplId(const ST_SubTemplate *t);

// LiveTest with the scripted calls installed in g_quorvCore (rating,
// extraction, verification) and the slide entries of the same table.
class OneImageSlideTest : public LiveTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A noise frame of the configured size (neighbours never correlate),
  // known to the script as `id`.
  static Frame Img(int id, Props p = Props{});
  // Frames 1..props.size() with those answers.
  static std::vector<Frame> Slide(const std::vector<Props> &props);
  // The whole per-image information buffer.
  static std::vector<uint8_t> InfoBytes();
};

}  // namespace sensorlib_test

#endif  // TESTS_SRC_FPSENSORLIB_SLIDE_SCRIPT_H_
