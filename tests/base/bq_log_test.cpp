#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bq_error.h"
#include "base/bq_log.h"
#include "base/bq_dump.h"
#include "base/bq_util.h"
#include "dump_test_util.h"
#include "support/private_tmp.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;

TEST(BqStrerror, ListedAndUnlistedCodes) {
  struct Case {
    int code;
    const char *text;
  } cases[] = {
      {0, "Success"},        {-1, "Internal error"},        {-3, "-3"},
      {-16, "Resource busy / Timeout"}, {-200, "Bad parameter(s)"},
      {-209, "Untrusted enrollment"},   {-210, "-210"},        {7, "7"},
  };
  for (const Case &c : cases) EXPECT_STREQ(bq_strerror(c.code), c.text) << c.code;
}

TEST(BqHexdump, OneFullRow) {
  StderrCapture capture;
  const char bytes[] = {0x41, 0x42, 0x25, 0x01, 0x41, 0x41, 0x41, 0x41};
  bq_hexdump(bytes, 8);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "quorvanta:util: 0000  41 42 25 01 41 41 41 41  |AB..AAAA|"});
}

TEST(BqHexdump, ShortRowIsPadded) {
  StderrCapture capture;
  const char bytes[] = {'a', '\\', 'z'};
  bq_hexdump(bytes, 3);
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{"quorvanta:util: 0000  61 5c 7a                 |a.z     |"});
}

TEST(BqHexdump, LongDumpKeepsHeadAndTail) {
  StderrCapture capture;
  std::vector<char> bytes(200, 'x');
  bq_hexdump(bytes.data(), 200);
  std::vector<std::string> offsets;
  for (const std::string &line : capture.Lines()) offsets.push_back(line.substr(16, 4));
  std::vector<std::string> expected = {"0000", "0008", "0010", "0018", "0020", "0028", "0030",
                                       "....", "0080", "0088", "0090", "0098", "00a0", "00a8",
                                       "00b0", "00b8", "00c0"};
  EXPECT_EQ(offsets, expected);
}

TEST(BqHexdump, NothingForEmptyInput) {
  StderrCapture capture;
  bq_hexdump("abc", 0);
  bq_hexdump("abc", -4);
  EXPECT_EQ(capture.Text(), "");
}

TEST(BqLog, ConsoleLineIsTagAndMessageCutTo1023) {
  StderrCapture capture;
  std::string longer(2000, 'm');
  bq_log(BQ_LOG_INFO, "quorvanta:core", "%s", "hello");
  bq_log(BQ_LOG_INFO, "t", "%s", longer.c_str());
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "quorvanta:core: hello");
  EXPECT_EQ(lines[1].size(), 1023u);
}

// "MM-DD hh:mm:ss.mmm  pid  tid L tag: " for this process's main thread.
std::string PrefixPattern(char letter, const std::string &tag) {
  std::string ids = std::to_string(getpid()) + "  " + std::to_string(syscall(SYS_gettid));
  return "(0[1-9]|1[0-2])-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}  " + ids +
         " " + letter + " " + tag + ": ";
}

TEST(BqLogPrefix, WritesTimePidTidLetterAndTag) {
  char buf[BQ_LOG_LINE_MAX];
  char *cursor = buf;
  int n = bq_log_prefix(&cursor, BQ_LOG_WARNING, "quorvanta:core");
  ASSERT_GT(n, 0);
  EXPECT_EQ(cursor, buf + n);
  EXPECT_EQ(std::strlen(buf), static_cast<size_t>(n));
  EXPECT_THAT(std::string(buf), testing::MatchesRegex(PrefixPattern('W', "quorvanta:core")));
}

TEST(BqLog, DumpCopyFollowsLevelAndThreshold) {
  REQUIRE_PRIVATE_TMP();
  g_libfpdev_dump = 1;
  struct Case {
    int level;
    uint32_t threshold;
    const char *message;
    char letter;  // 0: no dump copy
  } cases[] = {
      {1, 0, "verbose", 0},  {2, 0, "debug", 'D'}, {3, 0, "info", 'I'},
      {4, 0, "warning", 'W'}, {5, 0, "error", 'E'}, {5, 5, "error at 5", 'E'},
      {5, 6, "silenced", 0}, {2, 6, "silenced too", 0},
  };
  std::vector<std::string> expected_dump;
  std::vector<std::string> expected_console;
  {
    StderrCapture capture;
    for (const Case &c : cases) {
      g_base_log_level = c.threshold;
      bq_log(c.level, "quorvanta:core", "%s", c.message);
      expected_console.push_back(std::string("quorvanta:core: ") + c.message);
      if (c.letter) expected_dump.push_back(PrefixPattern(c.letter, "quorvanta:core") + c.message);
    }
    // bq_log itself writes every line it is given to the console.
    EXPECT_EQ(capture.Lines(), expected_console);
  }
  g_libfpdev_dump = 0;
  std::vector<std::string> logs = dump_test::ListDir("/tmp/dump/logs");
  ASSERT_EQ(logs.size(), 1u);
  std::string text = dump_test::ReadFile("/tmp/dump/logs/" + logs[0]);
  std::vector<std::string> lines;
  for (size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  ASSERT_EQ(lines.size(), expected_dump.size()) << text;
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_THAT(lines[i], testing::MatchesRegex(expected_dump[i]));
}

TEST(BqLog, NoDumpCopyWhileDumpingIsOff) {
  REQUIRE_PRIVATE_TMP();
  g_libfpdev_dump = 0;
  StderrCapture capture;
  bq_log(BQ_LOG_ERROR, "t", "x");
  EXPECT_FALSE(dump_test::IsDir("/tmp/dump"));
}

TEST(BqLog, DumpCopyIsCutToTheLineLimit) {
  REQUIRE_PRIVATE_TMP();
  g_libfpdev_dump = 1;
  std::string longer(3000, 'q');
  {
    StderrCapture capture;
    bq_log(BQ_LOG_DEBUG, "t", "%s", longer.c_str());
  }
  g_libfpdev_dump = 0;
  std::string text = dump_test::ReadFile(bq_dump_log_path());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.size(), 1024u);  // 1023 characters and the newline
  EXPECT_EQ(text.back(), '\n');
}

TEST(BqChecksum, XorOfBytes) {
  const char a[] = {0x01, 0x02, 0x03};
  const char b[] = {0x5a, 0x0f};
  EXPECT_EQ(bq_checksum_xor(a, 3), 0);
  EXPECT_EQ(bq_checksum_xor(b, 2), 0x55);
  EXPECT_EQ(bq_checksum_xor(b, 0), 0);
}

uint64_t g_fake_now = 0;
uint64_t FakeNow() { return g_fake_now; }
int FakeSleep(unsigned us) {
  g_fake_now += us / 1000;
  return 0;
}

TEST(BqTimer, MarkAndElapsedOnInjectedClock) {
  const bq_time_source fake = {FakeNow, FakeSleep};
  bq_set_time_source(&fake);
  g_fake_now = 5000;
  EXPECT_EQ(bq_timer_ms(true), 5000u);  // the mark starts at 0
  EXPECT_EQ(bq_timer_start(), 5000u);
  bq_msleep(250);
  EXPECT_EQ(bq_timer_ms(true), 250u);
  bq_set_time_source(nullptr);
}

}  // namespace
