#pragma once
// Event bus: numbered notifications with an optional payload, posted from any thread and
// delivered on the main thread to every subscriber in subscription order, first in first
// out. Payloads handed to a handler stay valid until the end of the event_dispatch call
// that delivered them. Events still queued when the bus stops are not delivered, but their
// release functions run.
//
// Two locks guard the bus (queue and arena; subscriber list), and no path holds both. Only
// the main thread subscribes, unsubscribes and dispatches; the dispatcher reads the list
// afresh at every index and calls each handler with no lock held, so a handler may post,
// subscribe or unsubscribe. A handler added
// during delivery is called for the current event when it lands after the current index;
// removing an earlier entry makes one later handler miss the current event.
#include <cstddef>
#include <cstdint>

enum : uint32_t {
  EVENT_ASSET_LOADED = 1,
  EVENT_ASSET_RELEASED = 2,
  EVENT_SOUND_STARTED = 3,
  EVENT_SOUND_FINISHED = 4,
  EVENT_MUSIC_REQUEST = 5,
  EVENT_MUSIC_ENDED = 6,
  EVENT_ACTIVATE = 7,
  EVENT_DEACTIVATE = 8,
  EVENT_SET_CURSOR = 9,
  EVENT_AXIS = 10,
  EVENT_TEXT = 11,
  EVENT_MOUSE_BUTTON = 12,
  EVENT_KEY = 13,
};

typedef void (*EventHandler)(uint32_t event, const void* data);
typedef void (*EventRelease)(void* data);

// Payloads of the input events.
struct EventAxis {
  uint32_t axis;  // 0 is the wheel
  float value;
};
struct EventButton {
  uint32_t button;  // 0 left, 1 right, 2 middle
  uint32_t action;
};
struct EventKey {
  uint32_t key;
  uint32_t action;
};
// Payload of EVENT_SOUND_STARTED and EVENT_SOUND_FINISHED.
struct EventSound {
  uint32_t sound;  // the sound asset id
  uint32_t tag;    // the owner tag the voice was started with
};
static_assert(sizeof(EventAxis) == 8 && sizeof(EventButton) == 8 && sizeof(EventKey) == 8);
static_assert(sizeof(EventSound) == 8);

// Actions of key and button events.
enum : uint32_t { ACTION_HELD = 1, ACTION_PRESSED = 2, ACTION_RELEASED = 3, ACTION_REPEAT = 4 };

void event_bus_start(void);
void event_bus_stop(void);
// Null handlers are ignored; a handler subscribed twice is called twice.
void event_subscribe(EventHandler handler);
// Removes the first entry equal to the handler, keeping the order of the rest.
void event_unsubscribe(EventHandler handler);
// The producer keeps data alive until release (if any) is called after delivery.
void event_post(uint32_t event, void* data, EventRelease release);
// Copies length bytes into the bus; length 0 delivers a null data pointer.
void event_post_copy(uint32_t event, const void* bytes, size_t length);
// Delivers everything queued, including events posted meanwhile. A call made while a
// dispatch is already delivering returns at once.
void event_dispatch(void);
// Events waiting for delivery (for tests).
uint32_t event_pending(void);
// Bytes reserved by the payload arena (for tests).
size_t event_arena_reserved(void);
