#pragma once
// Session cryptography: the process-wide secure random source, X25519 key pairs and the
// session key derivation (X25519 then HSalsa20, NaCl's crypto_box_beforenm), all through
// libsodium. XTEA-CFB and CRC-32 live in base/xtea.h and base/crc32.h (the asset archives
// share them).
//
// A missing random source is fatal at its first use: "Client Error" with the message below,
// exit code 1. A peer key that yields an all-zero shared secret (low order, malformed) makes
// session_key_derive fail; callers must not use the output then. Secret and shared key
// material is wiped by whoever holds it (sodium_memzero) as soon as it is no longer needed.
#include <cstdint>

enum { X25519_KEY_BYTES = 32, SHARED_KEY_BYTES = 32, SESSION_KEY_BYTES = 16 };

// Starts libsodium; the source counts as missing if that fails. Returns 1 when available.
int32_t secure_random_open(void);
void secure_random_close(void);
// Fills count bytes. 0 for null bytes or count < 1; fatal when no source is open.
int32_t secure_random(uint8_t* bytes, int32_t count);

// Test seam: a replacement that fills the bytes and answers non-zero (null restores the
// system source). Returns the previous replacement.
typedef int32_t (*SecureRandomSource)(uint8_t* bytes, int32_t count);
SecureRandomSource secure_random_set_source(SecureRandomSource source);

// Secret key: 32 bytes from secure_random; public key: X25519(secret, 9).
void x25519_keypair(uint8_t public_key[32], uint8_t secret_key[32]);
// shared_key = HSalsa20(X25519(secret_key, peer_public_key), zero input). 0 on success,
// -1 when the peer key is unusable (the output is zeroed then).
int32_t session_key_derive(uint8_t shared_key[32], const uint8_t peer_public_key[32],
                           const uint8_t secret_key[32]);

// Clears memory in a way the optimiser keeps.
void crypto_wipe(void* bytes, uint64_t count);
