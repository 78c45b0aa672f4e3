// Corpus folders: file names, listing order and PGM decoding.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "accuracy/pgm_corpus.h"
#include "fingers/image.h"

namespace {

TEST(PgmCorpusTest, ParsesOnlyFingerUnderscoreImpressionPgmNames) {
  struct Case {
    const char *name;
    bool ok;
    int finger, impression;
  };
  const Case cases[] = {
      {"1_1.pgm", true, 1, 1},           {"101_8.pgm", true, 101, 8},
      {"007_12.pgm", true, 7, 12},       {"1_1.tif", false, 0, 0},
      {"1_1_raw.pgm", false, 0, 0},      {"_1.pgm", false, 0, 0},
      {"1_.pgm", false, 0, 0},           {"a_1.pgm", false, 0, 0},
      {"-1_1.pgm", false, 0, 0},         {"1234567890_1.pgm", false, 0, 0},
      {"truth.csv", false, 0, 0},        {".pgm", false, 0, 0},
  };
  for (const Case &c : cases) {
    int f = -1, i = -1;
    EXPECT_EQ(accuracy::ParseCorpusName(c.name, &f, &i), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(f, c.finger) << c.name;
      EXPECT_EQ(i, c.impression) << c.name;
    }
  }
}

TEST(PgmCorpusTest, ListsByFingerThenImpressionNumerically) {
  const std::string dir = ::testing::TempDir() + "zq_accuracy_corpus_list";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (const char *n : {"10_1.pgm", "2_10.pgm", "2_2.pgm", "1_1.pgm", "notes.txt", "3_x.pgm"}) {
    std::ofstream(dir + "/" + n) << "x";
  }
  std::filesystem::create_directories(dir + "/4_1.pgm");  // a folder, not an impression
  const auto entries = accuracy::ListCorpus(dir);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].Name(), "1_1");
  EXPECT_EQ(entries[1].Name(), "2_2");
  EXPECT_EQ(entries[2].Name(), "2_10");
  EXPECT_EQ(entries[3].Name(), "10_1");
  EXPECT_EQ(entries[2].path, dir + "/2_10.pgm");
  std::filesystem::remove_all(dir);
  EXPECT_THROW(accuracy::ListCorpus(dir), std::runtime_error);
  std::filesystem::create_directories(dir);
  EXPECT_THROW(accuracy::ListCorpus(dir), std::runtime_error);  // no impression
  std::filesystem::remove_all(dir);
}

TEST(PgmCorpusTest, DecodesWhatTheGeneratorWritesAndRefusesBrokenFiles) {
  accuracy::GrayImage img;
  std::string error;
  ASSERT_TRUE(accuracy::DecodePgm(fingers::EncodePgm(3, 2, {0, 1, 2, 253, 254, 255}), &img, &error));
  EXPECT_EQ(img.width, 3);
  EXPECT_EQ(img.height, 2);
  EXPECT_EQ(img.pixels, (std::vector<uint8_t>{0, 1, 2, 253, 254, 255}));
  // A comment in the header; the byte after maxval is the first pixel's
  // separator even when the first pixel is white space (10).
  ASSERT_TRUE(accuracy::DecodePgm(std::string("P5 # made by hand\n2 1 255\n\n\x07", 28), &img, &error));
  EXPECT_EQ(img.pixels, (std::vector<uint8_t>{10, 7}));

  const std::string broken[] = {
      "P2\n1 1\n255\n0",              // text PGM
      std::string("P5\n2 2\n255\n\x01\x02\x03", 14),  // short pixel block
      "P5\n1 1\n65535\n\x00\x00",     // 16-bit
      "P5\n0 1\n255\n",               // empty image
      "P5\n1 1\n255",                 // no separator, no pixel
      "P5\n1",                        // header cut short
      "P5\n99999 1\n255\n",           // too wide
  };
  for (const std::string &b : broken) {
    error.clear();
    EXPECT_FALSE(accuracy::DecodePgm(b, &img, &error)) << b;
    EXPECT_FALSE(error.empty()) << b;
  }
  EXPECT_THROW(accuracy::ReadPgm(::testing::TempDir() + "no_such_impression.pgm"),
               std::runtime_error);
}

}  // namespace
