#include "base/mem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/fatal.h"

TEST(Memory, AlignedBlocksKeepContentsAcrossRealloc) {
  for (size_t alignment : {2u, 8u, 16u, 64u, 4096u}) {
    uint8_t* p = (uint8_t*)mem_alloc_aligned(100, alignment);
    ASSERT_EQ((uintptr_t)p % alignment, 0u);
    EXPECT_EQ(mem_aligned_size(p), 100u);
    for (int i = 0; i < 100; i++) p[i] = (uint8_t)i;
    for (size_t size : {1000u, 50u, 100000u}) {
      p = (uint8_t*)mem_realloc_aligned(p, size, alignment);
      ASSERT_EQ((uintptr_t)p % alignment, 0u);
      for (int i = 0; i < 50; i++) ASSERT_EQ(p[i], (uint8_t)i) << alignment << " " << size;
    }
    mem_free_aligned(p);
  }
  // A bad alignment becomes 16; size 0 is 1; null frees are ignored.
  void* p = mem_alloc_aligned(0, 3);
  EXPECT_EQ((uintptr_t)p % 16, 0u);
  EXPECT_EQ(mem_aligned_size(p), 1u);
  mem_free_aligned(p);
  mem_free_aligned(nullptr);
  mem_free(nullptr);
}

// Each allocating call counts once, the aligned ones included; freeing counts nothing.
TEST(Memory, AllocationCountCountsEveryAllocatingCall) {
  struct Case {
    const char* what;
    void (*run)(void);
    uint64_t calls;
  } cases[] = {
      {"alloc", [] { mem_free(mem_alloc(10)); }, 1},
      {"calloc", [] { mem_free(mem_calloc(3, 4)); }, 1},
      {"alloc then realloc", [] { mem_free(mem_realloc(mem_alloc(1), 64)); }, 2},
      {"aligned alloc", [] { mem_free_aligned(mem_alloc_aligned(10, 64)); }, 1},
      {"aligned realloc of null and again",
       [] { mem_free_aligned(mem_realloc_aligned(mem_realloc_aligned(nullptr, 8, 16), 800, 16)); }, 2},
      {"frees only",
       [] {
         mem_free(nullptr);
         mem_free_aligned(nullptr);
       },
       0},
  };
  for (const Case& c : cases) {
    uint64_t before = mem_allocation_count();
    c.run();
    EXPECT_EQ(mem_allocation_count() - before, c.calls) << c.what;
  }
}

TEST(MemoryDeathTest, OutOfMemoryShowsTheMessageAndExitsWithOne) {
  EXPECT_EXIT(mem_alloc(SIZE_MAX / 2), testing::ExitedWithCode(1),
              "Out of memory - the application will now close.");
  // The product of count and size overflows: out of memory, not a small block.
  EXPECT_EXIT(mem_calloc(SIZE_MAX / 2, 4), testing::ExitedWithCode(1), "Out of memory");
}

static void sink_marker(const char* text) { fprintf(stderr, "[sink] %s\n", text); }

TEST(MemoryDeathTest, FatalSinkSeesTheMessage) {
  EXPECT_EXIT(
      {
        fatal_set_sink(sink_marker);
        mem_realloc(nullptr, SIZE_MAX / 2);
      },
      testing::ExitedWithCode(1), "\\[sink\\] Out of memory");
}
