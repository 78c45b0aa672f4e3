// AES-128 against FIPS-197 and CFB-128 against SP 800-38A.
#include "plugin/aes_128_cfb.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Hex(const std::string &text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return bytes;
}

// FIPS-197 appendix C.1.
TEST(AesBlockTest, Fips197AppendixC1) {
  std::vector<uint8_t> key = Hex("000102030405060708090a0b0c0d0e0f");
  std::vector<uint8_t> plain = Hex("00112233445566778899aabbccddeeff");
  std::vector<uint8_t> expected = Hex("69c4e0d86a7b0430d8cdb78070b4c55a");
  uint8_t w[176];
  keyExpansion(key.data(), w);
  uint8_t out[16];
  cipher(plain.data(), out, w);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 16), expected);
  uint8_t back[16];
  invCipher(out, back, w);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 16), plain);
}

// FIPS-197 appendix A.1: the last round key of the key schedule, w[40..43]
// = d014f9a8 c9ee2589 e13f0cc8 b6630ca6, held column by column.
TEST(AesBlockTest, KeyScheduleLastRoundKey) {
  std::vector<uint8_t> key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  uint8_t w[176];
  keyExpansion(key.data(), w);
  std::vector<uint8_t> words = Hex("d014f9a8c9ee2589e13f0cc8b6630ca6");
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) EXPECT_EQ(w[160 + r * 4 + c], words[c * 4 + r]) << r << c;
}

TEST(AesBlockTest, FieldProduct) {
  const struct {
    uint8_t a, b, product;
  } cases[] = {{0x57, 0x83, 0xc1}, {0x57, 0x13, 0xfe}, {0x57, 0x02, 0xae},
               {0x80, 0x02, 0x1b}, {0x01, 0xff, 0xff}, {0x00, 0x53, 0x00}};
  for (const auto &c : cases) EXPECT_EQ(FFmul(c.a, c.b), c.product) << int(c.a) << " " << int(c.b);
}

// Each step and its inverse give the state back; a FIPS-197 round shows the
// forward steps in place: row r of the state moves left by r.
TEST(AesBlockTest, StepsAndTheirInverses) {
  uint8_t state[16];
  for (int i = 0; i < 16; ++i) state[i] = static_cast<uint8_t>(i * 17 + 3);
  uint8_t copy[16];
  std::copy(state, state + 16, copy);
  subBytes(state);
  invSubBytes(state);
  shiftRows(state);
  EXPECT_EQ(state[1 * 4 + 0], copy[1 * 4 + 1]);
  EXPECT_EQ(state[3 * 4 + 0], copy[3 * 4 + 3]);
  invShiftRows(state);
  mixColumns(state);
  invMixColumns(state);
  EXPECT_EQ(std::vector<uint8_t>(state, state + 16), std::vector<uint8_t>(copy, copy + 16));
}

// SP 800-38A F.3.13 and F.3.14 (CFB128-AES128).
const char kKey[] = "2b7e151628aed2a6abf7158809cf4f3c";
const char kIv[] = "000102030405060708090a0b0c0d0e0f";
const char kPlain[] =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char kCipher[] =
    "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
    "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6";

// A prefix of the plaintext encrypts to the same prefix of the ciphertext,
// with no padding; decryption gives the prefix back.
TEST(AesCfbTest, Sp80038aPrefixes) {
  std::vector<uint8_t> key = Hex(kKey), iv = Hex(kIv);
  std::vector<uint8_t> plain = Hex(kPlain), cipher_text = Hex(kCipher);
  for (int len : {0, 1, 15, 16, 17, 18, 32, 33, 64}) {
    SCOPED_TRACE(len);
    std::vector<uint8_t> out(80, 0xAA);
    EXPECT_EQ(AES_128_CFB_Encrypt(key.data(), iv.data(), plain.data(), len, out.data()), len);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + len),
              std::vector<uint8_t>(cipher_text.begin(), cipher_text.begin() + len));
    EXPECT_EQ(out[len], 0xAA) << "nothing written past len";
    std::vector<uint8_t> back(80, 0xAA);
    EXPECT_EQ(AES_128_CFB_Decrypt(key.data(), iv.data(), cipher_text.data(), len, back.data()),
              len);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + len),
              std::vector<uint8_t>(plain.begin(), plain.begin() + len));
    EXPECT_EQ(back[len], 0xAA);
  }
}

TEST(AesCfbTest, WorksInPlace) {
  std::vector<uint8_t> key = Hex(kKey), iv = Hex(kIv);
  std::vector<uint8_t> plain = Hex(kPlain), cipher_text = Hex(kCipher);
  plain.resize(37);
  cipher_text.resize(37);
  std::vector<uint8_t> data = plain;
  ASSERT_EQ(AES_128_CFB_Encrypt(key.data(), iv.data(), data.data(), 37, data.data()), 37);
  EXPECT_EQ(data, cipher_text);
  ASSERT_EQ(AES_128_CFB_Decrypt(key.data(), iv.data(), data.data(), 37, data.data()), 37);
  EXPECT_EQ(data, plain);
}

TEST(AesCfbTest, RefusesNegativeLengthAndWritesNothing) {
  std::vector<uint8_t> key = Hex(kKey), iv = Hex(kIv), plain = Hex(kPlain);
  std::vector<uint8_t> out(16, 0xAA);
  EXPECT_EQ(AES_128_CFB_Encrypt(key.data(), iv.data(), plain.data(), -1, out.data()), -1);
  EXPECT_EQ(AES_128_CFB_Decrypt(key.data(), iv.data(), plain.data(), -16, out.data()), -1);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0xAA));
}

}  // namespace
