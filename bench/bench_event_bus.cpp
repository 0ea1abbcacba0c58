// Posting and dispatching events to 8 subscribers, beside a std::mutex + std::deque queue
// doing the same delivery. Heap calls are counted by wrapping malloc: the bus should make
// none once its arena and event lists have grown to the frame's size.
#include <benchmark/benchmark.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "base/event_bus.h"

extern "C" void* __libc_malloc(size_t);
static std::atomic<uint64_t> g_heap_calls;
extern "C" void* malloc(size_t size) {
  g_heap_calls.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}

static uint64_t g_sum;
static void subscriber(uint32_t event, const void* data) { g_sum += event + *(const uint32_t*)data; }

// 64 events per frame, as a busy input frame might post.
static const int EVENTS_PER_FRAME = 64;

static void EventBusPostDispatch(benchmark::State& state) {
  event_bus_start();
  for (int i = 0; i < 8; i++) event_subscribe(subscriber);
  uint32_t payload = 7;
  // One warm-up frame grows the arena and the pool.
  for (int i = 0; i < EVENTS_PER_FRAME; i++) event_post_copy(EVENT_KEY, &payload, sizeof payload);
  event_dispatch();
  uint64_t heap_before = g_heap_calls.load();
  for (auto _ : state) {
    for (int i = 0; i < EVENTS_PER_FRAME; i++) event_post_copy(EVENT_KEY, &payload, sizeof payload);
    event_dispatch();
  }
  state.counters["heap_calls_per_event"] = benchmark::Counter(
      (double)(g_heap_calls.load() - heap_before) / ((double)state.iterations() * EVENTS_PER_FRAME));
  state.SetItemsProcessed(state.iterations() * EVENTS_PER_FRAME);
  event_bus_stop();
}

struct StdEvent {
  uint32_t number;
  uint32_t payload;
};

static void MutexDequePostDispatch(benchmark::State& state) {
  std::mutex queue_mutex;
  std::deque<StdEvent> queue;
  void (*subscribers[8])(uint32_t, const void*);
  for (auto& s : subscribers) s = subscriber;
  for (auto _ : state) {
    for (int i = 0; i < EVENTS_PER_FRAME; i++) {
      std::lock_guard<std::mutex> guard(queue_mutex);
      queue.push_back({EVENT_KEY, 7});
    }
    for (;;) {
      StdEvent e;
      {
        std::lock_guard<std::mutex> guard(queue_mutex);
        if (queue.empty()) break;
        e = queue.front();
        queue.pop_front();
      }
      for (auto s : subscribers) s(e.number, &e.payload);
    }
  }
  state.SetItemsProcessed(state.iterations() * EVENTS_PER_FRAME);
}

BENCHMARK(EventBusPostDispatch);
BENCHMARK(MutexDequePostDispatch);
