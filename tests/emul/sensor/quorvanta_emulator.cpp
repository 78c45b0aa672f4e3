// The emulated Quorvanta sensor as a process of its own: the 0x4842 bridge
// (96x96, application firmware already running) in an umockdev testbed,
// pressed by synthetic fingers. Other processes reach it through umockdev's
// preload library:
//
//   quorvanta_emulator [--finger N] [--seed S] [--press-gap MS] [--ready-file PATH]
//                      [--unplug-grace MS] [--images DIR]
//   LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR=<printed dir> <program>
//
// Once the bridge is present it prints "UMOCKDEV_DIR=<testbed root>" on
// standard output (and writes the same line to the ready file). The finger
// presses again and again, a new impression each time, `press-gap` ms after
// the previous image was read (the finger lifted in between); finger -1 is
// no finger at all. Signals:
//   SIGUSR1 / SIGUSR2   next / previous finger (an unread press of the old
//                       finger is dropped)
//   SIGRTMIN+1          unplug: every transfer fails with ENODEV, the bridge
//                       leaves sysfs, then a "remove" uevent goes out (libusb's
//                       detach event), as the kernel orders them
//   SIGRTMIN+3          unplug as a listener quicker than the kernel's
//                       teardown may see it: the "remove" uevent first, and
//                       the bridge's sysfs entry stays 500 ms after it
//   SIGRTMIN+4          the next unplug waits until a press has been read,
//                       so that it comes while the press is processed
//   SIGRTMIN+2          plug back: a powered-up bridge at the next bus
//                       address, with an "add" uevent (libusb's attach event)
//   SIGTERM, SIGINT, SIGHUP   stop: a bridge still plugged in is unplugged
//                       first and the programs using it get `unplug-grace` ms
//                       (default 1000) to let go of it before the testbed goes.
// Each change is reported on standard error ("unplugged", "plugged back in
// at /dev/bus/usb/001/003").
//
// With --images DIR the fingers are those of the 8-bit PGM files of DIR named
// <finger>_<impression>.pgm instead of synthetic ones: finger N is the N-th
// finger number of the folder (from 0, in the order of the numbers), and each
// press takes that finger's next impression (in the order of their numbers,
// from the first again after the last). Every such file must be a PGM of the
// sensor's size; the first one that is not is named and the emulator stops
// before presenting the bridge.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "accuracy/pgm_corpus.h"
#include "bridge_emul/bridge_model.h"
#include "emul/testbed.h"
#include "fingers/synth_fingers.h"

