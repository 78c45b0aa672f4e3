#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bq_error.h"
#include "base/bq_log.h"
#include "base/bq_util.h"
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
