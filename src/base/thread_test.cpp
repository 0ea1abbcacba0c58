#include "base/thread.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#endif
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "base/random.h"

TEST(Random, ClassicGeneratorSequence) {
  random_seed(0);
  EXPECT_EQ(random_next(), 38);
  random_seed(1);
  int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int e : expected) EXPECT_EQ(random_next(), e);
  for (int i = 0; i < 100; i++) EXPECT_EQ(random_int(5, 6), 5);
  EXPECT_EQ(random_int(7, 7), 7);  // high <= low gives low
  EXPECT_EQ(random_int(7, 3), 7);
  // 32767 is reachable, and random_float then returns exactly the upper end.
  random_seed(0);
  bool reached_top = false;
  for (int i = 0; i < 200000 && !reached_top; i++) {
    float f = random_float(0.0f, 1.0f);
    ASSERT_GE(f, 0.0f);
    ASSERT_LE(f, 1.0f);
    reached_top = f == 1.0f;
  }
  EXPECT_TRUE(reached_top);
}

static std::atomic<int> g_runs;
static std::atomic<bool> g_inside;
static void count_run(void) { g_runs++; }
static void slow_run(void) {
  g_inside = true;
  sleep_ms(20);
  g_runs++;
  g_inside = false;
}

TEST(WorkerThread, OneShotAndRepeating) {
  g_runs = 0;
  WorkerThread* once = thread_start(count_run, 0);
  ASSERT_NE(once, nullptr);
  sleep_ms(20);
  EXPECT_EQ(thread_stop(once), 1);
  EXPECT_EQ(g_runs.load(), 1);

  g_runs = 0;
  WorkerThread* again = thread_start(count_run, 1);
  while (g_runs.load() < 5) sleep_ms(1);
  EXPECT_EQ(thread_stop(again), 1);
  int after = g_runs.load();
  sleep_ms(10);
  EXPECT_EQ(g_runs.load(), after);  // no call after the stop returned

  // Stopped while running: the current call completes, no further call starts.
  g_runs = 0;
  g_inside = false;
  WorkerThread* slow = thread_start(slow_run, 1);
  while (!g_inside.load()) sleep_ms(1);
  EXPECT_EQ(thread_stop(slow), 1);
  EXPECT_FALSE(g_inside.load());
  EXPECT_EQ(g_runs.load(), 1);

  // Waking a repeating worker only brings its next run forward: it keeps running, stops
  // cleanly, and a wake of nothing does nothing.
  g_runs = 0;
  WorkerThread* woken = thread_start(count_run, 1);
  ASSERT_NE(woken, nullptr);
  for (int i = 0; i < 100; i++) thread_wake(woken);
  while (g_runs.load() < 5) sleep_ms(1);
  EXPECT_EQ(thread_stop(woken), 1);
  thread_wake(nullptr);

  EXPECT_EQ(thread_start(nullptr, 0), nullptr);
  EXPECT_EQ(thread_stop(nullptr), 0);
}

TEST(Lock, ReentrantAndCounted) {
  Lock* lock = lock_create();
  EXPECT_EQ(lock_held_count(), 0);
  lock_enter(lock);
  lock_enter(lock);
  EXPECT_EQ(lock_held_count(), 1);  // one lock, entered twice
  lock_leave(lock);
  EXPECT_EQ(lock_held_count(), 1);
  lock_leave(lock);
  EXPECT_EQ(lock_held_count(), 0);
  EXPECT_EQ(lock_destroy(lock), 1);
  EXPECT_EQ(lock_destroy(nullptr), 0);
}

// Threads fighting over one lock, entering it twice each time: no increment is lost, and
// a thread that wants a held lock waits until the holder has left it completely.
TEST(Lock, ExcludesOtherThreadsUntilTheLastLeave) {
  Lock* lock = lock_create();
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; i++) {
        lock_enter(lock);
        lock_enter(lock);
        long seen = counter;
        if (i % 1000 == 0) std::this_thread::yield();  // invite the others onto the word
        counter = seen + 1;
        lock_leave(lock);
        lock_leave(lock);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, 4 * 20000);

  std::atomic<int> inside{0};
  lock_enter(lock);
  lock_enter(lock);
  std::thread other([&] {
    lock_enter(lock);
    inside = 1;
    EXPECT_EQ(lock_held_count(), 1);
    lock_leave(lock);
  });
  sleep_ms(20);
  EXPECT_EQ(inside.load(), 0);
  lock_leave(lock);
  sleep_ms(20);
  EXPECT_EQ(inside.load(), 0);  // still entered once
  lock_leave(lock);
  other.join();
  EXPECT_EQ(inside.load(), 1);
  EXPECT_EQ(lock_held_count(), 0);
  lock_destroy(lock);
}

// A lock entered while the process had one thread must still keep out a thread started
// afterwards, and wake it on leaving. A forked child keeps the parent's count of threads,
// so the test runs itself again in a new process that has started none.
static const char* const SINGLE_THREAD_CHILD = "LOCK_TEST_SINGLE_THREAD_CHILD";

TEST(LockFreshProcess, EnteredBeforeTheSecondThreadStillExcludesIt) {
  if (!getenv(SINGLE_THREAD_CHILD)) GTEST_SKIP() << "runs only in the process the next test starts";
#if __has_include(<sys/single_threaded.h>)
  if (!__libc_single_threaded) _exit(77);
#endif
  alarm(10);  // a waiter nobody wakes ends the process instead of hanging it
  Lock* lock = lock_create();
  lock_enter(lock);
  std::atomic<int> inside{0};
  std::thread other([&] {
    lock_enter(lock);
    inside = 1;
    lock_leave(lock);
  });
  sleep_ms(30);
  int early = inside.load();
  lock_leave(lock);
  other.join();
  lock_enter(lock);  // free again, entered on the other side of the change
  lock_leave(lock);
  _exit(early != 0 ? 2 : inside.load() != 1 ? 3 : 0);
}

TEST(Lock, EnteredBeforeTheSecondThreadStillExcludesIt) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setenv(SINGLE_THREAD_CHILD, "1", 1);
    char arg0[] = "unit_tests";
    char filter[] = "--gtest_filter=LockFreshProcess.EnteredBeforeTheSecondThreadStillExcludesIt";
    char* argv[] = {arg0, filter, nullptr};
    execv("/proc/self/exe", argv);
    _exit(78);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "the new process already had a second thread";
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "2: the thread got in while the lock was held, 3: it never got in, 78: no new process";
}

#ifndef NDEBUG
TEST(LockDeathTest, SecondLockAbortsInDebugBuilds) {
  EXPECT_DEATH(
      {
        Lock* a = lock_create();
        Lock* b = lock_create();
        lock_enter(a);
        lock_enter(b);
      },
      "second lock");
}
#endif

// A process that may start no more threads: creation fails inside the system, and the
// call must report it instead of ending the process. Run in a child that gives up root
// (which ignores the process limit) and then forbids any new process or thread.
TEST(WorkerThread, CreationFailureReturnsNullAndKeepsNothing) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(77);
    struct rlimit none = {0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) _exit(77);
    // The first refusal leaves the C library's own thread bookkeeping behind; the second
    // shows what thread_start itself keeps.
    if (thread_start(count_run, 1)) _exit(2);
    size_t before = mallinfo2().uordblks;
    if (thread_start(count_run, 1)) _exit(2);
    _exit(mallinfo2().uordblks == before ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot give up root here";
  ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "2: a thread was returned, 3: memory was kept";
}
