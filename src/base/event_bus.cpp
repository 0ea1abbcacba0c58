#include "base/event_bus.h"

#include <cstring>

#include "base/arena.h"
#include "base/array.h"
#include "base/queue.h"
#include "base/thread.h"

struct Event {
  uint32_t number;
  void* data;
  EventRelease release;
};

static Lock* g_queue_lock;
static Lock* g_subscriber_lock;
static Array* g_subscribers;  // of EventHandler
static Queue* g_queue;        // of Event*
static Arena* g_arena;        // Event records and copied payloads
static bool g_dispatching;

void event_bus_start(void) {
  g_queue_lock = lock_create();
  g_subscriber_lock = lock_create();
  g_subscribers = array_create(sizeof(EventHandler), 8, compare_pointer);
  g_queue = queue_create();
  g_arena = arena_create(1024);
  g_dispatching = false;
}

static void event_release(void* item) {
  Event* e = (Event*)item;
  if (e->release) e->release(e->data);
}

void event_bus_stop(void) {
  lock_destroy(g_queue_lock);
  lock_destroy(g_subscriber_lock);
  g_queue_lock = g_subscriber_lock = nullptr;
  array_destroy(g_subscribers, nullptr);
  g_subscribers = nullptr;
  queue_destroy(g_queue, event_release);
  g_queue = nullptr;
  arena_destroy(g_arena);
  g_arena = nullptr;
}

void event_subscribe(EventHandler handler) {
  if (!handler || !g_subscribers) return;
  lock_enter(g_subscriber_lock);
  array_push(g_subscribers, &handler);
  lock_leave(g_subscriber_lock);
}

void event_unsubscribe(EventHandler handler) {
  if (!handler || !g_subscribers) return;
  lock_enter(g_subscriber_lock);
  array_remove_match(g_subscribers, &handler, nullptr);
  lock_leave(g_subscriber_lock);
}

void event_post(uint32_t event, void* data, EventRelease release) {
  if (!g_queue) return;
  lock_enter(g_queue_lock);
  Event* e = (Event*)arena_alloc(g_arena, sizeof(Event));
  e->number = event;
  e->data = data;
  e->release = release;
  queue_push(g_queue, e);
  lock_leave(g_queue_lock);
}

void event_post_copy(uint32_t event, const void* bytes, size_t length) {
  if (!g_queue) return;
  lock_enter(g_queue_lock);
  void* copy = nullptr;
  if (length) {
    copy = arena_alloc(g_arena, length);
    memcpy(copy, bytes, length);
  }
  Event* e = (Event*)arena_alloc(g_arena, sizeof(Event));
  e->number = event;
  e->data = copy;
  e->release = nullptr;
  queue_push(g_queue, e);
  lock_leave(g_queue_lock);
}

// The handler at index; null past the end. Only the main thread changes the list and only
// the main thread dispatches, so the dispatcher reads it without taking the lock.
static EventHandler event_subscriber_at(uint32_t index) {
  EventHandler* slot = array_item<EventHandler>(g_subscribers, index);
  return slot ? *slot : nullptr;
}

void event_dispatch(void) {
  // A nested dispatch would reset the arena under the outer handler's payload.
  if (!g_queue || g_dispatching) return;
  g_dispatching = true;
  for (;;) {
    lock_enter(g_queue_lock);
    Event* e = (Event*)queue_pop(g_queue);
    lock_leave(g_queue_lock);
    if (!e) break;
    EventHandler handler;
    for (uint32_t i = 0; (handler = event_subscriber_at(i)) != nullptr; i++) handler(e->number, e->data);
    if (e->release) {
      lock_enter(g_queue_lock);
      e->release(e->data);
      lock_leave(g_queue_lock);
    }
  }
  lock_enter(g_queue_lock);
  if (queue_count(g_queue) == 0) arena_reset(g_arena);
  lock_leave(g_queue_lock);
  g_dispatching = false;
}

uint32_t event_pending(void) {
  if (!g_queue) return 0;
  lock_enter(g_queue_lock);
  uint32_t n = queue_count(g_queue);
  lock_leave(g_queue_lock);
  return n;
}

size_t event_arena_reserved(void) {
  if (!g_arena) return 0;
  lock_enter(g_queue_lock);
  size_t n = arena_reserved(g_arena);
  lock_leave(g_queue_lock);
  return n;
}
