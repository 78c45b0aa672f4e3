#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_print_data.h"
#include "framework/fpi_print_store.h"
#include "support/stderr_capture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using testing_support::StderrCapture;

// Each test runs in its own process with HOME pointing at a fresh directory.
class PrintStore : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fpdev-store-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    home_ = tmpl;
    setenv("HOME", home_.c_str(), 1);
    base_ = home_ + "/.fpdev/prints";
    driver_.id = 35;
    driver_.type = DRIVER_IMAGING;
    dev_.driver = &driver_;
  }
  void TearDown() override {
    fpi_print_store_exit();
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    std::error_code ec;
    fs::permissions(home_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto &entry : fs::recursive_directory_iterator(home_, ec))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(home_, ec);
  }

  // A print of the given driver and device type holding one item.
  static fp_print_data *Print(uint16_t driver_id, uint32_t devtype, const std::string &item) {
    fp_print_data *print = fpi_print_data_new_fields(driver_id, devtype, FP_PRINT_DATA_MINUTIAE);
    fp_print_data_item *it = fpi_print_data_item_new(item.size());
    std::copy(item.begin(), item.end(), it->data);
    print->prints = g_slist_prepend(print->prints, it);
    return print;
  }

  static Bytes ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  static void WriteFile(const std::string &path, const Bytes &bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Makes `dir` unwritable: a read-only mount for root, who ignores modes.
  bool MakeReadOnly(const std::string &dir) {
    if (geteuid() != 0) return chmod(dir.c_str(), 0500) == 0;
    if (unshare(CLONE_NEWNS) != 0) return false;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (mount("tmpfs", dir.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) return false;
    mounted_ = dir;
    return true;
  }

  std::string home_, base_, mounted_;
  fp_driver driver_{};
  fp_dev dev_{};
};

TEST_F(PrintStore, SaveWritesTheBlobAtTheFingerPathWithPrivateDirectories) {
  fp_print_data *print = Print(35, 0, "abc");
  ASSERT_EQ(fp_print_data_save(print, RIGHT_LITTLE), 0);
  fp_print_data_free(print);

  EXPECT_EQ(ReadFile(base_ + "/0023/00000000/a"),
            (Bytes{'F', 'P', '2', 0x23, 0, 0, 0, 0, 0, 1, 3, 0, 0, 0, 'a', 'b', 'c'}));
  for (const char *dir : {"/.fpdev", "/.fpdev/prints", "/.fpdev/prints/0023",
                          "/.fpdev/prints/0023/00000000"}) {
    struct stat st;
    ASSERT_EQ(stat((home_ + dir).c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
  }
  // Names are lower-case hexadecimal, zero-padded for driver and device type.
  print = Print(0xABC, 0xDEADBEEF, "x");
  ASSERT_EQ(fp_print_data_save(print, LEFT_THUMB), 0);
  fp_print_data_free(print);
  EXPECT_TRUE(fs::is_regular_file(base_ + "/0abc/deadbeef/1"));
}

TEST_F(PrintStore, SaveReplacesAnEarlierFile) {
  fp_print_data *first = Print(35, 0, "first, longer");
  fp_print_data *second = Print(35, 0, "2nd");
  ASSERT_EQ(fp_print_data_save(first, RIGHT_INDEX), 0);
  ASSERT_EQ(fp_print_data_save(second, RIGHT_INDEX), 0);
  EXPECT_EQ(ReadFile(base_ + "/0023/00000000/7").size(), 10u + 4u + 3u);
  fp_print_data_free(first);
  fp_print_data_free(second);
}

TEST_F(PrintStore, LoadReturnsTheSavedPrintOrTheReasonItCannot) {
  fp_print_data *print = Print(35, 0, "template bytes");
  ASSERT_EQ(fp_print_data_save(print, LEFT_INDEX), 0);
  fp_print_data_free(print);

  fp_print_data *loaded = nullptr;
  ASSERT_EQ(fp_print_data_load(&dev_, LEFT_INDEX, &loaded), 0);
  ASSERT_NE(loaded, nullptr);
  auto *item = static_cast<fp_print_data_item *>(loaded->prints->data);
  EXPECT_EQ(std::string(item->data, item->data + item->length), "template bytes");
  fp_print_data_free(loaded);

  // Files for the remaining cases, all at the device's own path.
  const std::string dir = base_ + "/0023/00000000/";
  WriteFile(dir + "3", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'i', 'n', 't'});
  unsigned char *blob = nullptr;
  fp_print_data *foreign = Print(35, 1, "other devtype");
  size_t len = fp_print_data_get_data(foreign, &blob);
  WriteFile(dir + "4", Bytes(blob, blob + len));
  std::free(blob);
  fp_print_data_free(foreign);
  fs::create_directories(dir + "5");

  struct Case {
    int finger;
    int result;
    const char *log;
  } cases[] = {
      {RIGHT_THUMB, -2, "load failed"},      // no file
      {LEFT_MIDDLE, -5, "bad header prefix"},  // not a blob
      {LEFT_RING, -22, "print data is not compatible!"},
      {LEFT_LITTLE, -21, "Is a directory"},  // -EISDIR, not a positive code
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    fp_print_data *out = nullptr;
    int r = fp_print_data_load(&dev_, c.finger, &out);
    EXPECT_EQ(r, c.result) << c.finger;
    EXPECT_EQ(out, nullptr) << c.finger;
    EXPECT_NE(capture.Text().find(c.log), std::string::npos) << c.finger << capture.Text();
  }
}

TEST_F(PrintStore, SaveFailuresAreNegative) {
  // A device-type directory that cannot be written.
  const std::string dir = base_ + "/0023/00000000";
  fs::create_directories(dir);
  if (!MakeReadOnly(dir)) GTEST_SKIP() << "cannot make a read-only directory";
  fp_print_data *print = Print(35, 0, "abc");
  {
    StderrCapture capture;
    EXPECT_LT(fp_print_data_save(print, RIGHT_LITTLE), 0);
    EXPECT_NE(capture.Text().find("save failed: "), std::string::npos) << capture.Text();
  }
  EXPECT_FALSE(fs::exists(dir + "/a"));

  // A file where the driver's directory should be.
  fs::create_directories(base_);
  WriteFile(base_ + "/0014", {'x'});
  fp_print_data *other = Print(20, 0, "abc");
  {
    StderrCapture capture;
    EXPECT_EQ(fp_print_data_save(other, RIGHT_LITTLE), -1);
    EXPECT_NE(capture.Text().find("couldn't create storage directory"), std::string::npos);
  }
  fp_print_data_free(print);
  fp_print_data_free(other);
}

TEST_F(PrintStore, DeleteUnlinksTheFingerFile) {
  fp_print_data *print = Print(35, 0, "abc");
  ASSERT_EQ(fp_print_data_save(print, RIGHT_RING), 0);
  fp_print_data_free(print);
  EXPECT_EQ(fp_print_data_delete(&dev_, RIGHT_RING), 0);
  EXPECT_FALSE(fs::exists(base_ + "/0023/00000000/9"));
  StderrCapture capture;
  EXPECT_EQ(fp_print_data_delete(&dev_, RIGHT_RING), -1);
  EXPECT_NE(capture.Text().find("unlink failed with error -1"), std::string::npos);
}

TEST_F(PrintStore, DiscoverFindsFingerFilesAndSkipsOddNames) {
  std::vector<std::tuple<uint16_t, uint32_t, int>> saved = {
      {35, 0, RIGHT_LITTLE}, {35, 0, LEFT_THUMB}, {20, 0x12, RIGHT_INDEX}};
  for (auto [drv, type, finger] : saved) {
    fp_print_data *print = Print(drv, type, "abc");
    ASSERT_EQ(fp_print_data_save(print, finger), 0);
    fp_print_data_free(print);
  }
  const std::string dev_dir = base_ + "/0023/00000000/";
  WriteFile(dev_dir + "b", {'x'});   // finger 11
  WriteFile(dev_dir + "0", {'x'});   // finger 0
  WriteFile(dev_dir + "g", {'x'});   // not hexadecimal
  WriteFile(dev_dir + "10", {'x'});  // two characters: silently skipped
  fs::create_directories(base_ + "/23/00000000");        // two characters
  fs::create_directories(base_ + "/zzzz/00000000");      // no hexadecimal digit
  fs::create_directories(base_ + "/0023/qqqqqqqq");      // no hexadecimal digit
  fs::create_directories(base_ + "/0023/0000000");       // seven characters

  StderrCapture capture;
  fp_dscv_print **prints = fp_discover_prints();
  ASSERT_NE(prints, nullptr);
  std::set<std::tuple<uint16_t, uint32_t, int, std::string>> found;
  for (fp_dscv_print **p = prints; *p != nullptr; p++)
    found.emplace(fp_dscv_print_get_driver_id(*p), fp_dscv_print_get_devtype(*p),
                  fp_dscv_print_get_finger(*p), (*p)->path);
  EXPECT_EQ(found, (std::set<std::tuple<uint16_t, uint32_t, int, std::string>>{
                       {35, 0, 10, base_ + "/0023/00000000/a"},
                       {35, 0, 1, base_ + "/0023/00000000/1"},
                       {20, 0x12, 7, base_ + "/0014/00000012/7"}}));
  std::vector<std::string> lines = capture.Lines();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "fp:debug [fp_discover_prints] skipping drv id zzzz",
                       "fp:debug [scan_dev_store_dir] skipping print file 0",
                       "fp:debug [scan_dev_store_dir] skipping print file b",
                       "fp:debug [scan_dev_store_dir] skipping print file g",
                       "fp:debug [scan_driver_store_dir] skipping devtype qqqqqqqq",
                   }));
  fp_dscv_prints_free(prints);
}

