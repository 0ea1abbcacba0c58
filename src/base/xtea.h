#pragma once
// XTEA block cipher (64-bit blocks, 128-bit key as four 32-bit words, 32 cycles) and
// XTEA in 64-bit cipher-feedback mode, used by the session protocol and the asset
// archives. Blocks are two 32-bit words; byte streams are read as little-endian words.
//
// CFB: each step enciphers the feedback register to a key stream block, XORs it into the
// data and feeds the ciphertext back. A tail of 1..7 bytes uses the first bytes of one more
// key stream block. Deciphering works in place.
#include <cstddef>
#include <cstdint>

void xtea_encipher(uint32_t block[2], const uint32_t key[4]);
void xtea_decipher(uint32_t block[2], const uint32_t key[4]);

void xtea_cfb_encipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]);
void xtea_cfb_decipher(uint8_t* data, size_t length, const uint32_t key[4], const uint32_t iv[2]);

// The session's byte-oriented forms: `iv` is 8 bytes (two little-endian words), `count`
// bytes are enciphered or deciphered in place. Null bytes or count < 1 do nothing.
void xtea_cfb_encrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count);
void xtea_cfb_decrypt(uint8_t* bytes, const uint32_t key[4], const uint8_t iv[8], ptrdiff_t count);
