#pragma once
// Shared by the opcode tables: filling one slot of the handler table.
#include "net/dispatch.h"

inline void net_slot(NetOpcode* slots, int32_t opcode, const RecordDesc* record, int32_t effect,
                     uint32_t key = 0, int32_t form = NOTICE_NONE,
                     int32_t (*check)(const MsgBuf*, const void*) = nullptr) {
  NetOpcode* s = &slots[opcode];
  s->present = 1;
  s->record = record;
  s->effect = effect;
  s->then = NET_EFFECT_NONE;
  s->key = key;
  s->form = form;
  s->check = check;
  s->key_of = nullptr;
}

// Tables used by more than one topic.
extern const RecordDesc kNetGroupSnapshot;
extern const RecordDesc kNetIdEntry;
extern const RecordDesc kNetMotion;