TEST_F(PrintStore, DiscoveredPrintLoadsAndDeletes) {
  fp_print_data *print = Print(35, 0, "abc");
  ASSERT_EQ(fp_print_data_save(print, LEFT_RING), 0);
  fp_print_data_free(print);
  fp_dscv_print **prints = fp_discover_prints();
  ASSERT_NE(prints, nullptr);
  ASSERT_NE(prints[0], nullptr);
  ASSERT_EQ(prints[1], nullptr);

  fp_print_data *loaded = nullptr;
  ASSERT_EQ(fp_print_data_from_dscv_print(prints[0], &loaded), 0);
  EXPECT_EQ(fp_print_data_get_driver_id(loaded), 35);
  fp_print_data_free(loaded);
  EXPECT_EQ(fp_dscv_print_delete(prints[0]), 0);
  EXPECT_EQ(fp_print_data_from_dscv_print(prints[0], &loaded), -2);
  EXPECT_EQ(fp_dscv_print_delete(prints[0]), -1);
  fp_dscv_prints_free(prints);
  fp_dscv_prints_free(nullptr);
}

TEST_F(PrintStore, DiscoverWithoutAStoreIsNull) {
  // The base cannot be created: a file stands where .fpdev should be.
  WriteFile(home_ + "/.fpdev", {'x'});
  StderrCapture capture;
  EXPECT_EQ(fp_discover_prints(), nullptr);
  EXPECT_NE(capture.Text().find("opendir " + base_ + " failed: "), std::string::npos);
}

