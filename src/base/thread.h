#pragma once
// Re-entrant locks and worker threads.
//
// A Lock may be entered again by the thread that holds it; each enter needs a leave. No
// code path may hold two different locks at once: debug builds count the locks each thread
// holds and abort when a second one is entered.
//
// A worker thread calls its function once, then, when repeating, again after each wait of
// up to 1 ms for the stop signal; thread_stop sets the signal and joins, so a running call
// always completes and no further call starts.

//
// Entering a free lock is one compare-and-swap and leaving it one exchange, inline; only a
// contended lock calls out and sleeps (on the lock word itself). While the process has never
// had a second thread the word is read and written plainly, as the C library's own mutexes
// do; a thread started later sees the word as it was when it was started.
#include <atomic>
#include <cstdint>

#include "base/fatal.h"

// Points at the C library's flag that is set while the process has never had a second thread
// (it never turns back), or at a constant 0 where the library has none. Set in thread.cpp,
// which may include the system's headers.
extern const char* const lock_single_threaded_flag;
static inline bool lock_process_single_threaded(void) { return *lock_single_threaded_flag != 0; }

struct WorkerThread;

// Public for the inline paths below only: touch it through the lock_* functions.
struct Lock {
  std::atomic<uint32_t> word;  // LOCK_FREE, LOCK_HELD or LOCK_CONTENDED (someone may sleep)
  // The holder's token or 0. Another thread may change it at any moment, but never to the
  // reader's own token, so a thread that reads its own token does hold the lock.
  std::atomic<uintptr_t> holder;
  int depth;  // touched only by the holder
};
enum : uint32_t { LOCK_FREE = 0, LOCK_HELD = 1, LOCK_CONTENDED = 2 };

// Distinct locks the thread holds; its address is the thread's token.
extern thread_local constinit int lock_thread_held;

// The contended halves of entering and leaving.
[[gnu::cold]] void lock_wait(Lock* lock);
[[gnu::cold]] void lock_wake(Lock* lock);

Lock* lock_create(void);
int lock_destroy(Lock* lock);

static inline int lock_enter(Lock* lock) {
  if (!lock) return 0;
  uintptr_t me = (uintptr_t)&lock_thread_held;
  if (lock->holder.load(std::memory_order_relaxed) == me) {
    lock->depth++;
    return 1;
  }
  uint32_t expected = LOCK_FREE;
  if (lock_process_single_threaded() && lock->word.load(std::memory_order_relaxed) == LOCK_FREE)
    lock->word.store(LOCK_HELD, std::memory_order_relaxed);
  else if (!lock->word.compare_exchange_strong(expected, LOCK_HELD, std::memory_order_acquire,
                                               std::memory_order_relaxed))
    lock_wait(lock);
  lock->holder.store(me, std::memory_order_relaxed);
  lock->depth = 1;
  lock_thread_held++;
  BASE_ASSERT(lock_thread_held == 1 && "a thread entered a second lock while holding one");
  return 1;
}

static inline int lock_leave(Lock* lock) {
  if (!lock) return 0;
  if (--lock->depth != 0) return 1;
  lock_thread_held--;
  lock->holder.store(0, std::memory_order_relaxed);
  if (lock_process_single_threaded())
    lock->word.store(LOCK_FREE, std::memory_order_relaxed);
  else if (lock->word.exchange(LOCK_FREE, std::memory_order_release) == LOCK_CONTENDED)
    lock_wake(lock);
  return 1;
}

// Number of distinct locks the calling thread holds (0 or 1 in a correct program).
int lock_held_count(void);

int sleep_ms(unsigned milliseconds);

typedef void (*WorkerFn)(void);
// Null, with nothing left allocated, when worker is null or the system refuses a new thread.
WorkerThread* thread_start(WorkerFn worker, int repeat);
int thread_stop(WorkerThread* thread);
// Ends a repeating worker's pause between runs at once (or the next one, when it is running),
// so work handed to it starts without waiting out the millisecond. Null does nothing.
void thread_wake(WorkerThread* thread);
