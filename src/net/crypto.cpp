#include "net/crypto.h"

#include <sodium.h>

#include "base/fatal.h"

static int32_t g_open;
static SecureRandomSource g_source;

int32_t secure_random_open(void) {
  g_open = sodium_init() >= 0 ? 1 : 0;
  return g_open;
}

void secure_random_close(void) { g_open = 0; }

SecureRandomSource secure_random_set_source(SecureRandomSource source) {
  SecureRandomSource previous = g_source;
  g_source = source;
  return previous;
}

int32_t secure_random(uint8_t* bytes, int32_t count) {
  if (!bytes || count < 1) return 0;
  if (g_source) return g_source(bytes, count);
  if (!g_open)
    fatal_exit("Failed to access the secure random number source - the application will now close.");
  randombytes_buf(bytes, (size_t)count);
  return 1;
}

void x25519_keypair(uint8_t public_key[32], uint8_t secret_key[32]) {
  secure_random(secret_key, X25519_KEY_BYTES);
  crypto_scalarmult_base(public_key, secret_key);
}

int32_t session_key_derive(uint8_t shared_key[32], const uint8_t peer_public_key[32],
                           const uint8_t secret_key[32]) {
  if (crypto_box_beforenm(shared_key, peer_public_key, secret_key) != 0) {
    sodium_memzero(shared_key, SHARED_KEY_BYTES);
    return -1;
  }
  return 0;
}

void crypto_wipe(void* bytes, uint64_t count) {
  if (bytes && count) sodium_memzero(bytes, (size_t)count);
}
