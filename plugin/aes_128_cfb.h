// AES-128 (FIPS-197) with CFB-128 encryption and decryption, exported by the
// plug-in. States and round keys are 4 x 4 byte matrices stored row by row:
// state[r * 4 + c] holds byte c * 4 + r of a block.
#ifndef PLUGIN_AES_128_CFB_H_
#define PLUGIN_AES_128_CFB_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// CFB-128 encryption of `len` bytes of `in` into `out` (which may be `in`
// itself), feedback = the output block. Writes exactly `len` bytes.
// Returns the number of bytes written (0 for len 0), or -1 for a negative
// length or a NULL pointer with len > 0 (nothing written).
int AES_128_CFB_Encrypt(const uint8_t key[16], const uint8_t iv[16], const uint8_t *in,
                        int len, uint8_t *out);
// CFB-128 decryption; feedback = the input block. Same results as encryption.
int AES_128_CFB_Decrypt(const uint8_t key[16], const uint8_t iv[16], const uint8_t *in,
                        int len, uint8_t *out);

// AES-128 key schedule: 11 round keys of 16 bytes, each in matrix layout.
void keyExpansion(const uint8_t key[16], uint8_t w[176]);
// Encrypts one block (block layout in and out) with the expanded key.
void cipher(const uint8_t in[16], uint8_t out[16], const uint8_t w[176]);
// Decrypts one block (block layout in and out) with the expanded key.
void invCipher(const uint8_t in[16], uint8_t out[16], const uint8_t w[176]);
// Product of a and b in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
uint8_t FFmul(uint8_t a, uint8_t b);
// S-box and inverse S-box on every byte of the state.
void subBytes(uint8_t state[16]);
void invSubBytes(uint8_t state[16]);
// Rotates row r of the state left (inverse: right) by r.
void shiftRows(uint8_t state[16]);
void invShiftRows(uint8_t state[16]);
// Mixes each column with 2, 3, 1, 1 (inverse: 14, 11, 13, 9).
void mixColumns(uint8_t state[16]);
void invMixColumns(uint8_t state[16]);
// XORs a round key into the state.
void addRoundKey(uint8_t state[16], const uint8_t key[16]);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_AES_128_CFB_H_
