#include "base/hash_mix.h"

#include <atomic>
#include <chrono>

uint32_t hash_mix_secret(const void* record) {
  static std::atomic<uint32_t> counter;
  uint64_t now = (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count();
  uint64_t mixed = now ^ (uint64_t)(uintptr_t)record ^ ((uint64_t)++counter << 32);
  return hash_mix32((uint32_t)mixed ^ hash_mix32((uint32_t)(mixed >> 32)));
}