TEST_F(PrintStore, SetupPlacesTheBaseUnderTheGivenHome) {
  const std::string other = home_ + "/other";
  fs::create_directories(other);
  EXPECT_EQ(fp_storage_setup(other.c_str()), 0);
  fp_print_data *print = Print(35, 0, "abc");
  ASSERT_EQ(fp_print_data_save(print, LEFT_THUMB), 0);
  EXPECT_TRUE(fs::exists(other + "/.fpdev/prints/0023/00000000/1"));

  // "." is the current directory.
  ASSERT_EQ(chdir(home_.c_str()), 0);
  EXPECT_EQ(fp_storage_setup("."), 0);
  ASSERT_EQ(fp_print_data_save(print, LEFT_INDEX), 0);
  EXPECT_TRUE(fs::exists(home_ + "/.fpdev/prints/0023/00000000/2"));
  EXPECT_FALSE(fs::exists(other + "/.fpdev/prints/0023/00000000/2"));

  // Creation failure is -1.
  WriteFile(home_ + "/blocked/.fpdev", {'x'});
  EXPECT_EQ(fp_storage_setup((home_ + "/blocked").c_str()), -1);
  fp_print_data_free(print);
}

// --- private, atomic, bounded ----------------------------------------------------

TEST_F(PrintStore, SaveRefusesNumbersThatAreNoFinger) {
  fp_print_data *print = Print(35, 0, "abc");
  for (int finger : {0, 11, -1, 16}) {
    StderrCapture capture;
    EXPECT_EQ(fp_print_data_save(print, finger), -EINVAL) << finger;
  }
  fp_print_data_free(print);
  EXPECT_FALSE(fs::exists(base_ + "/0023")) << "nothing was written";
}