namespace {

struct Options {
  int finger = 0;
  uint64_t seed = 1;
  int press_gap_ms = 300;
  int unplug_grace_ms = 1000;
  std::string ready_file;
  std::string images;  // empty: synthetic fingers
};

void Say(const std::string &text) {
  std::string line = "quorvanta_emulator: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

int Usage() {
  std::fputs(
      "usage: quorvanta_emulator [--finger N] [--seed S] [--press-gap MS] [--ready-file PATH]\n"
      "                          [--unplug-grace MS] [--images DIR]\n"
      "  Presents the emulated 0x4842 bridge and presses synthetic finger N (-1: none),\n"
      "  or with --images the N-th finger of DIR's <finger>_<impression>.pgm files.\n"
      "  SIGUSR1: next finger; SIGUSR2: previous finger; SIGRTMIN+1: unplug;\n"
      "  SIGRTMIN+2: plug back; SIGRTMIN+3: unplug, sysfs entry lingering 500 ms;\n"
      "  SIGRTMIN+4: the next unplug waits for a press to be read;\n"
      "  SIGTERM/SIGINT: unplug, then stop.\n",
      stderr);
  return 2;
}

// Parses a whole decimal number into *out; false for anything else.
bool ParseLong(const char *text, long min, long max, long *out) {
  char *end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

std::optional<Options> ParseOptions(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    const char *value = argv[++i];
    long v = 0;
    if (a == "--finger" && ParseLong(value, -1, 9999, &v)) {
      o.finger = static_cast<int>(v);
    } else if (a == "--seed" && ParseLong(value, 0, 0x7fffffffL, &v)) {
      o.seed = static_cast<uint64_t>(v);
    } else if (a == "--press-gap" && ParseLong(value, 0, 60000, &v)) {
      o.press_gap_ms = static_cast<int>(v);
    } else if (a == "--unplug-grace" && ParseLong(value, 0, 60000, &v)) {
      o.unplug_grace_ms = static_cast<int>(v);
    } else if (a == "--ready-file") {
      o.ready_file = value;
    } else if (a == "--images" && *value != '\0') {
      o.images = value;
    } else {
      return std::nullopt;
    }
  }
  return o;
}

const char *ClassName(int finger) {
  static const char *const kNames[] = {"arch", "tented arch", "left loop", "right loop", "whorl"};
  return kNames[finger % 5];
}

// One finger of an image folder: its impressions in order.
struct ImageFinger {
  int number = 0;  // the number in the file names
  std::vector<std::string> names;
  std::vector<std::vector<uint8_t>> frames;
};

// Reads every <finger>_<impression>.pgm file of dir, grouped by finger.
// Throws std::runtime_error naming the folder when it holds none, or the
// first file that is not an 8-bit PGM of width x height.
std::vector<ImageFinger> LoadImageFingers(const std::string &dir, int width, int height) {
  std::vector<ImageFinger> fingers;
  for (const accuracy::CorpusEntry &entry : accuracy::ListCorpus(dir)) {
    accuracy::GrayImage image = accuracy::ReadPgm(entry.path);
    if (image.width != width || image.height != height) {
      throw std::runtime_error(entry.path + ": " + std::to_string(image.width) + "x" +
                               std::to_string(image.height) + ", not the sensor's " +
                               std::to_string(width) + "x" + std::to_string(height));
    }
    if (fingers.empty() || fingers.back().number != entry.finger) {
      fingers.push_back(ImageFinger{entry.finger, {}, {}});
    }
    fingers.back().names.push_back(entry.Name() + ".pgm");
    fingers.back().frames.push_back(std::move(image.pixels));
  }
  return fingers;
}

// The finger on the sensor and its next impression.
class Finger {
 public:
  // Synthetic fingers of `seed`, or the fingers of `images` when not null.
  Finger(uint64_t seed, int number, const std::vector<ImageFinger> *images)
      : seed_(seed), images_(images) {
    Select(number);
  }

  void Select(int number) {
    number_ = number < -1 ? -1 : number;
    press_ = 0;
    if (images_ != nullptr) {
      if (present()) {
        const ImageFinger &f = (*images_)[static_cast<size_t>(number_)];
        Say("finger " + std::to_string(number_) + " (images " + std::to_string(f.number) +
            "_*.pgm, " + std::to_string(f.frames.size()) + " impressions)");
      } else {
        Say("no finger (the folder has " + std::to_string(images_->size()) + " fingers)");
      }
      return;
    }
    if (number_ >= 0) {
      master_ = std::make_unique<fingers::MasterFinger>(
          fingers::MakeMaster(fingers::PopulationFinger(seed_, number_)));
      Say("finger " + std::to_string(number_) + " (" + ClassName(number_) + ")");
    } else {
      master_.reset();
      Say("no finger");
    }
  }
  int number() const { return number_; }
  bool present() const {
    if (images_ != nullptr) {
      return number_ >= 0 && static_cast<size_t>(number_) < images_->size();
    }
    return master_ != nullptr;
  }

  // The next press of this finger, width x height 8-bit host pixels.
  std::vector<uint8_t> NextPress(int width, int height) {
    if (images_ != nullptr) {
      const ImageFinger &f = (*images_)[static_cast<size_t>(number_)];
      size_t at = static_cast<size_t>(press_) % f.frames.size();
      Say("finger " + std::to_string(number_) + " press " + std::to_string(press_) + " (" +
          f.names[at] + ")");
      ++press_;
      return f.frames[at];
    }
    fingers::SensorSize size{width, height};
    fingers::Impression imp = fingers::Render(
        *master_, fingers::RandomImpression(*master_, fingers::PressSeed(*master_, press_), size));
    Say("finger " + std::to_string(number_) + " press " + std::to_string(press_));
    ++press_;
    return std::move(imp.frame.gray);
  }

 private:
  uint64_t seed_;
  const std::vector<ImageFinger> *images_;
  int number_ = -1;
  int press_ = 0;
  std::unique_ptr<fingers::MasterFinger> master_;
};

bool WriteReadyFile(const std::string &path, const std::string &line) {
  std::string tmp = path + ".tmp";
  std::FILE *f = std::fopen(tmp.c_str(), "w");
  if (f == nullptr) return false;
  bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  ok = std::fclose(f) == 0 && ok;
  return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return Usage();

  // Signals are taken synchronously by the main loop; every thread started
  // from here on (umockdev's worker, the answer timer) inherits the mask.
  const int kUnplug = SIGRTMIN + 1, kPlugBack = SIGRTMIN + 2, kUnplugLingering = SIGRTMIN + 3,
            kUnplugAfterRead = SIGRTMIN + 4;
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT, SIGHUP, kUnplug, kPlugBack, kUnplugLingering,
                kUnplugAfterRead})
    sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  try {
    bridge_emul::BridgeConfig config;  // 96x96, application running
    std::vector<ImageFinger> images;
    if (!options->images.empty()) {
      images = LoadImageFingers(options->images, config.width, config.height);
    }
    auto model = std::make_shared<bridge_emul::BridgeModel>(config);
    usb_emul::Testbed bed;
    // The bridge plugged in; NULL while it is unplugged.
    usb_emul::Device *device = &bed.AddDevice(bridge_emul::BridgeDesc(0x4842), model);
    Finger finger(options->seed, options->finger, options->images.empty() ? nullptr : &images);

    std::string line = "UMOCKDEV_DIR=" + bed.root_dir() + "\n";
    if (!options->ready_file.empty() && !WriteReadyFile(options->ready_file, line)) {
      Say("cannot write " + options->ready_file + ": " + std::strerror(errno));
      return 1;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    Say("bridge 3c5d:4842 at " + device->devnode() + ", " + std::to_string(config.width) + "x" +
        std::to_string(config.height));

    using Clock = std::chrono::steady_clock;
    const auto gap = std::chrono::milliseconds(options->press_gap_ms);
    auto lifted_at = Clock::now() - gap;
    auto log_cleared = Clock::now();
    bool pressing = false;  // a press waits to be read
    auto unplug = [&](std::chrono::milliseconds linger) {
      model->Lift();
      pressing = false;
      bed.Unplug(*device, linger);
      device = nullptr;
      Say("unplugged");
    };
    bool after_read = false;  // the next unplug waits for a press to be read
    std::optional<std::chrono::milliseconds> deferred;  // an unplug waiting so
    for (;;) {
      // While an unplug waits for a read, the read is seen within 1 ms.
      timespec tick{0, (after_read ? 1 : 20) * 1000 * 1000};
      int sig = sigtimedwait(&signals, nullptr, &tick);
      if (sig == SIGUSR1 || sig == SIGUSR2) {
        // A press of the old finger that was not read goes with it.
        model->Lift();
        pressing = false;
        finger.Select(finger.number() + (sig == SIGUSR1 ? 1 : -1));
      }
      if (sig == kUnplugAfterRead) {
        after_read = true;
        Say("the next unplug waits for a press to be read");
      }
      if ((sig == kUnplug || sig == kUnplugLingering) && device != nullptr && after_read) {
        deferred = std::chrono::milliseconds(sig == kUnplug ? 0 : 500);
      } else if (sig == kUnplug || sig == kUnplugLingering) {
        if (device != nullptr)
          unplug(std::chrono::milliseconds(sig == kUnplug ? 0 : 500));
        else
          Say("already unplugged");
      }
      if (sig == kPlugBack) {
        if (device == nullptr) {
          // A power cycle: a new bridge, fresh from power-up.
          model = std::make_shared<bridge_emul::BridgeModel>(config);
          device = &bed.PlugIn(bridge_emul::BridgeDesc(0x4842), model);
          lifted_at = Clock::now() - gap;
          Say("plugged back in at " + device->devnode());
        } else {
          Say("already plugged in");
        }
      }
      if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) {
        // Programs using the bridge see it go as a real unplug does, and get
        // the time to let go of it before the testbed disappears under them.
        if (device != nullptr) {
          unplug(std::chrono::milliseconds(0));
          timespec grace{options->unplug_grace_ms / 1000,
                         (options->unplug_grace_ms % 1000) * 1000L * 1000L};
          while (nanosleep(&grace, &grace) != 0 && errno == EINTR) {
          }
        }
        break;
      }

      auto now = Clock::now();
      if (pressing && model->PendingPresses() == 0) {
        pressing = false;  // the image was read: the finger lifts
        lifted_at = now;
        if (deferred) {
          unplug(*deferred);
          deferred.reset();
          after_read = false;
        }
      }
      if (device != nullptr && !pressing && finger.present() && now - lifted_at >= gap) {
        model->Press(finger.NextPress(config.width, config.height));
        pressing = true;
      }
      // The transfer log serves the unit tests; here it would only grow.
      if (device != nullptr && now - log_cleared >= std::chrono::seconds(1)) {
        device->ClearLog();
        log_cleared = now;
      }
    }
    Say("stopped");
  } catch (const std::exception &e) {
    Say(e.what());
    return 1;
  }
  if (!options->ready_file.empty()) unlink(options->ready_file.c_str());
  return 0;
}
