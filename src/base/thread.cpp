// Threads are started with pthread_create itself: it reports failure as a code, where the
// standard thread type can only throw, which this library never catches.
#include "base/thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

#include "base/fatal.h"
#include "base/mem.h"

#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
// Set by the C library while the process has never had a second thread; it never turns back.
static inline bool process_single_threaded(void) { return __libc_single_threaded != 0; }
#else
static inline bool process_single_threaded(void) { return false; }
#endif

// A lock word (0 free, 1 held, 2 held and someone may sleep on it) with the holder's
// token beside it for re-entry. Entering a free lock is one compare-and-swap and leaving it
// one exchange; only a lock that was contended reaches the kernel (the atomic's wait and
// notify sleep on the word itself). While the process has a single thread nobody can watch
// the word, so it is read and written plainly, as the C library's own mutexes do; a thread
// started later sees the word as it was when it was started.
struct Lock {
  std::atomic<uint32_t> word;
  // The holder's token or 0. Another thread may change it at any moment, but never to the
  // reader's own token, so a thread that reads its own token does hold the lock.
  std::atomic<uintptr_t> holder;
  int depth;  // touched only by the holder
};

enum : uint32_t { LOCK_FREE = 0, LOCK_HELD = 1, LOCK_CONTENDED = 2 };

static thread_local int g_locks_held;

// The address of a thread-local variable names the thread for as long as it runs.
static inline uintptr_t thread_token(void) { return (uintptr_t)&g_locks_held; }

Lock* lock_create(void) {
  Lock* lock = (Lock*)mem_alloc(sizeof(Lock));
  new (lock) Lock();
  lock->word.store(LOCK_FREE, std::memory_order_relaxed);
  lock->holder.store(0, std::memory_order_relaxed);
  lock->depth = 0;
  return lock;
}

int lock_destroy(Lock* lock) {
  if (!lock) return 0;
  lock->~Lock();
  mem_free(lock);
  return 1;
}

// Marks the word contended before each sleep, so the holder's leave knows to wake someone.
__attribute__((noinline)) static void lock_wait(Lock* lock) {
  while (lock->word.exchange(LOCK_CONTENDED, std::memory_order_acquire) != LOCK_FREE)
    lock->word.wait(LOCK_CONTENDED, std::memory_order_relaxed);
}

int lock_enter(Lock* lock) {
  if (!lock) return 0;
  uintptr_t me = thread_token();
  if (lock->holder.load(std::memory_order_relaxed) == me) {
    lock->depth++;
    return 1;
  }
  uint32_t expected = LOCK_FREE;
  if (process_single_threaded() && lock->word.load(std::memory_order_relaxed) == LOCK_FREE)
    lock->word.store(LOCK_HELD, std::memory_order_relaxed);
  else if (!lock->word.compare_exchange_strong(expected, LOCK_HELD, std::memory_order_acquire,
                                               std::memory_order_relaxed))
    lock_wait(lock);
  lock->holder.store(me, std::memory_order_relaxed);
  lock->depth = 1;
  g_locks_held++;
  BASE_ASSERT(g_locks_held == 1 && "a thread entered a second lock while holding one");
  return 1;
}

int lock_leave(Lock* lock) {
  if (!lock) return 0;
  if (--lock->depth != 0) return 1;
  g_locks_held--;
  lock->holder.store(0, std::memory_order_relaxed);
  if (process_single_threaded())
    lock->word.store(LOCK_FREE, std::memory_order_relaxed);
  else if (lock->word.exchange(LOCK_FREE, std::memory_order_release) == LOCK_CONTENDED)
    lock->word.notify_one();
  return 1;
}

int lock_held_count(void) { return g_locks_held; }

int sleep_ms(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return 1;
}

struct WorkerThread {
  WorkerFn worker;
  int repeat;
  pthread_t thread;
  std::mutex stop_mutex;
  std::condition_variable stop_changed;
  bool stop;
};

static void* worker_body(void* arg) {
  WorkerThread* t = (WorkerThread*)arg;
  t->worker();
  while (t->repeat) {
    std::unique_lock<std::mutex> guard(t->stop_mutex);
    if (t->stop_changed.wait_for(guard, std::chrono::milliseconds(1), [t] { return t->stop; })) break;
    guard.unlock();
    t->worker();
  }
  return nullptr;
}

WorkerThread* thread_start(WorkerFn worker, int repeat) {
  if (!worker) return nullptr;
  WorkerThread* t = (WorkerThread*)mem_alloc(sizeof(WorkerThread));
  new (t) WorkerThread();
  t->worker = worker;
  t->repeat = repeat;
  t->stop = false;
  if (pthread_create(&t->thread, nullptr, worker_body, t) != 0) {
    t->~WorkerThread();
    mem_free(t);
    return nullptr;
  }
  return t;
}

int thread_stop(WorkerThread* t) {
  if (!t) return 0;
  {
    std::lock_guard<std::mutex> guard(t->stop_mutex);
    t->stop = true;
  }
  t->stop_changed.notify_all();
  int ok = pthread_join(t->thread, nullptr) == 0;
  t->~WorkerThread();
  mem_free(t);
  return ok;
}
