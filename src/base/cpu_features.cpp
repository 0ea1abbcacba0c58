// The SSE probe installs its own signal handler rather than going through the platform layer:
// CPU features are read before anything else starts, the platform layer included.
#include "base/cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif
#if defined(__i386__) && !defined(_WIN32)
#include <setjmp.h>
#include <signal.h>
#endif

std::atomic<uint32_t> cpu_feature_bits;
static std::atomic<int> s_force_no_cpuid;

#if defined(__i386__) && !defined(_WIN32)
static sigjmp_buf s_sse_probe_jump;
static void sse_probe_trap(int) { siglongjmp(s_sse_probe_jump, 1); }

// A 32-bit system that does not save XMM registers traps the first SSE instruction.
static int system_accepts_sse(void) {
  struct sigaction trap = {}, previous = {};
  trap.sa_handler = sse_probe_trap;
  sigemptyset(&trap.sa_mask);
  if (sigaction(SIGILL, &trap, &previous) != 0) return 0;
  int ok = 0;
  if (sigsetjmp(s_sse_probe_jump, 1) == 0) {
    __asm__ volatile("xorps %%xmm0, %%xmm0" ::: "xmm0");
    ok = 1;
  }
  sigaction(SIGILL, &previous, nullptr);
  return ok;
}
#elif defined(__x86_64__) || defined(__i386__)
// The x86-64 ABI (and every 32-bit Windows since SSE existed) saves XMM state.
static int system_accepts_sse(void) { return 1; }
#endif

uint32_t cpu_features_detect(void) {
  uint32_t bits = CPU_DETECTED;
#if defined(__i386__) || defined(__x86_64__)
  // On 32-bit processors __get_cpuid_max first checks that the EFLAGS ID bit can be toggled.
  if (!s_force_no_cpuid.load() && __get_cpuid_max(0, nullptr) >= 1) {
    bits |= CPU_CPUID;
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
      if ((d >> 23) & 1) bits |= CPU_MMX;
      if (((d >> 25) & 1) && system_accepts_sse()) bits |= CPU_SSE;
    }
    if ((unsigned)__get_cpuid_max(0x80000000u, nullptr) >= 0x80000001u &&
        __get_cpuid(0x80000001u, &a, &b, &c, &d) && ((d >> 31) & 1))
      bits |= CPU_3DNOW;
  }
#endif
  cpu_feature_bits.store(bits);
  return bits;
}

CpuFeatures cpu_features(void) {
  uint32_t bits = cpu_feature_flags();
  return {(bits & CPU_CPUID) != 0, (bits & CPU_MMX) != 0, (bits & CPU_SSE) != 0, (bits & CPU_3DNOW) != 0};
}

void cpu_features_force_no_cpuid(int force) {
  s_force_no_cpuid.store(force ? 1 : 0);
  cpu_feature_bits.store(0);
}
