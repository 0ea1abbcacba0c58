#pragma once
// Processor features that choose between the SSE and scalar variants of the hot math
// routines. The flags are detected once, on the first query, and cached for the life of the
// process (main thread first; the cache is only read afterwards). Without CPUID every flag is
// 0 and every routine runs its scalar code; on processors other than x86 the same holds.
// 3DNow! is detected for completeness; no routine chooses by it.

struct CpuFeatures {
  int detected;
  int cpuid;  // the CPUID instruction exists
  int mmx;    // leaf 1, EDX bit 23
  int sse;    // leaf 1, EDX bit 25 and the system saves SSE state
  int amd_3dnow;  // extended leaf 0x80000001, EDX bit 31
};

// Written only by cpu_features_detect; read through cpu_features().
extern CpuFeatures cpu_feature_cache;

void cpu_features_detect(void);

static inline const CpuFeatures* cpu_features(void) {
  if (!cpu_feature_cache.detected) cpu_features_detect();
  return &cpu_feature_cache;
}

// Tests only: with force set, detection behaves as on a processor whose CPUID is missing,
// so every dispatched routine takes its scalar path. Clears the cache either way; the next
// query detects again.
void cpu_features_force_no_cpuid(int force);