TEST_F(PrintStore, SaveIsOwnerOnlyEvenOverLaxFoldersAndReplacesAtomically) {
  const std::string dir = base_ + "/0023/00000000";
  fs::create_directories(dir);
  for (const std::string &d : {home_ + "/.fpdev", base_, base_ + "/0023", dir})
    ASSERT_EQ(chmod(d.c_str(), 0777), 0) << d;
  mode_t old_mask = umask(0);
  fp_print_data *first = Print(35, 0, "first");
  ASSERT_EQ(fp_print_data_save(first, RIGHT_INDEX), 0);
  fp_print_data_free(first);
  umask(old_mask);

  struct stat st;
  for (const std::string &d : {home_ + "/.fpdev", base_, base_ + "/0023", dir}) {
    ASSERT_EQ(lstat(d.c_str(), &st), 0) << d;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << d;
  }
  const std::string file = dir + "/7";
  ASSERT_EQ(lstat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A second name for the old file keeps the old bytes: the new print went to
  // a new file that replaced the name, never into the old file in place.
  const std::string other = home_ + "/old";
  ASSERT_EQ(link(file.c_str(), other.c_str()), 0);
  const Bytes old_bytes = ReadFile(file);
  fp_print_data *second = Print(35, 0, "second");
  ASSERT_EQ(fp_print_data_save(second, RIGHT_INDEX), 0);
  fp_print_data_free(second);
  EXPECT_EQ(ReadFile(other), old_bytes);
  EXPECT_NE(ReadFile(file), old_bytes);
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"7"}) << "no temporary file is left";
}

TEST_F(PrintStore, LoadRefusesWhatIsNoRegularPrintSizedFileAtOnce) {
  alarm(30);  // a load that blocks on a FIFO ends the test instead of hanging it
  const std::string dir = base_ + "/0023/00000000/";
  fs::create_directories(dir);
  ASSERT_EQ(mkfifo((dir + "1").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir + "2").c_str()), 0);
  {
    std::ofstream((dir + "3").c_str()) << "";
    ASSERT_EQ(truncate((dir + "3").c_str(), FP_PRINT_FILE_MAX + 1), 0);
  }
  // The largest valid print: one item of 1 MiB plus its 7-byte head.
  fp_print_data *largest = Print(35, 0, std::string(1048583, 'x'));
  ASSERT_EQ(fp_print_data_save(largest, LEFT_RING), 0);
  fp_print_data_free(largest);
  ASSERT_EQ(fs::file_size(dir + "4"), FP_PRINT_FILE_MAX);

  struct Case {
    int finger;
    int result;
    const char *log;
  } cases[] = {
      {LEFT_THUMB, -EINVAL, "not a regular file"},
      {LEFT_INDEX, -EINVAL, "not a regular file"},
      {LEFT_MIDDLE, -EFBIG, "larger than any print"},
      {LEFT_RING, 0, ""},
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    fp_print_data *out = nullptr;
    EXPECT_EQ(fp_print_data_load(&dev_, c.finger, &out), c.result) << c.finger;
    EXPECT_NE(capture.Text().find(c.log), std::string::npos) << c.finger << capture.Text();
    EXPECT_EQ(out != nullptr, c.result == 0) << c.finger;
    fp_print_data_free(out);
  }
  alarm(0);
}

TEST_F(PrintStore, DiscoverSkipsNamesThatAreOnlyPartlyHexadecimal) {
  fp_print_data *print = Print(35, 0, "abc");
  ASSERT_EQ(fp_print_data_save(print, LEFT_THUMB), 0);
  fp_print_data_free(print);
  WriteFile(base_ + "/00zz/00000000/1", {'x'});
  WriteFile(base_ + "/0023/0000000g/1", {'x'});

  StderrCapture capture;
  fp_dscv_print **prints = fp_discover_prints();
  ASSERT_NE(prints, nullptr);
  std::vector<std::string> paths;
  for (fp_dscv_print **p = prints; *p != nullptr; p++) paths.push_back((*p)->path);
  fp_dscv_prints_free(prints);
  EXPECT_EQ(paths, std::vector<std::string>{base_ + "/0023/00000000/1"});
  EXPECT_NE(capture.Text().find("skipping drv id 00zz"), std::string::npos);
  EXPECT_NE(capture.Text().find("skipping devtype 0000000g"), std::string::npos);
}

}  // namespace
