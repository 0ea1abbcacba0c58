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

struct Lock;
struct WorkerThread;

Lock* lock_create(void);
int lock_destroy(Lock* lock);
int lock_enter(Lock* lock);
int lock_leave(Lock* lock);
// Number of distinct locks the calling thread holds (0 or 1 in a correct program).
int lock_held_count(void);

int sleep_ms(unsigned milliseconds);

typedef void (*WorkerFn)(void);
// Null, with nothing left allocated, when worker is null or the system refuses a new thread.
WorkerThread* thread_start(WorkerFn worker, int repeat);
int thread_stop(WorkerThread* thread);
