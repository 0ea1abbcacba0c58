// Threads are started with pthread_create itself: it reports failure as a code, where the
// standard thread type can only throw, which this library never catches.
#include "base/thread.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "base/fatal.h"
#include "base/mem.h"

struct Lock {
  std::recursive_mutex mutex;
  int depth;  // touched only by the holder
};

static thread_local int g_locks_held;

Lock* lock_create(void) {
  Lock* lock = (Lock*)mem_alloc(sizeof(Lock));
  new (lock) Lock();
  lock->depth = 0;
  return lock;
}

int lock_destroy(Lock* lock) {
  if (!lock) return 0;
  lock->~Lock();
  mem_free(lock);
  return 1;
}

int lock_enter(Lock* lock) {
  if (!lock) return 0;
  lock->mutex.lock();
  if (++lock->depth == 1) {
    g_locks_held++;
    BASE_ASSERT(g_locks_held == 1 && "a thread entered a second lock while holding one");
  }
  return 1;
}

int lock_leave(Lock* lock) {
  if (!lock) return 0;
  if (--lock->depth == 0) g_locks_held--;
  lock->mutex.unlock();
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
