// Writes a seeded corpus of synthetic impressions for the accuracy program:
//   zq_accuracy_corpus --out DIR [--fingers 20] [--impressions 12] [--size 96x96]
//                      [--seed 1] [--max-rotation 20] [--max-shift 30]
//                      [--skin dry=PCT[:MIN-MAX],wet=PCT[:MIN-MAX]]
// --skin draws that share of dry and of wet presses, dryness or wetness in
// the range (0.2 mild .. 0.9 severe; default 0.2-0.9), with the skin as
// small capacitive sensors show it; without it, the generator's default skin.
// Files <finger>_<impression>.pgm, both numbered from 1, and truth.csv with
// each press's pose on its master: finger,impression,center_x,center_y,
// rotation_deg, then the skin and contact of the press: pressure,dryness,
// wetness,contact_radius,noise. The presses are those of corpus_press.h.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "accuracy/corpus_press.h"
#include "fingers/synth_fingers.h"

namespace {

int Usage() {
  std::cerr << "usage: zq_accuracy_corpus --out DIR [--fingers N] [--impressions N] [--size WxH]\n"
               "                          [--seed S] [--max-rotation DEG] [--max-shift PX]\n"
               "                          [--skin dry=PCT[:MIN-MAX],wet=PCT[:MIN-MAX]]\n";
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  std::string out;
  int n_fingers = 20, n_impressions = 12;
  fingers::SensorSize size{96, 96};
  uint64_t seed = 1;
  double max_rotation = 20, max_shift = 30;
  accuracy::CorpusSkin skin;
  bool skin_on = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--out" && has_value) out = argv[++i];
    else if (a == "--fingers" && has_value) n_fingers = std::atoi(argv[++i]);
    else if (a == "--impressions" && has_value) n_impressions = std::atoi(argv[++i]);
    else if (a == "--seed" && has_value) seed = std::strtoull(argv[++i], nullptr, 0);
    else if (a == "--max-rotation" && has_value) max_rotation = std::atof(argv[++i]);
    else if (a == "--max-shift" && has_value) max_shift = std::atof(argv[++i]);
    else if (a == "--skin" && has_value) {
      if (!accuracy::ParseCorpusSkin(argv[++i], &skin)) return Usage();
      skin_on = true;
    } else if (a == "--size" && has_value) {
      if (std::sscanf(argv[++i], "%dx%d", &size.width, &size.height) != 2) return Usage();
    } else {
      return Usage();
    }
  }
  if (out.empty() || n_fingers < 1 || n_impressions < 1 || max_rotation < 0 || max_shift < 0) {
    return Usage();
  }
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::cerr << "zq_accuracy_corpus: cannot create " << out << ": " << ec.message() << "\n";
    return 1;
  }
  std::FILE *truth = std::fopen((out + "/truth.csv").c_str(), "w");
  if (truth == nullptr) {
    std::cerr << "zq_accuracy_corpus: cannot write " << out << "/truth.csv\n";
    return 1;
  }
  std::fputs("finger,impression,center_x,center_y,rotation_deg,pressure,dryness,wetness,"
             "contact_radius,noise\n", truth);
  int written = 0;
  try {
    for (int f = 0; f < n_fingers; ++f) {
      const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(seed, f));
      for (int k = 0; k < n_impressions; ++k) {
        const fingers::ImpressionParams p =
            accuracy::CorpusPress(m, k, size, max_rotation, max_shift, skin_on ? &skin : nullptr);
        const fingers::Impression imp = fingers::Render(m, p);
        const std::string name = std::to_string(f + 1) + "_" + std::to_string(k + 1);
        if (!fingers::WritePgm(out + "/" + name + ".pgm", imp.frame.width, imp.frame.height,
                               imp.frame.gray)) {
          std::cerr << "zq_accuracy_corpus: cannot write " << out << "/" << name << ".pgm\n";
          std::fclose(truth);
          return 1;
        }
        char line[192];
        std::snprintf(line, sizeof line, "%d,%d,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f,%.2f\n", f + 1,
                      k + 1, p.center.x, p.center.y, p.rotation * 180.0 / M_PI, p.skin.pressure,
                      p.skin.dryness, p.skin.wetness, p.contact.radius, p.sensor.noise);
        std::fputs(line, truth);
        ++written;
      }
    }
  } catch (const std::exception &e) {
    std::cerr << "zq_accuracy_corpus: " << e.what() << "\n";
    std::fclose(truth);
    return 1;
  }
  if (std::fclose(truth) != 0) {
    std::cerr << "zq_accuracy_corpus: cannot write " << out << "/truth.csv\n";
    return 1;
  }
  std::cout << "zq_accuracy_corpus: wrote " << written << " impressions to " << out << "\n";
  return 0;
}
