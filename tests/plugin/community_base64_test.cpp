// The plug-in's decoding of stored texts gives the service's bytes: for
// every complete base64 text the same length and bytes as bio_base64_decode
// (also with unused bits set in the last group, and for texts of stored
// templates' size), and it refuses what is not complete base64, which the
// service's decoder would decode into bytes of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "biometric_common.h"
#include "fingers/rng.h"
#include "plugin/community_store.h"

namespace {

// The service's decoding of text: its length and bytes.
std::vector<unsigned char> ServiceDecode(const std::string &text, int *n) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  std::vector<unsigned char> out(text.size() + 4);
  *n = bio_base64_decode(copy.data(), out.data());
  out.resize(*n > 0 ? static_cast<size_t>(*n) : 0);
  return out;
}

// The plug-in's decoding, or an empty vector with *n = -1.
std::vector<unsigned char> OwnDecode(const std::string &text, long *n) {
  std::vector<unsigned char> out(text.size() / 4 * 3 + 1, 0xEE);
  *n = community_internal_base64_decode(text.data(), text.size(), out.data());
  out.resize(*n > 0 ? static_cast<size_t>(*n) : 0);
  return out;
}

std::string ServiceEncode(const std::vector<unsigned char> &bytes) {
  std::vector<char> text(bytes.size() / 3 * 4 + 8, '\0');
  std::vector<unsigned char> copy = bytes;
  bio_base64_encode(copy.data(), text.data(), static_cast<int>(copy.size()));
  return std::string(text.data());
}

void ExpectSameAsService(const std::string &text) {
  long own = 0;
  int service = 0;
  const std::vector<unsigned char> mine = OwnDecode(text, &own);
  const std::vector<unsigned char> theirs = ServiceDecode(text, &service);
  ASSERT_EQ(own, service) << text.substr(0, 80);
  EXPECT_TRUE(mine == theirs) << text.substr(0, 80);
}

TEST(StoredTextDecodingTest, CompleteTextsGiveTheServicesBytes) {
  fingers::Rng rng(2842);
  // Every length up to 70 bytes, and a stored template's size.
  std::vector<size_t> sizes;
  for (size_t n = 1; n <= 70; ++n) sizes.push_back(n);
  sizes.push_back(265 * 1024 + 1);
  for (size_t n : sizes) {
    std::vector<unsigned char> bytes(n);
    for (unsigned char &b : bytes) b = static_cast<unsigned char>(rng.Next());
    const std::string text = ServiceEncode(bytes);
    ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
    ExpectSameAsService(text);
    long own = 0;
    EXPECT_TRUE(OwnDecode(text, &own) == bytes) << n;
  }
  // Bits below the last byte of a padded group are not used by either.
  for (const char *text : {"QR==", "QZ==", "QUJ=", "QUL=", "//8=", "/w==", "+/+/"})
    ExpectSameAsService(text);
}

TEST(StoredTextDecodingTest, IncompleteTextsAreRefused) {
  for (const char *text : {"", "Q", "QQ", "QUJ", "QUJDR", "A===", "====", "AB=C", "QQ==QUJD",
                           "QU JD", "QU\nJ", "Q@JD", "-_ab", "QUJD====", "QUJ\x80", "=QUJ"}) {
    long n = 0;
    OwnDecode(text, &n);
    EXPECT_EQ(n, -1) << '"' << text << '"';
  }
  unsigned char out[3];
  EXPECT_EQ(community_internal_base64_decode(nullptr, 4, out), -1);
  EXPECT_EQ(community_internal_base64_decode("QUJD", 4, nullptr), -1);
}

// Every sample of the stored-feature fuzz corpus (one per line, as the fuzz
// target splits them): what the plug-in decodes, the service decodes alike.
TEST(StoredTextDecodingTest, FuzzCorpusSamplesDecodeAsTheServiceDoes) {
  size_t samples = 0, decoded = 0;
  for (const auto &entry : std::filesystem::directory_iterator(STORED_FEATURE_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;
    for (size_t i = 0; i <= content.size(); ++i) {
      if (i < content.size() && content[i] != '\n') {
        if (content[i] != '\0') text.push_back(content[i]);
        continue;
      }
      ++samples;
      long n = 0;
      OwnDecode(text, &n);
      if (n >= 0) {
        ++decoded;
        SCOPED_TRACE(entry.path().filename().string());
        ExpectSameAsService(text);
      }
      text.clear();
    }
  }
  EXPECT_GT(samples, 8u);
  EXPECT_GT(decoded, 4u);
}

}  // namespace
