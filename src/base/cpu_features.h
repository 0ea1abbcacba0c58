#pragma once
// Processor features that choose between the SSE and scalar variants of the hot math
// routines. The flags are detected once, on the first query, and cached for the life of the
// process; the cache is one atomic word, so a first query from a worker thread is as safe as
// one from the main thread (both would store the same answer). Without CPUID every flag is 0
// and every routine runs its scalar code; on processors other than x86 the same holds.
// 3DNow! is detected for completeness; no routine chooses by it.
#include <atomic>
#include <cstdint>

struct CpuFeatures {
  int cpuid;      // the CPUID instruction exists
  int mmx;        // leaf 1, EDX bit 23
  int sse;        // leaf 1, EDX bit 25, and the system saves SSE state
  int amd_3dnow;  // extended leaf 0x80000001, EDX bit 31
};

enum : uint32_t {
  CPU_DETECTED = 1u << 0,
  CPU_CPUID = 1u << 1,
  CPU_MMX = 1u << 2,
  CPU_SSE = 1u << 3,
  CPU_3DNOW = 1u << 4,
};

// The cached CPU_* bits; 0 until the first detection. Written only by cpu_features_detect.
extern std::atomic<uint32_t> cpu_feature_bits;

// Detects, caches and returns the CPU_* bits.
uint32_t cpu_features_detect(void);

static inline uint32_t cpu_feature_flags(void) {
  uint32_t bits = cpu_feature_bits.load(std::memory_order_relaxed);
  return bits & CPU_DETECTED ? bits : cpu_features_detect();
}

// The dispatchers' test: one load and one branch once detected.
static inline int cpu_has_sse(void) { return (cpu_feature_flags() & CPU_SSE) != 0; }
// The cached answer without detecting: 0 until something detected. For per-element hot paths
// whose variants give the same bits, where the scalar variant is a correct answer before
// the first detection and the detection call would cost more than it saves.
static inline int cpu_has_sse_cached(void) {
  return (cpu_feature_bits.load(std::memory_order_relaxed) & CPU_SSE) != 0;
}
static inline int cpu_has_mmx(void) { return (cpu_feature_flags() & CPU_MMX) != 0; }

CpuFeatures cpu_features(void);

// Tests only: with force set, detection behaves as on a processor whose CPUID is missing,
// so every dispatched routine takes its scalar path. Clears the cache either way; the next
// query detects again.
void cpu_features_force_no_cpuid(int force);
