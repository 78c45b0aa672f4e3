#include <gtest/gtest.h>
#include <gmock/gmock.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/bq_dump.h"
#include "base/bq_log.h"
#include "dump_test_util.h"
#include "support/private_tmp.h"
#include "support/stderr_capture.h"

namespace {

using dump_test::IsDir;
using dump_test::ListDir;
using dump_test::ReadFile;
using dump_test::WriteFile;
using testing::ElementsAre;
using testing::MatchesRegex;
using testing_support::StderrCapture;

// "NN-YYYYMMDDhhmmss.mmm.log"
std::string LogNamePattern(const char *number) {
  return std::string(number) + "-[0-9]{14}\\.[0-9]{3}\\.log";
}

TEST(BqDumpLog, FirstAppendStartsSessionOne) {
  REQUIRE_PRIVATE_TMP();
  ASSERT_EQ(bq_dump_session_number(), 0u);
  ASSERT_EQ(bq_dump_log_append("first line", 10), 0);
  ASSERT_TRUE(IsDir("/tmp/dump"));
  std::vector<std::string> logs = ListDir("/tmp/dump/logs");
  ASSERT_THAT(logs, ElementsAre(MatchesRegex(LogNamePattern("01"))));
  EXPECT_EQ(std::string(bq_dump_log_path()), "/tmp/dump/logs/" + logs[0]);
  EXPECT_EQ(ReadFile("/tmp/dump/logs/" + logs[0]), "first line\n");
  EXPECT_EQ(bq_dump_log_bytes(), 11u);

  // A NULL text or a zero length only opens the log; nothing is added.
  EXPECT_EQ(bq_dump_log_append(nullptr, 5), 0);
  EXPECT_EQ(bq_dump_log_append("ignored", 0), 0);
  EXPECT_EQ(bq_dump_log_append("second", 6), 0);
  EXPECT_EQ(ReadFile("/tmp/dump/logs/" + logs[0]), "first line\nsecond\n");
  EXPECT_EQ(bq_dump_session_number(), 1u);
  EXPECT_EQ(std::string(bq_dump_root()), "/tmp/dump");
}

TEST(BqDumpLog, RotatesOnlyPastTheLimit) {
  REQUIRE_PRIVATE_TMP();
  ASSERT_EQ(bq_dump_log_append("a", 1), 0);
  std::string first = bq_dump_log_path();

  bq_dump_set_log_bytes(BQ_DUMP_LOG_ROTATE_BYTES);  // at the limit: same log
  ASSERT_EQ(bq_dump_log_append("b", 1), 0);
  EXPECT_EQ(std::string(bq_dump_log_path()), first);

  bq_dump_set_log_bytes(BQ_DUMP_LOG_ROTATE_BYTES + 1);
  ASSERT_EQ(bq_dump_log_append("c", 1), 0);
  std::vector<std::string> logs = ListDir("/tmp/dump/logs");
  ASSERT_THAT(logs, ElementsAre(MatchesRegex(LogNamePattern("01")),
                                MatchesRegex(LogNamePattern("02"))));
  EXPECT_EQ(ReadFile("/tmp/dump/logs/" + logs[0]), "a\nb\n");
  EXPECT_EQ(ReadFile("/tmp/dump/logs/" + logs[1]), "c\n");
  EXPECT_EQ(bq_dump_log_bytes(), 2u);  // the count restarted with the new log
  EXPECT_EQ(bq_dump_session_number(), 2u);
}

TEST(BqDumpLog, FailedSessionIsRetriedByTheNextAppend) {
  REQUIRE_PRIVATE_TMP();
  g_base_log_level = 3;
  WriteFile("/tmp/dump", "not a folder");
  {
    StderrCapture capture;
    EXPECT_EQ(bq_dump_log_append("lost", 4), -11);
    std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u) << capture.Text();
    EXPECT_THAT(lines[0], MatchesRegex("quorvanta:dump: \\[ *[0-9]+\\]:refusing dump folder "
                                       "'/tmp/dump': it is not a directory; nothing is dumped\\."));
    EXPECT_THAT(lines[1], MatchesRegex("quorvanta:dump: error at create_new_dumping_session"
                                       "\\[bq_dump\\.cpp:[0-9]+\\]: 'Internal error'\\."));
    EXPECT_THAT(lines[2], MatchesRegex("quorvanta:dump: \\[ *[0-9]+\\]:create_new_dumping_"
                                       "session\\(\\.\\.\\) = 'Try again'\\."));
  }
  EXPECT_EQ(bq_dump_session_number(), 0u);
  ASSERT_EQ(unlink("/tmp/dump"), 0);
  EXPECT_EQ(bq_dump_log_append("kept", 4), 0);
  EXPECT_THAT(ListDir("/tmp/dump/logs"), ElementsAre(MatchesRegex(LogNamePattern("01"))));
}

