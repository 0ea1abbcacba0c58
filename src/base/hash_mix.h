#pragma once
// A bijective 32-bit integer mix (lowbias32: xor-shifts and multiplies by odd constants, all
// modulo 2^32) with its inverse, and fresh secrets to key it with. Maps whose keys come from
// a server or a file place them by the mix of key ^ secret: keys chosen to share their low
// bits then land far apart, and without the secret nobody can choose keys that collide.
// The archives' directory key schedule is built on the same mix, so its constants are fixed
// for good. Not a cryptographic hash.
#include <cstdint>

static inline uint32_t hash_mix32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// hash_unmix32(hash_mix32(x)) == x for every x (for tests and tools that must find the key
// landing on a given slot).
static inline uint32_t hash_unmix32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x43021123u;
  x ^= x >> 15 ^ x >> 30;
  x *= 0x1D69E2A5u;
  x ^= x >> 16;
  return x;
}

// A new secret on every call, from the clock, the address of record (any caller-owned
// object) and a process-wide counter. Thread-safe.
uint32_t hash_mix_secret(const void* record);
