// The decoding of stored texts: standard base64 (RFC 4648 alphabet, '='
// padding), four characters to three bytes by table look-ups.
#include <cstddef>
#include <cstdint>

#include "plugin/community_store.h"

namespace {

constexpr uint8_t kNotInAlphabet = 0xFF;

struct DecodeTable {
  uint8_t value[256];
  constexpr DecodeTable() : value() {
    for (int i = 0; i < 256; ++i) value[i] = kNotInAlphabet;
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(alphabet[i])] = static_cast<uint8_t>(i);
  }
};

constexpr DecodeTable kTable;

inline uint32_t Sextet(char c) { return kTable.value[static_cast<uint8_t>(c)]; }

}  // namespace

extern "C" long community_internal_base64_decode(const char *text, size_t len, unsigned char *out) {
  if (text == nullptr || out == nullptr || len == 0 || len % 4 != 0) return -1;
  size_t pad = 0;
  if (text[len - 1] == '=') ++pad;
  if (pad == 1 && text[len - 2] == '=') ++pad;
  const size_t full = (len - (pad != 0 ? 4 : 0)) / 4;  // groups without padding
  unsigned char *o = out;
  for (size_t g = 0; g < full; ++g, text += 4, o += 3) {
    const uint32_t a = Sextet(text[0]), b = Sextet(text[1]), c = Sextet(text[2]),
                   d = Sextet(text[3]);
    if (((a | b | c | d) & 0xC0u) != 0) return -1;  // a character not in the alphabet
    const uint32_t v = a << 18 | b << 12 | c << 6 | d;
    o[0] = static_cast<unsigned char>(v >> 16);
    o[1] = static_cast<unsigned char>(v >> 8);
    o[2] = static_cast<unsigned char>(v);
  }
  if (pad != 0) {
    // The last group: two characters and "==" give one byte, three and "="
    // two; the bits below the last byte are not used.
    const uint32_t a = Sextet(text[0]), b = Sextet(text[1]);
    const uint32_t c = pad == 1 ? Sextet(text[2]) : 0;
    if (((a | b | c) & 0xC0u) != 0) return -1;
    const uint32_t v = a << 18 | b << 12 | c << 6;
    *o++ = static_cast<unsigned char>(v >> 16);
    if (pad == 1) *o++ = static_cast<unsigned char>(v >> 8);
  }
  return static_cast<long>(o - out);
}