TEST(BqDumpLog, LoggingWhileTheSessionCannotBeCreatedDoesNotRecurse) {
  REQUIRE_PRIVATE_TMP();
  WriteFile("/tmp/dump", "not a folder");
  g_base_log_level = 3;
  g_libfpdev_dump = 1;
  StderrCapture capture;
  // The session failure is itself logged at error level, which with dumping
  // on asks for a dump copy again; that copy must be dropped.
  bq_log(BQ_LOG_INFO, "quorvanta:core", "still on the console");
  std::string text = capture.Text();
  EXPECT_NE(text.find("quorvanta:core: still on the console\n"), std::string::npos) << text;
  g_libfpdev_dump = 0;
}

// Every log line asks for a dump copy; a refused folder is reported on the
// first only, and dumping starts once the folder is fixed.
TEST(BqDumpLog, ARefusedFolderIsReportedOncePerProcess) {
  REQUIRE_PRIVATE_TMP();
  ASSERT_EQ(mkdir("/tmp/dump", 0777), 0);
  ASSERT_EQ(chmod("/tmp/dump", 0777), 0);
  g_base_log_level = 3;
  g_libfpdev_dump = 1;
  std::string text;
  {
    StderrCapture capture;
    for (int i = 0; i < 40; ++i) bq_log(BQ_LOG_INFO, "quorvanta:core", "line %d", i);
    text = capture.Text();
  }
  auto count = [&text](const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("refusing dump folder '/tmp/dump'"), 1u) << text;
  EXPECT_EQ(count("error at create_new_dumping_session"), 1u) << text;
  EXPECT_EQ(count("create_new_dumping_session(..) = 'Try again'"), 1u) << text;
  EXPECT_EQ(count("quorvanta:core: line "), 40u) << text;
  EXPECT_EQ(bq_dump_session_number(), 0u);

  ASSERT_EQ(chmod("/tmp/dump", 0700), 0);
  bq_log(BQ_LOG_INFO, "quorvanta:core", "dumped");
  g_libfpdev_dump = 0;
  EXPECT_EQ(bq_dump_session_number(), 1u);
  EXPECT_NE(ReadFile(bq_dump_log_path()).find("dumped"), std::string::npos);
}

// The error lines of bq_mkdir_p, with the line number replaced by '#'.
std::string Normalise(std::string line) {
  size_t open = line.find("[");
  size_t close = line.find("]:");
  if (open != std::string::npos && close != std::string::npos && open < close)
    line.replace(open, close - open + 1, "[#]");
  return line;
}

