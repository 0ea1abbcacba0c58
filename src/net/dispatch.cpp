#include "net/dispatch.h"

#include <cstring>

#include "net/session.h"

#define NET_RECORD_FITS(name, Type) \
  static_assert(sizeof(Type) <= NET_RECORD_BYTES, #Type " fits the record space");
NET_EFFECTS(NET_RECORD_FITS)
#undef NET_RECORD_FITS

static NetEffects s_effects;

NetEffects* net_effects(void) { return &s_effects; }

void net_effects_clear(void) { memset(&s_effects, 0, sizeof s_effects); }

typedef void (*EffectCaller)(const NetEvent* event, const void* record);

#define NET_EFFECT_CALLER(name, Type)                                  \
  static void call_##name(const NetEvent* event, const void* record) { \
    if (s_effects.name) s_effects.name(event, (const Type*)record);    \
  }
NET_EFFECTS(NET_EFFECT_CALLER)
#undef NET_EFFECT_CALLER

static const EffectCaller s_callers[NET_EFFECT_COUNT] = {nullptr,
#define NET_EFFECT_ENTRY(name, Type) call_##name,
                                                         NET_EFFECTS(NET_EFFECT_ENTRY)
#undef NET_EFFECT_ENTRY
};

static const char* const s_effect_names[NET_EFFECT_COUNT] = {"none",
#define NET_EFFECT_TEXT(name, Type) #name,
                                                             NET_EFFECTS(NET_EFFECT_TEXT)
#undef NET_EFFECT_TEXT
};

const char* net_effect_name(int32_t effect) {
  return effect >= 0 && effect < NET_EFFECT_COUNT ? s_effect_names[effect] : "";
}

static NetOpcode s_slots[NET_HANDLER_SLOTS];
static int32_t s_slots_ready;

static void slots_build(void) {
  net_opcodes_login(s_slots);
  net_opcodes_spawn(s_slots);
  net_opcodes_entity(s_slots);
  net_opcodes_items(s_slots);
  net_opcodes_lists(s_slots);
  net_opcodes_notices(s_slots);
  s_slots[0].present = 0;  // opcode 0 is never a message
  s_slots_ready = 1;
}

const NetOpcode* net_opcode(uint32_t opcode) {
  if (!s_slots_ready) slots_build();
  if (opcode >= NET_HANDLER_SLOTS || !s_slots[opcode].present) return nullptr;
  return &s_slots[opcode];
}

int32_t net_zone_number(int32_t zone) {
  int64_t n = (int64_t)zone + 2;
  if (n < 1) n = 1;
  if (n > INT32_MAX) n = INT32_MAX;
  return (int32_t)n;
}

int32_t net_decode(uint16_t opcode, const uint8_t* payload, uint32_t length, void* record, Arena* arena,
                   NetEvent* event) {
  const NetOpcode* op = net_opcode(opcode);
  if (!op || !record || !arena || !event) return 0;
  memset(record, 0, op->record ? op->record->size : sizeof(MsgEmpty));
  event->opcode = opcode;
  event->key = op->key;
  event->form = op->form;
  MsgBuf view;
  msgbuf_wrap(&view, payload, length, length);
  if (op->record && !record_decode(op->record, &view, record, arena)) return 0;
  if (op->check && !op->check(&view, record)) return 0;
  if (op->key_of) event->key = op->key_of(record);
  return 1;
}

static Arena* s_message_arena;

void net_dispatch_payload(uint16_t opcode, const uint8_t* payload, uint32_t length) {
  const NetOpcode* op = net_opcode(opcode);
  if (!op) return;
  if (!s_message_arena) s_message_arena = arena_create(64 * 1024);
  arena_reset(s_message_arena);
  alignas(16) uint8_t record[NET_RECORD_BYTES];
  NetEvent event;
  if (!net_decode(opcode, payload, length, record, s_message_arena, &event)) return;
  if (op->effect > 0 && op->effect < NET_EFFECT_COUNT) s_callers[op->effect](&event, record);
  if (op->then > 0 && op->then < NET_EFFECT_COUNT) {
    // The follow-up effect (closing the trade window) carries no text of its own.
    NetEvent then = {event.opcode, 0, NOTICE_NONE};
    MsgEmpty empty = {0};
    s_callers[op->then](&then, &empty);
  }
}

void net_dispatch(const NetMessage* message) {
  if (!message || message->length < 0) return;
  net_dispatch_payload(message->opcode, message->payload, (uint32_t)message->length);
}
