// Finding the bridge in lsusb output and resetting it through usbfs, with
// fake command output and the emulated device node.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "bridge_emul/bridge_bench.h"
#include "drivers/zq_sensor/zq_usbfs.h"

namespace {

const std::string kHub = "Bus 001 Device 001: ID 1d6b:0002 Linux Foundation 2.0 root hub\n";
const std::string kBridge = "Bus 001 Device 002: ID 3c5d:4842 Quorvanta USB bridge\n";

// A shell command that prints `text` exactly.
std::string PrintCommand(const std::string &text) {
  std::string quoted;
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "printf '%s' '" + quoted + "'";
}

TEST(ConsoleSearch, FindsTheFirstBridgeLineWithinTheBound) {
  std::string filler(99, 'x');
  filler += '\n';
  std::string long_text;
  for (int i = 0; i < 40; ++i) long_text += filler;  // 4000 bytes, no bridge
  std::string late_bridge;
  for (int i = 0; i < 31; ++i) late_bridge += filler;  // 3100 bytes first
  late_bridge += kBridge;
  struct Case {
    const char *name;
    std::string command;
    int result;
    std::string out_prefix;
  } cases[] = {
      {"bridge on the second line", PrintCommand(kHub + kBridge + kHub),
       static_cast<int>(kHub.size()), kHub + kBridge},
      {"bridge on the first line", PrintCommand(kBridge + kHub), 0, kBridge},
      {"no bridge", PrintCommand(kHub + kHub), -1, kHub + kHub},
      {"long output without a bridge", PrintCommand(long_text), -1, filler},
      {"bridge only after the bound", PrintCommand(late_bridge), -1, filler},
      {"no output", "true", -1, ""},
  };
  for (const Case &c : cases) {
    char out[ZQ_CONSOLE_BUF_SIZE];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(get_system_console_return_value(c.command.c_str(), out), c.result) << c.name;
    size_t len = strnlen(out, sizeof out);
    ASSERT_LT(len, sizeof out) << c.name << ": the buffer is terminated";
    EXPECT_EQ(std::string(out, len).substr(0, c.out_prefix.size()), c.out_prefix) << c.name;
    EXPECT_LE(len, static_cast<size_t>(ZQ_CONSOLE_TEXT_MAX + 1024)) << c.name;
  }
  char out[ZQ_CONSOLE_BUF_SIZE];
  EXPECT_EQ(get_system_console_return_value(nullptr, out), -1);
  EXPECT_EQ(get_system_console_return_value("true", nullptr), -1);
}

// A directory holding a fake "lsusb" that prints the file lsusb.out, put at
// the front of PATH while alive.
class FakeLsusb {
 public:
  FakeLsusb() {
    char tmpl[] = "/tmp/zqlsusbXXXXXX";
    dir_ = mkdtemp(tmpl);
    std::ofstream(dir_ + "/lsusb") << "#!/bin/sh\ncat '" << dir_ << "/lsusb.out'\n";
    chmod((dir_ + "/lsusb").c_str(), 0755);
    const char *path = getenv("PATH");
    saved_path_ = path != nullptr ? path : "";
    setenv("PATH", (dir_ + ":" + saved_path_).c_str(), 1);
  }
  ~FakeLsusb() {
    setenv("PATH", saved_path_.c_str(), 1);
    unlink((dir_ + "/lsusb").c_str());
    unlink((dir_ + "/lsusb.out").c_str());
    rmdir(dir_.c_str());
  }
  void Print(const std::string &text) { std::ofstream(dir_ + "/lsusb.out") << text; }

 private:
  std::string dir_;
  std::string saved_path_;
};

TEST(UsbfsReset, RecordsTheBridgeNodeAndResetsItOnceTheBridgeIsMissing) {
  bridge_emul::BridgeBench bench;  // the bridge's node is /dev/bus/usb/001/002
  FakeLsusb lsusb;

  lsusb.Print(kBridge + kHub);  // the bridge listed first
  EXPECT_EQ(isNeedResetUsb(), 0);
  EXPECT_STREQ(g_usb_dev_path, bench.device().devnode().c_str());
  EXPECT_EQ(bench.model().Resets(), 0u);

  // The first recorded node stays.
  lsusb.Print(kHub + "Bus 003 Device 009: ID 3c5d:4842 Quorvanta USB bridge\n");
  EXPECT_EQ(isNeedResetUsb(), 0);
  EXPECT_STREQ(g_usb_dev_path, "/dev/bus/usb/001/002");
  EXPECT_EQ(bench.model().Resets(), 0u);

  lsusb.Print(kHub);
  EXPECT_EQ(isNeedResetUsb(), 0);
  EXPECT_EQ(bench.model().Resets(), 1u);
  ASSERT_FALSE(bench.device().Log().empty());
  EXPECT_EQ(bench.device().Log().back().event, usb_emul::Event::kReset);
}

TEST(UsbfsReset, MissingBridgeWithoutRecordedNodeResetsNothing) {
  bridge_emul::BridgeBench bench;
  FakeLsusb lsusb;
  lsusb.Print(kHub);
  EXPECT_EQ(isNeedResetUsb(), 0);
  EXPECT_STREQ(g_usb_dev_path, "");
  EXPECT_EQ(bench.model().Resets(), 0u);
}

TEST(UsbfsReset, TruncatedBridgeLineRecordsNothing) {
  bridge_emul::BridgeBench bench;
  FakeLsusb lsusb;
  lsusb.Print("Bus 001 ID 3c5d\n");
  EXPECT_EQ(isNeedResetUsb(), 0);
  EXPECT_STREQ(g_usb_dev_path, "");
}

TEST(UsbfsReset, DirectResetOfTheEmulatedNode) {
  bridge_emul::BridgeBench bench;
  EXPECT_EQ(m_usb_reset(bench.device().devnode().c_str()), 0);
  EXPECT_EQ(bench.model().Resets(), 1u);
  EXPECT_EQ(m_usb_reset("/dev/bus/usb/009/099"), 1);
  EXPECT_EQ(m_usb_reset(nullptr), 1);
  EXPECT_EQ(bench.model().Resets(), 1u);
}

}  // namespace