TEST(BqMkdirP, CreatesMissingParentsAndReportsFailures) {
  REQUIRE_PRIVATE_TMP();
  ASSERT_EQ(mkdir("/tmp/ro", 0700), 0);
  ASSERT_EQ(mount("tmpfs", "/tmp/ro", "tmpfs", MS_RDONLY, nullptr), 0);
  WriteFile("/tmp/file", "x");
  umask(0);

  struct Case {
    const char *path;
    int rc;
    const char *stderr_line;  // nullptr: nothing on standard error
  } cases[] = {
      {"/tmp/a/b/c", 0, nullptr},
      {"/tmp/a/b/c", 0, nullptr},  // already there
      {"/tmp/t/u/", 0, nullptr},   // trailing slash
      {"/tmp/ro/x/y", -1,
       "quorvanta:dump: [#]:mkdir('/tmp/ro/x', ..) = 'Read-only file system'."},
      {"/tmp/ro/x", -1, "quorvanta:dump: [#]:mkdir('/tmp/ro/x', ..) = 'Read-only file system'."},
      {"/tmp/file/sub", -1,
       "quorvanta:dump: [#]:access('/tmp/file/sub', ..) = 'Not a directory'."},
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    EXPECT_EQ(bq_mkdir_p(c.path), c.rc) << c.path;
    std::vector<std::string> lines = capture.Lines();
    if (c.stderr_line == nullptr) {
      EXPECT_TRUE(lines.empty()) << c.path << ": " << capture.Text();
    } else {
      ASSERT_EQ(lines.size(), 1u) << c.path << ": " << capture.Text();
      EXPECT_EQ(Normalise(lines[0]), c.stderr_line);
    }
  }
  for (const char *dir : {"/tmp/a", "/tmp/a/b", "/tmp/a/b/c", "/tmp/t/u"}) {
    struct stat st;
    ASSERT_EQ(stat(dir, &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 07777, 0770u) << dir;
  }
}

// --- private dump folders ------------------------------------------------------------

constexpr uid_t kOtherUser = 4242;

struct PlantCase {
  const char *name;
  // Plants the hostile state in the private /tmp; the dump must then refuse.
  void (*plant)();
  const char *refused;  // the folder named in the refusal
};

const PlantCase kPlants[] = {
    {"RootIsALinkOfAnotherUser",
     [] {
       ASSERT_EQ(mkdir("/tmp/elsewhere", 0777), 0);
       ASSERT_EQ(symlink("/tmp/elsewhere", "/tmp/dump"), 0);
       ASSERT_EQ(lchown("/tmp/dump", kOtherUser, kOtherUser), 0);
     },
     "/tmp/dump"},
    {"RootOwnedByAnotherUser",
     [] {
       ASSERT_EQ(mkdir("/tmp/dump", 0700), 0);
       ASSERT_EQ(chown("/tmp/dump", kOtherUser, kOtherUser), 0);
     },
     "/tmp/dump"},
    {"RootWritableByOthers",
     [] {
       ASSERT_EQ(mkdir("/tmp/dump", 0700), 0);
       ASSERT_EQ(chmod("/tmp/dump", 0757), 0);
     },
     "/tmp/dump"},
    {"LogsIsALink",
     [] {
       ASSERT_EQ(mkdir("/tmp/elsewhere", 0777), 0);
       ASSERT_EQ(mkdir("/tmp/dump", 0700), 0);
       ASSERT_EQ(symlink("/tmp/elsewhere", "/tmp/dump/logs"), 0);
     },
     "/tmp/dump/logs"},
    {"LogsWritableByGroup",
     [] {
       ASSERT_EQ(mkdir("/tmp/dump", 0700), 0);
       ASSERT_EQ(mkdir("/tmp/dump/logs", 0700), 0);
       ASSERT_EQ(chmod("/tmp/dump/logs", 0770), 0);
     },
     "/tmp/dump/logs"},
};

class DumpPlant : public testing::TestWithParam<PlantCase> {};

TEST_P(DumpPlant, IsRefusedAndNothingIsWritten) {
  REQUIRE_PRIVATE_TMP();
  const PlantCase &c = GetParam();
  c.plant();
  StderrCapture capture;
  EXPECT_EQ(bq_dump_log_append("secret", 6), -11);
  EXPECT_NE(capture.Text().find(std::string("refusing dump folder '") + c.refused + "'"),
            std::string::npos)
      << capture.Text();
  EXPECT_EQ(bq_dump_session_number(), 0u);
  EXPECT_TRUE(ListDir("/tmp/elsewhere").empty());
  struct stat st;
  if (lstat("/tmp/dump/logs", &st) == 0 && S_ISDIR(st.st_mode)) {
    EXPECT_TRUE(ListDir("/tmp/dump/logs").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Plants, DumpPlant, testing::ValuesIn(kPlants),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DumpPrivacy, FoldersAre0700AndTheLog0600WhateverTheUmask) {
  REQUIRE_PRIVATE_TMP();
  umask(0);
  ASSERT_EQ(bq_dump_log_append("line", 4), 0);
  struct stat st;
  for (const char *dir : {"/tmp/dump", "/tmp/dump/logs"}) {
    ASSERT_EQ(lstat(dir, &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << dir;
  }
  ASSERT_EQ(lstat(bq_dump_log_path(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  umask(022);
}

TEST(DumpPrivacy, ALinkPlantedAtTheLogPathIsNotFollowed) {
  REQUIRE_PRIVATE_TMP();
  ASSERT_EQ(bq_dump_log_append("first", 5), 0);
  std::string log = bq_dump_log_path();
  ASSERT_EQ(unlink(log.c_str()), 0);
  WriteFile("/tmp/target", "");
  ASSERT_EQ(symlink("/tmp/target", log.c_str()), 0);
  StderrCapture capture;
  EXPECT_NE(bq_dump_log_append("secret", 6), 0);
  EXPECT_EQ(ReadFile("/tmp/target"), "");
}

}  // namespace
