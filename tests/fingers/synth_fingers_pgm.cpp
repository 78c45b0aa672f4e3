// Writes synthetic fingers as PGM files for inspection:
//   synth_fingers_pgm --out DIR [--fingers 10] [--impressions 8] [--size 96x96]
//                     [--seed 1] [--raw16] [--masters] [--swipe] [--nonfinger]
// Files: fNN_<class>_master.pgm, fNN_<class>_iMM.pgm (and _raw.pgm with
// --raw16), fNN_<class>_swipe.pgm, nonfinger_<kind>.pgm.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"

namespace {

int Usage() {
  std::cerr << "usage: synth_fingers_pgm --out DIR [--fingers N] [--impressions N] [--size WxH]\n"
               "                         [--seed S] [--raw16] [--masters] [--swipe] [--nonfinger]\n";
  return 2;
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

int g_written = 0;  // files written so far

bool Save(const std::string &path, const fingers::Frame &f) {
  if (!fingers::WritePgm(path, f.width, f.height, f.gray)) {
    std::cerr << "cannot write " << path << "\n";
    return false;
  }
  ++g_written;
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  std::string out;
  int n_fingers = 10, n_impressions = 8;
  fingers::SensorSize size{96, 96};
  uint64_t seed = 1;
  bool raw16 = false, masters = false, swipe = false, nonfinger = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--out" && has_value) out = argv[++i];
    else if (a == "--fingers" && has_value) n_fingers = std::atoi(argv[++i]);
    else if (a == "--impressions" && has_value) n_impressions = std::atoi(argv[++i]);
    else if (a == "--seed" && has_value) seed = std::strtoull(argv[++i], nullptr, 0);
    else if (a == "--size" && has_value) {
      if (std::sscanf(argv[++i], "%dx%d", &size.width, &size.height) != 2) return Usage();
    } else if (a == "--raw16") raw16 = true;
    else if (a == "--masters") masters = true;
    else if (a == "--swipe") swipe = true;
    else if (a == "--nonfinger") nonfinger = true;
    else return Usage();
  }
  if (out.empty() || n_fingers < 0 || n_impressions < 0) return Usage();

  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::cerr << "synth_fingers_pgm: cannot create " << out << ": " << ec.message() << "\n";
    return 1;
  }
  try {
    fingers::Variation variation;
    variation.raw16 = raw16;
    for (int f = 0; f < n_fingers; ++f) {
      const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(seed, f));
      const std::string stem =
          out + "/f" + TwoDigits(f) + "_" + fingers::FingerClassName(m.params.finger_class);
      if (masters) {
        fingers::Frame mf;
        mf.width = m.width;
        mf.height = m.height;
        for (float v : m.ridge) mf.gray.push_back(static_cast<uint8_t>(128 - 120 * v));
        if (!Save(stem + "_master.pgm", mf)) return 1;
      }
      for (int k = 0; k < n_impressions; ++k) {
        const fingers::Impression imp = fingers::Render(
            m, fingers::RandomImpression(m, fingers::PressSeed(m, k), size, variation));
        const std::string name = stem + "_i" + TwoDigits(k);
        if (!Save(name + ".pgm", imp.frame)) return 1;
        if (raw16 && !fingers::WritePgm16(name + "_raw.pgm", imp.frame.width,
                                          imp.frame.height, imp.frame.raw,
                                          imp.params.sensor.raw_max)) {
          std::cerr << "cannot write " << name << "_raw.pgm\n";
          return 1;
        }
        if (raw16) ++g_written;
      }
      if (swipe) {
        fingers::SwipeParams sp;
        sp.seed = fingers::PressSeed(m, 1000);
        sp.start = {m.width / 2.0, m.height * 0.15};
        sp.lines = 500;
        if (!Save(stem + "_swipe.pgm", fingers::RenderSwipe(m, sp).frame)) return 1;
      }
    }
    if (nonfinger) {
      for (int k = 0; k < fingers::kNonFingerKinds; ++k) {
        fingers::NonFingerParams np;
        np.seed = seed + static_cast<uint64_t>(k);
        np.kind = static_cast<fingers::NonFingerKind>(k);
        np.width = size.width;
        np.height = size.height;
        if (!Save(out + "/nonfinger_" + fingers::NonFingerKindName(np.kind) + ".pgm",
                  fingers::RenderNonFinger(np))) {
          return 1;
        }
      }
    }
  } catch (const std::exception &e) {
    std::cerr << "synth_fingers_pgm: " << e.what() << "\n";
    return 1;
  }
  std::cout << "synth_fingers_pgm: wrote " << g_written << " PGM files to " << out << "\n";
  return 0;
}
