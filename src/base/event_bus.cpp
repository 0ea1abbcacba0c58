#include "base/event_bus.h"

#include <cstring>

#include "base/arena.h"
#include "base/array.h"
#include "base/mem.h"
#include "base/thread.h"

struct Event {
  uint32_t number;
  void* data;
  EventRelease release;
};

// Events in posting order, held by value so a post is one store under the lock.
struct EventList {
  Event* items;
  uint32_t count;
  uint32_t capacity;
};

static Lock* g_queue_lock;
static Lock* g_subscriber_lock;
static Array* g_subscribers;  // of EventHandler
// Producers append to the posted list under the queue lock; the dispatcher swaps it with
// the (empty) delivering list in one step and then works through its batch without the
// lock. Only the main thread touches the delivering list.
static EventList g_posted;
static EventList g_delivering;
static uint32_t g_delivered;  // events of the batch already delivered
static Arena* g_arena;        // copied payloads
static bool g_started;
// Bumped by every change to the subscriber list (main thread only), so the dispatcher can
// keep the list in registers between handler calls and reread it only after a change.
static uint32_t g_subscriber_changes;
static bool g_dispatching;

static void event_list_push(EventList* list, Event e) {
  if (list->count == list->capacity) {
    list->capacity = list->capacity ? list->capacity * 2 : 64;
    list->items = (Event*)mem_realloc(list->items, (size_t)list->capacity * sizeof(Event));
  }
  list->items[list->count++] = e;
}

static void event_list_release(EventList* list, uint32_t from) {
  for (uint32_t i = from; i < list->count; i++)
    if (list->items[i].release) list->items[i].release(list->items[i].data);
  mem_free(list->items);
  *list = {};
}

void event_bus_start(void) {
  g_queue_lock = lock_create();
  g_subscriber_lock = lock_create();
  g_subscribers = array_create(sizeof(EventHandler), 8, compare_pointer);
  g_posted = {};
  g_delivering = {};
  g_delivered = 0;
  g_arena = arena_create(1024);
  g_started = true;
  g_dispatching = false;
}

void event_bus_stop(void) {
  g_started = false;
  lock_destroy(g_queue_lock);
  lock_destroy(g_subscriber_lock);
  g_queue_lock = g_subscriber_lock = nullptr;
  array_destroy(g_subscribers, nullptr);
  g_subscribers = nullptr;
  event_list_release(&g_delivering, g_delivered);
  event_list_release(&g_posted, 0);
  g_delivered = 0;
  arena_destroy(g_arena);
  g_arena = nullptr;
}

void event_subscribe(EventHandler handler) {
  if (!handler || !g_subscribers) return;
  lock_enter(g_subscriber_lock);
  array_push(g_subscribers, &handler);
  g_subscriber_changes++;
  lock_leave(g_subscriber_lock);
}

void event_unsubscribe(EventHandler handler) {
  if (!handler || !g_subscribers) return;
  lock_enter(g_subscriber_lock);
  if (array_remove_match(g_subscribers, &handler, nullptr)) g_subscriber_changes++;
  lock_leave(g_subscriber_lock);
}

void event_post(uint32_t event, void* data, EventRelease release) {
  if (!g_started) return;
  lock_enter(g_queue_lock);
  event_list_push(&g_posted, {event, data, release});
  lock_leave(g_queue_lock);
}

// Payloads are mostly a few bytes (the input events' are 8): fixed-size moves that may
// overlap cover 4 to 16 bytes without a call.
static inline void copy_payload(uint8_t* to, const uint8_t* from, size_t length) {
  if (length >= 8 && length <= 16) {
    uint64_t head, tail;
    memcpy(&head, from, 8);
    memcpy(&tail, from + length - 8, 8);
    memcpy(to, &head, 8);
    memcpy(to + length - 8, &tail, 8);
  } else if (length >= 4 && length < 8) {
    uint32_t head, tail;
    memcpy(&head, from, 4);
    memcpy(&tail, from + length - 4, 4);
    memcpy(to, &head, 4);
    memcpy(to + length - 4, &tail, 4);
  } else {
    memcpy(to, from, length);
  }
}

void event_post_copy(uint32_t event, const void* bytes, size_t length) {
  if (!g_started) return;
  lock_enter(g_queue_lock);
  void* copy = nullptr;
  if (length) {
    copy = arena_alloc_inline(g_arena, length);
    copy_payload((uint8_t*)copy, (const uint8_t*)bytes, length);
  }
  event_list_push(&g_posted, {event, copy, nullptr});
  lock_leave(g_queue_lock);
}

// Calls every subscriber with the event. Only the main thread changes the list and only the
// main thread dispatches, so the list is read without the lock; a handler that changes it
// makes the walk go on from the same index in the changed list.
static void event_deliver(uint32_t event, const void* data) {
  uint32_t changes = g_subscriber_changes;
  const EventHandler* handlers = (const EventHandler*)g_subscribers->data;
  uint32_t count = g_subscribers->count;
  for (uint32_t i = 0; i < count; i++) {
    handlers[i](event, data);
    if (g_subscriber_changes != changes) {
      changes = g_subscriber_changes;
      handlers = (const EventHandler*)g_subscribers->data;
      count = g_subscribers->count;
    }
  }
}

void event_dispatch(void) {
  // A nested dispatch would reset the arena under the outer handler's payload.
  if (!g_started || g_dispatching) return;
  g_dispatching = true;
  for (;;) {
    lock_enter(g_queue_lock);
    EventList batch = g_posted;
    g_posted = g_delivering;  // empty, keeps its storage
    lock_leave(g_queue_lock);
    g_delivering = batch;
    g_delivered = 0;
    if (batch.count == 0) break;
    // Events posted meanwhile go to the other list and make the next batch.
    while (g_delivered < g_delivering.count) {
      Event e = g_delivering.items[g_delivered++];
      event_deliver(e.number, e.data);
      if (e.release) {
        lock_enter(g_queue_lock);
        e.release(e.data);
        lock_leave(g_queue_lock);
      }
    }
    g_delivering.count = 0;
    g_delivered = 0;
  }
  lock_enter(g_queue_lock);
  if (g_posted.count == 0) arena_reset(g_arena);
  lock_leave(g_queue_lock);
  g_dispatching = false;
}

uint32_t event_pending(void) {
  if (!g_started) return 0;
  lock_enter(g_queue_lock);
  uint32_t n = g_posted.count;
  lock_leave(g_queue_lock);
  // The rest of the batch being delivered (main thread only, as the dispatcher).
  return n + (g_delivering.count - g_delivered);
}

size_t event_arena_reserved(void) {
  if (!g_arena) return 0;
  lock_enter(g_queue_lock);
  size_t n = arena_reserved(g_arena);
  lock_leave(g_queue_lock);
  return n;
}
