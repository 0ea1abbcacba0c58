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
const char* const lock_single_threaded_flag = &__libc_single_threaded;
#else
static const char g_never_single_threaded = 0;
const char* const lock_single_threaded_flag = &g_never_single_threaded;
#endif

thread_local constinit int lock_thread_held;

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
void lock_wait(Lock* lock) {
  while (lock->word.exchange(LOCK_CONTENDED, std::memory_order_acquire) != LOCK_FREE)
    lock->word.wait(LOCK_CONTENDED, std::memory_order_relaxed);
}

void lock_wake(Lock* lock) { lock->word.notify_one(); }

int lock_held_count(void) { return lock_thread_held; }

int sleep_ms(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return 1;
}

struct WorkerThread {
  WorkerFn worker;
  int repeat;
  pthread_t thread;
  std::mutex stop_mutex;
  std::condition_variable stop_changed;  // also signals a wake
  bool stop;
  bool wake;
};

static void* worker_body(void* arg) {
  WorkerThread* t = (WorkerThread*)arg;
  t->worker();
  while (t->repeat) {
    std::unique_lock<std::mutex> guard(t->stop_mutex);
    t->stop_changed.wait_for(guard, std::chrono::milliseconds(1), [t] { return t->stop || t->wake; });
    if (t->stop) break;
    t->wake = false;
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
  t->wake = false;
  if (pthread_create(&t->thread, nullptr, worker_body, t) != 0) {
    t->~WorkerThread();
    mem_free(t);
    return nullptr;
  }
  return t;
}

void thread_wake(WorkerThread* t) {
  if (!t) return;
  {
    std::lock_guard<std::mutex> guard(t->stop_mutex);
    t->wake = true;
  }
  t->stop_changed.notify_all();
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
